// The data-entry dialog class against the raw dialog path in the same run:
// a modeless dialog of 50 typed fields (edit fields of the four kinds with
// properties, list boxes, check boxes) created with its values, read back
// with getValues and destroyed; the peer builds the same 50 controls from an
// in-memory DLGTEMPLATE (CreateDialogIndirectParamW), sets the values with
// SetWindowTextW, LB_ADDSTRING and BM_SETCHECK, reads them back and
// destroys the dialog.  Goal: 1.5 times the peer's time or better.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <vector>

#include "bench_task.h"
#include "bench_util.h"
#include "exception/exception.h"
#include "kwi/kwi.h"
#include "kwi/kwiDialog/kwiDialog.h"
#include "kwi/kwidomains.h"

using namespace tav;
using namespace tav::dlg;
using namespace QEL_KWI;
namespace kd = tav::kwidomains;

namespace {

constexpr int kRounds = 20;
constexpr double kGoal = 1.5;
constexpr int kEdits = 32, kLists = 9, kChecks = 9;  // 50 fields
constexpr int kFirstId = 100;

QEL_KWI::ilist_struct g_nil{QEL_KWI::ListNil, 0, nullptr};
QEL_KWI::menu_struct g_nomenu{3, 0};

template <class S>
const Tagged* Make(const S& value) {
  auto* t = static_cast<S*>(GStackAlloc(sizeof(S)));
  *t = value;
  return reinterpret_cast<const Tagged*>(t);
}
template <class L, class E>
const L* ListOf(const std::vector<E>& v) {
  const L* l = reinterpret_cast<const L*>(Make(Tagged{2}));
  for (size_t i = v.size(); i-- > 0;) l = reinterpret_cast<const L*>(Make(L{1, v[i], l}));
  return l;
}

// Field i's control: 0..31 edits, then list boxes, then check boxes, in a grid.
enum class Kind { edit, list, check };
Kind KindOf(int i) { return i < kEdits ? Kind::edit : i < kEdits + kLists ? Kind::list : Kind::check; }
RECT PlaceOf(int i) {
  const int x = 5 + (i % 5) * 62, y = 5 + (i / 5) * 22;
  return {x, y, x + 58, y + (KindOf(i) == Kind::list ? 20 : 12)};
}
const wchar_t* const kItems[] = {L"alpha", L"beta", L"gamma"};

const Tagged* ItemOf(int i) {
  switch (KindOf(i)) {
    case Kind::list: {
      auto* items = reinterpret_cast<const StringList*>(kd::Strings({kItems[0], kItems[1], kItems[2]}));
      return Make(KListBox{k_listbox, items, reinterpret_cast<const IntList*>(kd::Ints({1}))});
    }
    case Kind::check: return Make(KInt{k_checkbox, i % 2});
    case Kind::edit: break;
  }
  const Tagged* mandatory = Make(Tagged{1});
  switch (i % 4) {
    case 0: return Make(KEditStr{k_editstr, L"text", ListOf<PropList, const Tagged*>({mandatory, Make(PropInt{sp_length, 20, 0})})});
    case 1: return Make(KEditNum{k_editint, Make(OptInt{2, i}), ListOf<PropList, const Tagged*>({Make(PropInt{np_range, 0, 1000})})});
    case 2: return Make(KEditNum{k_editlong, Make(OptInt{2, i * 1000}), ListOf<PropList, const Tagged*>({Make(PropInt{np_minimum, 0, 0})})});
    default: return Make(KEditNum{k_editreal, Make(OptReal{2, i + 0.5}), ListOf<PropList, const Tagged*>({Make(PropInt{np_decimals, 2, 0})})});
  }
}

windef_list_struct* Definition() {
  std::vector<windef*> defs{kd::DlgFont(wt_modeless, kd::Rect(10, 10, 330, 250), L"Fields", 2, L"Arial", 8, kd::Ints({4, 9}))};
  for (int i = 0; i < kEdits + kLists + kChecks; ++i) {
    const RECT r = PlaceOf(i);
    const int type = KindOf(i) == Kind::edit ? wt_edit : KindOf(i) == Kind::list ? wt_listbox : wt_checkbox;
    defs.push_back(kd::Ctl(type, kd::Rect(r.left, r.top, r.right, r.bottom), KindOf(i) == Kind::check ? L"Check" : L"",
                           kFirstId + i, kd::Ints({})));
  }
  return kd::Windefs(defs.data(), static_cast<uint32_t>(defs.size()));
}

const FieldList* Fields() {
  std::vector<const Field*> fields;
  for (int i = 0; i < kEdits + kLists + kChecks; ++i)
    fields.push_back(reinterpret_cast<const Field*>(Make(Field{1, kFirstId + i, ItemOf(i), Make(Tagged{pr_nopr})})));
  return ListOf<FieldList>(fields);
}

double Ours(LONG_PTR task, size_t* values) {
  const double t0 = bench::Now();
  for (int round = 0; round < kRounds; ++round) {
    uint8_t* mark = K::Memory::MarkGStack();
    const ValList* none = nullptr;
    int32_t code = 0;
    const LONG_PTR d = kwiDialog::create(task, Definition(), Fields(), NoEventHandler(), 0, &none, &code);
    *values = 0;
    for (const ValList* l = kwiDialog::getValues(d); !l->Empty(); l = l->tail) ++*values;
    win_Destroy(d);
    K::Memory::ReleaseGStack(mark);
  }
  return bench::Now() - t0;
}

// --- The raw path ---------------------------------------------------------------------

void Word(std::vector<WORD>& t, WORD w) { t.push_back(w); }
void Align(std::vector<WORD>& t) {
  if (t.size() % 2) t.push_back(0);
}
void Dword(std::vector<WORD>& t, DWORD d) {
  t.push_back(LOWORD(d));
  t.push_back(HIWORD(d));
}
void Text(std::vector<WORD>& t, const wchar_t* s) {
  for (; *s; ++s) t.push_back(*s);
  t.push_back(0);
}

std::vector<WORD> Template() {
  std::vector<WORD> t;
  const int count = kEdits + kLists + kChecks;
  Dword(t, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT);
  Dword(t, 0);
  Word(t, static_cast<WORD>(count));
  Word(t, 10), Word(t, 10), Word(t, 320), Word(t, 240);
  Word(t, 0), Word(t, 0);  // no menu, the standard class
  Text(t, L"Fields");
  Word(t, 8);
  Text(t, L"Arial");
  for (int i = 0; i < count; ++i) {
    Align(t);
    const RECT r = PlaceOf(i);
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
    WORD cls = 0x81;
    if (KindOf(i) == Kind::list) style |= WS_BORDER | LBS_NOTIFY, cls = 0x83;
    else if (KindOf(i) == Kind::check) style |= BS_AUTOCHECKBOX, cls = 0x80;
    else style |= WS_BORDER | ES_AUTOHSCROLL;
    Dword(t, style);
    Dword(t, 0);
    Word(t, static_cast<WORD>(r.left)), Word(t, static_cast<WORD>(r.top));
    Word(t, static_cast<WORD>(r.right - r.left)), Word(t, static_cast<WORD>(r.bottom - r.top));
    Word(t, static_cast<WORD>(kFirstId + i));
    Word(t, 0xFFFF), Word(t, cls);
    Text(t, KindOf(i) == Kind::check ? L"Check" : L"");
    Word(t, 0);
  }
  return t;
}

INT_PTR CALLBACK Plain(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

double Peer(LONG_PTR task, size_t* values) {
  const std::vector<WORD> t = Template();
  wchar_t text[64];
  const double t0 = bench::Now();
  for (int round = 0; round < kRounds; ++round) {
    HWND d = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(t.data()),
                                        reinterpret_cast<HWND>(task), Plain, 0);
    *values = 0;
    for (int i = 0; i < kEdits + kLists + kChecks; ++i) {
      HWND c = GetDlgItem(d, kFirstId + i);
      if (KindOf(i) == Kind::edit) {
        std::swprintf(text, 64, L"%d", i);
        SetWindowTextW(c, text);
      } else if (KindOf(i) == Kind::list) {
        for (const wchar_t* s : kItems) SendMessageW(c, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
        SendMessageW(c, LB_SETCURSEL, 1, 0);
      } else {
        SendMessageW(c, BM_SETCHECK, i % 2, 0);
      }
    }
    for (int i = 0; i < kEdits + kLists + kChecks; ++i) {
      HWND c = GetDlgItem(d, kFirstId + i);
      if (KindOf(i) == Kind::edit) {
        GetWindowTextW(c, text, 64);
      } else if (KindOf(i) == Kind::list) {
        const LRESULT n = SendMessageW(c, LB_GETCOUNT, 0, 0);
        for (LRESULT k = 0; k < n; ++k) SendMessageW(c, LB_GETTEXT, k, reinterpret_cast<LPARAM>(text));
        SendMessageW(c, LB_GETCURSEL, 0, 0);
      } else {
        SendMessageW(c, BM_GETCHECK, 0, 0);
      }
      ++*values;
    }
    DestroyWindow(d);
  }
  return bench::Now() - t0;
}

void Run(LONG_PTR task) {
  size_t ourValues = 0, peerValues = 0;
  const double peer = Peer(task, &peerValues);
  const double ours = Ours(task, &ourValues);
  std::printf("\ndata-entry dialog, %d fields, %d rounds (%zu values read; peer %zu); peer: "
              "CreateDialogIndirectParamW and messages\n",
              kEdits + kLists + kChecks, kRounds, ourValues, peerValues);
  std::printf("  %-34s %8.1f ms  peer %8.1f ms  ratio %5.2f  goal %.1fx %s\n",
              "create, fill, getValues, destroy", ours * 1000, peer * 1000, ours / peer, kGoal,
              ours / peer <= kGoal ? "met" : "MISSED");
}

}  // namespace

int main() {
  InitializeUnit();
  exception::setexceptionstate(exceptionState::New());
  QEL_KWI::ilist_struct visible{QEL_KWI::ListCons, 9, &g_nil};
  return bench::RunInTask(&visible, &g_nomenu, L"bench_kwi_dialog", Run) ? 0 : 1;
}
