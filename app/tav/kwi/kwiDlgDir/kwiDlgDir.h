// kwiDlgDir: the modal folder picker and its network lookup.  Servers and the shares of
// a server come from "net view", run hidden from a one-line batch file in
// the temporary folder while a modal wait dialog runs; the lookup waits for
// the command's end notice (or Cancel) and parses the whole output.  One
// lookup runs at a time (GUI thread).
#pragma once

#include <string>
#include <vector>

#include "core/core.h"
#include "kwi/kwi.h"

namespace tav {

class kwiDlgDir {
 public:
  static const ClassInfo classInfo;

  // The folder picker: code 1 and the chosen folder on OK, else 0 and the
  // full start folder.  Switch 1 hides the Subdirectory field.
  static int32_t getDirectoryName(LONG_PTR parent, const wchar_t* title, int32_t subdirSwitch,
                                  const wchar_t* start, const wchar_t** newPath);
  static int32_t getDirectoryName(LONG_PTR parent, const wchar_t* title, const wchar_t* start,
                                  const wchar_t** newPath);
  static int32_t getDirectoryName(LONG_PTR parent, const wchar_t* start, const wchar_t** newPath);

  // Server paths ("\\NAME"), empty when nothing could be retrieved.
  static QEL_KWI::slist_struct* get_list_net_servers(LONG_PTR dialog);
  // The share names of a server path "\\NAME"; empty when none.
  static QEL_KWI::slist_struct* get_list_net_resources(LONG_PTR dialog, const wchar_t* server);
  // The note "Network is unavailable" for an empty list.
  static void give_warning_on_empty(const QEL_KWI::slist_struct* list);
  // True while a lookup's wait dialog is open.
  static bool retrieving();

  // The entries of "net view" output (line ends LF, trailing ones removed)
  // with column width `width`: false when the output has no separator line.
  static bool ParseNetView(const std::wstring& text, size_t width, std::vector<std::wstring>* out);
};

}  // namespace tav
