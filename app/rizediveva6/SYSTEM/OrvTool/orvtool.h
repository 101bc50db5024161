// OrvTool: character codes (misc2), moving a file into a sub-folder
// (folder_stuff), boolean options kept as chains of a document
// (saved_boo_options), text splitting (orv_string) and list length
// (counter).
//
// Invariants:
//  - A boolean option is true exactly when its chain holds a term; set
//    leaves at most one term (the unsigned 1) and false leaves no chain.
//  - move_file_to_subfolder never deletes: a failed move raises the file
//    class's "MoveFile" error and the file stays where it was.
//  - The counter is a local of each call.
#pragma once

#include "SYSTEM/orv_list/orv_list.h"
#include "chainDB/chainDb.h"

namespace rizediveva6 {

class misc2 {
 public:
  static const tav::ClassInfo classInfo;
  static void char_int(wchar_t c, uint32_t* code);
  // A code above 65535 raises the range error.
  static void char_int(uint32_t code, wchar_t* c);
  static bool char_int(wchar_t c, uint32_t code);
};

class folder_stuff {
 public:
  static const tav::ClassInfo classInfo;
  static void move_file_to_subfolder(const wchar_t* file, const wchar_t* subFolder);
};

class saved_boo_options {
 public:
  static const tav::ClassInfo classInfo;
  static void set(tav::chainDB* db, const wchar_t* name, bool value);
  static bool get(tav::chainDB* db, const wchar_t* name);
};

class orv_string {
 public:
  static const tav::ClassInfo classInfo;
  static const SList* make_list_from_string(const wchar_t* text);
  // The empty text raises the range error.
  static void last_char(const wchar_t* text, const wchar_t** front, const wchar_t** last);
};

class counter {
 public:
  static const tav::ClassInfo classInfo;
  template <class T>
  static int32_t count(const List<T>* list) {
    int32_t n = 0;
    for (; !list->Empty(); list = list->tail) ++n;
    return n;
  }
};

}  // namespace rizediveva6
