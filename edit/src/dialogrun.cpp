// Dialog handlers.  Every handler runs under the GUI layer's trap and
// backtrack point; an event it does not handle fails, so the default
// processing runs.  The dialog's creation data is its editor window.  Texts
// read from the controls live on the global stack of the handler's call.
#include "dialogrun.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <initializer_list>
#include <iterator>

#include "core.h"
#include "dialogs.h"
#include "find.h"
#include "history.h"
#include "qel6kernel.h"
#include "qel6kwi_exchange.h"
#include "qel6kwi_win.h"
#include "search.h"
#include "settings.h"
#include "view.h"

namespace QEL_EDIT::detail {

namespace {

using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;

LONG_PTR replaceDialog = 0;

// --- Controls -----------------------------------------------------------------
// A combo box gets its history, the newest entry on top, and the current
// entry as its text, selected.
void ComboFill(LONG_PTR dialog, int id, const History& h, size_t units) {
  LONG_PTR combo = win_GetCtlHandle(dialog, id);
  lbox_Clear(combo);
  for (int32_t i = 0; i < h.Count(); ++i) lbox_Add_0(combo, 0, h.Entry(i));
  if (const wchar_t* current = h.CurrentEntry()) {
    wchar_t cut[History::MaxUnits + 1];
    size_t n = wcsnlen(current, units);
    wmemcpy(cut, current, n);
    cut[n] = 0;
    win_SetText(combo, cut);
    win_SelectText(combo, 0, static_cast<int>(n));
  }
}

// The GUI layer's note box, titled "Note".
void Note(const wchar_t* text, const wchar_t* tail = nullptr) {
  size_t n = wcslen(text) + (tail ? wcslen(tail) : 0);
  wchar_t* message = K::Memory::AllocGStackString(static_cast<uint32_t>(n));
  wcscpy(message, text);
  if (tail) wcscat(message, tail);
  dlg_Note(L"Note", message);
}

const wchar_t* ControlText(LONG_PTR dialog, int id) {
  return win_GetText(win_GetCtlHandle(dialog, id));
}

void SendUser(LONG_PTR editor, LONG_PTR id, LONG_PTR data) {
  event_struct e{};
  e.kind = e_user;
  e.w[0] = id;
  e.w[1] = data;
  win_SendEvent(editor, &e);
}

winlist_struct* Group(LONG_PTR dialog, std::initializer_list<int> ids) {
  auto* nil = reinterpret_cast<winlist_struct*>(K::Memory::AllocGStack(sizeof(winlist_struct)));
  *nil = {ListNil, 0, nullptr};
  winlist_struct* list = nil;
  for (auto it = std::rbegin(ids); it != std::rend(ids); ++it) {
    auto* c = reinterpret_cast<winlist_struct*>(K::Memory::AllocGStack(sizeof(winlist_struct)));
    *c = {ListCons, win_GetCtlHandle(dialog, *it), list};
    list = c;
  }
  return list;
}

void ShowOptions(LONG_PTR dialog) {
  const SearchOptions& o = searchState.options;
  win_Check(win_GetCtlHandle(dialog, ctl_caseSensitive), o.caseSensitive);
  win_Check(win_GetCtlHandle(dialog, ctl_wholeWords), o.wholeWords);
  win_Check(win_GetCtlHandle(dialog, ctl_regex), o.regex);
  win_CheckRadioButton(win_GetCtlHandle(dialog, o.forward ? ctl_forward : ctl_backward),
                       Group(dialog, {ctl_forward, ctl_backward}));
  int origin = o.selectionScope ? ctl_selectedText : o.origin ? ctl_entireScope : ctl_fromCursor;
  win_CheckRadioButton(win_GetCtlHandle(dialog, origin),
                       Group(dialog, {ctl_fromCursor, ctl_selectedText, ctl_entireScope}));
}

// The option controls of Find and Replace; false for another control.
bool OptionControl(LONG_PTR dialog, int id, bool remembersOrigin) {
  SearchOptions& o = searchState.options;
  switch (id) {
    case ctl_caseSensitive: o.caseSensitive = !o.caseSensitive; break;
    case ctl_wholeWords: o.wholeWords = !o.wholeWords; break;
    case ctl_regex: o.regex = !o.regex; break;
    case ctl_forward: o.forward = true; break;
    case ctl_backward: o.forward = false; break;
    case ctl_fromCursor:
    case ctl_entireScope:
      o.origin = id == ctl_entireScope ? 1 : 0;
      if (remembersOrigin) o.rememberedOrigin = o.origin;
      o.selectionScope = false;
      break;
    case ctl_selectedText:
      o.selectionScope = true;
      o.origin = 1;
      break;
    default: return false;
  }
  ShowOptions(dialog);
  return true;
}

LONG_PTR EditorOf(LONG_PTR dialog) { return win_GetData(dialog); }

// --- Opening ------------------------------------------------------------------
void OnOpen(LONG_PTR dialog, int32_t id) {
  LONG_PTR editor = EditorOf(dialog);
  SendUser(editor, id, dialog);
  const bool goTo = id == dlg_goToLine || id == dlg_goToPosition;
  const History& h = id == dlg_goToLine ? histories.goToLine
                     : id == dlg_goToPosition ? histories.goToPosition : histories.find;
  ComboFill(dialog, ctl_findText, h, goTo ? 32 : 128);
  if (id == dlg_replace) ComboFill(dialog, ctl_replaceText, histories.replace, 128);
  if (!goTo) {
    const Selection& s = EditorData(editor)->selection;
    searchState.options.selectionScope = s.active && s.anchorLine != s.caretLine;
    ShowOptions(dialog);
  }
  if (id == dlg_replace) {
    searchState.matchPending = searchState.changeAll = false;
    win_SetIcon(dialog, 9012);
  }
  if (id != dlg_goToPosition) win_SetFocus(win_GetCtlHandle(dialog, ctl_findText));
}

// A dialog event common to all four; true when handled.
bool Common(LONG_PTR dialog, event_struct* e, int32_t id, int32_t helpData) {
  switch (e->kind) {
    case e_create:
      OnOpen(dialog, id);
      return true;
    case e_destroy:
      SendUser(EditorOf(dialog), 0, dialog);
      return true;
    case e_control:
      if (e->w[0] == ctl_close) {
        win_Destroy(dialog);
        return true;
      }
      if (e->w[0] == ctl_help) {
        SendUser(EditorOf(dialog), 3, helpData);
        return true;
      }
      return false;
    default:
      return false;
  }
}

bool Activated(event_struct* e, int id) {
  return e->kind == e_control && e->w[0] == id &&
         reinterpret_cast<controlinfo*>(e->w[3])->alt == ci_activated;
}

// --- Handlers -------------------------------------------------------------------
LONG_PTR FindHandler(LONG_PTR dialog, event_struct* e) {
  if (Common(dialog, e, dlg_find, 4)) return 0;
  if (e->kind == e_control && OptionControl(dialog, static_cast<int>(e->w[0]), true)) return 0;
  if (!Activated(e, ctl_ok)) K::Fail();
  const wchar_t* text = ControlText(dialog, ctl_findText);
  if (!*text) {
    Note(L"No search string specified");
    return 0;
  }
  histories.find.Add(text);
  EditorRecord* ed = EditorData(EditorOf(dialog));
  if (SearchStr(ed, text)) {
    RefreshStatusPos(ed);
    win_Destroy(dialog);
  } else {
    Note(L"Search string not found: ", text);
  }
  return 0;
}

LONG_PTR ReplaceHandler(LONG_PTR dialog, event_struct* e) {
  SearchState& st = searchState;
  if (e->kind == e_destroy) {
    st.matchPending = false;
    replaceDialog = 0;
    LONG_PTR editor = EditorOf(dialog);
    if (IsWindow(reinterpret_cast<HWND>(editor))) {  // not when the editor goes first
      SendUser(editor, 0, dialog);
      RefreshStatusPos(EditorData(editor));
    }
    return 0;
  }
  if (e->kind == e_closerequest) {
    st.matchPending = false;
    K::Fail();  // the default closing
  }
  if (Activated(e, ctl_close)) st.matchPending = false;
  if (Common(dialog, e, dlg_replace, 5)) return 0;
  if (e->kind == e_control && OptionControl(dialog, static_cast<int>(e->w[0]), false)) return 0;
  bool findOnly = false;
  if (Activated(e, ctl_changeAll)) {
    st.changeAll = true;
  } else if (Activated(e, ctl_findNext)) {
    findOnly = !st.changeAll;
  } else if (!Activated(e, ctl_ok)) {
    K::Fail();
  }
  const wchar_t* find = ControlText(dialog, ctl_findText);
  if (!*find) {
    st.changeAll = false;
    Note(L"No search string specified");
    return 0;
  }
  const wchar_t* replacement = ControlText(dialog, ctl_replaceText);
  histories.find.Add(find);
  if (*replacement) histories.replace.Add(replacement);
  EditorRecord* ed = EditorData(EditorOf(dialog));
  const bool changeAll = st.changeAll;
  int32_t found = ReplaceDriver(ed, find, replacement, findOnly);
  st.changeAll = false;  // one press, one Change All: a later Find Next only finds
  st.options.origin = 0;
  st.options.selectionScope = false;
  ShowOptions(dialog);
  RefreshStatusPos(ed);
  if (changeAll && st.replacementCount > 0) {
    LONG_PTR editor = EditorOf(dialog);
    int32_t count = st.replacementCount;
    win_Destroy(dialog);
    SendUser(editor, 10006, count);
  } else if (changeAll ? st.replacementCount == 0 : !found) {
    Note(L"Search string not found: ", find);
  }
  return 0;
}

LONG_PTR GoToLineHandler(LONG_PTR dialog, event_struct* e) {
  if (Common(dialog, e, dlg_goToLine, 6)) return 0;
  if (!Activated(e, ctl_ok)) K::Fail();
  const wchar_t* text = ControlText(dialog, ctl_findText);
  if (!*text) {
    Note(L"Line number is not specified");
    return 0;
  }
  int32_t line = 0;
  if (!ReadDigits(text, &line)) line = 0;  // anything but digits counts as 0
  EditorRecord* ed = EditorData(EditorOf(dialog));
  if (!GoToLine(ed, line)) {
    Note(L"Cannot go to specified Line number");
    return 0;
  }
  histories.goToLine.Add(text);
  win_Destroy(dialog);
  return 0;
}

LONG_PTR GoToPositionHandler(LONG_PTR dialog, event_struct* e) {
  if (e->kind == e_closerequest) K::Fail();
  if (Common(dialog, e, dlg_goToPosition, 7)) return 0;
  if (!Activated(e, ctl_ok)) K::Fail();
  const wchar_t* text = ControlText(dialog, ctl_findText);
  if (!*text) {
    Note(L"Position is not specified");
    return 0;
  }
  int32_t position = 0;
  EditorRecord* ed = EditorData(EditorOf(dialog));
  if (!ReadDigits(text, &position) || !GoToPosition(ed, static_cast<uint32_t>(position), true)) {
    Note(L"Cannot go to specified Position");
    return 0;
  }
  histories.goToPosition.Add(text);
  win_Destroy(dialog);
  return 0;
}

PROLOG_EHANDLER_STRUCT findHandler{reinterpret_cast<void*>(&FindHandler), nullptr};
PROLOG_EHANDLER_STRUCT replaceHandler{reinterpret_cast<void*>(&ReplaceHandler), nullptr};
PROLOG_EHANDLER_STRUCT goToLineHandler{reinterpret_cast<void*>(&GoToLineHandler), nullptr};
PROLOG_EHANDLER_STRUCT goToPositionHandler{reinterpret_cast<void*>(&GoToPositionHandler), nullptr};

LONG_PTR Open(LONG_PTR window, int32_t id, PROLOG_EHANDLER_STRUCT* handler) {
  const DialogSpec* spec = FindDialogSpec(id);
  if (kwi_CheckExistDialog(static_cast<unsigned>(id)))
    return win_CreateResDialog(window, spec->type, static_cast<unsigned>(id), handler, window);
  return win_CreateDynDialog(window, BuildDialogList(*spec), handler, window);
}

// A selection within one line, shorter than 128 characters, joins the Find history.
void SelectionToFindText(EditorRecord* ed) {
  const Selection& s = ed->selection;
  if (!s.active || s.anchorLine != s.caretLine) return;
  int32_t from = std::min(s.anchorCol, s.caretCol), to = std::max(s.anchorCol, s.caretCol);
  if (to - from >= 128 || to == from) return;
  LineText line = ReadLineText(ed, s.anchorLine);
  if (static_cast<uint32_t>(to - 1) > line.length) return;
  wchar_t text[128];
  wmemcpy(text, line.text + from - 1, to - from);
  text[to - from] = 0;
  histories.find.Add(text);
}

}  // namespace

LONG_PTR ReplaceDialogWindow() { return replaceDialog; }

void CloseReplaceDialog() {
  if (replaceDialog) win_Destroy(replaceDialog);
}

void DialogCommand(LONG_PTR window, EditorRecord* ed, int32_t command) {
  SearchState& st = searchState;
  switch (command) {
    case cmd_find:
      if (replaceDialog) {
        win_SetFocus(replaceDialog);
        return;
      }
      st.options.origin = st.options.rememberedOrigin;
      SelectionToFindText(ed);
      Open(window, dlg_find, &findHandler);
      break;
    case cmd_replace:
      if (ed->readOnly) return;
      if (replaceDialog) {
        win_SetFocus(replaceDialog);
        return;
      }
      st.options.origin = 1;
      SelectionToFindText(ed);
      replaceDialog = Open(window, dlg_replace, &replaceHandler);
      break;
    case cmd_findNext:
      if (const wchar_t* text = histories.find.CurrentEntry()) {
        if (!SearchAgain(ed, text))
          Note(L"Search string not found: ", text);
      }
      break;
    case cmd_goToLine:
      Open(window, dlg_goToLine, &goToLineHandler);
      break;
    case cmd_goToPosition:
      Open(window, dlg_goToPosition, &goToPositionHandler);
      break;
    default:
      break;
  }
  RefreshStatusPos(ed);
}

}  // namespace QEL_EDIT::detail
