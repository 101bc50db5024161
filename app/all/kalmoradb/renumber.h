// renumber: one step of the model that keeps every stored task, location or
// slot number naming what it named when its list shrinks or reorders.
//
// Invariants:
//  - A number_map gives each old number 1..10 its new number, 0 when it
//    goes; numbers outside 1..10 are never moved.  Only the numbers that
//    named something (1..known) decide whether a map moves anything.
//  - apply with a map that moves nothing changes nothing.  Otherwise it
//    rewrites the typical duties, the date changes, (slots) the weekend
//    entries, the display filter and the keys of the assignments and locks
//    (through sc_assign and lock_ass), the tie end keys and the can't-do
//    rules' numbers and duty keys; records of a
//    gone number are deleted with their entry (a tie with either end), and
//    a filter on a gone number becomes include_all.
//    Then it marks the document modified and asks for a rebuild.
//  - Maps are injective on the kept numbers, so rewrites never collide.
//  - group carries a group's new name into every doctor's group list,
//    group rule and group tie of the old one, or (deleted) drops the name
//    from the lists and deletes those rules and ties; it writes and marks
//    only the records that change.
#pragma once

#include <cstdint>

#include "SYSTEM/orv_list/orv_list.h"

namespace all {

enum class list_kind { task, where, slot };

struct number_map {
  uint32_t to[11];  // to[n] for n in 1..10; to[0] unused
  uint32_t known;   // numbers 1..known named an entry

  static number_map identity();
  // Row `row` deleted: row goes, each later number one less.
  static number_map after_delete(uint32_t row);
  // Every number goes.
  static number_map cleared();
  // The k-th occurrence of a name in `before` to its k-th occurrence in
  // `after`; an entry renamed in place (its position in `after` holds a
  // name new to the list and matched by nothing) keeps its number; else
  // gone, as are numbers past the end of `before`.
  static number_map lists(const rizediveva6::SList* before, const rizediveva6::SList* after);
  uint32_t operator()(uint32_t n) const { return n >= 1 && n <= 10 ? to[n] : n; }
  bool Moves() const;
};

class renumber {
 public:
  static void apply(list_kind kind, const number_map& map);
  // Group `old` renamed to `now`, or deleted (now null).
  static void group(const wchar_t* old, const wchar_t* now);
};

}  // namespace all
