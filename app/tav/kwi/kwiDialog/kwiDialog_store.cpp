// The class-wide store of kwiDialog: one chain of cells per fact kind, cells
// and the terms they hold on the collected heap (the chain heads are static
// data, which the collector scans).  A cell is appended at the tail (titles
// at the head); a removal marks the cell and unlinks it, keeping its `next`
// so that a walk standing on it goes on.  Terms are deep heap copies, so
// they outlive the caller's global stack.
#include "kwi/kwiDialog/kwiDialog.h"

namespace tav::dlgstore {

using namespace dlg;

namespace {

struct Chain {
  Cell* head = nullptr;
  Cell* tail = nullptr;

  void Link(Cell* c, bool atFront) {
    if (atFront) {
      c->next = head;
      head = c;
      if (!tail) tail = c;
      return;
    }
    c->next = nullptr;
    (tail ? tail->next : head) = c;
    tail = c;
  }
  Cell* Add(Window w, const void* term, int32_t number, bool atFront = false) {
    auto* c = static_cast<Cell*>(K::Memory::AllocHeap(sizeof(Cell)));
    *c = Cell{w, term, number, false, nullptr, 0};
    Link(c, atFront);
    return c;
  }
  bool Unlink(Cell* c) {
    Cell* previous = nullptr;
    for (Cell* p = head; p; previous = p, p = p->next) {
      if (p != c) continue;
      (previous ? previous->next : head) = c->next;
      if (tail == c) tail = previous;
      c->removed = true;
      return true;
    }
    return false;
  }
  uint32_t Count(Window w) const {
    uint32_t n = 0;
    for (Cell* c = head; c; c = c->next) n += !c->removed && c->window == w;
    return n;
  }
  template <class P>
  Cell* Find(P&& match) const {
    for (Cell* c = head; c; c = c->next)
      if (!c->removed && match(c)) return c;
    return nullptr;
  }
  template <class P>
  bool RemoveFirst(P&& match) {
    Cell* c = Find(match);
    if (c) Unlink(c);
    return c != nullptr;
  }
  template <class P>
  void RemoveAll(P&& match) {
    for (Cell* c = head; c; c = c->next)
      if (!c->removed && match(c)) Unlink(c);
  }
};

Chain g_modeless, g_modal, g_userHandler, g_field, g_val, g_result, g_firstItem, g_okButton,
    g_ignoreEvent, g_title;
bool g_validating = false;

template <class S>
const S* Keep(T::RCompoundDomain& domain, const S* t) {
  const IDomainDefinition* d = D(domain);
  auto source = reinterpret_cast<term>(t);
  auto* block = static_cast<uint8_t*>(K::Memory::AllocHeap(d->AlignedSizeOfTerm(source)));
  uint32_t used = 0;
  return reinterpret_cast<const S*>(d->CopyTerm(block, source, false, &used));
}

bool Equal(T::RCompoundDomain& domain, const void* a, const void* b) {
  return T::CompareTerms(D(domain), static_cast<term>(a), static_cast<term>(b)) == 0;
}

const Field* FieldOf(const Cell* c) { return static_cast<const Field*>(c->term); }
const Val* ValOf(const Cell* c) { return static_cast<const Val*>(c->term); }

auto OfWindow(Window w) {
  return [w](const Cell* c) { return c->window == w; };
}

// A list of the terms of the matching cells, on the global stack.
template <class L, class E>
const L* Collect(const Chain& chain, Window w) {
  auto* nil = static_cast<L*>(GStackAlloc(sizeof(uint64_t)));
  nil->functor = 2;
  L* first = nil;
  L* last = nullptr;
  for (Cell* c = chain.head; c; c = c->next) {
    if (c->removed || c->window != w) continue;
    auto* cell = static_cast<L*>(GStackAlloc(sizeof(L)));
    *cell = L{1, static_cast<const E*>(c->term), nil};
    if (last) last->tail = cell; else first = cell;
    last = cell;
  }
  return first;
}

}  // namespace

Cell* FieldCells() { return g_field.head; }
Cell* ValCells() { return g_val.head; }

const Field* KeepField(const Field* f) { return Keep(domains::field, f); }
const Val* KeepVal(const Val* v) { return Keep(domains::val, v); }
const FieldList* KeepFields(const FieldList* l) { return Keep(domains::field_list, l); }

// 1 modeless_info: the term is the field list, the number the kind.
void AddModeless(Window w, const FieldList* fields, int32_t kind) {
  g_modeless.Add(w, KeepFields(fields), kind);
}
bool Modeless(Window w, const FieldList** fields, int32_t* kind) {
  const Cell* c = g_modeless.Find(OfWindow(w));
  if (!c) return false;
  *fields = static_cast<const FieldList*>(c->term);
  *kind = c->number;
  return true;
}
void RemoveModeless(Window w) { g_modeless.RemoveAll(OfWindow(w)); }

// 2 modal_info
void AddModal(Window w, const FieldList* fields) { g_modal.Add(w, KeepFields(fields), 0); }
bool Modal(Window w, const FieldList** fields) {
  const Cell* c = g_modal.Find(OfWindow(w));
  if (c) *fields = static_cast<const FieldList*>(c->term);
  return c != nullptr;
}
void RemoveModal(Window w) { g_modal.RemoveAll(OfWindow(w)); }

// 3 dialog_user_back_func
const QEL_KWI::PROLOG_EHANDLER_STRUCT* CopyHandler(const QEL_KWI::PROLOG_EHANDLER_STRUCT* h);
void AddUserHandler(Window w, const QEL_KWI::PROLOG_EHANDLER_STRUCT* h) {
  g_userHandler.Add(w, CopyHandler(h), 0);
}
const QEL_KWI::PROLOG_EHANDLER_STRUCT* CopyHandler(const QEL_KWI::PROLOG_EHANDLER_STRUCT* h) {
  auto* copy = static_cast<QEL_KWI::PROLOG_EHANDLER_STRUCT*>(
      K::Memory::AllocHeap(sizeof(QEL_KWI::PROLOG_EHANDLER_STRUCT)));
  *copy = *h;
  return copy;
}
const QEL_KWI::PROLOG_EHANDLER_STRUCT* UserHandler(Window w) {
  const Cell* c = g_userHandler.Find(OfWindow(w));
  return c ? static_cast<const QEL_KWI::PROLOG_EHANDLER_STRUCT*>(c->term) : nullptr;
}
bool RemoveUserHandler(Window w, const QEL_KWI::PROLOG_EHANDLER_STRUCT* h) {
  return g_userHandler.RemoveFirst([&](const Cell* c) {
    auto* k = static_cast<const QEL_KWI::PROLOG_EHANDLER_STRUCT*>(c->term);
    return c->window == w && k->function == h->function && k->object == h->object;
  });
}

// 4 win_dlg_field
void AddField(Window w, const Field* f) { g_field.Add(w, KeepField(f), 0); }
const Field* FirstField(Window w, int32_t id) {
  const Cell* c = g_field.Find([&](const Cell* c) { return c->window == w && FieldOf(c)->id == id; });
  return c ? FieldOf(c) : nullptr;
}
const Field* FirstFieldOfKind(Window w, int32_t id, Kind kind) {
  const Cell* c = g_field.Find([&](const Cell* c) {
    return c->window == w && FieldOf(c)->id == id && FieldOf(c)->item->functor == kind;
  });
  return c ? FieldOf(c) : nullptr;
}
const FieldList* Fields(Window w) { return Collect<FieldList, Field>(g_field, w); }
bool RemoveField(Window w, const Field* f) {
  return g_field.RemoveFirst(
      [&](const Cell* c) { return c->window == w && Equal(domains::field, c->term, f); });
}

// 5 win_dlg_val
void AddVal(Window w, const Val* v) { g_val.Add(w, KeepVal(v), 0); }
void AddVal(Window w, int32_t id, const Tagged* value) {
  const Val v{1, id, value};
  AddVal(w, &v);
}
const Tagged* FirstVal(Window w, int32_t id) {
  const Cell* c = g_val.Find([&](const Cell* c) { return c->window == w && ValOf(c)->id == id; });
  return c ? ValOf(c)->value : nullptr;
}
const Tagged* FirstValOfKind(Window w, int32_t id, Kind kind) {
  const Cell* c = g_val.Find([&](const Cell* c) {
    return c->window == w && ValOf(c)->id == id && ValOf(c)->value->functor == kind;
  });
  return c ? ValOf(c)->value : nullptr;
}
const ValList* Vals(Window w) { return Collect<ValList, Val>(g_val, w); }
bool RemoveVal(Window w, const Val* v) {
  return g_val.RemoveFirst(
      [&](const Cell* c) { return c->window == w && Equal(domains::val, c->term, v); });
}
void RemoveValsOfKind(Window w, int32_t id, Kind kind) {
  g_val.RemoveAll([&](const Cell* c) {
    return c->window == w && ValOf(c)->id == id && ValOf(c)->value->functor == kind;
  });
}
bool RemoveFirstValOfKind(Window w, int32_t id, Kind kind, const Tagged** removed) {
  Cell* c = g_val.Find([&](const Cell* c) {
    return c->window == w && ValOf(c)->id == id && ValOf(c)->value->functor == kind;
  });
  if (!c) return false;
  *removed = ValOf(c)->value;
  g_val.Unlink(c);
  return true;
}

// 6 dlg_result
void AddResult(Window w, int32_t result) { g_result.Add(w, nullptr, result); }
bool HasResult(Window w, int32_t result) {
  return g_result.Find([&](const Cell* c) { return c->window == w && c->number == result; });
}
bool Result(Window w, int32_t* result) {
  const Cell* c = g_result.Find(OfWindow(w));
  if (c) *result = c->number;
  return c != nullptr;
}

// 7 first_item_text
void AddFirstItemMarker(Window w, int32_t value) { g_firstItem.Add(w, nullptr, value); }
bool FirstItemMarker(Window w, int32_t* value) {
  const Cell* c = g_firstItem.Find(OfWindow(w));
  if (c) *value = c->number;
  return c != nullptr;
}
bool RemoveFirstItemMarker(Window w, int32_t value) {
  return g_firstItem.RemoveFirst(
      [&](const Cell* c) { return c->window == w && c->number == value; });
}

// 8 disable_ok_button
void SetOkDecision(Window w, int32_t enable) {
  g_okButton.RemoveAll(OfWindow(w));
  g_okButton.Add(w, nullptr, enable);
}
bool OkDecision(Window w, int32_t* enable) {
  const Cell* c = g_okButton.Find(OfWindow(w));
  if (c) *enable = c->number;
  return c != nullptr;
}

// 9 ignore_event
void AddIgnoreEvent(Window w) { g_ignoreEvent.Add(w, nullptr, 0); }
bool IgnoresEvents(Window w) { return g_ignoreEvent.Find(OfWindow(w)) != nullptr; }
bool RemoveIgnoreEvent(Window w) { return g_ignoreEvent.RemoveFirst(OfWindow(w)); }

// 10 dlg_user_title
void AddTitle(const wchar_t* title) { g_title.Add(0, HeapCopy(title), 0, true); }
const wchar_t* FirstTitle() {
  const Cell* c = g_title.Find([](const Cell*) { return true; });
  return c ? static_cast<const wchar_t*>(c->term) : nullptr;
}
bool RemoveTitle(const wchar_t* title) {
  return g_title.RemoveFirst(
      [&](const Cell* c) { return wcscmp(static_cast<const wchar_t*>(c->term), title) == 0; });
}

void RemoveWindow(Window w) {
  for (Chain* c : {&g_modeless, &g_modal, &g_userHandler, &g_field, &g_val, &g_result,
                   &g_firstItem, &g_okButton, &g_ignoreEvent})
    c->RemoveAll(OfWindow(w));
}

void RemoveVals(Window w, int32_t id) {
  g_val.RemoveAll([&](const Cell* c) { return c->window == w && ValOf(c)->id == id; });
}
void RemoveAllVals(Window w) { g_val.RemoveAll(OfWindow(w)); }
void RemoveFieldsOf(Window w, int32_t id) {
  g_field.RemoveAll([&](const Cell* c) { return c->window == w && FieldOf(c)->id == id; });
}
void RemoveAllFields(Window w) { g_field.RemoveAll(OfWindow(w)); }
void RemoveFirstItemMarkers(Window w) { g_firstItem.RemoveAll(OfWindow(w)); }
void RemoveUserHandlers(Window w) { g_userHandler.RemoveAll(OfWindow(w)); }

const QEL_KWI::PROLOG_EHANDLER_STRUCT* const* UserHandlers(Window w, uint32_t* count) {
  *count = g_userHandler.Count(w);
  auto* all = static_cast<const QEL_KWI::PROLOG_EHANDLER_STRUCT**>(
      GStackAlloc(static_cast<uint32_t>(sizeof(void*)) * (*count + 1)));
  uint32_t i = 0;
  for (Cell* c = g_userHandler.head; c; c = c->next)
    if (!c->removed && c->window == w)
      all[i++] = static_cast<const QEL_KWI::PROLOG_EHANDLER_STRUCT*>(c->term);
  return all;
}

// Hand-over entries.
Cell* AddPendingUserHandler(const QEL_KWI::PROLOG_EHANDLER_STRUCT* h) {
  return g_userHandler.Add(0, CopyHandler(h), 0);
}
Cell* AddPendingModal(const FieldList* fields) { return g_modal.Add(0, KeepFields(fields), 0); }
Cell* AddPendingModeless(const FieldList* fields, int32_t kind) {
  return g_modeless.Add(0, KeepFields(fields), kind);
}
Cell* AddPendingTitle(const wchar_t* title) { return g_title.Add(0, HeapCopy(title), 0, true); }

namespace {
// Moves the oldest entry under 0 of `chain` (matching `also`) to `w`.
template <class P>
Cell* Take(Chain& chain, Window w, P&& also) {
  Cell* c = chain.Find([&](const Cell* c) { return c->window == 0 && also(c); });
  if (!c) return nullptr;
  chain.Unlink(c);
  c->taker = w;
  chain.Add(w, c->term, c->number);
  return c;
}
auto Any() {
  return [](const Cell*) { return true; };
}
}  // namespace

const QEL_KWI::PROLOG_EHANDLER_STRUCT* TakeUserHandler(Window w) {
  Cell* c = Take(g_userHandler, w, Any());
  return c ? static_cast<const QEL_KWI::PROLOG_EHANDLER_STRUCT*>(c->term) : nullptr;
}
bool TakeModal(Window w) { return Take(g_modal, w, Any()) != nullptr; }
bool TakeModeless(Window w, const FieldList** fields, int32_t* kind) {
  Cell* c = Take(g_modeless, w, Any());
  if (!c) return false;
  *fields = static_cast<const FieldList*>(c->term);
  *kind = c->number;
  return true;
}
void Withdraw(Cell* c) {
  if (!c || c->removed) return;
  for (Chain* chain : {&g_modeless, &g_modal, &g_userHandler, &g_title})
    if (chain->Unlink(c)) return;
}
Window TakerOf(const Cell* c) { return c ? c->taker : 0; }

uint32_t CountEntries(Window w) {
  uint32_t n = w == 0 ? g_title.Count(0) : 0;
  for (Chain* c : {&g_modeless, &g_modal, &g_userHandler, &g_field, &g_val, &g_result,
                   &g_firstItem, &g_okButton, &g_ignoreEvent})
    n += c->Count(w);
  return n;
}

// validate_flag
void SetValidating() { g_validating = true; }
bool Validating() { return g_validating; }
void ClearValidating() { g_validating = false; }

}  // namespace tav::dlgstore
