// The duty index's state and rebuild request.
#include "phase1/sc_phase1.h"

namespace all {

const tav::ClassInfo sc_phase1::classInfo{L"qel6pack/all/phase1/sc_phase1", TAV_CLASS_VERSION};
store_state sc_phase1::state{L"sc_phase1", L"phase1 not initialised"};
bool sc_phase1::boo_must_regenerate = false;

void sc_phase1::must_regenerate(const wchar_t*) { boo_must_regenerate = true; }

}  // namespace all
