// draw_ties: see the header.
#include "mycal/draw_ties.h"

#include <cmath>
#include <cwchar>

#include "dlgs/Tie_definition.h"
#include "kalmoradb/sc_include.h"
#include "kalmoradb/ties.h"
#include "kwi/kwi.h"
#include "phase1/sc_phase1.h"
#include "stream/stream.h"

namespace all {

using namespace QEL_KWI;
using rizediveva6::wyn;
namespace K = Qel::RunTime::Kernel;

const tav::ClassInfo draw_ties::classInfo{L"qel6pack/all/mycal/draw_ties", TAV_CLASS_VERSION};

namespace {

bool SameOwner(const WhichTieTerm* a, const WhichTieTerm& b) {
  if (a->functor != b.functor) return false;
  if (static_cast<which_kind>(a->functor) == which_kind::global_tie) return true;
  return a->name && b.name && wcscmp(a->name, b.name) == 0;
}

// A stored relative end kept inside its rectangle.
double Clamped(double f) {
  if (!std::isfinite(f) || f < 0) return 0;
  return f > 1 ? 1 : f;
}

pnt_struct EndIn(rect_struct r, const RpntTerm* p) {
  return {rizediveva6::checked::R2I(r.left + (r.right - r.left) * Clamped(p->x)),
          rizediveva6::checked::R2I(r.top + (r.bottom - r.top) * Clamped(p->y))};
}

const RpntTerm* Relative(pnt_struct p, rect_struct r) {
  auto* t = static_cast<RpntTerm*>(K::Memory::AllocHeap(sizeof(RpntTerm)));
  *t = {1, double(p.x - r.left) / (r.right + 1 - r.left), double(p.y - r.top) / (r.bottom + 1 - r.top)};
  return t;
}

}  // namespace

draw_ties* draw_ties::new_ties(LONG_PTR window) {
  draw_ties* t = tav::NewObject<draw_ties>();
  t->dtbd.full_draw();
  t->dtbd.new_dtbd_init(window);
  sc_phase1::generate();
  return t;
}

PROLOG_EHANDLER_STRUCT* draw_ties::closure() {
  closure_ = {reinterpret_cast<void*>(&LayerEvents<draw_ties, &draw_ties::_ties_eh>), this};
  return &closure_;
}

void draw_ties::delete_pic2() { dtbd.full_draw(); }

void draw_ties::drew_ties(const wchar_t* title, const rizediveva6::SList* names) {
  const bool none = names->Empty();
  if (wcscmp(title, L"Global ties") == 0) {
    xdb_which_tie_ = {static_cast<uint64_t>(which_kind::global_tie), nullptr};
  } else if (wcscmp(title, L"Practice and group ties") == 0 || wcscmp(title, L"Doctor ties") == 0) {
    if (none) return;
    const which_kind kind = title[0] == L'D' ? which_kind::person_tie : which_kind::group_tie;
    xdb_which_tie_ = {static_cast<uint64_t>(kind), K::Memory::CopyStringToHeap(names->head)};
  }
  boo_all_set_ = true;
  drawing_ties();
}

void draw_ties::drawing_ties() {
  ndb_tie_.clear();
  if (!boo_all_set_) return;
  dtbd.drew_dtbd(Showing(showing_kind::show_no_extras), rule_added::rule_removed);
  // The drawing may have run a nested repaint (the cursor change lets
  // messages through): its labels are drawn again here.
  ndb_tie_.clear();
  held_context held(dtbd.get_wyn());
  K::RunTrapped([&] {
    ties::nd_tie_for_drawing([&](const TieDomTerm* t) {
      if (SameOwner(t->dat->who, xdb_which_tie_)) K::RunTrapped([&] { draw_tie(t); });
      K::Fail();
    });
  });
  held.release();
}

void draw_ties::draw_tie(const TieDomTerm* tie) {
  const wyndow target = dtbd.get_wyn();
  const TieDatTerm* t = tie->dat;
  const bool mustDo = static_cast<tie_kind>(t->tieDo->functor) == tie_kind::must_do;
  const int32_t colour = mustDo ? 0xFF0000 : 0x0000FF;
  wyn::wsetforecolor(target, colour);
  wyn::wsetpen(target, {1, 3, static_cast<uint32_t>(colour)});
  const dtbd_rec* first = nullptr;
  const dtbd_rec* second = nullptr;
  dtbd.ndd_dtbd([&](const dtbd_rec* r) {
    if (!first && wcscmp(r->key, t->first) == 0) first = r;
    if (!second && wcscmp(r->key, t->second) == 0) second = r;
    K::Fail();
  });
  if (!first || !second) return;
  const pnt_struct p1 = EndIn(first->rect, t->drawn->from), p2 = EndIn(second->rect, t->drawn->to);
  wyn::wdrawthickline(target, p1, p2);
  if (p2.x >= 0 && p2.y >= 0)
    wyn::wdrawtext(target, static_cast<uint32_t>(p2.x), static_cast<uint32_t>(p2.y), L"S");
  ndb_tie_.push_back({tie, {p2.x, p2.y - 10, p2.x + 50, p2.y}, tie->ref});
}

void draw_ties::make_tie(pnt_struct end, pnt_struct start) {
  const dtbd_rec* e = dtbd.duty_at(end);
  const dtbd_rec* s = dtbd.duty_at(start);
  if (!e || !s || !xdb_which_tie_.functor) return;
  tie_value v{static_cast<which_kind>(xdb_which_tie_.functor), xdb_which_tie_.name, e->key, s->key,
              tie_kind::must_do, repeat_kind::repeat_week, spec_kind::tlsd_spec};
  auto* proposed = static_cast<TieDatTerm*>(K::Memory::AllocHeap(sizeof(TieDatTerm)));
  *proposed = *MakeTieDat(v);
  auto* ends = static_cast<Rpnt2Term*>(K::Memory::AllocHeap(sizeof(Rpnt2Term)));
  *ends = {1, Relative(end, e->rect), Relative(start, s->rect)};
  proposed->drawn = ends;
  const TieDatTerm* edited = nullptr;
  if (tie_definition::new_()->show_tie_def(kwi_GetTaskWin(), proposed, &edited) && edited) ties::add_tie2(edited);
}

bool draw_ties::delete_all() {
  const wchar_t* name;
  WhichTieTerm who{static_cast<uint64_t>(which_kind::global_tie), nullptr};
  if (sc_include::person_showing(&name)) who = {static_cast<uint64_t>(which_kind::person_tie), name};
  else if (sc_include::group_showing(&name)) who = {static_cast<uint64_t>(which_kind::group_tie), name};
  return K::RunTrapped([&] { ties::del_all(&who); }) == 0;
}

bool draw_ties::_ties_eh(LONG_PTR window, const event_struct* e) {
  return dtbd.handle_rows(window, e, [&] {
    switch (e->kind) {
      case e_update: drawing_ties(); return 1;
      case e_menu:
        if (e->w[0] != kDeleteAll || !delete_all()) return -1;
        win_Invalidate_0(window);
        return 1;
      case e_mousedown: {
        pnt_struct p = EventPoint(e);
        if (e->w[2] == 1) {
          menu_PopUp(window, tav::kwi::menugetres(kMenu), &p, 0);
          return 1;
        }
        if (e->w[2] != 0 || db_drag_line_) return -1;
        db_drag_line_ = rizediveva6::drag_line::new_(window, p);
        return 1;
      }
      case e_mousemove: {
        const pnt_struct p = EventPoint(e);
        if (db_drag_line_) {
          db_drag_line_->line_drag_mousemove(p);
          return 1;
        }
        for (const tie_rec& r : ndb_tie_)
          if (PointIn(r.label, p)) return 1;
        return -1;
      }
      case e_mouseup: {
        if (!db_drag_line_) return 0;
        rizediveva6::drag_line* line = db_drag_line_;
        db_drag_line_ = nullptr;
        pnt_struct start;
        const rizediveva6::pntlist* points;
        line->line_drag_mouseup(&start, &points);
        make_tie(EventPoint(e), start);
        win_Invalidate_0(window);
        return 1;
      }
      case e_control:
        if (e->w[0] == 981 || e->w[0] == 982) delete_pic2();
        return -1;
      default: return -1;
    }
  });
}

}  // namespace all
