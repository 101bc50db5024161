// myKWI: the one place through which the program's own code speaks to the
// user: note and error boxes, message-window lines, the question and the
// file dialog of the document's save, and the closing of the program.
//
// Invariants:
//  - Every operation goes through one table of function pointers (the seam);
//    nothing else in the library calls the window toolkit's boxes.
//  - The table's defaults forward to the window toolkit.  Until they are
//    wired an entry is null and its operation raises the class library's
//    "unsupported predicate" error naming it: never a crash.
//  - Tests replace the table (set_dialogs) with a recorder and put the
//    previous one back.
#pragma once

#include "core/core.h"
#include "string/string.h"

namespace rizediveva6 {

// The arguments of the toolkit's file dialog, in its order.
struct FileDialogRequest {
  const wchar_t* initialName;
  const tav::StringList* filters;  // description, pattern, description, pattern ...
  const wchar_t* title;
  const int32_t* flags;
  uint32_t flagCount;
  const wchar_t* startFolder;
};

struct Dialogs {
  void (*note)(const wchar_t* text);
  void (*error)(const wchar_t* text);
  // The values' text, joined without separators; the default then lets the
  // GUI dispatch the pending events.
  void (*message_write)(const wchar_t* text);
  void (*close_app)();
  // The chosen name; false when the dialog was cancelled.
  bool (*getfilename)(const FileDialogRequest& request, const wchar_t** chosen,
                      const tav::StringList** selected);
  // The 0-based index of the button pressed; false when the box was closed
  // without an answer.
  bool (*ask)(const wchar_t* question, const tav::StringList* buttons, uint32_t* answer);
};

class myKWI {
 public:
  static const tav::ClassInfo classInfo;

  static void note(const wchar_t* text);
  static void error(const wchar_t* text);
  // Each value as `write` writes it (strings without quotes), no separators.
  static void message_write(const Qel::RunTime::Terms::REllipsisArg* values);
  // The same for texts only.
  static void message_write(std::initializer_list<const wchar_t*> texts);
  static void close_app();
  static bool getfilename(const FileDialogRequest& request, const wchar_t** chosen,
                          const tav::StringList** selected);
  static bool ask(const wchar_t* question, const tav::StringList* buttons, uint32_t* answer);

  // The table in use, and its replacement; set_dialogs gives the previous one.
  static const Dialogs& dialogs();
  static Dialogs set_dialogs(const Dialogs& table);
  // The toolkit's defaults.
  static Dialogs toolkit_dialogs();
};

}  // namespace rizediveva6
