// locations's class state.
#include "kalmoradb/locations.h"

namespace all {

const tav::ClassInfo locations::classInfo{L"qel6pack/all/kalmoradb/locations", TAV_CLASS_VERSION};
store_state locations::state{L"locations", L"locations not initialised"};

}  // namespace all
