// calendarWIN: see the header.
#include "mycal/calendarWIN.h"

#include <cmath>
#include <cwchar>

#include "SYSTEM/options/options_db.h"
#include "SYSTEM/timepack/mytime.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/typical_db.h"
#include "stream/stream.h"

namespace all {

using namespace QEL_KWI;
using rizediveva6::mytime;
using rizediveva6::options_db;
using rizediveva6::time_convert;
using rizediveva6::wyn;
namespace K = Qel::RunTime::Kernel;

const tav::ClassInfo calendarWIN::classInfo{L"qel6pack/all/mycal/calendarWIN", TAV_CLASS_VERSION};
const wchar_t* calendarWIN::db_date_format = nullptr;

namespace {

constexpr int32_t kGreyPen = 0x808080;

ilist_struct kEnd{ListNil, 0, nullptr};
ilist_struct kCentred{ListCons, 2, &kEnd};
ilist_struct kLeftTop{ListCons, 5, &kEnd};

ilist_struct* Flags(int32_t code) { return code == 2 ? &kCentred : &kLeftTop; }

bool IsScreen(wyndow t) { return t.alt == wyndow::screen; }

// The saved view when all three values are present and usable.
bool SavedView(uint32_t* across, uint32_t* down, uint64_t* start) {
  int32_t a, d;
  uint64_t s;
  if (!options_db::various_i(L"weeksacross", &a) || !options_db::various_i(L"weeksdown", &d) ||
      !options_db::various_u64(L"weekstart", &s))
    return false;
  if (a < 1 || a > 5 || d < 1 || d > 20) return false;
  if (K::RunTrapped([&] {
        time_convert::tv_week_no(s);
        time_convert::tv_date(s);
      }))
    return false;
  *across = static_cast<uint32_t>(a);
  *down = static_cast<uint32_t>(d);
  *start = s;
  return true;
}

// Stores a view value; a value the options already hold is not written
// again (each write saves the options file).
void KeepInt(const wchar_t* key, int32_t value) {
  int32_t held;
  if (!options_db::various_i(key, &held) || held != value) options_db::various_i(key, value);
}
void KeepU64(const wchar_t* key, uint64_t value) {
  uint64_t held;
  if (!options_db::various_u64(key, &held) || held != value) options_db::various_u64(key, value);
}

bool Simple() {
  int32_t v;
  return options_db::various_i(L"simple", &v) && v == 1;
}

}  // namespace

int32_t RoundHalfAway(double v) { return rizediveva6::checked::R2I(std::round(v)); }

calendarWIN* calendarWIN::new_calendarwin(LONG_PTR window) {
  calendarWIN* c = tav::NewObject<calendarWIN>();
  c->new_calendarwin_init(window);
  return c;
}

void calendarWIN::new_calendarwin_init(LONG_PTR window) {
  uint32_t across = 1, down = 2;
  uint64_t start = 0;
  if (!SavedView(&across, &down, &start)) start = kalmora_DB::get_start_date();
  xweeks_down_ = down;
  xweeks_across_ = across;
  thiswin_ = window;
  thiswyn_ = rizediveva6::Screen(window);
  xstart_display_ = start;
  xend_ = kalmora_DB::get_end_date();
  bySp_.reserve(kSpCells);
  for (uint32_t i = 0; i < kSpCells; ++i) bySp_.push_back(0);
  xhscroll_down_ = rizediveva6::o_scroll::create_main_vsb(window);
  xhscroll_down_->setscrollrange(1, 20);
  xvscrollweeksacross_ = rizediveva6::o_scroll::create_main_hsb(window);
  xvscrollweeksacross_->setscrollrange(1, 5);
  K::RunTrapped([&] {
    const controlinfo acrossPos{ci_scroll, 5, static_cast<LONG_PTR>(across)};
    const controlinfo downPos{ci_scroll, 5, static_cast<LONG_PTR>(down)};
    xvscrollweeksacross_->scroll_it(&acrossPos);
    xhscroll_down_->scroll_it(&downPos);
  });
}

void calendarWIN::drew_cal() {
  held_context held(thiswyn_);
  K::RunTrapped([&] {
    xend_ = kalmora_DB::get_end_date();
    wyn::wsetfont(thiswyn_, const_cast<uint8_t*>(options_db::opt_font()));
    int32_t across, down, lo, hi;
    xvscrollweeksacross_->scroll_pos(&across, &lo, &hi);
    xhscroll_down_->scroll_pos(&down, &lo, &hi);
    if (across < 1 || across > 5 || down < 1 || down > 20) rizediveva6::RaiseRangeError();
    xweeks_across_ = static_cast<uint32_t>(across);
    KeepInt(L"weeksacross", across);
    xweeks_down_ = static_cast<uint32_t>(down);
    KeepInt(L"weeksdown", down);
    KeepU64(L"weekstart", xstart_display_);
    const uint32_t startWeek = time_convert::tv_week_no(xstart_display_);
    const uint32_t endWeek = time_convert::tv_week_no(xend_);
    draw_calendar(endWeek, startWeek);
  });
  held.release();
}

void calendarWIN::_cal_eh(LONG_PTR, const event_struct* e) {
  K::RunTrapped([&] {
    switch (e->kind) {
      case e_control:
        if (e->w[0] == 981 || e->w[0] == 982) {
          move_start_time(e->w[0] == 981 ? 1 : -1);
          cal_full_draw();
          win_Invalidate_0(thiswin_);
        }
        break;
      case e_move: win_Invalidate_0(thiswin_); break;
      case e_vscroll:
      case e_hscroll: {
        cal_full_draw();
        const controlinfo info{ci_scroll, e->w[0], e->w[1]};
        (e->kind == e_vscroll ? xhscroll_down_ : xvscrollweeksacross_)->scroll_it(&info);
        break;
      }
      default: break;
    }
  });
}

bool calendarWIN::nd_slot_rct(tav::Each<const slot_rct*> k) const {
  for (uint32_t i = 0; i < ndb_slot_rct_.size(); ++i)
    if (tav::TrySolution(k, &ndb_slot_rct_[i])) return true;
  return false;
}

bool calendarWIN::nd_slot_rct(const dt& date, tav::Each<const slot_rct*> k) const {
  for (uint32_t i = 0; i < ndb_slot_rct_.size(); ++i)
    if (ndb_slot_rct_[i].date == date && tav::TrySolution(k, &ndb_slot_rct_[i])) return true;
  return false;
}

wyndow calendarWIN::get_cal_wyn() const { return thiswyn_; }

void calendarWIN::cal_full_draw() {
  boo_just_draw_rects_ = false;
  for (const slot_rct& r : ndb_slot_rct_) {
    uint32_t i;
    if (SpIndex(r.at, &i)) bySp_[i] = 0;
  }
  ndb_slot_rct_.clear();
}

void calendarWIN::move_start_time(int32_t direction) {
  cal_full_draw();
  switch (direction) {
    case 0: xstart_display_ = time_convert::date_tv(kalmora_DB::sp_dt(sp{1, 1, 1})); break;
    case 1:
    case -1: {
      tav::time* t = tav::time::new_(tav::gmtTime::new_(xstart_display_));
      const tav::timeInterval* week = tav::timeInterval::new_(7, 0, 0, 0.0);
      if (direction == 1) t->addinterval(week);
      else t->subtractinterval(week);
      xstart_display_ = t->getgmttime();
      break;
    }
    default: break;
  }
}

void calendarWIN::set_thiswyn(wyndow t) { thiswyn_ = t; }

const slot_rct* calendarWIN::slot_of(const sp& at) const {
  uint32_t i;
  if (!SpIndex(at, &i) || bySp_.size() != kSpCells || !bySp_[i]) return nullptr;
  return &ndb_slot_rct_[static_cast<uint32_t>(bySp_[i] - 1)];
}

const slot_rct* calendarWIN::slot_at(pnt_struct p) const {
  for (const slot_rct& r : ndb_slot_rct_)
    if (PointIn(r.rect, p)) return &r;
  return nullptr;
}

// --- Drawing ------------------------------------------------------------------------

int32_t calendarWIN::line_height() {
  int32_t w, h;
  if (!K::Succeeds([&] {
        if (!wyn::wgettextextent(thiswyn_, L"HelloForSize", -1, &w, &h)) K::Fail();
      }))
    return 20;
  return RoundHalfAway(1.5 * h);
}

void calendarWIN::days_area(int32_t* left, int32_t* right) {
  rect_struct c{};
  wyn::wgetclientrect(thiswyn_, &c);
  *left = RoundHalfAway(0.05 * c.right);
  *right = RoundHalfAway((IsScreen(thiswyn_) ? 0.99 : 0.95) * c.right);
}

void calendarWIN::draw_calendar(uint32_t endWeek, uint32_t startWeek) {
  tools_.forget();
  tools_.fore(thiswyn_, 0);
  tools_.backmode(thiswyn_, 1);
  rect_struct c{};
  wyn::wgetclientrect(thiswyn_, &c);
  geometry g{};
  g.lineH = line_height();
  const double avail = 0.99 * c.bottom - g.lineH;
  if (avail <= 0) return;
  g.rowH = RoundHalfAway(avail / xweeks_down_);
  days_area(&g.left, &g.right);
  g.slots = kalmora_DB::number_of_slots_per_day();
  if (g.slots < 1 || g.slots > 10) rizediveva6::RaiseRangeError();
  simple_ = Simple();
  if (IsScreen(thiswyn_)) K::RunTrapped([&] { win_Clear_0(thiswyn_.window, 0x000000); });
  tools_.forget();  // the clear puts its own pen and brush back
  K::RunTrapped([&] { draw_header(g); });
  if (boo_just_draw_rects_) K::RunTrapped([&] { draw_kept_cells(); });
  // One row of Across weeks per step: exactly the rows of the view that
  // start inside the target.
  for (uint32_t row = 0; row < xweeks_down_; ++row) {
    const uint64_t week = uint64_t{startWeek} + uint64_t{row} * xweeks_across_;
    if (week >= endWeek) break;
    const int32_t top = RoundHalfAway(row * 2.0 + double(row) * g.rowH + g.lineH);
    if (top >= c.bottom) break;
    if (K::RunTrapped([&] { draw_row(g, startWeek, static_cast<uint32_t>(week)); })) break;
  }
  boo_just_draw_rects_ = true;
}

void calendarWIN::simple_or_fade(int32_t colour, rect_struct r) {
  if (simple_) {
    wyn::wdrawrect(thiswyn_, r);
    return;
  }
  wyn::o_fade_rect(thiswyn_, r, true, wyn::decompose(colour), rizediveva6::rgb{255, 255, 255});
  tools_.forget_pen();  // the fade's pens
  tools_.brush(thiswyn_, {1, 0xFFFFFF});
  tools_.pen(thiswyn_, {1, 0, 0x000000});
  wyn::wdrawrect(thiswyn_, r);
}

void calendarWIN::draw_header(const geometry& g) {
  db_date_format = nullptr;
  tools_.pen(thiswyn_, {1, 0, 0x000000});
  tools_.brush(thiswyn_, {2, 0xFFFFFF});
  const int32_t dayW = RoundHalfAway(double(g.right - g.left) / (xweeks_across_ * 7));
  const tav::StringList* names = mytime::daynames();
  xdb_dtext_ = xweeks_across_ == 1 ? 2 : 5;
  int32_t x = g.left;
  for (uint32_t w = 0; w < xweeks_across_; ++w) {
    for (const tav::StringList* n = names; !n->Empty(); n = n->tail) {
      const int32_t colour = n->head[0] == L'S' ? 0x00FFFF : 0xC0C0C0;
      simple_or_fade(colour, {x - 1, 0, x + dayW, g.lineH});
      wyn::wdrawtextinrect(thiswyn_, {x, 0, x + dayW, g.lineH}, n->head, -1, Flags(xdb_dtext_));
      x += dayW;
    }
  }
}

void calendarWIN::cell_tools(int32_t* textColour) {
  const bool printer = thiswyn_.alt == wyndow::prnt;
  tools_.brush(thiswyn_, {2, printer ? 0xFFFFFFu : 0u});
  *textColour = printer ? 0x000000 : 0xFFFFFF;
}

void calendarWIN::draw_kept_cells() {
  int32_t text;
  cell_tools(&text);
  tools_.pen(thiswyn_, {1, 0, kGreyPen});
  for (const slot_rct& r : ndb_slot_rct_) {
    wyn::wdrawrect(thiswyn_, r.rect);
    if (r.text[0]) {
      tools_.fore(thiswyn_, text);
      wyn::wdrawtextinrect(thiswyn_, r.rect, r.text, -1, Flags(xdb_dtext_));
      tools_.fore(thiswyn_, 0);
    }
  }
}

void calendarWIN::draw_row(const geometry& g, uint32_t startWeek, uint32_t week) {
  const uint32_t row = (week - startWeek) / xweeks_across_;
  const int32_t top = RoundHalfAway(row * 2.0 + double(row) * g.rowH + g.lineH);
  const int32_t bottom = top + g.rowH - 1;
  const uint32_t rowNo = week - startWeek + 1;
  if (rowNo < 1 || rowNo > 104) rizediveva6::RaiseRangeError();
  draw_slot_labels(g, top + 1, bottom, rowNo);
  if (boo_just_draw_rects_) return;
  const int32_t dayW = RoundHalfAway(double(g.right - g.left) / (xweeks_across_ * 7));
  int32_t text;
  uint64_t day = time_convert::week_no_tv(week);
  int32_t x = g.left;
  for (uint32_t d = 0; d < xweeks_across_ * 7; ++d) {
    cell_tools(&text);
    K::RunTrapped([&] { draw_day(g, day, x, top, bottom); });
    day = time_convert::start_of_tomorrow(day);
    x += dayW;
  }
}

void calendarWIN::draw_slot_labels(const geometry& g, int32_t top, int32_t bottom, uint32_t rowNo) {
  const double slotH = double(bottom - top) / g.slots;
  for (uint32_t k = 1; k <= g.slots; ++k) {
    const int32_t y = RoundHalfAway((k - 1) * slotH + top);
    const rect_struct cell{0, y, g.left, y + RoundHalfAway(slotH) + 1};
    tools_.brush(thiswyn_, {2, 0xFFFFFF});
    tools_.fore(thiswyn_, 0xFF0000);
    wchar_t head[16];
    swprintf(head, 16, L" (%u) ", rowNo);
    const wchar_t* name = kalmora_DB::get_slot_name(k);
    const size_t n = wcslen(head) + wcslen(name) + 1;
    wchar_t* label = K::Memory::AllocHeapString(static_cast<uint32_t>(n));
    swprintf(label, n, L"%ls%ls", head, name);
    simple_or_fade(0xC85A5A, cell);  // rgb(90, 90, 200)
    tools_.pen(thiswyn_, {1, 0, 0x000000});
    wyn::wdrawtextinrect(thiswyn_, cell, label, -1, Flags(xdb_dtext_));
    tools_.fore(thiswyn_, 0);
  }
}

const wchar_t* calendarWIN::date_text(uint64_t day, int32_t maxWidth) {
  if (db_date_format) return mytime::tv_format(day, db_date_format);
  static const wchar_t* const pictures[] = {L"dd MMM yyyy", L"dd MMM yy", L"dd MMM", L"dd/MM", L"d/M"};
  for (const wchar_t* p : pictures) {
    const wchar_t* text = mytime::tv_format(day, p);
    int32_t w, h;
    if (wyn::wgettextextent(thiswyn_, text, -1, &w, &h) && w < maxWidth) {
      db_date_format = p;
      return text;
    }
  }
  return mytime::tv_format(day, L"d");
}

void calendarWIN::draw_day(const geometry& g, uint64_t day, int32_t x, int32_t top, int32_t bottom) {
  const dt date = time_convert::tv_date(day);
  uint32_t dayNo;
  const wchar_t* dayName;
  time_convert::date_weekno_dayno(date, &dayNo, &dayName);
  const wchar_t* chain;
  const uint32_t dayKind = typical_db::dayname_chain(dayName, &chain);
  const int32_t dayW = RoundHalfAway(double(g.right - g.left) / (xweeks_across_ * 7));
  const wchar_t* dateText = date_text(day, dayW);
  if (wcscmp(mytime::tv_format(day, L"dddd"), dayName) != 0) return;
  sp at;
  const bool inRoster = kalmora_DB::dt_sp(date, &at);
  const double slotH = double(bottom - top) / g.slots;
  int32_t textColour;
  for (uint32_t k = 1; k <= g.slots; ++k) {
    const int32_t y = RoundHalfAway((k - 1) * slotH + top);
    const rect_struct cell{x - 1, y, x + dayW, y + RoundHalfAway(slotH)};
    cell_tools(&textColour);
    tools_.pen(thiswyn_, {1, 0, kGreyPen});
    wyn::wdrawrect(thiswyn_, cell);
    const wchar_t* text = L"";
    if (k == 1) {
      const size_t n = wcslen(dateText) + wcslen(dayName) + 2;
      wchar_t* label = K::Memory::AllocHeapString(static_cast<uint32_t>(n));
      swprintf(label, n, L"%ls %ls", dateText, dayName);
      text = label;
    }
    if (inRoster) keep(date, sp{at.day, at.period, k}, dayKind, cell, text);
    if (k == 1) {
      tools_.fore(thiswyn_, textColour);
      wyn::wdrawtextinrect(thiswyn_, cell, text, -1, Flags(xdb_dtext_));
    }
    tools_.fore(thiswyn_, 0);
  }
}

void calendarWIN::keep(const dt& date, const sp& at, uint32_t dayKind, rect_struct cell, const wchar_t* text) {
  uint32_t i;
  if (!SpIndex(at, &i)) rizediveva6::RaiseRangeError();
  if (bySp_[i]) {
    // Replace the older record of the slot-period: remove it, re-index the rest.
    const uint32_t old = static_cast<uint32_t>(bySp_[i] - 1);
    ndb_slot_rct_.erase(old);
    for (uint32_t j = old; j < ndb_slot_rct_.size(); ++j) {
      uint32_t o;
      if (SpIndex(ndb_slot_rct_[j].at, &o)) bySp_[o] = static_cast<int32_t>(j + 1);
    }
  }
  ndb_slot_rct_.push_back({date, at, dayKind, cell, text});
  bySp_[i] = static_cast<int32_t>(ndb_slot_rct_.size());
}

}  // namespace all
