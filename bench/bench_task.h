// The GUI benchmarks' task window (qel6kwi): the measurements run from
// inside its message loop.
#pragma once

#include <windows.h>

#include <cstdio>

#include "qel6kernel.h"
#include "qel6kwi.h"

namespace bench {

// kwi_Init with a task window that, once it exists, runs body(task) from
// its message loop and then closes; returns when kwi_Init returns: true when
// the body ran, false (said on stderr) when the window could not be made.
[[nodiscard]] inline bool RunInTask(QEL_KWI::wsflags_struct* flags, QEL_KWI::menu_struct* menu,
                                    const wchar_t* title, void (*body)(LONG_PTR task)) {
  static void (*run)(LONG_PTR) = nullptr;
  static bool ran = false;
  run = body;
  ran = false;
  struct Task {
    static LONG_PTR Handler(LONG_PTR window, QEL_KWI::event_struct* e) {
      HWND w = reinterpret_cast<HWND>(window);
      if (e->kind == QEL_KWI::e_create) {
        PostMessageW(w, 0xC00F, 0x4B57, 0);
        return 0;
      }
      if (e->kind == QEL_KWI::e_user && e->w[0] == 0x4B57) {
        ran = true;
        run(window);
        DestroyWindow(w);
        return 0;
      }
      Qel::RunTime::Kernel::Fail();
    }
  };
  QEL_KWI::PROLOG_EHANDLER_STRUCT task{reinterpret_cast<void*>(&Task::Handler), nullptr};
  QEL_KWI::kwi_Init(flags, &task, menu, nullptr, title);
  if (!ran) std::fprintf(stderr, "%ls: its window could not be made (no display?)\n", title);
  return ran;
}

}  // namespace bench
