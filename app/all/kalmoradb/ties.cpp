// ties's class state.
#include "kalmoradb/ties.h"

namespace all {

const tav::ClassInfo ties::classInfo{L"qel6pack/all/kalmoradb/ties", TAV_CLASS_VERSION};
store_state ties::state{L"ties", L"ties not initialised"};

}  // namespace all
