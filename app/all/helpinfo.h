// helpinfo: opens the compiled help file's topic of a command-tree item
// ("kalmora6.chm" beside the program) in the HTML help viewer.
//
// Invariants:
//  - HtmlHelpW is reached only through the seam; the default loads the
//    help control from the system folder at its first call and skips the
//    call (a debug-output line) when it cannot, never calling null.
//  - The address is the program's folder, "kalmora6.chm::/" and the topic;
//    the viewer's answer is not looked at.
#pragma once

#include <windows.h>

#include "SYSTEM/orv_list/orv_list.h"
#include "core/core.h"

namespace all {

using html_help_fn = HWND(WINAPI*)(HWND owner, LPCWSTR address, UINT command, DWORD_PTR data);

class helpinfo {
 public:
  static const tav::ClassInfo classInfo;
  // The topic of the tree path (captions from the root down) in the
  // viewer owned by the window.
  static void help(LONG_PTR window, const rizediveva6::SList* path);
  // The help address of the tree path for a program folder (ending in a
  // backslash).
  static const wchar_t* address(const wchar_t* folder, const rizediveva6::SList* path);
  // The system's HtmlHelpW, loaded once; null when it cannot be had.
  static html_help_fn load_htmlhelp();
  // Replaces the seam (null: the default) and gives the previous one.
  static html_help_fn set_htmlhelp(html_help_fn fn);
};

}  // namespace all
