// sc_mod_date's class state.
#include "kalmoradb/sc_mod_date.h"

namespace all {

const tav::ClassInfo sc_mod_date::classInfo{L"qel6pack/all/kalmoradb/sc_mod_date", TAV_CLASS_VERSION};
store_state sc_mod_date::state{L"sc_mod_date", L"sc_mod_date not initialised"};

}  // namespace all
