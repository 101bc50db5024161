// Term builders and small shared steps of kwiDialog's sources.  Every term
// is built on the caller's global stack; lists share the GUI layer's cell
// layout, so the layer's string and integer lists are used as they are.
#pragma once

#include "kwi/kwiDialog/kwiDialog.h"

namespace tav::dlgterms {

using namespace dlg;

template <class S>
S* New(const S& value) {
  auto* t = static_cast<S*>(GStackAlloc(sizeof(S)));
  *t = value;
  return t;
}
inline const Tagged* Tag(const void* t) { return static_cast<const Tagged*>(t); }

inline const Tagged* IntValue(Kind kind, int32_t v) { return Tag(New(KInt{kind, v})); }
inline const Tagged* TextValue(Kind kind, const wchar_t* s) { return Tag(New(KText{kind, s})); }

inline const StringList* FromLayer(const QEL_KWI::slist_struct* l) {
  return reinterpret_cast<const StringList*>(l);
}
inline QEL_KWI::slist_struct* ToLayer(const StringList* l) {
  return const_cast<QEL_KWI::slist_struct*>(reinterpret_cast<const QEL_KWI::slist_struct*>(l));
}
inline const IntList* FromLayer(const QEL_KWI::ilist_struct* l) {
  return reinterpret_cast<const IntList*>(l);
}

// The GUI layer's list kinds: list box, list edit, list button.
inline bool IsListKind(int type) {
  return type == QEL_KWI::wt_listbox || type == QEL_KWI::wt_listedit ||
         type == QEL_KWI::wt_listbutton;
}

// True when the state list of `window` holds `flag`.
bool HasState(LONG_PTR window, int64_t flag);

// Runs body under a trap; an error is discarded (clear_and_fail) and the
// result is false.
template <class Body>
bool Trapped(Body&& body) {
  const uint32_t code = K::RunTrapped(body);
  if (code == 0) return true;
  kwiDialog::clear_and_fail(code);
  return false;
}

// The property list of an edit item (null for other kinds).
inline const PropList* PropsOf(const Tagged* item) {
  switch (item->functor) {
    case k_editstr: return As<KEditStr>(item).props;
    case k_editint:
    case k_editlong:
    case k_editreal: return As<KEditNum>(item).props;
    default: return nullptr;
  }
}

inline uint32_t Length(const wchar_t* s) { return static_cast<uint32_t>(wcslen(s)); }

}  // namespace tav::dlgterms

namespace tav::dlgterms {

// Calls a handler closure; false when it fails (errors pass).
bool CallHandler(const QEL_KWI::PROLOG_EHANDLER_STRUCT* h, LONG_PTR window,
                 QEL_KWI::event_struct* e, LONG_PTR* result);

// Runs body and then `after`, also when body raises (the error then passes on).
template <class Body, class After>
void Finally(Body&& body, After&& after) {
  const uint32_t code = K::RunTrapped(body);
  after();
  if (code) K::Errors::Qel_ErrorExit(code);
}

// Runs body with the window's events shielded; a body that runs inside
// another shield of the window runs directly.
template <class Body>
void Shielded(LONG_PTR window, Body&& body) {
  if (dlgstore::IgnoresEvents(window)) return body();
  dlgstore::AddIgnoreEvent(window);
  Finally(body, [&] {
    while (dlgstore::RemoveIgnoreEvent(window)) {
    }
  });
}

}  // namespace tav::dlgterms
