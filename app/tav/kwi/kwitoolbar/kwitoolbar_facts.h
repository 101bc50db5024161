// The class facts of kwiToolbar, shared by every toolbar of the process (GUI
// thread only, no locks).  Each fact is a chain of records on the collected
// heap, reached from a static head, found in assertion order; a change
// retracts the record and asserts the changed one at the end.  Strings and
// lists a record holds are collected copies, so they live as long as it.
// Loops that change the chain they walk work on a snapshot on the global
// stack, so a re-asserted record is never visited twice.
#pragma once

#include "kwi/kwitoolbar/kwitoolbar.h"

namespace tav::tbar {

template <class R>
class FactChain {
 public:
  struct Node {
    R rec;
    Node* next;
  };
  struct Snapshot {
    R** items;
    uint32_t count;
  };

  R* Assert(const R& r) {
    auto* n = static_cast<Node*>(K::Memory::AllocHeap(sizeof(Node)));
    n->rec = r;
    n->next = nullptr;
    (tail_ ? tail_->next : head_) = n;
    tail_ = n;
    return &n->rec;
  }
  // Unlinks the record; false when it is not in the chain.
  bool Retract(const R* r) {
    Node* prev = nullptr;
    for (Node* n = head_; n; prev = n, n = n->next) {
      if (&n->rec != r) continue;
      (prev ? prev->next : head_) = n->next;
      if (tail_ == n) tail_ = prev;
      return true;
    }
    return false;
  }
  template <class P>
  R* First(P&& p) const {
    for (Node* n = head_; n; n = n->next)
      if (p(n->rec)) return &n->rec;
    return nullptr;
  }
  template <class P>
  Snapshot Collect(P&& p) const {
    uint32_t count = 0;
    for (Node* n = head_; n; n = n->next) count += p(n->rec) ? 1 : 0;
    auto** items = static_cast<R**>(GStackAlloc((count ? count : 1) * sizeof(R*)));
    uint32_t i = 0;
    for (Node* n = head_; n; n = n->next)
      if (p(n->rec)) items[i++] = &n->rec;
    return {items, count};
  }
  template <class P>
  void RetractAll(P&& p) {
    Snapshot s = Collect(p);
    for (uint32_t i = 0; i < s.count; ++i) Retract(s.items[i]);
  }
  // Retracts the record and asserts the changed copy at the end.
  template <class F>
  R* Replace(const R* r, F&& change) {
    R copy = *r;
    change(copy);
    Retract(r);
    return Assert(copy);
  }
  bool Empty() const { return head_ == nullptr; }

 private:
  Node* head_ = nullptr;
  Node* tail_ = nullptr;
};

// tb(ParentWin, ToolbarWin, Style, MaxCtrlWidth, MaxCtrlHeight, Action, EventTarget, Ornament)
struct TbRec {
  LONG_PTR parent, win;
  style st;
  int32_t maxW, maxH;
  actionfunc action;
  LONG_PTR target;
  int32_t ornament;
};
// ctrl(Win, Id, Group, ControlStyle, Rect, Bitmap, Text, Enabled, State)
struct CtrlRec {
  LONG_PTR win;
  uint32_t id;
  int32_t group;
  ControlStyle cs;
  rect_struct rect;
  BitmapIdTerm bitmap;
  const wchar_t* text;
  int32_t enabled, state;
};
// lbut(Win, Id, Rect, Items, Enabled, Selection)
struct LbutRec {
  LONG_PTR win;
  uint32_t id;
  rect_struct rect;
  const slist_struct* items;
  int32_t enabled, selection;
};
// text(Win, Id, TextStyle, Rect, FontStyle, FontFamily, FontSize, TextColor, Text)
struct TextRec {
  LONG_PTR win;
  uint32_t id;
  TextStyle ts;
  rect_struct rect;
  int32_t fontStyle, fontFamily;
  int16_t fontSize;
  uint32_t textColor;
  const wchar_t* text;
};
// separatorline(Win, P1, P2, P3, P4)
struct SepRec {
  LONG_PTR win;
  pnt_struct p1, p2, p3, p4;
};
// inside(Id, TimerId), choosecontrol(Id)
struct InsideRec {
  uint32_t id;
  LONG_PTR timer;
};
struct ChooseRec {
  uint32_t id;
};
// tooltip_current(ToolbarWin, Rect, Text, Pnt), tooltip_win(ParentWin, TipWin,
// TextWin), tooltip_mouse(ToolbarWin, Pnt), tooltip_info(ToolbarWin, Rect, Text)
struct TipCurrentRec {
  LONG_PTR win;
  rect_struct rect;
  const wchar_t* text;
  pnt_struct pnt;
};
struct TipWinRec {
  LONG_PTR parent, tip, text;
};
struct TipMouseRec {
  LONG_PTR win;
  pnt_struct pnt;
};
struct TipInfoRec {
  LONG_PTR win;
  rect_struct rect;
  const wchar_t* text;
};
// A single fact holding a timer (and the hide timer's tick count).
struct SingleTimer {
  bool present;
  LONG_PTR timer;
  int32_t count;
};

struct Facts {
  FactChain<TbRec> tb;
  FactChain<CtrlRec> ctrl;
  FactChain<LbutRec> lbut;
  FactChain<TextRec> text;
  FactChain<SepRec> separatorline;
  FactChain<InsideRec> inside;
  FactChain<ChooseRec> choosecontrol;
  bool flagmousedown;
  FactChain<TipCurrentRec> tooltip_current;
  SingleTimer tooltip_first_time_timer, tooltip_show_timer, tooltip_hide_timer;
  FactChain<TipWinRec> tooltip_win;
  bool tooltip_in_use, tooltip_first_time, tooltip_first_time_creating;
  FactChain<TipMouseRec> tooltip_mouse;
  FactChain<TipInfoRec> tooltip_info;
};
Facts& facts();

bool SameRect(const rect_struct& a, const rect_struct& b);
bool SamePnt(const pnt_struct& a, const pnt_struct& b);
bool SameStyle(const style& a, const style& b);
bool Horizontal(const style& s);

}  // namespace tav::tbar
