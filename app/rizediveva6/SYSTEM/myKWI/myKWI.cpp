// myKWI: see the header.
#include "SYSTEM/myKWI/myKWI.h"

#include "exception/exception.h"
#include "kwi/kwi.h"
#include "kwi/kwicommondialogs.h"
#include "kwi/kwimessage/kwimessage.h"
#include "qel6kwi.h"

namespace rizediveva6 {

using namespace tav;

const ClassInfo myKWI::classInfo{L"qel6pack/myKWI/myKWI", TAV_CLASS_VERSION};

namespace {

// The defaults: the window toolkit's boxes and message window, and the GUI
// layer's task window.  String lists share the GUI layer's slist layout.
void Note(const wchar_t* text) { kwiCommonDialogs::note(text); }
void ErrorBox(const wchar_t* text) { kwiCommonDialogs::error(text); }
void WriteMessage(const wchar_t* text) {
  T::TEllipsisArgs<1> one;
  one.SetTerm(0, D(tav::domains::string), text);
  kwiMessage::write(one);
  kwi::processevents();
}
void CloseTaskWindow() { QEL_KWI::win_Destroy(QEL_KWI::kwi_GetTaskWin()); }

QEL_KWI::slist_struct* Slist(const StringList* l) {
  return const_cast<QEL_KWI::slist_struct*>(reinterpret_cast<const QEL_KWI::slist_struct*>(l));
}
static_assert(sizeof(QEL_KWI::slist_struct) == sizeof(StringList));

bool GetFileName(const FileDialogRequest& r, const wchar_t** chosen, const StringList** selected) {
  // The flags as the GUI layer's integer list.
  QEL_KWI::ilist_struct* flags = nullptr;
  auto* nil = static_cast<QEL_KWI::ilist_struct*>(GStackAlloc(sizeof(uint64_t)));
  nil->functor = 2;
  flags = nil;
  for (uint32_t i = r.flagCount; i-- > 0;) {
    auto* cell = static_cast<QEL_KWI::ilist_struct*>(GStackAlloc(sizeof(QEL_KWI::ilist_struct)));
    *cell = QEL_KWI::ilist_struct{1, r.flags[i], flags};
    flags = cell;
  }
  QEL_KWI::slist_struct* names = nullptr;
  const wchar_t* name =
      kwiCommonDialogs::getfilename(r.initialName, Slist(r.filters), r.title, flags, r.startFolder, &names);
  if (!name) return false;
  *chosen = name;
  *selected = names ? reinterpret_cast<const StringList*>(names) : EmptyStringList();
  return true;
}

bool Ask(const wchar_t* question, const StringList* buttons, uint32_t* answer) {
  int32_t pressed = 0;
  if (!kwiCommonDialogs::ask(question, Slist(buttons), &pressed)) return false;
  *answer = static_cast<uint32_t>(pressed);
  return true;
}

Dialogs xtable = myKWI::toolkit_dialogs();

// The entry, or the unsupported-predicate error naming the operation.
template <class F>
F Need(F entry, const wchar_t* operation) {
  if (!entry) {
    TAV_AT();
    common_exception::raise_unsupportedpredicate(&myKWI::classInfo, operation);
  }
  return entry;
}

}  // namespace

Dialogs myKWI::toolkit_dialogs() {
  return Dialogs{&Note, &ErrorBox, &WriteMessage, &CloseTaskWindow, &GetFileName, &Ask};
}
const Dialogs& myKWI::dialogs() { return xtable; }
Dialogs myKWI::set_dialogs(const Dialogs& table) {
  Dialogs previous = xtable;
  xtable = table;
  return previous;
}

void myKWI::note(const wchar_t* text) { Need(xtable.note, L"myKWI::note")(text); }
void myKWI::error(const wchar_t* text) { Need(xtable.error, L"myKWI::error")(text); }

void myKWI::message_write(const T::REllipsisArg* values) {
  auto write = Need(xtable.message_write, L"myKWI::message_write");
  // Each value by itself through "%" ("%%" would be a percent sign).
  const wchar_t* text = L"";
  for (uintptr_t i = 0; i < values->count; ++i) {
    T::TEllipsisArgs<1> one;
    one.domains[0] = values->Domains()[i];
    one.values[0] = values->Values()[i];
    text = string::concat(text, string::format(L"%", one));
  }
  write(text);
}

void myKWI::message_write(std::initializer_list<const wchar_t*> texts) {
  auto write = Need(xtable.message_write, L"myKWI::message_write");
  const wchar_t* text = L"";
  for (const wchar_t* t : texts) text = string::concat(text, t);
  write(text);
}

void myKWI::close_app() { Need(xtable.close_app, L"myKWI::close_app")(); }

bool myKWI::getfilename(const FileDialogRequest& request, const wchar_t** chosen,
                        const StringList** selected) {
  return Need(xtable.getfilename, L"myKWI::getfilename")(request, chosen, selected);
}

bool myKWI::ask(const wchar_t* question, const StringList* buttons, uint32_t* answer) {
  return Need(xtable.ask, L"myKWI::ask")(question, buttons, answer);
}

}  // namespace rizediveva6
