// comtree: the engine held while it runs, the repaints it asks for, the
// redraw after a font change, the statistics and title switches and the
// date buttons of the title pane.
//
// Invariants:
//  - db_engine holds the engine of the newest run only; a run started
//    inside another stops the older one first.
//  - Each switch keeps at most one copy of its flag and answers its new
//    state.
//  - Once the panes are gone nothing here touches a window or a layer, and
//    the end of a run raises nothing.
#include <windows.h>

#include "SYSTEM/options/options_db.h"
#include "commandtree/comtree_registry.h"
#include "kalmoradb/sc_engine.h"
#include "kwi/kwidomains.h"
#include "mycal/draw_assign.h"
#include "unit.h"

namespace all {

namespace K = Qel::RunTime::Kernel;
namespace kd = tav::kwidomains;
using namespace QEL_KWI;

void comtree::run_engine(engine_mode mode) {
  retract_engine();
  sc_engine* engine = sc_engine::new_engine();
  db4.db_engine = engine;
  engine->fill_empties(mode == engine_mode::force_fill);
}

void comtree::retract_engine() {
  sc_engine* engine = db4.db_engine;
  if (!engine) return;
  db4.db_engine = nullptr;
  if (PanesAlive()) engine->stop_generating();
  else rizediveva6::TrapAndForget([&] { engine->stop_generating(); });
}

void comtree::drew_few_assigns(const rizediveva6::SList* keys) {
  if (!PanesAlive()) return;
  if (draw_assign* layer = db3.db_cal_assign.view) layer->drew_days_assigns(keys);
}

void comtree::refresh() {
  if (!PanesAlive()) return;
  uint8_t* font = const_cast<uint8_t*>(rizediveva6::options_db::opt_font());
  win_SetFont(db6.xtreeviewwin.get(), font);
  win_SetFont(db6.xdata_wintop.get(), font);
  win_Invalidate_0(db6.xtreeviewwin.get());
  win_Invalidate_0(db6.xdata_wintop.get());
  win_Invalidate_0(db6.xdata_winbot.get());
}

int32_t comtree::toggle_show_stats_continuously() {
  if (db5.boo_show_bot_stat_win) {
    dont_show_stats_continuously();
    return 0;
  }
  db5.boo_show_bot_stat_win = true;
  issue_command(db1.xstat_command.get());
  comtree_resize();
  return 1;
}

void comtree::dont_show_stats_continuously() {
  db5.boo_show_bot_stat_win = false;
  comtree_resize();
}

int32_t comtree::toggle_show_title() {
  db5.boo_showing_title = !db5.boo_showing_title;
  comtree_resize();
  if (!db5.boo_showing_title) return 0;
  update_title();
  return 1;
}

// --- Date buttons ----------------------------------------------------------------------

namespace {

constexpr int32_t kVisible = 10, kInvisible = 11;
constexpr uint32_t kRed = 255;

PROLOG_EHANDLER_STRUCT advanceHandler{reinterpret_cast<void*>(&comtree::_advance_eh), nullptr};
PROLOG_EHANDLER_STRUCT retreatHandler{reinterpret_cast<void*>(&comtree::_retreat_eh), nullptr};

LONG_PTR Button(uint32_t id) { return win_GetCtlHandle(comtree::db6.xtitle_win.get(), static_cast<int>(id)); }

void ShowButtons(bool show) {
  for (uint32_t id : {comtree::kNextButton, comtree::kPreviousButton})
    win_SetState(Button(id), kd::Ints({show ? kVisible : kInvisible}));
}

// The help line of a date button on a mouse move; other events: not handled.
LONG_PTR ButtonHelp(const event_struct* e, const wchar_t* text) {
  if (e->kind != e_mousemove) K::Fail();
  comtree::update_cs_help(kRed, text);
  return 0;
}

}  // namespace

void comtree::try_show_titlewin_buttons() {
  if (!PanesAlive()) return;
  win_SetSubClassHandler(Button(kNextButton), &advanceHandler, 0);
  win_SetSubClassHandler(Button(kPreviousButton), &retreatHandler, 0);
  ShowButtons(false);
  if (db3.db_cal_dtbd.present()) ShowButtons(true);
}

void comtree::try_show_titlewin_buttons(bool show) {
  if (PanesAlive()) ShowButtons(show);
}

LONG_PTR comtree::_advance_eh(LONG_PTR, event_struct* e) {
  return ButtonHelp(e, L"click > to advance the display start date.\nPress ESC to reset the display start date and refresh");
}

LONG_PTR comtree::_retreat_eh(LONG_PTR, event_struct* e) {
  return ButtonHelp(e, L"click < to retreat the display start date.\nPress ESC to reset the display start date and refresh");
}

}  // namespace all
