// mainExe: runs the application under a trap with the run-time exception
// raiser installed, dumping what reaches it; the command line without the
// program name, the program file and the instance handle.
#pragma once

#include <windows.h>

#include "core/core.h"

namespace tav {

// A predicate closure of a procedure without arguments: called with the
// object when there is one, else without arguments.  It may fail or raise.
struct RunPredicate {
  const void* code;
  void* object;
};

class mainExe {
 public:
  static const ClassInfo classInfo;
  // Returns when the predicate returned, failed, or raised an error that was
  // dumped; an error of the dump itself goes on to the caller's trap.  The
  // previous exception predicate is back on every way out.
  static void run(RunPredicate predicate);
  static const wchar_t* getcommandline();
  static void getfilename(const wchar_t** path, const wchar_t** name);
  static HINSTANCE getcurrenthinstance();
  // The command-line rule on a given line (the process's for getcommandline).
  static const wchar_t* parsecommandline(const wchar_t* line);
};

}  // namespace tav
