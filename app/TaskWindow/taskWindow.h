// taskWindow: the program's only top-level window.  It carries the main
// menu, the status line, the message window and the command tree, routes
// the list windows' pop-up commands and its own menu commands, and holds
// the roster document through the document commands.
//
// Invariants:
//  - One task window per run; thiswin is its window once created.
//  - xis_active is true from class initialisation until a deactivation.
//  - Every close or replacement of the document goes through
//    close_kalmora_file, which stops a running engine first, saves under a
//    trap (an error is outcome 4 with its text) and closes the document
//    only after a good outcome.
//  - Handlers return a result or fail for default processing; no C++
//    object with a destructor lives in a frame a fail or raise crosses.
#pragma once

#include "core/core.h"
#include "qel6kwi.h"
#include "stream/stream.h"

namespace kalmora {

class taskWindow {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr uint32_t kBuild = 1005;
  // The maker's latest-version page.
  static constexpr const wchar_t* kLatestVersionPage = L"https://www.kalmoratessaro.example/latest.html";

  static taskWindow* new_();
  // Starts the GUI with this window; returns when its message loop ends.
  virtual void show();

  static void set_title();
  static bool is_active();
  // Closes the current document; false when the close was refused or did
  // not succeed (the document then stays open).
  static bool close_kalmora_file();

  // The class descriptors of the package, for the program's unit table.
  static const tav::RScopeClassDescriptor* const* UnitTable();

  LONG_PTR thiswin = 0;

 private:
  taskWindow() = default;
  template <class C, class... A>
  friend C* tav::NewObject(A&&... args);
  static LONG_PTR _eventhandler(void* self, LONG_PTR window, QEL_KWI::event_struct* event);
};

}  // namespace kalmora
