// A class fact database kept in an 8-bit text file beside the program (the
// options file and the recent-files file).
//
// Invariants:
//  - The file holds the database's saved text form in the ANSI code page with
//    CR LF line ends and no signature; a character the code page cannot give
//    back unchanged is written as the escape \uXXXX, which the reader turns
//    back.  Such characters stand only inside quoted strings, where a
//    backslash of the text itself is already escaped.
//  - A file is never rewritten in place: the bytes go to the name + ".new",
//    are flushed, and that file then replaces the target in one move.
//  - `last` holds the bytes last read from or written to the file in this
//    run; a save of equal bytes writes nothing.
//  - Nothing here raises: failures come back as results.
#pragma once

#include <cstdint>
#include <string>

#include "qel6run_db.h"
#include "stream/stream.h"

namespace rizediveva6 {

struct FactFile {
  const tav::FactDB* db;
  std::string last;  // empty: nothing read or written yet (a saved text never is)
};

// The folder of the program file (ending with its separator).
const wchar_t* ProgramFolder();

// A failed write: the system function and its error code.
struct WriteFailure {
  const wchar_t* api = nullptr;
  uint32_t code = 0;
  bool Failed() const { return api != nullptr; }
};

// The database's saved text as the file's bytes.
std::string FileBytes(const tav::FactDB* db);
// UTF-16 text (`units` code units) with LF line ends as the file's bytes.
std::string Encode8(const wchar_t* text, size_t units);

// Writes the database to `target` unless the bytes equal `file.last`.
WriteFailure SaveFactFile(FactFile& file, const wchar_t* target);
// Writes bytes beside `target`, flushes them and moves them over it.
WriteFailure ReplaceFile(const wchar_t* target, const std::string& bytes);

enum class ReadOutcome { absent, read, unreadable, damaged, damagedInPlace };
// Consults `target` into the database: the facts are added to what it
// holds, or, with `replace`, to an emptied database once the file is open.  A file that cannot be opened stays where it is (`*code`: the
// system's error); one that does not read to its end is renamed to the name
// + ".damaged" (an older one replaced), or stays when that fails
// (damagedInPlace, `*code`: the system's error); the facts read before the
// bad text stay.  After a whole read `file.last` holds the bytes read.
ReadOutcome ReadFactFile(FactFile& file, const wchar_t* target, bool replace, uint32_t* code);

// Removes from a chain every fact for whose term `match` holds, keeping the
// others in their order.
template <class F>
void RemoveWhere(Qel::RunTime::Terms::DBInternal::RFactHead* h, F match) {
  using Qel::RunTime::Terms::DBInternal::RStructFact;
  RStructFact* previous = nullptr;
  for (RStructFact* c = h->first; c;) {
    RStructFact* next = c->next;
    if (match(c->term)) {
      (previous ? previous->next : h->first) = next;
      if (h->last == c) h->last = previous;
      Qel::RunTime::Terms::DBInternal::FinishRetract(c, &h->first);
    } else {
      previous = c;
    }
    c = next;
  }
}

// Shows a note to the user about a file once per flag (a flag of the caller
// that lives for the run).
void NoteOnce(bool* shown, const wchar_t* text);

// The system's text for an error code (no trailing line break), on the heap.
const wchar_t* SystemMessage(uint32_t code);

}  // namespace rizediveva6
