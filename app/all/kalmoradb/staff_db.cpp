// staff_db's class state.
#include "kalmoradb/staff_db.h"

namespace all {

const tav::ClassInfo staff_db::classInfo{L"qel6pack/all/kalmoradb/staff_db", TAV_CLASS_VERSION};
store_state staff_db::state{L"staff_db", L"staff_db not initialised"};

}  // namespace all
