// The result of a task-window handler: handled with a value, or default
// handling (the GUI layer's default processing, as when a handler fails).
#pragma once

#include <windows.h>

namespace kalmora {

struct HandlerResult {
  bool handled;
  LONG_PTR value;
};
constexpr HandlerResult kDefaultHandling{false, 0};
constexpr HandlerResult HandledWith(LONG_PTR value) { return {true, value}; }

}  // namespace kalmora
