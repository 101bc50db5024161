// load_db's class state.
#include "kalmoradb/load_db.h"

namespace all {

const tav::ClassInfo load_db::classInfo{L"qel6pack/all/kalmoradb/load_db", TAV_CLASS_VERSION};
store_state load_db::state{L"load_db", L"load_db not initialised"};

}  // namespace all
