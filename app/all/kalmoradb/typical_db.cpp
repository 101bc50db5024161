// typical_db's class state.
#include "kalmoradb/typical_db.h"

namespace all {

const tav::ClassInfo typical_db::classInfo{L"qel6pack/all/kalmoradb/typical_db", TAV_CLASS_VERSION};
store_state typical_db::state{L"typical_db", L"typical_db not initialised"};

}  // namespace all
