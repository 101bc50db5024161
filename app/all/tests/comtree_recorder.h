// The recorder of the command tree's operations that test programs link in
// place of the command tree: every call is appended to one process-wide
// list; run_engine also creates, registers and runs an engine, and
// retract_engine stops the registered one.  One object file per operation,
// so that a test program that defines some operations itself links only the
// others from the library.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

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

}  // namespace alltest
