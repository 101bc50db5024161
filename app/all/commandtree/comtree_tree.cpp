// comtree: the tree's contents (the fixed items, the roster sub-trees and
// the readiness test), the rebuild check and the doctor and group pictures.
//
// Invariants:
//  - Every generator yields its items in the fixed order of its table; an
//    item is numbered (xid + 1) after its condition held and its children
//    were collected, so numbers run in post-order.
//  - Items, their child lists and their texts live on the collected heap:
//    they outlive the backtracking between the solutions that collect them.
//  - One picture per look (tick, brush style, colour) for the life of the
//    program, kept in a collected array reached from a static.
#include "KWI/Wyn/wyn.h"
#include "KWI/orvtoolkwi/heap_array.h"
#include "SYSTEM/myKWI/myKWI.h"
#include "commandtree/comtree.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "kalmoradb/typical_db.h"
#include "unit.h"

namespace all {

namespace K = Qel::RunTime::Kernel;
using namespace QEL_KWI;
using tav::BitmapIdTerm;
using tav::ItemStateFlag;
using tav::ItemStateList;
using tav::TreeList;
using tav::TreeTerm;
using Items = tav::Each<const TreeTerm*>;

namespace {

// --- Item parts --------------------------------------------------------------------

const ItemStateList kNoFlags{2, ItemStateFlag::selected, nullptr};
const ItemStateList kBold{1, ItemStateFlag::bold, &kNoFlags};
const ItemStateList kExpanded{1, ItemStateFlag::expanded, &kNoFlags};

struct pictures {
  BitmapIdTerm normal, selected;
};
const pictures kSection{{1, 10183}, {1, 10182}};
const pictures kRoster{{1, 10179}, {1, 10178}};
const pictures kList{{1, 10177}, {1, 10176}};
const pictures kForm{{1, 10181}, {1, 10180}};
const pictures kCommand{{1, 10175}, {1, 10175}};
const pictures kHelp{{1, 10173}, {1, 10173}};
const pictures kGenerator{{1, 10174}, {1, 10174}};

using generator = bool (*)(Items);

// When an item is shown.
enum class shown : uint8_t { always, ready, roster_mode, modified_mode };

struct item_row {
  const wchar_t* text;
  const ItemStateList* state;
  const pictures* look;
  shown when;
  generator children;  // null: none
};

const TreeList* Collect(generator g) {
  rizediveva6::ListBuilder<const TreeTerm*> b(true);
  g([&](const TreeTerm* t) {
    b.Add(t);
    K::Fail();
  });
  return reinterpret_cast<const TreeList*>(b.Finish());
}

// Takes the next number and makes the item on the collected heap.
const TreeTerm* Numbered(const wchar_t* text, const ItemStateList* state, const BitmapIdTerm* normal,
                         const BitmapIdTerm* selected, const TreeList* children) {
  comtree::db1.xid.set(comtree::db1.xid.get() + 1);
  auto* t = static_cast<TreeTerm*>(K::Memory::AllocHeap(sizeof(TreeTerm)));
  *t = {1, comtree::db1.xid.get(), state, normal, selected, text, children};
  return t;
}

const TreeList* NoChildren() { return reinterpret_cast<const TreeList*>(rizediveva6::Nil<const TreeTerm*>()); }

bool Shown(shown when, bool rosterMode) {
  switch (when) {
    case shown::always: return true;
    case shown::ready: return comtree::tasks_and_locs_are_defined_for_this();
    case shown::roster_mode: return rosterMode;
    case shown::modified_mode: return !rosterMode;
  }
  return false;
}

// Yields the shown rows of a table in order.
template <size_t N>
bool YieldRows(const item_row (&rows)[N], Items k, bool rosterMode = true) {
  for (const item_row& r : rows) {
    if (!Shown(r.when, rosterMode)) continue;
    const TreeList* children = r.children ? Collect(r.children) : NoChildren();
    if (tav::TrySolution(k, Numbered(r.text, r.state, &r.look->normal, &r.look->selected, children))) return true;
  }
  return false;
}

// A leaf per name: bold, with the pictures of `look` or of `brush`.
bool YieldLeaf(Items k, const wchar_t* name, const BitmapIdTerm* normal, const BitmapIdTerm* selected) {
  return tav::TrySolution(k, Numbered(tav::HeapCopy(name), &kBold, normal, selected, NoChildren()));
}

const BitmapIdTerm* Bmp(QEL_KWI::picture p) {
  auto* b = static_cast<BitmapIdTerm*>(K::Memory::AllocHeap(sizeof(BitmapIdTerm)));
  *b = {3, reinterpret_cast<uint64_t>(p)};
  return b;
}

bool YieldPictured(Items k, const wchar_t* name, rizediveva6::brush brush) {
  const BitmapIdTerm* normal = Bmp(comtree::make_pic(false, brush));
  const BitmapIdTerm* selected = Bmp(comtree::make_pic(true, brush));
  return YieldLeaf(k, name, normal, selected);
}

bool RosterDuties(Items k) { return comtree::nd_duties_to_do(true, k); }
bool ModifiedDuties(Items k) { return comtree::nd_duties_to_do(false, k); }

// --- The tables ---------------------------------------------------------------------

const item_row kStartTree[] = {
    {L"New rota", &kBold, &kCommand, shown::always, nullptr},
    {L"Open file", &kBold, &kCommand, shown::always, nullptr},
    {L"List files", &kNoFlags, &kList, shown::always, nullptr},
    {L"Import KM5 file", &kBold, &kCommand, shown::always, nullptr},
    {L"Help", &kBold, &kHelp, shown::always, nullptr},
};
const item_row kFileTree[] = {
    {L"Close", &kNoFlags, &kCommand, shown::always, nullptr},
    {L"Input Data", &kExpanded, &kSection, shown::always, &comtree::nd_inputdatatrees},
    {L"Rules", &kNoFlags, &kSection, shown::ready, &comtree::nd_rulestrees},
    {L"Roster", &kNoFlags, &kRoster, shown::ready, &comtree::nd_calendartrees},
    {L"Results Statistics", &kNoFlags, &kSection, shown::ready, &comtree::nd_stattrees},
    {L"Help", &kBold, &kHelp, shown::always, nullptr},
};
const item_row kInputData[] = {
    {L"Calendar definition", &kExpanded, &kForm, shown::always, nullptr},
    {L"Practices and groups", &kExpanded, &kList, shown::always, nullptr},
    {L"Doctors", &kExpanded, &kList, shown::always, nullptr},
    {L"Locations", &kExpanded, &kList, shown::always, nullptr},
    {L"Tasks", &kExpanded, &kList, shown::always, nullptr},
    {L"Duties to do - typical week", &kNoFlags, &kSection, shown::ready, &comtree::nd_typ},
    {L"Duties to do - modified", &kNoFlags, &kSection, shown::ready, &ModifiedDuties},
    {L"Define weekend duties", &kNoFlags, &kForm, shown::ready, nullptr},
    {L"List weekend duties", &kNoFlags, &kList, shown::ready, nullptr},
    {L"Define holidays", &kNoFlags, &kForm, shown::ready, nullptr},
    {L"List holidays", &kNoFlags, &kList, shown::ready, nullptr},
};
const item_row kRules[] = {
    {L"Can't dos", &kNoFlags, &kSection, shown::always, &comtree::nd_rules_cannots},
    {L"Ties", &kNoFlags, &kSection, shown::always, &comtree::nd_rules_ties},
    {L"Loadings", &kNoFlags, &kSection, shown::always, &comtree::nd_rules_load},
};
const item_row kCannots[] = {
    {L"Doctors", &kNoFlags, &kSection, shown::always, &comtree::nd_staff_assigned_tree},
    {L"Practices and groups", &kNoFlags, &kSection, shown::always, &comtree::nd_group_assigned_tree},
    {L"List Can't Dos", &kNoFlags, &kList, shown::always, nullptr},
};
const item_row kTies[] = {
    {L"Global ties", &kNoFlags, &kForm, shown::always, nullptr},
    {L"Doctor ties", &kNoFlags, &kSection, shown::always, &comtree::nd_staff_assigned_tree},
    {L"Practice and group ties", &kNoFlags, &kSection, shown::always, &comtree::nd_group_assigned_tree},
    {L"List ties", &kNoFlags, &kList, shown::always, nullptr},
};
const item_row kLoadings[] = {
    {L"Weekdays", &kBold, &kList, shown::always, nullptr},
    {L"Weekends", &kBold, &kList, shown::always, nullptr},
    {L"Totals (calculated)", &kBold, &kList, shown::always, nullptr},
};
const item_row kStatistics[] = {
    {L"Totals", &kBold, &kList, shown::always, nullptr},    {L"Days", &kBold, &kList, shown::always, nullptr},
    {L"Weekends", &kBold, &kList, shown::always, nullptr},  {L"Slots", &kBold, &kList, shown::always, nullptr},
    {L"Day-slots", &kBold, &kList, shown::always, nullptr}, {L"Tasks", &kBold, &kList, shown::always, nullptr},
    {L"Locations", &kBold, &kList, shown::always, nullptr}, {L"Holidays", &kBold, &kList, shown::always, nullptr},
};
const item_row kTypicalWeek[] = {
    {L"Saturday", &kNoFlags, &kList, shown::always, nullptr},
    {L"Sunday", &kNoFlags, &kList, shown::always, nullptr},
    {L"Weekday", &kNoFlags, &kList, shown::always, nullptr},
};
const item_row kDutiesToDo[] = {
    {L"All duties", &kNoFlags, &kForm, shown::always, nullptr},
    {L"Doctors", &kNoFlags, &kSection, shown::roster_mode, &comtree::nd_staff_assigned_tree},
    {L"Practices and groups", &kNoFlags, &kSection, shown::roster_mode, &comtree::nd_group_assigned_tree},
    {L"List modified duties", &kNoFlags, &kList, shown::modified_mode, nullptr},
    {L"Tasks", &kNoFlags, &kSection, shown::always, &comtree::nd_task_assigned_tree},
    {L"Locations", &kNoFlags, &kSection, shown::always, &comtree::nd_loc_assigned_tree},
};
const item_row kCalendar[] = {
    {L"Generator", &kBold, &kGenerator, shown::ready, nullptr},
    {L"Display & edit", &kBold, &kSection, shown::ready, &RosterDuties},
    {L"List of assignments", &kBold, &kList, shown::always, nullptr},
    {L"List of unassigned duties", &kBold, &kList, shown::always, nullptr},
};

// --- Pictures -----------------------------------------------------------------------

struct look_picture {
  bool tick;
  int32_t style;
  int32_t colour;
  QEL_KWI::picture picture;
};
rizediveva6::HeapArray<look_picture>& Looks() {
  static rizediveva6::HeapArray<look_picture> looks;
  return looks;
}

QEL_KWI::picture DrawPicture(bool tick, rizediveva6::brush b) {
  rect_struct whole{0, 0, 20, 20}, oval{0, 4, 20, 16};
  const LONG_PTR w = pict_Open(&whole);
  pen_struct pen{1, 5, static_cast<uint32_t>(b.colour)};
  win_SetPen(w, &pen);
  brush_struct brush{b.style, static_cast<uint32_t>(b.colour)};
  win_SetBrush(w, &brush);
  win_Clear_0(w, 0xFFFFFF);
  draw_Ellipse(w, &oval);
  comtree::draw_tick(tick, w);
  return pict_Close(w);
}

}  // namespace

// --- Generators ---------------------------------------------------------------------

bool comtree::nd_start_tree(Items k) { return YieldRows(kStartTree, k); }
bool comtree::nd_file_tree(Items k) { return YieldRows(kFileTree, k); }
bool comtree::nd_inputdatatrees(Items k) { return YieldRows(kInputData, k); }
bool comtree::nd_rulestrees(Items k) { return YieldRows(kRules, k); }
bool comtree::nd_rules_cannots(Items k) { return YieldRows(kCannots, k); }
bool comtree::nd_rules_ties(Items k) { return YieldRows(kTies, k); }
bool comtree::nd_rules_load(Items k) { return YieldRows(kLoadings, k); }
bool comtree::nd_stattrees(Items k) { return YieldRows(kStatistics, k); }
bool comtree::nd_typ(Items k) { return YieldRows(kTypicalWeek, k); }
bool comtree::nd_duties_to_do(bool roster, Items k) { return YieldRows(kDutiesToDo, k, roster); }
bool comtree::nd_calendartrees(Items k) { return YieldRows(kCalendar, k); }

namespace {
// One leaf per solution of a store's walk, yielded by `leaf`; true once the
// caller's continuation ended the walk.
template <class V, class Leaf>
bool LeavesOf(bool (*walk)(tav::Each<V>), Leaf leaf) {
  volatile bool ended = false;
  walk([&](V v) {
    if (leaf(v)) ended = true;
    else K::Fail();
  });
  return ended;
}
}  // namespace

bool comtree::nd_staff_assigned_tree(Items k) {
  const rizediveva6::brush doctors{2, static_cast<int32_t>(kwi_ComposeRGB(100, 100, 255))};
  return LeavesOf(&staff_db::nd_person, [&](const PersonTerm* p) { return YieldPictured(k, p->dat->name, doctors); });
}

bool comtree::nd_group_assigned_tree(Items k) {
  return LeavesOf(&groups::nd_groups,
                  [&](const rizediveva6::str_br* g) { return YieldPictured(k, g->name, *g->brush_); });
}

bool comtree::nd_task_assigned_tree(Items k) {
  return LeavesOf(&tasks::nd_tasks, [&](task_entry t) { return YieldLeaf(k, t.name, &kForm.normal, &kForm.selected); });
}

bool comtree::nd_loc_assigned_tree(Items k) {
  return LeavesOf(&locations::nd_locs,
                  [&](where_entry l) { return YieldLeaf(k, l.name, &kForm.normal, &kForm.selected); });
}

bool comtree::tasks_and_locs_are_defined_for_this() {
  return !tasks::list_tasks()->Empty() && !locations::list_locs()->Empty();
}

// --- Rebuild check ------------------------------------------------------------------

namespace {
uint32_t Count(const rizediveva6::SList* l) {
  uint32_t n = 0;
  for (; !l->Empty(); l = l->tail) ++n;
  return n;
}
}  // namespace

void comtree::check_if_need_to_rebuild() {
  const uint32_t t = Count(tasks::list_tasks());
  const uint32_t l = Count(locations::list_locs());
  const uint32_t p = staff_db::number_of_staff();
  check(p, db1.xnum_people.get());
  check(t, db1.xnum_tasks.get());
  check(l, db1.xnum_locs.get());
  db1.xnum_people.set(p);
  db1.xnum_tasks.set(t);
  db1.xnum_locs.set(l);
}

void comtree::check(uint32_t now, uint32_t remembered) {
  if (now != remembered) db4.xdb_do_rebuild.set(true);
}

void comtree::warn_if_necessary() {
  if (typical_db::one_exists()) return;
  rizediveva6::myKWI::note(L"You have not set up the 'typical week' - No duties are to be done");
}

// --- Pictures -----------------------------------------------------------------------

QEL_KWI::picture comtree::make_pic(bool tick, rizediveva6::brush b) {
  rizediveva6::HeapArray<look_picture>& looks = Looks();
  for (uint32_t i = 0; i < looks.size(); ++i)
    if (looks[i].tick == tick && looks[i].style == b.style && looks[i].colour == b.colour) return looks[i].picture;
  QEL_KWI::picture p = DrawPicture(tick, b);
  looks.push_back({tick, b.style, b.colour, p});
  return p;
}

void comtree::draw_tick(bool tick, LONG_PTR window) {
  if (!tick) return;
  rizediveva6::TrapAndForget([&] { rizediveva6::wyn::draw_tickinrect(rizediveva6::Screen(window), {2, 2, 18, 18}); });
}

uint32_t comtree::pictures_made() { return Looks().size(); }

}  // namespace all
