// myKWI: see the header.
#include "SYSTEM/myKWI/myKWI.h"

#include "exception/exception.h"
#include "qel6kwi.h"

namespace rizediveva6 {

using namespace tav;

const ClassInfo myKWI::classInfo{L"qel6pack/myKWI/myKWI", TAV_CLASS_VERSION};

namespace {

// The window toolkit's common dialogs and message window are not part of the
// build yet: their entries stay empty and refuse (see Need).  Closing the
// program goes to the GUI layer itself.
void CloseTaskWindow() { QEL_KWI::win_Destroy(QEL_KWI::kwi_GetTaskWin()); }

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
  Dialogs d{};
  d.close_app = &CloseTaskWindow;
  return d;
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
