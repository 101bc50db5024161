// remember_files: the recently used roster documents: the last file and the
// other files, kept in "<program name>.rem file" beside the program.
//
// Invariants:
//  - The store (class fact database f1) is loaded from its file once per run,
//    lazily, by the first operation that finds the file; a damaged file is
//    set aside (the list starts empty) and not read again in this run.
//  - File names compare as exact strings; the other files keep list order
//    and hold no missing file after a save (the last file is never looked up).
//  - Every change is saved at once; a failed save keeps the change in memory
//    and is shown once per run.
#pragma once

#include <cstdint>

#include "core/core.h"
#include "string/string.h"

namespace rizediveva6 {

// The result of get_last_file: the second alternative when there is one.
enum class last_file_result : uint64_t { no_last_file = 1, last_file = 2 };

class remember_files {
 public:
  static const tav::ClassInfo classInfo;

  // The last file, or "" with no_last_file.
  static last_file_result get_last_file(const wchar_t** fileName);
  static void put_last_file(const wchar_t* fileName);
  // Appends a file not yet among the other files.
  static void add_file(const wchar_t* fileName);
  // Each other file that differs from the last file, in list order.
  static bool nd_all_files_except_last(tav::Each<const wchar_t*> k);
  // All other files in list order.
  static const tav::StringList* get_all_files();
  // Replaces the other files by the list, leaving out the last file and
  // missing files.
  static void put_all_files_except_last(const tav::StringList* files);
};

// The store file: the program's folder + its name without extension + ".rem file".
const wchar_t* RecentFilesName();

}  // namespace rizediveva6
