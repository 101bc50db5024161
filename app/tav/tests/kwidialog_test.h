// Helpers of the kwiDialog tests: description terms built on the global
// stack, a modeless dialog of the GUI layer with edit, list, scroll-bar and
// button controls whose control events run a caller's reaction, typing into
// a control, and the text form of a term.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "kwi/kwiDialog/kwiDialog.h"
#include "toolkit_test.h"

namespace dlgtest {

using namespace tktest;
using namespace tav::dlg;
namespace kd = tav::kwidomains;
namespace st = tav::dlgstore;
using tav::kwiDialog;
using tav::StringList;

template <class S>
const Tagged* Make(const S& value) {
  auto* t = static_cast<S*>(tav::GStackAlloc(sizeof(S)));
  *t = value;
  return reinterpret_cast<const Tagged*>(t);
}

// --- Properties (numeric ones take int32 or double arguments) ---
inline const Tagged* Mandatory() { return Make(Tagged{1}); }
inline const Tagged* Length(int32_t n) { return Make(PropInt{sp_length, n, 0}); }
inline const Tagged* DefaultText(const wchar_t* s) { return Make(PropText{sp_default, s}); }
inline const Tagged* Upper() { return Make(Tagged{sp_upper}); }
inline const Tagged* Lower() { return Make(Tagged{sp_lower}); }
inline const Tagged* Default(int32_t v) { return Make(PropInt{np_default, v, 0}); }
inline const Tagged* Range(int32_t lo, int32_t hi) { return Make(PropInt{np_range, lo, hi}); }
inline const Tagged* Minimum(int32_t v) { return Make(PropInt{np_minimum, v, 0}); }
inline const Tagged* Maximum(int32_t v) { return Make(PropInt{np_maximum, v, 0}); }
inline const Tagged* Default(double v) { return Make(PropReal{np_default, v, 0}); }
inline const Tagged* Minimum(double v) { return Make(PropReal{np_minimum, v, 0}); }
inline const Tagged* Decimals(uint32_t d) {
  return Make(PropInt{np_decimals, static_cast<int32_t>(d), 0});
}

// A list term of the given elements, on the global stack.
template <class L, class E>
const L* ListOf(std::initializer_list<E> items) {
  std::vector<E> v(items);
  const L* l = reinterpret_cast<const L*>(Make(Tagged{2}));
  for (size_t i = v.size(); i-- > 0;) l = reinterpret_cast<const L*>(Make(L{1, v[i], l}));
  return l;
}

inline const PropList* Props(std::initializer_list<const Tagged*> items) {
  return ListOf<PropList>(items);
}

inline const IntList* Ints(std::initializer_list<int64_t> v) {
  return reinterpret_cast<const IntList*>(kd::Ints(v));
}
inline const StringList* Strings(std::initializer_list<const wchar_t*> v) {
  return reinterpret_cast<const StringList*>(kd::Strings(v));
}

// --- Items ---
inline const Tagged* Void() { return Make(Tagged{kVoid}); }
inline const Tagged* EditStr(const wchar_t* text, const PropList* p) {
  return Make(KEditStr{k_editstr, text, p});
}
inline const Tagged* EditNum(Kind kind, const PropList* p) { return Make(KEditNum{kind, Void(), p}); }
inline const Tagged* EditInt(const PropList* p) { return EditNum(k_editint, p); }
inline const Tagged* EditReal(const PropList* p) { return EditNum(k_editreal, p); }
inline const Tagged* CheckBox(int32_t state) { return Make(KInt{k_checkbox, state}); }
inline const Tagged* ListBox(const StringList* items, const IntList* sel) {
  return Make(KListBox{k_listbox, items, sel});
}
inline const Tagged* ListButton(const StringList* items, int32_t i) {
  return Make(KListButton{k_listbutton, items, i});
}
inline const Tagged* ListEdit(const StringList* items, const wchar_t* text) {
  return Make(KListEdit{k_listedit, items, text});
}
inline const Tagged* ScrollBar(int32_t line, int32_t page, int32_t lo, int32_t hi) {
  return Make(KScroll{k_scrollbar, line, page, lo, hi, 0});
}

// --- Prompts ---
inline const Tagged* OwnPrompt(const wchar_t* s) { return Make(PromptText{pr_own, s}); }
inline const Tagged* DlgPrompt(int32_t id) { return Make(PromptId{pr_dlg, id}); }
inline const Tagged* StrPrompt(const wchar_t* s) { return Make(PromptText{pr_str, s}); }
inline const Tagged* NoPrompt() { return Make(Tagged{pr_nopr}); }

inline const Field* Df(int32_t id, const Tagged* item, const Tagged* prompt = nullptr) {
  return reinterpret_cast<const Field*>(
      Make(Field{1, id, item, prompt ? prompt : Make(Tagged{pr_nopr})}));
}
inline const FieldList* FieldsOf(std::initializer_list<const Field*> items) {
  return ListOf<FieldList>(items);
}

// --- Held values ---
inline const Tagged* Text(Kind kind, const wchar_t* s) { return Make(KText{kind, s}); }
inline const Tagged* Held(const wchar_t* s) { return Text(k_editstr, s); }
inline const Tagged* IntVal(Kind kind, int32_t v) { return Make(KInt{kind, v}); }

template <class R>
std::wstring TextOf(R& domain, const void* t) {
  return tav::T::ToString(tav::D(domain), static_cast<tav::term>(t));
}
inline std::wstring ValueText(const Tagged* v) { return TextOf(tav::domains::item_val, v); }
inline std::wstring HeldText(LONG_PTR dialog, int32_t id) {
  const Tagged* v = st::FirstVal(dialog, id);
  return v ? ValueText(v) : L"(none)";
}

// Control ids of the test dialog.
constexpr int kOk = 1, kEdit = 11, kEdit2 = 12, kLabel = 20, kList = 30, kMulti = 31,
              kButton = 32, kCombo = 33, kScroll = 40, kMultiLine = 50;

using Reaction = std::function<void(HWND dialog, const QEL_KWI::event_struct* e)>;

// A modeless dialog with every control the tests use, run inside the task
// window; control and user events go to `react`.  Its store entries are removed
// before and after.
inline void WithDialog(const std::function<void(LONG_PTR)>& body, Reaction react = nullptr) {
  using namespace QEL_KWI;
  RunInTask([&](LONG_PTR task) {
    Closure handler([&](HWND d, event_struct* e) -> LONG_PTR {
      if ((e->kind == e_control || e->kind == e_user) && react) {
        react(d, e);
        return 0;
      }
      Fail();
    });
    LONG_PTR dialog = win_CreateDynDialog(
        task,
        kd::Windefs({kd::DlgFont(wt_modeless, kd::Rect(10, 10, 260, 200), L"Fields", 2, L"Arial",
                                 8, kd::Ints({4, 9})),
                     kd::Ctl(wt_pushbutton, kd::Rect(200, 5, 250, 17), L"OK", kOk, kd::Ints({26})),
                     kd::Ctl(wt_edit, kd::Rect(5, 5, 120, 17), L"", kEdit, kd::Ints({26})),
                     kd::Ctl(wt_edit, kd::Rect(5, 20, 120, 32), L"", kEdit2, kd::Ints({26})),
                     kd::Ctl(wt_text, kd::Rect(125, 5, 195, 17), L"Label:", kLabel, kd::Ints({})),
                     kd::Ctl(wt_listbox, kd::Rect(5, 40, 60, 90), L"", kList, kd::Ints({26})),
                     kd::Ctl(wt_listbox, kd::Rect(65, 40, 120, 90), L"", kMulti, kd::Ints({26, 29})),
                     kd::Ctl(wt_listbutton, kd::Rect(125, 40, 190, 100), L"", kButton, kd::Ints({26})),
                     kd::Ctl(wt_listedit, kd::Rect(195, 40, 255, 100), L"", kCombo, kd::Ints({26})),
                     kd::Ctl(wt_hscroll, kd::Rect(5, 110, 120, 120), L"", kScroll, kd::Ints({})),
                     kd::Ctl(wt_edit, kd::Rect(5, 125, 120, 160), L"", kMultiLine, kd::Ints({26, 28}))}),
        &handler, 0);
    st::RemoveWindow(dialog);
    body(dialog);
    st::RemoveWindow(dialog);
    win_Destroy(dialog);
  });
}

inline HWND H(LONG_PTR w) { return reinterpret_cast<HWND>(w); }
inline HWND Ctl(LONG_PTR dialog, int id) { return GetDlgItem(H(dialog), id); }
inline LONG_PTR L(HWND w) { return reinterpret_cast<LONG_PTR>(w); }

// Types `text` into a control, one WM_CHAR at a time (8 is a backspace),
// letting the control send its own notifications.
inline void Type(HWND control, const std::wstring& text) {
  SetFocus(control);
  for (wchar_t c : text) {
    PostMessageW(control, WM_CHAR, c, 1);
    Pump(20);
  }
  Pump(50);
}

// Waits for a box script's helper, once its box is gone, while the GUI
// thread keeps pumping: the helper reads the texts of this thread's visible
// dialogs, the test dialog among them, so a plain join could wait for ever.
inline void Settle(Script& s, DWORD ms = 400) {
  Pump(ms);
  s.Finish();
}

// Guards a step that must show no "Error" box: any such box is closed and
// counted.  It finds boxes by class and title only, sending no message, so
// it never waits on the GUI thread (the answerer of answer.h reads the texts
// of every visible dialog, the test dialog among them, and must not be
// joined while the GUI thread does not pump).
class NoBox {
 public:
  NoBox()
      : t_([this] {
          while (!stop_) {
            if (HWND b = FindWindowW(L"#32770", L"Error")) {
              ++shown_;
              PostMessageW(b, WM_COMMAND, IDOK, 0);
              Sleep(100);
            }
            Sleep(10);
          }
        }) {}
  ~NoBox() {
    stop_ = true;
    t_.join();
  }
  int Shown() const { return shown_; }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<int> shown_{0};
  std::thread t_;
};

inline std::pair<DWORD, DWORD> Selection(HWND edit) {
  DWORD start = 0, end = 0;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return {start, end};
}

}  // namespace dlgtest
