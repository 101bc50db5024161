// file: one file as a whole: existence, copy, move, delete, recycle bin,
// attributes, times, unique and physical names, whole-file binaries and
// strings, and fact databases saved and consulted through the file streams.
// Failures are native-call exceptions of class file naming the system
// function.  Writing a whole file goes to a new file beside it that then
// replaces the old one, so a failed write leaves the old bytes.
#pragma once

#include <windows.h>

#include "fileSystem/fileSystem_api.h"
#include "stream/stream.h"

namespace tav {

enum class overwrite { overwrite = 1, skip, append, errorifexist };
namespace domains {
extern T::RCompoundDomain overwrite;  // of class file, functors as the enum
}

struct FileProperties {
  fileattributeatom attributes[8];
  uint32_t attributeCount;
  uint64_t size, creation, lastAccess, lastChange;
};

class file {
 public:
  static const ClassInfo classInfo;

  // Wildcards allowed; a name that matches only directories fails.
  static bool existfile(const wchar_t* fileName);
  static void copy(const wchar_t* source, const wchar_t* destination,
                   overwrite mode = overwrite::overwrite);
  // Into an existing directory the file keeps its name.
  static void move(const wchar_t* source, const wchar_t* destination,
                   overwrite mode = overwrite::overwrite);
  static void delete_(const wchar_t* fileName);
  static void movetorecyclebin(const wchar_t* fileName);
  static void setattributes(const wchar_t* fileName, std::initializer_list<fileattributeatom> list,
                            bool add);
  static FileProperties getfileproperties(const wchar_t* fileName);
  static void setfiletime(const wchar_t* fileName, uint64_t creation, uint64_t lastAccess,
                          uint64_t lastChange);
  static const wchar_t* createuniquename(const wchar_t* path, const wchar_t* prefix);
  static const wchar_t* getphysicalname(const wchar_t* fileName);

  static uint8_t* readbinary(const wchar_t* fileName);
  // Fewer than `size` bytes from `position` raise end-of-stream.
  static uint8_t* readbinary(const wchar_t* fileName, uint64_t position, uint64_t size);
  static const wchar_t* readstring(const wchar_t* fileName);
  static const wchar_t* readstring(const wchar_t* fileName, bool* isUnicodeFile);
  static void writebinary(const wchar_t* fileName, const uint8_t* binary);
  static void writebinary(const wchar_t* fileName, uint64_t position, const uint8_t* binary);
  static void writestring(const wchar_t* fileName, const wchar_t* text, bool isUnicodeFile = true);
  static void save(const wchar_t* fileName, const FactDB* db, bool isUnicodeFile = true);
  static void consult(const wchar_t* fileName, const FactDB* db, bool* isUnicodeFile = nullptr);

  // The full name, grown until the system's answer fits.
  static const wchar_t* FullPath(const wchar_t* fileName);
};

}  // namespace tav
