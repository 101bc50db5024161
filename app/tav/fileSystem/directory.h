// directory: creating, moving, deleting and testing directories, the
// current directory, the system's special folders, enumeration by pattern
// and volume properties.  Failures are native-call exceptions of class
// directory.  The enumerations collect every name and close the search
// before the first solution.
#pragma once

#include "core/core.h"
#include "fileSystem/file.h"

namespace tav {

enum class volumetype { fixed = 1, removable, cdrom, ram, remote, unknown };
namespace domains {
extern T::RCompoundDomain volumetype;  // of class directory, functors as the enum
}

struct VolumeProperties {
  volumetype type;
  uint64_t totalBytes, freeBytes;
  const wchar_t* label;
  uint32_t serialNumber;
};

class directory {
 public:
  static const ClassInfo classInfo;
  static constexpr uint32_t tempFolder = 0x1000;

  static void makedirectory(const wchar_t* dir);
  static void movedirectory(const wchar_t* from, const wchar_t* to);
  static void deletedirectory(const wchar_t* dir);
  // Roots ("C:\") included; wildcards allowed.
  static bool existdirectory(const wchar_t* dir);
  static const wchar_t* getcurrentdirectory();
  static void setcurrentdirectory(const wchar_t* dir);
  static const wchar_t* trygetlogicaldirectory(uint32_t folder);
  static const wchar_t* trycreatelogicaldirectory(uint32_t folder);
  static FileProperties getdirectoryproperties(const wchar_t* dir);
  static bool getfilesindirectory_nd(const wchar_t* dir, Each<const wchar_t*> k);
  static bool getfilesindirectory_nd(const wchar_t* dir, const wchar_t* pattern,
                                     Each<const wchar_t*> k);
  static bool getsubdirectories_nd(const wchar_t* dir, Each<const wchar_t*> k);
  static bool getsubdirectories_nd(const wchar_t* dir, const wchar_t* pattern,
                                   Each<const wchar_t*> k);
  // The files of dir, then those of each subdirectory (one level, "." and
  // ".." left out).
  static bool getfilesindirectoryandsub_nd(const wchar_t* dir, Each<const wchar_t*> k);
  static bool getfilesindirectoryandsub_nd(const wchar_t* dir, const wchar_t* pattern,
                                           Each<const wchar_t*> k);
  static VolumeProperties getvolumeproperties(const wchar_t* drive);
  static void setvolumelabel(const wchar_t* drive, const wchar_t* label);
};

}  // namespace tav
