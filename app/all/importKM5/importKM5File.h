// importKM5File: copies a previous-version roster file (".km5", a database of
// the 8-bit chain-database family) into the open, new and empty roster.
//
// Invariants:
//  - The file is opened read-only under selector 1 and closed on every way
//    out; nothing writes it.
//  - Two phases: every record is read, decoded and checked into plain
//    heap lists first (file closed at the end), and only then is the roster
//    written.  A failed read leaves the roster as it was.
//  - A roster that already holds doctors, practices, tasks or locations is
//    refused with a note; with no roster open only the doctors store's note
//    is shown.
//  - Doctors are tied by name; each doctor's practice is added before the
//    doctor's record is replaced.  Task and location numbers of the typical
//    duties go through the map from the file's position to the roster's
//    number of the same name; other numbers and slots are carried as they
//    are.  One add_tls per day kind, with its duties in chain order.
#pragma once

#include "core/core.h"

namespace all {

class importKM5File {
 public:
  static const tav::ClassInfo classInfo;
  // A record the roster cannot take: an impossible date, a blank or an
  // eleventh task or location name ("File name", "Chain", "Position").
  static const tav::ExceptionDescriptor invalidfile;

  // Lets pending events run (a posted "New" first), asks for the file and
  // imports it; a cancelled dialog imports nothing.
  static void import();
  // Imports the named file into the open roster.
  static void imp(const wchar_t* fileName);
};

}  // namespace all
