// loadlibox: creation with the loadings' repair and automatic loading, the
// rows from load_db::get_load per shown doctor, the parts cell edit, even
// spread, the copy to the other table, print and clipboard copy.
#include "liboxes/loadlibox.h"

#include <cstring>
#include <cwchar>
#include <vector>

#include "KWI/orvtoolkwi/getdata.h"
#include "SYSTEM/mod_men_pack/modify_menu.h"
#include "SYSTEM/myKWI/myKWI.h"
#include "kalmoradb/load_db.h"
#include "kalmoradb/staff_db.h"
#include "liboxes/list_common.h"
#include "unit.h"

namespace all {

namespace K = Qel::RunTime::Kernel;
using rizediveva6::List;
using rizediveva6::ListBuilder;
using rizediveva6::line;
using rizediveva6::myKWI;

const tav::ClassInfo loadlibox::classInfo{L"qel6pack/all/liboxes/loadlibox", TAV_CLASS_VERSION};

namespace {

constexpr uint32_t kPartsColumn = 5;
constexpr int32_t kWhite = 0xFFFFFF;
constexpr const wchar_t* kNotParts = L"The parts value must be a whole number of 0 or more";
constexpr const wchar_t* kTooLarge = L"The parts of a loadings table must not add up to more than 2147483647";

bool Shown(const PersonTerm* p) { return p->dat->deleted->functor == kExists; }

const WhatStatTerm* HeapStat(const WhatStatTerm* s) {
  auto* c = static_cast<WhatStatTerm*>(K::Memory::AllocHeap(sizeof(WhatStatTerm)));
  *c = *s;
  return c;
}

const wchar_t* FractionText(double f) {
  T::TEllipsisArgs<1> a;
  a.SetValue(0, tav::D(tav::domains::real), f);
  return tav::HeapCopy(tav::string::format(L"%8.4f", a));
}

const wchar_t* GroupsText(const PersonTerm* p) {
  return tav::HeapCopy(T::ToString(tav::D(tav::domains::string_list), reinterpret_cast<T::term>(p->dat->groups)));
}

// One store of a command: a doctor, by name and reference, and its parts.
struct load_step {
  const wchar_t* name;
  uint32_t parts;
  chain_ref doctor;
};

load_step Step(chain_ref doctor, uint32_t parts) {
  return load_step{tav::HeapCopy(staff_db::get_personref(doctor)->dat->name), parts, doctor};
}

// The parts of every stored doctor share of the table, in chain order.
const List<load_step>* StoredShares(const WhatStatTerm* kind) {
  ListBuilder<load_step> out(true);
  load_db::nd_load([&](const LoadingTerm* l) {
    if (l->functor == 1 && SameStat(l->kind, kind)) out.Add(load_step{tav::HeapCopy(l->name), l->parts, 0});
    K::Fail();
  });
  return out.Finish();
}

// Whether the steps, stored in order, keep the table's sum of parts (over
// every stored share, as the fractions are recounted) in the signed 32-bit
// range after each store; a name without a share is not stored.
bool SumsFit(const List<load_step>* shares, const List<load_step>* steps) {
  struct first_share {
    const wchar_t* name;
    int64_t parts;
  };
  std::vector<first_share> firsts;
  int64_t sum = 0;
  for (; !shares->Empty(); shares = shares->tail) {
    sum += shares->head.parts;
    bool seen = false;
    for (const first_share& f : firsts) seen = seen || wcscmp(f.name, shares->head.name) == 0;
    if (!seen) firsts.push_back({shares->head.name, shares->head.parts});
  }
  for (; !steps->Empty(); steps = steps->tail)
    for (first_share& f : firsts)
      if (wcscmp(f.name, steps->head.name) == 0) {
        sum += int64_t{steps->head.parts} - f.parts;
        f.parts = steps->head.parts;
        if (steps->head.parts > INT32_MAX || sum > INT32_MAX) return false;
        break;
      }
  return true;
}

// The steps stored in order after the sum check; false (a note, nothing
// stored) when a sum would leave the range.
bool StoreSteps(const WhatStatTerm* kind, const List<load_step>* steps) {
  if (!SumsFit(StoredShares(kind), steps)) {
    myKWI::note(kTooLarge);
    return false;
  }
  for (; !steps->Empty(); steps = steps->tail) load_db::put_load(kind, steps->head.doctor, steps->head.parts);
  return true;
}

// Asks until the answer is a whole number of 0 or more; false on Cancel.
bool AskParts(uint32_t* value) {
  int32_t shown = 10;
  for (;;) {
    int32_t got;
    if (!rizediveva6::getdata::get_int(L"Loading", L"Enter parts value (whole number)", shown, &got)) return false;
    if (got >= 0) {
      *value = static_cast<uint32_t>(got);
      return true;
    }
    myKWI::note(kNotParts);
    shown = got;
  }
}

}  // namespace

loadlibox* loadlibox::new_(LONG_PTR window, const WhatStatTerm* whatStat) {
  load_db::repair();
  loadlibox* t = lists::NewObject<loadlibox>();
  t->xwhat_stat_ = HeapStat(whatStat);
  load_db::auto_load(10);
  t->init_libox(L"load", rizediveva6::Screen(window));
  lists::SetLayout(t);
  t->set_select();
  t->set_col_widths(false, rizediveva6::MakeList<uint32_t>({40, 10, 120, 120, 120}));
  QEL_KWI::win_SetHandler(window, t->event_handler());
  t->update_libox();
  return t;
}

const WhatStatTerm* loadlibox::other() const {
  const bool weekday = xwhat_stat_->Kind() == stat_kind::weekend && xwhat_stat_->a == 0;
  return HeapStat(MakeWhatStat(stat_kind::weekend, weekday ? 1 : 0));
}

const wchar_t* loadlibox::what_s() const {
  const bool weekday = xwhat_stat_->Kind() == stat_kind::weekend && xwhat_stat_->a == 0;
  return weekday ? L"Copy to Weekend table" : L"Copy to Weekday table";
}

void loadlibox::set_select() {
  if (is_total()) {
    add_cols(rizediveva6::MakeList<const wchar_t*>({L"", L"Doctor", L"Groups", L"Fraction"}));
    return;
  }
  set_selected_props(rizediveva6::MakeList<rizediveva6::selected_prop>(
      {rizediveva6::selected_prop{rizediveva6::selected_prop::selection_allowed, 0, 2}}));
  set_allow_multiselect(true);
  rizediveva6::modify_menu* m = rizediveva6::modify_menu::new_(lists::LoadMenu(kMenu));
  m->set_text(10138, what_s());
  set_menu(const_cast<QEL_KWI::menu_struct*>(m->get()));
  set_sendback({&loadlibox::_es_edit, this}, rizediveva6::MakeList<uint32_t>({kPartsColumn}));
  set_data_props(rizediveva6::MakeList<rizediveva6::data_prop>({rizediveva6::data_prop::selected_has_checkbox}));
  add_cols(rizediveva6::MakeList<const wchar_t*>({L"", L"Doctor", L"Groups", L"Fraction", L"Parts"}));
}

const List<line>* loadlibox::make_lines_x() {
  ListBuilder<line> rows(true);
  xcount_ = 0;
  staff_db::nd_person([&](const PersonTerm* p) {
    if (!Shown(p)) K::Fail();
    const load_value v = load_db::get_load(xwhat_stat_, p->dat->name);
    ++xcount_;
    const wchar_t* name = tav::HeapCopy(p->dat->name);
    rows.Add(rizediveva6::LineNo(
        is_total() ? lists::HeapCells({L"", name, GroupsText(p), FractionText(v.fraction)})
                   : lists::HeapCells({name, GroupsText(p), FractionText(v.fraction), lists::Decimal(v.parts)}),
        kWhite, 0));
    K::Fail();
  });
  return rows.Finish();
}

void loadlibox::update_libox() { lists::Refill(this, make_lines_x()); }

void loadlibox::destroy_scroll2() { destroy_scroll(); }

bool loadlibox::p_ref(uint32_t row, chain_ref* doctor) {
  volatile uint32_t n = 0;
  volatile bool found = false;
  staff_db::nd_person([&](const PersonTerm* p) {
    if (!Shown(p)) K::Fail();
    n = n + 1;
    if (n != row) K::Fail();
    *doctor = p->ref;
    found = true;
  });
  return found;
}

void loadlibox::even_spread(bool checkedOnly) {
  uint32_t value;
  if (!AskParts(&value)) {
    update_libox();
    return;
  }
  ListBuilder<load_step> steps(true);
  if (checkedOnly) {
    nd_selected([&](rizediveva6::selected_line s) {
      chain_ref ref;
      if (p_ref(s.position + 1, &ref)) steps.Add(Step(ref, value));
      K::Fail();
    });
  } else {
    staff_db::nd_person([&](const PersonTerm* p) {
      if (Shown(p)) steps.Add(Step(p->ref, value));
      K::Fail();
    });
  }
  StoreSteps(xwhat_stat_, steps.Finish());
  update_libox();
}

void loadlibox::copy_to_other() {
  ListBuilder<load_step> steps(true);
  staff_db::nd_person([&](const PersonTerm* p) {
    if (Shown(p)) steps.Add(Step(p->ref, load_db::get_load(xwhat_stat_, p->dat->name).parts));
    K::Fail();
  });
  StoreSteps(other(), steps.Finish());
}

bool loadlibox::popup_callback(uint32_t id) {
  switch (id) {
    case 10102: lbox_print(L"Print loading"); return true;
    case 10101: to_exel_cb(); return true;
    default: break;
  }
  if (is_total()) return false;
  switch (id) {
    case 10136: even_spread(false); return true;
    case 10137: even_spread(true); return true;
    case 10138: copy_to_other(); return true;
    default: return false;
  }
}

void loadlibox::_es_edit(void* self, const wchar_t* text, uint32_t row, uint32_t column) {
  auto* t = static_cast<loadlibox*>(self);
  chain_ref ref;
  if (column != kPartsColumn || t->is_total() || !t->p_ref(row, &ref)) K::Fail();
  uint32_t value = 0;
  if (rizediveva6::TrapAndForget([&] { std::memcpy(&value, T::FromString(tav::D(tav::domains::unsigned_), text), sizeof value); })) {
    myKWI::note(kNotParts);
    K::Fail();
  }
  if (!StoreSteps(t->xwhat_stat_, rizediveva6::MakeList<load_step>({Step(ref, value)}))) K::Fail();
  t->update_libox();
}

}  // namespace all
