// The program: its entry and goal, the application class whose run
// predicate shows the task window, and the program's unit image (one
// class-descriptor table of every class, in dependency order).
//
// Invariants:
//  - The exported names are plain (C linkage), pinned by the program's .def.
//  - The unit table is built once: word 0 = 8, the descriptors of the class
//    library, the maker's library, the roster model and the task window's
//    package, then -2; each library's own lazy initialiser finds its
//    descriptors linked and links nothing again.
#pragma once

#include <windows.h>

#include "QelStartUp/qelstartup.h"
#include "core/core.h"

extern "C" {
// The process entry (WinMain calls it): never returns.
[[noreturn]] int QelStartUp();
// The goal: runs kalmoraTessaro::_run through mainExe::run.
void PROLOG_Goal();
// The library-build entry, linked in but not the program's entry.
BOOL QelDllMain(HINSTANCE module, DWORD reason, void* reserved);
void QelSetDllHook(const qelstartup::QelDllHook* hook);
HINSTANCE QelDllGetHandleModule();
}

namespace kalmora {

// The program's unit image: its table, its (empty) symbol list and the goal.
const qelstartup::UnitImage& ProgramImage();

class kalmoraTessaro {
 public:
  static const tav::ClassInfo classInfo;
  // Creates the task window and shows it; returns when its loop has ended.
  static void _run();
};

class conditional {
 public:
  static const tav::ClassInfo classInfo;
};

}  // namespace kalmora
