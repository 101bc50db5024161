// fileName: takes path texts apart and puts them together again, on the text
// alone (the file system is never asked).  A path is a path part (ending in
// its separator, or a drive with its colon), a name and an extension (after
// the last dot).  Backslash and slash both separate, except in
// getfirstdirectory and in the "..\" segments of setpath, which know only
// the backslash.  Results are new strings.
#pragma once

#include "core/core.h"

namespace tav {

class fileName {
 public:
  static const ClassInfo classInfo;

  static const wchar_t* getname(const wchar_t* fullName);
  static const wchar_t* getextension(const wchar_t* fullName);
  static const wchar_t* getextension(const wchar_t* fullName, const wchar_t** nameWithoutExtension);
  static const wchar_t* getpath(const wchar_t* fullName);
  static const wchar_t* getpath(const wchar_t* fullName, const wchar_t** nameWithExtension);
  static const wchar_t* setname(const wchar_t* fullName, const wchar_t* newName);
  static const wchar_t* setextension(const wchar_t* fullName, const wchar_t* newExtension);
  // The name with extension placed into newPath; a leading "..\" of the old
  // path part climbs from newPath.  An absolute newPath keeps its root.
  static const wchar_t* setpath(const wchar_t* fullName, const wchar_t* newPath);
  // fullName relative to baseDirectory when that is strictly shorter.
  static const wchar_t* reduce(const wchar_t* fullName, const wchar_t* baseDirectory);
  static void getfirstdirectory(const wchar_t* path, const wchar_t** first, const wchar_t** rest);
};

}  // namespace tav
