// orv_list: small list functions over the runtime's list terms, and the
// typed list cell that the library's C++ code builds lists with.
//
// Invariants:
//  - A cell is {functor word, head, tail}; functor 1 is a cell, 2 the empty
//    list (a one-word block).  List<const wchar_t*> has StringList's layout.
//  - Results are new cells on the caller's global stack; inputs are never
//    changed; a result may share an input's unchanged tail.
//  - Every walk along a list is a loop: no stack growth per element.
#pragma once

#include "core/core.h"
#include "string/string.h"

namespace rizediveva6 {

template <class T>
struct List {
  uint64_t functor;
  T head;
  const List* tail;

  bool Empty() const { return (functor & 0xFF) == 2; }
};
static_assert(sizeof(List<const wchar_t*>) == sizeof(tav::StringList));

// The empty list: one static word, never written.
inline constexpr uint64_t kNilWord = 2;
template <class T>
const List<T>* Nil() {
  return reinterpret_cast<const List<T>*>(&kNilWord);
}
template <class T>
const List<T>* Cons(T head, const List<T>* tail) {
  auto* cell = static_cast<List<T>*>(tav::GStackAlloc(sizeof(List<T>)));
  cell->functor = 1;
  cell->head = head;
  cell->tail = tail;
  return cell;
}

// Builds a list front to back: Add appends a cell, Finish ends it with
// `rest` (shared) and gives the first cell.  Cells on the collected heap
// outlive backtracking (a scan that collects across solutions uses them).
template <class T>
class ListBuilder {
 public:
  explicit ListBuilder(bool onHeap = false) : onHeap_(onHeap) {}
  void Add(T v) {
    List<T>* cell = onHeap_ ? static_cast<List<T>*>(Qel::RunTime::Kernel::Memory::AllocHeap(sizeof(List<T>)))
                            : const_cast<List<T>*>(Cons<T>(v, nullptr));
    cell->functor = 1;
    cell->head = v;
    cell->tail = nullptr;
    if (last_) last_->tail = cell;
    else first_ = cell;
    last_ = cell;
  }
  const List<T>* Finish(const List<T>* rest = nullptr) {
    if (!rest) rest = Nil<T>();
    if (!last_) return rest;
    last_->tail = rest;
    return first_;
  }

 private:
  bool onHeap_;
  List<T>* first_ = nullptr;
  List<T>* last_ = nullptr;
};

template <class T>
const List<T>* MakeList(std::initializer_list<T> items) {
  ListBuilder<T> b;
  for (const T& v : items) b.Add(v);
  return b.Finish();
}

using SList = List<const wchar_t*>;
inline const tav::StringList* AsStringList(const SList* l) {
  return reinterpret_cast<const tav::StringList*>(l);
}
inline const SList* AsSList(const tav::StringList* l) { return reinterpret_cast<const SList*>(l); }

class orv_list {
 public:
  static const tav::ClassInfo classInfo;

  template <class T>
  static const List<T>* append(T element, const List<T>* list) {
    ListBuilder<T> b;
    for (; !list->Empty(); list = list->tail) b.Add(list->head);
    b.Add(element);
    return b.Finish();
  }
  // A copied, B shared.
  template <class T>
  static const List<T>* append_list(const List<T>* a, const List<T>* b) {
    ListBuilder<T> out;
    for (; !a->Empty(); a = a->tail) out.Add(a->head);
    return out.Finish(b);
  }
  // Position from 0 of the first equal string; false when absent.
  static bool slist_nth(const wchar_t* s, const SList* list, int32_t* position);
  // The n-th element from 1; false below 1 or past the end.
  static bool nth_slist(int32_t n, const SList* list, const wchar_t** element);
  static bool member(const wchar_t* s, const SList* list);
  template <class T>
  static bool nd_member(const List<T>* list, tav::Each<T> k) {
    for (; !list->Empty(); list = list->tail)
      if (tav::TrySolution(k, list->head)) return true;
    return false;
  }
  // The last element and the list without it; false for the empty list.
  template <class T>
  static bool last(const List<T>* list, T* lastElement, const List<T>** front) {
    if (list->Empty()) return false;
    ListBuilder<T> b;
    for (; !list->tail->Empty(); list = list->tail) b.Add(list->head);
    *lastElement = list->head;
    *front = b.Finish();
    return true;
  }
  // Without the first equal string; the rest after it shared.
  static const SList* remove(const wchar_t* s, const SList* list);
  // [a, b] for the head a of A and each b of B, then the rest of A with B
  // restarted from C.
  template <class T>
  static const List<const List<T>*>* multiply_lists(const List<T>* a, const List<T>* b,
                                                    const List<T>* c) {
    ListBuilder<const List<T>*> out;
    for (; !a->Empty(); a = a->tail, b = c)
      for (const List<T>* x = b; !x->Empty(); x = x->tail)
        out.Add(Cons<T>(a->head, Cons<T>(x->head, Nil<T>())));
    return out.Finish();
  }
  template <class T>
  static const List<const List<T>*>* multiply_lists(const List<T>* a, const List<T>* b) {
    return multiply_lists(a, b, b);
  }
};

}  // namespace rizediveva6
