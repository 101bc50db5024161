// html_toc: an HTML page that links every ".html" page of a manual folder
// tree, built with htm.  A folder walk descends only into subfolders whose
// path holds the name of a page just linked, and never into a folder that
// is already being walked further up (a link loop), so it always ends.
#pragma once

#include "core/core.h"

namespace rizediveva6 {

class html_toc {
 public:
  static const tav::ClassInfo classInfo;
  // Link targets are made relative to this folder.
  static constexpr const wchar_t* manualRoot = L"C:\\kalmoraTessaro-dev\\manual\\";
  // Writes the table of contents of `folder` into folder + "\" + fileName
  // (8-bit text); the page writer's buffer holds the page afterwards.
  static void create_toc(const wchar_t* folder, const wchar_t* fileName);
};

}  // namespace rizediveva6
