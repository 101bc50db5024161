// typicalWeeklyDuties: creation, the rows of typical_db::full_slist, the
// initial check marks and the store of the checked rows at removal.
#include "liboxes/typicalWeeklyDuties.h"

#include <cwchar>

#include "SYSTEM/orv_list/orv_list.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/tasks.h"
#include "kalmoradb/typical_db.h"
#include "liboxes/list_common.h"

namespace all {

namespace K = Qel::RunTime::Kernel;
using rizediveva6::List;
using rizediveva6::ListBuilder;
using rizediveva6::line;
using rizediveva6::SList;

const tav::ClassInfo typicalWeeklyDuties::classInfo{L"qel6pack/all/liboxes/typicalWeeklyDuties", TAV_CLASS_VERSION};

namespace {

// The roster's names, read once for every row of a pass.
struct known_names {
  const SList* tasks;
  const SList* locations;
  const SList* slots;
};

known_names KnownNames() {
  return known_names{tasks::list_tasks(), locations::list_locs(), kalmora_DB::get_list_slots()};
}

// A row text read back as [task, location, slot] of known names.
bool RowTls(const known_names& known, const wchar_t* text, tls* out) {
  const SList* names = nullptr;
  if (rizediveva6::TrapAndForget([&] {
        names = rizediveva6::AsSList(
            reinterpret_cast<const tav::StringList*>(T::FromString(tav::D(tav::domains::string_list), text)));
      }))
    return false;
  const wchar_t* n[3];
  uint32_t count = 0;
  for (const SList* l = names; !l->Empty(); l = l->tail, ++count)
    if (count < 3) n[count] = l->head;
  using rizediveva6::orv_list;
  if (count != 3 || !orv_list::member(n[0], known.tasks) || !orv_list::member(n[1], known.locations) ||
      !orv_list::member(n[2], known.slots))
    return false;
  *out = typical_db::slist_tls(names);
  return true;
}

// The typical duties stored for a day kind.
const List<tls>* StoredDuties(uint32_t dayKind) {
  ListBuilder<tls> out(true);
  typical_db::nd_tls([&](day_tls d) {
    if (d.day_kind == dayKind) out.Add(d.duty);
    K::Fail();
  });
  return out.Finish();
}

// The n-th name (from 1) of a list; false past its end.
bool NthName(const SList* names, uint32_t n, const wchar_t** name) {
  for (uint32_t i = 1; !names->Empty(); names = names->tail, ++i)
    if (i == n) return *name = names->head, true;
  return false;
}

// The row texts of the stored duties that a row would read back as
// themselves: a row is checked exactly when its text is among them.
const SList* StoredTexts(const known_names& known, const List<tls>* stored) {
  ListBuilder<const wchar_t*> out(true);
  for (; !stored->Empty(); stored = stored->tail) {
    const tls& d = stored->head;
    const wchar_t *task, *where, *slot;
    if (!NthName(known.tasks, d.task, &task) || !NthName(known.locations, d.where, &where) ||
        !NthName(known.slots, d.slot, &slot))
      continue;
    const wchar_t* text = T::ToString(
        tav::D(tav::domains::string_list),
        reinterpret_cast<T::term>(rizediveva6::AsStringList(rizediveva6::MakeList<const wchar_t*>({task, where, slot}))));
    tls back;
    if (RowTls(known, text, &back) && back == d) out.Add(tav::HeapCopy(text));
  }
  return out.Finish();
}

bool HasText(const SList* texts, const wchar_t* text) {
  for (; !texts->Empty(); texts = texts->tail)
    if (wcscmp(texts->head, text) == 0) return true;
  return false;
}

}  // namespace

typicalWeeklyDuties* typicalWeeklyDuties::new_(LONG_PTR window, uint32_t day) {
  rizediveva6::CheckRange(domains::which_day_dom, day);
  typicalWeeklyDuties* t = lists::NewObject<typicalWeeklyDuties>();
  t->xcon_ = day;
  t->xdoc_ = kalmora_DB::db();
  t->set_which(day);
  t->init_libox(t->xday_, rizediveva6::Screen(window));
  t->make_sat(window);
  // Filled, checked, then drawn once.
  lists::Fill(t, t->nd_lines_sat());
  t->highlight_lboxes();
  return t;
}

void typicalWeeklyDuties::set_which(uint32_t day) {
  xday_ = day == kSaturday ? L"Saturday" : day == kSunday ? L"Sunday" : L"Weekday";
}

void typicalWeeklyDuties::make_sat(LONG_PTR window) {
  lists::SetLayout(this);
  set_selected_props(rizediveva6::MakeList<rizediveva6::selected_prop>(
      {rizediveva6::selected_prop{rizediveva6::selected_prop::selection_allowed, 1, 3}}));
  QEL_KWI::win_SetHandler(window, event_handler());
  set_data_props(rizediveva6::MakeList<rizediveva6::data_prop>({rizediveva6::data_prop::selected_has_checkbox}));
  set_col_widths(false, rizediveva6::MakeList<uint32_t>({100, 150, 150}));
  set_allow_multiselect(true);
  add_cols(rizediveva6::MakeList<const wchar_t*>({L"check required", xday_}));
}

const List<line>* typicalWeeklyDuties::nd_lines_sat() {
  ListBuilder<line> rows(true);
  for (const SList* l = typical_db::full_slist(); !l->Empty(); l = l->tail)
    rows.Add(rizediveva6::LineNo(lists::HeapCells({l->head}), 0xFFFFFF, 0));
  return rows.Finish();
}

void typicalWeeklyDuties::update_libox() { lists::Refill(this, nd_lines_sat()); }

void typicalWeeklyDuties::highlight_lboxes() {
  ListBuilder<bool> marks(true);
  const SList* texts = StoredTexts(KnownNames(), StoredDuties(xcon_));
  line l;
  for (uint32_t r = 1; nth_line(r, &l); ++r) marks.Add(!l.cells->Empty() && HasText(texts, l.cells->head));
  lbox_setsels(marks.Finish());
  lbox_draw();
}

const List<tls>* typicalWeeklyDuties::get_selection() {
  ListBuilder<tls> out(true);
  const known_names known = KnownNames();
  const rizediveva6::selection s = lbox_getsel();
  for (const List<const SList*>* c = s.cells; !c->Empty(); c = c->tail) {
    tls duty;
    if (!c->head->Empty() && RowTls(known, c->head->head, &duty)) out.Add(duty);
  }
  return out.Finish();
}

void typicalWeeklyDuties::destroy_scroll2() {
  // Another document, or none: its typical week is not this list's.
  if (kalmora_DB::is_init() && kalmora_DB::db() == xdoc_) typical_db::add_tls(xcon_, get_selection());
  destroy_scroll();
}

bool typicalWeeklyDuties::popup_callback(uint32_t) { return false; }

}  // namespace all
