// tasks's class state.
#include "kalmoradb/tasks.h"

namespace all {

const tav::ClassInfo tasks::classInfo{L"qel6pack/all/kalmoradb/tasks", TAV_CLASS_VERSION};
store_state tasks::state{L"tasks", L"tasks not initialised"};

}  // namespace all
