// The recorder of the command tree's operations that test programs link in
// place of the command tree: every call is appended to one process-wide
// list; run_engine also creates, registers and runs an engine, and
// retract_engine stops the registered one.  One object file per operation,
// so that a test program that defines some operations itself links only the
// others from the library.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "SYSTEM/orv_list/orv_list.h"

namespace all {
class sc_engine;
}

namespace alltest {

struct ComtreeCall {
  std::wstring op;    // the operation's name
  int32_t colour;     // update_cs_help's colour, else 0
  std::wstring text;  // its text, suffix or verdict kind; keys joined by " "
};

std::vector<ComtreeCall>& ComtreeCalls();

// The state a toggle answers: each call flips it and answers the new one;
// tests set it to script the answer.
int32_t& ComtreeToggle(const std::wstring& op);

// The engine the recorder's run_engine registered (collected; null: none).
all::sc_engine*& RegisteredEngine();

// The calendar's assignment layer a test registers as the command tree's
// own: drew_few_assigns hands its keys to days, update_any_liboxes calls
// whole (empty: no layer).
struct AssignLayerHooks {
  std::function<void(const rizediveva6::SList* keys)> days;
  std::function<void()> whole;
};
AssignLayerHooks& AssignLayer();

}  // namespace alltest
