// celndar_Def: the window definition, the dialog's event handler, the
// start-date edit's key handler and the updates of the shown values.
#include "dlgs/Calendar_def.h"

#include <algorithm>
#include <array>
#include <cwchar>
#include <new>

#include "SYSTEM/orv_list/orv_list.h"
#include "SYSTEM/timepack/mytime.h"
#include "dlgs/dlg_tools.h"
#include "kalmoradb/kalmora_DB.h"
#include "kwi/kwicommondialogs.h"
#include "qel6kwi_win.h"
#include "string/string.h"

namespace all {

namespace K = Qel::RunTime::Kernel;
using namespace QEL_KWI;
using rizediveva6::mytime;
using rizediveva6::SList;

const tav::ClassInfo celndar_Def::classInfo{L"qel6pack/all/dlgs/celndar_Def", TAV_CLASS_VERSION};

namespace {

using C = celndar_Def;

const dlg_form kForm{wt_modeless, L"Calendar Definition", {250, 40, 450, 323}, L"MS Sans Serif", 10, {}};

// Creation order = tab order.
const std::array<dlg_ctl, 20> kControls{{
    {C::kStartDate, wt_edit, L"", {16, 43, 89, 55}, {25, 26, 46, 31}},
    {C::kSlots, wt_listbox, L"", {76, 212, 176, 270}, {25, 26, 8, 58}},
    {C::kExample, wt_pushbutton, L"Example", {97, 199, 145, 211}, {25, 26}},
    {C::kAdd, wt_pushbutton, L"Add", {20, 211, 68, 223}, {25, 26}},
    {C::kDelete, wt_pushbutton, L"Delete", {20, 227, 68, 239}, {25, 26}},
    {C::kUp, wt_pushbutton, L"Up", {20, 242, 68, 254}, {25, 26}},
    {C::kDown, wt_pushbutton, L"Down", {20, 257, 68, 269}, {25, 26}},
    {C::kDuration, wt_edit, L"", {136, 43, 160, 55}, {25, 26, 46, 31}},
    {C::kSunday, wt_radiobutton, L"Sunday", {28, 123, 76, 133}, {26, 12}},
    {C::kMonday, wt_radiobutton, L"Monday", {28, 137, 76, 147}, {26}},
    {10060, wt_text, L"Use the arrow and page keys to change date", {14, 80, 95, 99}, {32}},
    {C::kEndDate, wt_text, L"", {109, 74, 189, 84}, {32}},
    {C::kSlotDesc, wt_text, L"TXT_DESC", {23, 178, 171, 197}, {31}},
    {C::kWeekday, wt_text, L"TXT_DAY_OW", {16, 57, 85, 67}, {32}},
    {10070, wt_text, L"Calendar Definition", {12, 10, 192, 20}, {32}},
    {10051, wt_groupbox, L"Roster Start Date", {9, 32, 101, 76}, {}},
    {10053, wt_groupbox, L"Roster End Date", {104, 63, 191, 92}, {}},
    {10054, wt_groupbox, L"Roster duration in weeks", {103, 32, 191, 61}, {}},
    {10055, wt_groupbox, L"Split the day if required", {8, 169, 190, 276}, {}},
    {10067, wt_groupbox, L"Start of week", {8, 107, 192, 157}, {}},
}};

constexpr uint32_t kMinYear = 1950, kMaxYear = 2050;
constexpr int32_t kMinWeeks = 1, kMaxWeeks = 104;
// Layer key codes of the start-date edit.
constexpr LONG_PTR kKeyUp = 301, kKeyDown = 302, kKeyPageUp = 305, kKeyPageDown = 306;

const wchar_t* const kDateFormat = L"dd MMM yyyy";

// The whole number a text spells (optional minus, ASCII digits, 32-bit);
// false for any other text.
bool WholeNumber(const wchar_t* text, int32_t* out) {
  const wchar_t* p = text;
  const bool negative = *p == L'-';
  if (negative) ++p;
  if (*p == 0) return false;
  int64_t v = 0;
  for (; *p; ++p) {
    if (*p < L'0' || *p > L'9') return false;
    v = v * 10 + (*p - L'0');
    if (v > int64_t{INT32_MAX} + 1) return false;
  }
  if (negative) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

// Whether the date of `t` lies in the years the roster allows.
bool InYears(tv t) {
  volatile bool inside = false;
  K::RunTrapped([&] {
    const uint32_t year = rizediveva6::time_convert::tv_date(t).year;
    inside = year >= kMinYear && year <= kMaxYear;
  });
  return inside;
}

const wchar_t* SlotDescription(const SList* slots) {
  if (!slots->Empty() && slots->tail->Empty())
    return wcscmp(slots->head, L"allday") == 0
               ? L"The day is not split, and 'allday' is the default slot name in this case. You cannot delete it"
               : L"There must be more than one slot name to split the day. Please add another one.";
  return L"There several slots per day";
}

}  // namespace

celndar_Def* celndar_Def::new_() { return new (K::Memory::AllocHeap(sizeof(celndar_Def))) celndar_Def(); }

windef_list_struct* celndar_Def::windef_list() {
  static windef_list_struct* const list = BuildWindef(kForm, kControls);
  return list;
}

void celndar_Def::show(LONG_PTR parent) {
  PROLOG_EHANDLER_STRUCT handler{reinterpret_cast<void*>(&OnEvent), this};
  win_CreateDynDialog(parent, windef_list(), &handler, 0);
}

void celndar_Def::closeit() {
  const LONG_PTR window = thiswin_;
  K::RunTrapped([&] { win_Destroy(window); });
}

LONG_PTR celndar_Def::OnEvent(void* self, LONG_PTR window, event_struct* event) {
  auto* d = static_cast<celndar_Def*>(self);
  switch (event->kind) {
    case e_create: {
      d->thiswin_ = window;
      d->show_start_date();
      PROLOG_EHANDLER_STRUCT keys{reinterpret_cast<void*>(&OnDateKey), d};
      win_SetSubClassHandler(win_GetCtlHandle(window, kStartDate), &keys, 0);
      wchar_t weeks[16];
      swprintf(weeks, 16, L"%u", kalmora_DB::get_weeks_duration());
      SetCtlText(window, kDuration, weeks);
      CheckRadio(window, mytime::get_start_day() == 1 ? kSunday : kMonday, {kSunday, kMonday});
      d->update_end();
      d->update_win();
      d->ready_ = true;
      break;
    }
    case e_control: {
      if (!d->ready_) break;
      const int32_t id = static_cast<int32_t>(event->w[0]);
      const auto* info = reinterpret_cast<const controlinfo*>(event->w[3]);
      if (id == kDuration) {
        if (info && info->alt == ci_modified) d->duration_changed();
        return 0;
      }
      if (d->act(id)) return 0;
      break;
    }
    case e_destroy:
      d->thiswin_ = 0;
      d->ready_ = false;
      break;
    default:
      break;
  }
  K::Fail();
}

LONG_PTR celndar_Def::OnDateKey(void* self, LONG_PTR, event_struct* event) {
  auto* d = static_cast<celndar_Def*>(self);
  if (event->kind == e_keydown) {
    switch (event->w[0]) {
      case kKeyPageUp: d->move_n_days(28); return 0;
      case kKeyPageDown: d->move_n_days(-28); return 0;
      case kKeyUp: d->move_n_days(7); return 0;
      case kKeyDown: d->move_n_days(-7); return 0;
      default: break;
    }
  }
  K::Fail();
}

bool celndar_Def::act(int32_t id) {
  switch (id) {
    case kStartDate: return true;
    case kAdd: add_slot(); return true;
    case kDelete:
      if (const wchar_t* name = selected_slot()) {
        kalmora_DB::put_list_slots(rizediveva6::orv_list::remove(name, kalmora_DB::get_list_slots()));
        update_win();
      }
      return true;
    case kUp:
    case kDown:
      if (const wchar_t* name = selected_slot()) id == kUp ? kalmora_DB::move_up(name) : kalmora_DB::move_down(name);
      update_win();
      return true;
    case kExample:
      kalmora_DB::put_list_slots(rizediveva6::MakeList<const wchar_t*>({L"morning", L"afternoon", L"night"}));
      update_win();
      return true;
    case kMonday: set_week_start(0, kMonday); return true;
    case kSunday: set_week_start(1, kSunday); return true;
    default: return false;
  }
}

void celndar_Def::show_start_date() {
  xgmt_ = tav::gmtTime::new_(kalmora_DB::get_start_date());
  SetCtlText(thiswin_, kStartDate, mytime::tv_format(xgmt_->getgmttime(), kDateFormat));
}

void celndar_Def::move_n_days(int32_t days) {
  tav::gmtTime* moved = tav::gmtTime::new_(xgmt_->getgmttime());
  mytime::add_n_days(days, moved);
  if (!InYears(moved->getgmttime())) return;
  xgmt_ = moved;
  SetCtlText(thiswin_, kStartDate, mytime::tv_format(moved->getgmttime(), kDateFormat));
  kalmora_DB::put_start_date(moved->getgmttime());
  xgmt_ = tav::gmtTime::new_(kalmora_DB::get_start_date());
  update_end();
}

void celndar_Def::duration_changed() {
  int32_t weeks;
  if (!WholeNumber(win_GetText(win_GetCtlHandle(thiswin_, kDuration)), &weeks)) return;
  weeks = std::min(std::max(weeks, kMinWeeks), kMaxWeeks);
  kalmora_DB::put_weeks_duration(static_cast<uint32_t>(weeks));
  update_end();
}

void celndar_Def::add_slot() {
  const wchar_t* name = tav::kwiCommonDialogs::getstring(
      L"Slot name", L"Enter a new slot name (eg 'morning'). Note that slotnames are assumed to be contiguous", L"Night");
  if (!name) return;
  kalmora_DB::put_list_slots(rizediveva6::Cons<const wchar_t*>(name, kalmora_DB::get_list_slots()));
  update_win();
}

void celndar_Def::set_week_start(uint32_t day, int32_t id) {
  CheckRadio(thiswin_, id, {kSunday, kMonday});
  kalmora_DB::set_start_day(day);
  kalmora_DB::put_start_date(kalmora_DB::get_start_date());
  show_start_date();
  update_end();
}

void celndar_Def::update_end() {
  SetCtlText(thiswin_, kEndDate, mytime::tv_format(kalmora_DB::get_end_date(), L"dddd dd MMM yyyy"));
  SetCtlText(thiswin_, kWeekday, mytime::tv_format(kalmora_DB::get_start_date(), L"dddd"));
}

void celndar_Def::update_win() {
  const LONG_PTR list = win_GetCtlHandle(thiswin_, kSlots);
  const SList* slots = kalmora_DB::get_list_slots();
  lbox_Clear(list);
  lbox_Add_3(list, reinterpret_cast<slist_struct*>(const_cast<SList*>(slots)));
  SetCtlText(thiswin_, kSlotDesc, SlotDescription(slots));
}

const wchar_t* celndar_Def::selected_slot() {
  slist_struct* names = nullptr;
  ilist_struct* indexes = nullptr;
  lbox_GetSel(win_GetCtlHandle(thiswin_, kSlots), &names, &indexes);
  return names && names->functor == ListCons ? names->value : nullptr;
}

}  // namespace all
