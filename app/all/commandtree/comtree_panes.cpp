// comtree: the layout of the tree view and the three panes, the panes'
// handlers, the title and the help line with the verdicts of assignment
// attempts.
//
// Invariants:
//  - Every proportion rounds half away from zero through the runtime's
//    real-to-integer conversion; each rectangle has one function.
//  - A layout stores the height it fell back to, so the two options always
//    hold the heights last used; "stat_win_height" is read and stored only
//    while the statistics pane is shown.
//  - The tree view's right edge is xborder and its bottom the client
//    bottom - 1 after every layout.
//  - The timer never takes the focus away from the top data pane or a
//    window inside it, and never lets an error out of the timer event.
#include <windows.h>

#include <algorithm>

#include "KWI/Wyn/checked.h"
#include "SYSTEM/options/options_db.h"
#include "commandtree/comtree.h"
#include "kalmoradb/kalmora_DB.h"
#include "kwi/kwi.h"
#include "kwi/kwidomains.h"
#include "liboxes/stats_tab.h"
#include "mycal/draw_assign.h"
#include "mycal/draw_cant_dos.h"
#include "mycal/draw_dtbd.h"
#include "mycal/draw_hols.h"
#include "mycal/draw_ties.h"
#include "mycal/draw_weekends.h"
#include "phase1/sc_phase1.h"
#include "string/string.h"
#include "unit.h"

namespace all {

namespace K = Qel::RunTime::Kernel;
namespace kd = tav::kwidomains;
using namespace QEL_KWI;
using rizediveva6::checked::R2I;
using options = rizediveva6::options_db;

namespace {

const wchar_t kTitleHeight[] = L"title_height";
const wchar_t kStatHeight[] = L"stat_win_height";

rect_struct Client(LONG_PTR window) { return *win_GetClientRect(window); }
int32_t TaskBottom() { return Client(kwi_GetTaskWin()).bottom; }

void ShowPane(LONG_PTR pane, bool show) { win_SetState(pane, show ? kd::Ints({13, 10}) : kd::Ints({12, 11})); }

// --- Rectangles ----------------------------------------------------------------------

rect_struct TitleRect(const rect_struct& client) {
  return {static_cast<int32_t>(comtree::db5.xborder.get()), 0, client.right, comtree::y1_border()};
}
rect_struct TopRect(const rect_struct& client) {
  return {static_cast<int32_t>(comtree::db5.xborder.get()), comtree::y1_border(), client.right, comtree::y2_border()};
}
rect_struct BottomRect(const rect_struct& client) {
  return {static_cast<int32_t>(comtree::db5.xborder.get()), comtree::y2_border(), client.right, client.bottom};
}
rect_struct TreeRect(const rect_struct& client) {
  return {0, static_cast<int32_t>(kwi_GetAttrVal(506)), static_cast<int32_t>(comtree::db5.xborder.get()),
          client.bottom - 1};
}
// The title's band: 35 % of the pane's height, 30 pixels in.
rect_struct TitleBand(const rect_struct& pane) {
  return {pane.left + 30, pane.top, pane.right, pane.top + R2I(0.35 * (pane.bottom - pane.top))};
}
// The help line: from 40 % of the pane's height down, 30 pixels in.
rect_struct HelpRect(const rect_struct& pane) {
  return {pane.left + 30, pane.top + R2I((pane.bottom - pane.top) * 0.4), pane.right, pane.bottom};
}

void Layout() { comtree::position_3_windows(); }

// Handled: returns; not handled: fails.
[[noreturn]] void NotHandled() { K::Fail(); }

bool OptionInt(const wchar_t* key, int32_t* value) { return options::various_i(key, value); }

// The title pane's menu commands; false: not handled.
bool TitleMenu(uint32_t id) {
  int32_t v = 0;
  switch (id) {
    case comtree::kTitleTaller:
      if (!OptionInt(kTitleHeight, &v)) return false;
      options::various_i(kTitleHeight, v + 10);
      break;
    case comtree::kTitleShorter:
      options::various_i(kTitleHeight, OptionInt(kTitleHeight, &v) && v > 20 ? v - 10 : 10);
      break;
    case comtree::kHideTitle:
      comtree::toggle_show_title();
      return true;
    case comtree::kTreeWider:
      comtree::db5.xborder.set(comtree::db5.xborder.get() + 10);
      break;
    case comtree::kTreeNarrower:
      if (comtree::db5.xborder.get() <= 20) return false;
      comtree::db5.xborder.set(comtree::db5.xborder.get() - 10);
      break;
    case comtree::kStatsTaller:
      if (!OptionInt(kStatHeight, &v)) return false;
      options::various_i(kStatHeight, v + 40);
      break;
    case comtree::kStatsShorter:
      if (!OptionInt(kStatHeight, &v)) return false;
      options::various_i(kStatHeight, std::min(std::max(v, 20), 800) - 40);
      break;
    case comtree::kShowStats:
    case comtree::kHideStats:
      if (!kalmora_DB::is_init()) return false;
      comtree::toggle_show_stats_continuously();
      return true;
    default: return false;
  }
  Layout();
  return true;
}

// The focus is on the window or on one inside it.
bool FocusWithin(LONG_PTR window) {
  HWND w = reinterpret_cast<HWND>(window);
  HWND focus = GetFocus();
  return focus && (focus == w || IsChild(w, focus));
}

// The first open calendar layer takes the event; false: none is open.
bool ToLayer(LONG_PTR window, event_struct* e) {
  comtree::section3& v = comtree::db3;
  if (!v.db_cal_hols.present() && !v.db_cal_we.present() && !v.db_cal_cant_do.present() &&
      !v.db_cal_ties.present() && !v.db_cal_dtbd.present() && !v.db_cal_assign.present())
    return false;
  comtree::try_show_titlewin_buttons(true);
  if (v.db_cal_hols.present()) v.db_cal_hols.view->_hols_eh(window, e);
  else if (v.db_cal_we.present()) v.db_cal_we.view->_we_eh(window, e);
  else if (v.db_cal_cant_do.present()) v.db_cal_cant_do.view->_cant_do_eh(window, e);
  else if (v.db_cal_ties.present()) v.db_cal_ties.view->_ties_eh(window, e);
  else if (v.db_cal_dtbd.present()) v.db_cal_dtbd.view->_dtbd_eh(window, e);
  else v.db_cal_assign.view->_assign_eh(window, e);
  return true;
}

const wchar_t* Cat(const wchar_t* a, const wchar_t* b, const wchar_t* c = L"", const wchar_t* d = L"",
                   const wchar_t* e = L"", const wchar_t* f = L"") {
  return tav::string::concat(a, b, c, d, e, f);
}

// "Tie prevents this <kind> <suffix><duty 1>:\n<duty 2>"; null when a duty
// is gone.
const wchar_t* TieText(const wchar_t* suffix, const TieDatTerm* tie) {
  const DutyTerm *first = nullptr, *second = nullptr;
  if (!sc_phase1::get_duty_by_key(tie->first, &first) || !sc_phase1::get_duty_by_key(tie->second, &second))
    return nullptr;
  const wchar_t *d1 = nullptr, *d2 = nullptr, *where = nullptr;
  kalmora_DB::duty_desc1(first->dat, &d1, &where);
  kalmora_DB::duty_desc1(second->dat, &d2, &where);
  const wchar_t* kind = Qel::RunTime::Terms::ToString(
      tav::D(domains::which_tie), reinterpret_cast<Qel::RunTime::Terms::term>(const_cast<WhichTieTerm*>(tie->who)));
  return Cat(L"Tie prevents this ", kind, L" ", suffix, d1, Cat(L":\n", d2));
}

}  // namespace

// --- Layout ------------------------------------------------------------------------

int32_t comtree::y1_border() {
  const LONG_PTR title = db6.xtitle_win.get();
  if (!db5.boo_showing_title) {
    ShowPane(title, false);
    return 0;
  }
  int32_t h = 0;
  if (!OptionInt(kTitleHeight, &h) || h <= 10 || h >= 200) {
    h = R2I(TaskBottom() * 0.05);
    options::various_i(kTitleHeight, h);
  }
  ShowPane(title, true);
  return h;
}

int32_t comtree::y2_border() {
  const LONG_PTR bottom = db6.xdata_winbot.get();
  const int32_t b = TaskBottom();
  if (!db5.boo_show_bot_stat_win) {
    ShowPane(bottom, false);
    return b;
  }
  int32_t s = 0;
  if (!OptionInt(kStatHeight, &s) || s <= 10 || s >= 800 || b - s <= 0) {
    s = R2I(b * 0.3);
    options::various_i(kStatHeight, s);
  }
  ShowPane(bottom, true);
  return b - s;
}

void comtree::position_3_windows() {
  K::RunTrapped([] {
    const rect_struct client = Client(kwi_GetTaskWin());
    rect_struct r = TitleRect(client);
    win_Move(db6.xtitle_win.get(), &r);
    r = TopRect(client);
    win_Move(db6.xdata_wintop.get(), &r);
    win_SetScrollRange(db6.xdata_wintop.get(), 1, 1, 20);
    r = BottomRect(client);
    win_Move(db6.xdata_winbot.get(), &r);
    r = TreeRect(client);
    win_Move(db6.xtreeviewwin.get(), &r);
    win_Invalidate_0(db6.xdata_wintop.get());
  });
  rizediveva6::TrapAndForget([] { try_show_titlewin_buttons(); });
}

// --- Handlers ------------------------------------------------------------------------

LONG_PTR comtree::_xtitle_win_eh(LONG_PTR window, event_struct* e) {
  switch (e->kind) {
    case e_menu:
      if (!TitleMenu(static_cast<uint32_t>(e->w[0]))) NotHandled();
      return 0;
    case e_mousemove:
      update_cs_help(255, L"Right click HERE for window size settings");
      return 0;
    case e_mousedown:
      if (e->w[2] != 1) NotHandled();
      menu_PopUp(window, tav::kwi::menugetres(kTitleMenu), reinterpret_cast<pnt_struct*>(e->w[0]), 0);
      return 0;
    case e_update:
      update_title();
      update_cs_help();
      return 0;
    case e_control:
      if (e->w[0] == kNextButton || e->w[0] == kPreviousButton) win_SendEvent(db6.xdata_wintop.get(), e);
      NotHandled();
    default: NotHandled();
  }
}

LONG_PTR comtree::_xdata_wintop_eh(LONG_PTR window, event_struct* e) {
  if (e->kind == e_timer) {
    if (FocusWithin(window)) return 0;
    if (rizediveva6::TrapAndForget([] { focus_on_cal(); })) NotHandled();
    return 0;
  }
  if (ToLayer(window, e)) return 0;
  if (e->kind != e_size) NotHandled();
  win_Invalidate_0(window);
  return 0;
}

LONG_PTR comtree::_xdata_winbot_eh(LONG_PTR window, event_struct* e) {
  if (e->kind == e_update)
    for (uint32_t i = 0; i < db3.db_stats_tab.size(); ++i)
      if (db3.db_stats_tab[i].window == window) db3.db_stats_tab[i].view->re_draw();
  NotHandled();
}

// --- Title and help line --------------------------------------------------------------

void comtree::update_title() {
  uint8_t* font = const_cast<uint8_t*>(options::opt_font());
  ilist_struct* styles = nullptr;
  int size = 0;
  font_GetAttrs(font, &styles, &size);
  const LONG_PTR title = db6.xtitle_win.get();
  win_SetFont(title, font_SetAttrs(font, styles, R2I(1.6 * size)));
  if (!db6.boo_init) return;
  rect_struct band = TitleBand(Client(title));
  win_Clear_1(title, &band, 0xFFFFFF);
  draw_TextInRect(title, &band, db3.xtitle.get(), -1, kd::Ints({2}));
}

void comtree::update_cs_help() {
  if (!db6.boo_init) return;
  const LONG_PTR title = db6.xtitle_win.get();
  win_SetFont(title, const_cast<uint8_t*>(options::opt_font()));
  rect_struct help = HelpRect(Client(title));
  const cs_help_dom line = db3.xcs_help.get();
  win_Clear_1(title, &help, 0xFFFFFF);
  win_SetForeColor(title, line.number);
  draw_TextInRect(title, &help, line.text, -1, kd::Ints({2, 13}));
}

void comtree::update_cs_help(int32_t colour, const wchar_t* text) {
  db3.xcs_help.set({1, tav::HeapCopy(text), colour});
  update_cs_help();
}

const wchar_t* comtree::verdict_text(const wchar_t* suffix, const ReasonTerm* verdict) {
  switch (verdict->Kind()) {
    case reason_kind::can_do_it: return Cat(L"Can do it ", suffix);
    case reason_kind::cant_rule_reason:
      if (static_cast<rule_reason_kind>(verdict->rule->functor) == rule_reason_kind::cant_do_it)
        return Cat(L"Can't do it ", verdict->rule->text, L" ", suffix);
      return Cat(L"Tie (rule) prevents this ", suffix);
    case reason_kind::cant_assign_reason:
      switch (static_cast<assign_reason_kind>(verdict->assign->functor)) {
        case assign_reason_kind::is_busy: return Cat(L"Is busy doing something else ", suffix);
        case assign_reason_kind::tie_prevents_assign: {
          const wchar_t* volatile text = nullptr;
          rizediveva6::TrapAndForget([&] { text = TieText(suffix, verdict->assign->tie); });
          return text ? text : Cat(L"Tie (assign) prevents this ", suffix);
        }
        case assign_reason_kind::duty_is_already_assigned: return Cat(L"Already assigned ", suffix);
      }
      break;
    case reason_kind::unknown: return Cat(L"Cannot assign - ?? ", suffix, L" ", verdict->text);
  }
  return Cat(L"Cannot assign - ?? ", suffix, L" ", L"");
}

void comtree::update_cs_help(int32_t colour, const wchar_t* suffix, const ReasonTerm* verdict) {
  if (!db6.boo_init) return;
  update_cs_help(colour, verdict_text(suffix, verdict));
  if (verdict->Kind() == reason_kind::can_do_it) Sleep(10);
  else if (verdict->Kind() == reason_kind::unknown) Sleep(500);
}

}  // namespace all
