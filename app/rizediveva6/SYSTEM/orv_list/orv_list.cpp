// orv_list: see the header.
#include "SYSTEM/orv_list/orv_list.h"

#include <cwchar>

namespace rizediveva6 {

const tav::ClassInfo orv_list::classInfo{L"qel6pack/orv_list/orv_list", TAV_CLASS_VERSION};

bool orv_list::slist_nth(const wchar_t* s, const SList* list, int32_t* position) {
  for (int32_t i = 0; !list->Empty(); list = list->tail, ++i)
    if (wcscmp(list->head, s) == 0) return *position = i, true;
  return false;
}

bool orv_list::nth_slist(int32_t n, const SList* list, const wchar_t** element) {
  if (n < 1) return false;
  for (int32_t i = 1; !list->Empty(); list = list->tail, ++i)
    if (i == n) return *element = list->head, true;
  return false;
}

bool orv_list::member(const wchar_t* s, const SList* list) {
  int32_t unused;
  return slist_nth(s, list, &unused);
}

const SList* orv_list::remove(const wchar_t* s, const SList* list) {
  ListBuilder<const wchar_t*> b;
  for (; !list->Empty(); list = list->tail) {
    if (wcscmp(list->head, s) == 0) return b.Finish(list->tail);
    b.Add(list->head);
  }
  return b.Finish();
}

}  // namespace rizediveva6
