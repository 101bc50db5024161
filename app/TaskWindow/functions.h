// The Functions menu's delete-all commands and the web-page command.
//
// Invariants:
//  - Without an open document a delete-all does nothing and says nothing;
//    with one it asks nothing.
//  - The locked assignments outlive "Delete all assignments".
#pragma once

#include <cstdint>

#include "TaskWindow/handler_result.h"

namespace kalmora::functions {

// A delete-all command by its menu id (10162-10168).
HandlerResult delete_all(int32_t menuId);
// The build-information page written and opened.
HandlerResult onwww();

}  // namespace kalmora::functions
