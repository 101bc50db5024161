// groups's class state.
#include "kalmoradb/groups.h"

namespace all {

const tav::ClassInfo groups::classInfo{L"qel6pack/all/kalmoradb/groups", TAV_CLASS_VERSION};
store_state groups::state{L"groups", L"groups not initialised"};

}  // namespace all
