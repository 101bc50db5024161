// sc_rules's class state.
#include "rulesPack/sc_rules.h"

namespace all {

const tav::ClassInfo sc_rules::classInfo{L"qel6pack/all/rulesPack/sc_rules", TAV_CLASS_VERSION};
store_state sc_rules::state{L"sc_rules", L"sc_rules not initialised"};

}  // namespace all
