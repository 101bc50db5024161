// options_db: the program's settings, held in the class fact database f_opt
// (six fixed facts, then the keyed entries ndb_various) and kept in
// "opt.cns" beside the program.
//
// Invariants:
//  - The store is the authority; the file is its copy, rewritten whole after
//    every change (an unchanged text is not written again).
//  - Defaults are never stored: a getter makes its default at each call.
//  - A keyed entry is identified by its kind together with its key; keys
//    compare ordinally, case-sensitively, over the whole string.  A setter
//    removes every entry of its kind and key and appends one at the end.
//  - read_opt and the saves never raise: a damaged file is set aside and a
//    failed save keeps the value in memory, each with a note to the user.
//    create_folder's error still reaches the setter's caller.
#pragma once

#include <cstdint>

#include "core/core.h"
#include "string/string.h"

namespace rizediveva6 {

// rct(Left, Top, Right, Bottom)
struct Rct {
  int32_t left, top, right, bottom;
};
// A list of integers: cells {1, value, tail}, the end {2}.
struct IntList {
  uint64_t functor;
  int32_t head;
  const IntList* tail;
  bool Empty() const { return (functor & 0xFF) == 2; }
};

class options_db {
 public:
  static const tav::ClassInfo classInfo;

  static void read_opt();

  static uint32_t days_previous_to_today_for_analysis();
  static void days_previous_to_today_for_analysis(uint32_t days);
  static uint32_t shortest_duty_mins();
  static void shortest_duty_mins(uint32_t minutes);
  // A font binary of the GUI layer (92 bytes of record, 96 with the size word).
  static const uint8_t* opt_font();
  static void opt_font(const uint8_t* font);
  static const wchar_t* base_folder();
  static void base_folder(const wchar_t* folder);
  static const wchar_t* publish_folder();
  static void publish_folder(const wchar_t* folder);
  static uint32_t boundary();
  static void boundary(uint32_t value);
  // Kept in memory only.
  static const wchar_t* default_base_folder();
  static void default_base_folder(const wchar_t* folder);

  // Keyed getters fail (false) when the key has no value of the kind.
  static bool various_s(const wchar_t* key, const wchar_t** value);
  static void various_s(const wchar_t* key, const wchar_t* value);
  static bool various_i(const wchar_t* key, int32_t* value);
  static void various_i(const wchar_t* key, int32_t value);
  static bool various_u64(const wchar_t* key, uint64_t* value);
  static void various_u64(const wchar_t* key, uint64_t value);
  static bool various_r(const wchar_t* key, double* value);
  static void various_r(const wchar_t* key, double value);
  static bool various_rct(const wchar_t* key, Rct* value);
  static void various_rct(const wchar_t* key, Rct value);
  static bool various_t(const wchar_t* key, uint64_t* value);
  static void various_t(const wchar_t* key, uint64_t value);
  static bool various_slist(const wchar_t* key, const tav::StringList** value);
  static void various_slist(const wchar_t* key, const tav::StringList* value);
  static bool various_ilist(const wchar_t* key, const IntList** value);
  static void various_ilist(const wchar_t* key, const IntList* value);
  static bool various_boo(const wchar_t* key, bool* value);
  static void various_boo(const wchar_t* key, bool value);

  // Removes the values of the kinds i, r, t and s under the key, then saves.
  static void remove(const wchar_t* key);
  static void create_folder(const wchar_t* folder);

 private:
  static void save_opt();
};

// The name of the options file: the program's folder + "opt.cns".
const wchar_t* OptionsFileName();

}  // namespace rizediveva6
