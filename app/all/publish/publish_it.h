// publish_it: the open roster as linked static HTML pages in the web-page
// folder: a frameset, its two starting frames, the practices page, one page
// per practice and one per doctor who belongs to a practice; the shell then
// opens the frameset.
//
// Invariants:
//  - Every page lies in the folder: a name becomes its page's file name only
//    when that is a safe Windows file name; otherwise it is mapped (page_name).
//    No two pages of one run share a file name, ignoring case: the fixed
//    pages come first, then the practices, then the doctors, and a later
//    clash gets "~2", "~3", ... before ".html".
//  - Links name the files percent-encoded as UTF-8; texts go to the page
//    writer as stored (it escapes them), so every page is plain ASCII.
//  - A doctor in several practices has one page; a doctor in none has none.
//  - An error while a page is written passes on: the pages written before
//    stay and the shell is not asked to open anything.
#pragma once

#include "core/core.h"

namespace all {

class publish_it {
 public:
  static const tav::ClassInfo classInfo;

  // Writes every page and has the shell open the frameset; with no roster
  // open, the note "No roster open" and nothing else.
  static void do_publish();
  // The pages alone, with a roster open; the frameset's file name.
  static const wchar_t* write_pages();

  // The file name (without ".html") of a page named `name`, before clashes
  // are resolved: the name itself when safe, else with each unsafe character
  // as "~" and four hex digits, a device name behind "~", an over-long name
  // cut to 110 characters and "~" with its CRC-32.
  static const wchar_t* page_name(const wchar_t* name);
  // The link to a page file name: percent-encoded UTF-8 and ".html".
  static const wchar_t* page_href(const wchar_t* pageName);
};

}  // namespace all
