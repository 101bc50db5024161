// kwiMessage: the program's message window, an editor control in a window of
// the task window, and the two roads into it.  The stream road (write,
// writef, standard output and error) shows each write at once, without a
// line bound.  The string road (appendstr) shows text with a line break at
// once, after deleting the oldest lines beyond the bound, and collects text
// without one for a 200 ms timer, which exists only while such text waits.
// The window's class data is reset by create and by the window's e_destroy;
// the stream, the creation size and the standard-stream redirection stay.
#pragma once

#include "core/core.h"
#include "qel6kwi.h"
#include "stream/stream.h"

namespace tav {

class kwiMessage {
 public:
  static const ClassInfo classInfo;

  static LONG_PTR create(int32_t maxLines);
  static LONG_PTR create(int32_t maxLines, const wchar_t* title);
  static void close();
  // The window; 0 (fails) when there is none.
  static LONG_PTR trygetwin();
  static void appendstr(const wchar_t* text);
  static void write(const T::REllipsisArg* args);
  static void writef(const wchar_t* format, const T::REllipsisArg* args);
  static outputStream* getoutputstream();
  static void setlines(int32_t maxLines);
  static void clear();
  static void resize(LONG_PTR parent);
  static void setfocus();
  static void fastupdate(int32_t flag);
  static int32_t fastupdate();
  static void set_subclasshandler(const QEL_KWI::PROLOG_EHANDLER_STRUCT* handler);
  // Null (fails) when none is set.
  static const QEL_KWI::PROLOG_EHANDLER_STRUCT* trygetsubclasshandler();
  static void set_initial_msgwin_size(int32_t width, int32_t height, int32_t readOnly);

  // The window's event handler (the editor offers it the window's events).
  static LONG_PTR _mess_win_handler(LONG_PTR window, QEL_KWI::event_struct* e);
  // Menu items of the window's pop-up menu and its own command.
  enum : int32_t { kCopy = 1000, kSearch, kSearchAgain, kFont, kClear, kApplyRect = 9400 };
};

}  // namespace tav
