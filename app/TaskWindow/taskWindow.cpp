// taskWindow: creation, the two levels of its event handler (the list
// windows' pop-up commands, then the table from event kind and menu id to
// handler), the title and the activity flag.
#include "TaskWindow/taskWindow.h"

#include "SYSTEM/compilation_pack/compilation_build.h"
#include "SYSTEM/options/options_db.h"
#include "TaskWindow/Toolbar/statusLine.h"
#include "TaskWindow/aboutDialog.h"
#include "TaskWindow/doc_commands.h"
#include "TaskWindow/functions.h"
#include "TaskWindow/taskwindow_ids.h"
#include "commandtree/comtree.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/sc_holidays.h"
#include "kalmoradb/sc_stat_weekend.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/ties.h"
#include "kwi/kwi.h"
#include "kwi/kwicommondialogs.h"
#include "kwi/kwidomains.h"
#include "kwi/kwimessage/kwimessage.h"
#include "qel6decl.h"
#include "qel6kwi_win.h"
#include "rulesPack/sc_rules.h"
#include "string/string.h"

namespace kalmora {

namespace K = Qel::RunTime::Kernel;
namespace kd = tav::kwidomains;
using all::comtree;
using namespace QEL_KWI;

const tav::ClassInfo taskWindow::classInfo{L"qel6pack/TaskWindow/taskWindow", L""};

namespace {

bool xis_active = true;

// --- The package's class descriptors -------------------------------------------------

namespace decl = Qel::RunTime::Decl;
using tav::RScopeClassDescriptor;
void InitializeTaskWindowClass() { xis_active = true; }
RScopeClassDescriptor taskWindowClass = decl::Class(L"taskWindow", QEL_HERE, nullptr, InitializeTaskWindowClass);
RScopeClassDescriptor aboutDialogClass = decl::Class(L"aboutDialog", QEL_HERE);
RScopeClassDescriptor projectToolbarClass = decl::Class(L"projectToolbar", QEL_HERE);
RScopeClassDescriptor statusLineClass = decl::Class(L"statusLine", QEL_HERE);
decl::UnitTable unit{&taskWindowClass, &aboutDialogClass, &projectToolbarClass, &statusLineClass};

// --- First level: the list windows' pop-up commands ----------------------------------

const wchar_t* AskName(const wchar_t* title, const wchar_t* prompt) {
  return tav::kwiCommonDialogs::getstring(kwi_GetTaskWin(), title, prompt, L"");
}
// A store operation before the update; false: cancelled, the event goes on.
bool AddPractice() {
  const wchar_t* name = AskName(L"Practice", L"Enter new practice name");
  if (!name) return false;
  all::groups::add_group(99, name);
  return true;
}
bool AddDoctor() {
  const wchar_t* name = AskName(L"Doctor", L"Enter new doctor name");
  if (!name) return false;
  all::staff_db::add_name(name);
  return true;
}

enum class Selector { men_item, do_del, dont_del };
struct PopupCommand {
  int32_t id;
  bool (*action)();  // null: none
  Selector selector;
};

const PopupCommand kPopupCommands[] = {
    {10094, nullptr, Selector::men_item},
    {10095, nullptr, Selector::men_item},
    {10096, nullptr, Selector::men_item},
    {10097, nullptr, Selector::men_item},
    {10098, nullptr, Selector::men_item},
    {10099, nullptr, Selector::men_item},
    {10100, nullptr, Selector::men_item},
    {10090, nullptr, Selector::men_item},
    {10091, nullptr, Selector::men_item},
    {10092, nullptr, Selector::men_item},
    {10102, nullptr, Selector::men_item},
    {10101, nullptr, Selector::men_item},
    {10138, nullptr, Selector::men_item},
    {10137, nullptr, Selector::men_item},
    {10136, nullptr, Selector::men_item},
    {10104, [] { return all::ties::del_all(), true; }, Selector::dont_del},
    {10108, [] { return all::sc_rules::clear(), true; }, Selector::dont_del},
    {10130, [] { return all::sc_stat_weekend::clear_sd(), true; }, Selector::dont_del},
    {10144, nullptr, Selector::do_del},
    {10105, nullptr, Selector::do_del},
    {10134, nullptr, Selector::do_del},
    {10133, [] { return all::sc_holidays::clear_hols(), true; }, Selector::dont_del},
    {10145, [] { return all::staff_db::randomize_colors(), true; }, Selector::dont_del},
    {10141, AddPractice, Selector::dont_del},
    {10143, AddDoctor, Selector::dont_del},
};

all::do_delete_selected SelectorValue(const PopupCommand& c) {
  using kind = all::do_delete_selected::kind;
  switch (c.selector) {
    case Selector::do_del: return {kind::do_del, 0};
    case Selector::dont_del: return {kind::dont_del, 0};
    case Selector::men_item: break;
  }
  return {kind::men_item, c.id};
}

// True when the command was routed to the open views.
bool RoutePopupCommand(int32_t id) {
  for (const PopupCommand& c : kPopupCommands) {
    if (c.id != id) continue;
    if (c.action && !c.action()) return false;
    comtree::update_any_liboxes(all::update_scope::all_views, SelectorValue(c));
    return true;
  }
  return false;
}

// --- Second level: by event kind and menu id ------------------------------------------

HandlerResult OnCreate(taskWindow* self, LONG_PTR window) {
  self->thiswin = window;
  statusLine::create(window);
  rizediveva6::compilation_build::increment();
  rizediveva6::options_db::read_opt();
  tav::kwiMessage::create(100);
  event_struct buildTree{QEL_KWI::e_user, {1, 1}};
  win_PostEvent(window, &buildTree);
  return kDefaultHandling;
}

HandlerResult OnHelpAbout(LONG_PTR thiswin) {
  aboutDialog::new_()->show(thiswin);
  return HandledWith(0);
}

HandlerResult OnMenu(taskWindow* self, int32_t id) {
  using namespace doc_commands;
  switch (id) {
    case IDM_HELP_ABOUT: return OnHelpAbout(self->thiswin);
    case IDM_FILE_EXIT: return onfileexit(self->thiswin);
    case IDM_FILE_NEW: return onfilenew();
    case IDM_FILE_OPEN: return onfileopen();
    case IDM_OPTIONS: return onoptions(self->thiswin);
    case IDM_FILE_SAVE: return onfilesave();
    case IDM_FILE_SAVEAS: return onfilesaveas();
    case IDM_FILE_FORGET_EXIT: return onfileforgetchangesandexit(self->thiswin);
    case IDM_WWW: return functions::onwww();
    default: return functions::delete_all(id);
  }
}

HandlerResult OnUser(LONG_PTR id, LONG_PTR data) {
  if (id == 1 && data == 1) K::Succeeds([] { comtree::make_treeandwindows(); });
  return kDefaultHandling;
}

HandlerResult Dispatch(taskWindow* self, LONG_PTR window, event_struct* e) {
  switch (e->kind) {
    case QEL_KWI::e_create: return OnCreate(self, window);
    case QEL_KWI::e_update: return kDefaultHandling;
    case QEL_KWI::e_size:
      tav::kwiMessage::resize(self->thiswin);
      comtree::comtree_resize();
      return kDefaultHandling;
    case QEL_KWI::e_move:
      comtree::comtree_resize();
      return kDefaultHandling;
    case QEL_KWI::e_menu: return OnMenu(self, static_cast<int32_t>(e->w[0]));
    case QEL_KWI::e_closerequest: return doc_commands::oncloserequest();
    case QEL_KWI::e_user: return OnUser(e->w[0], e->w[1]);
    case QEL_KWI::e_activate:
      xis_active = true;
      return kDefaultHandling;
    case QEL_KWI::e_deactivate:
      xis_active = false;
      return kDefaultHandling;
    default: return kDefaultHandling;
  }
}

}  // namespace

const RScopeClassDescriptor* const* taskWindow::UnitTable() { return unit.Table(); }

taskWindow* taskWindow::new_() { return tav::NewObject<taskWindow>(); }

void taskWindow::show() {
  kwi_SetAttrVal(10002, 0);
  kwi_SetErrorHandler(tav::kwi::dumperrorhandler());
  PROLOG_EHANDLER_STRUCT handler{reinterpret_cast<void*>(&_eventhandler), this};
  // Sizing border, title bar, close box, maximise and minimise boxes, clip
  // siblings, maximised.
  tav::kwi::init(kd::Ints({2, 9, 4, 5, 6, 18, 14}), &handler, kd::ResMenu(IDM_TASKMENU), L"", L"Kalmora6");
}

void taskWindow::set_title() {
  const wchar_t* file = nullptr;
  const LONG_PTR task = kwi_GetTaskWin();
  if (all::kalmora_DB::get_file(&file)) win_SetText(task, tav::string::concat(L"Kalmora6 : [", file, L"]"));
  else win_SetText(task, L"Kalmora6");
}

bool taskWindow::is_active() { return xis_active; }

bool taskWindow::close_kalmora_file() {
  comtree::retract_engine();
  comtree::delete_cal(1);
  comtree::delete_liboxes();
  uint8_t* mark = K::Memory::MarkGStack();
  if (!doc_commands::complete_the_close(doc_commands::save_outcome(nullptr))) return false;
  K::Memory::ReleaseGStack(mark);
  set_title();
  return true;
}

LONG_PTR taskWindow::_eventhandler(void* self, LONG_PTR window, event_struct* event) {
  HandlerResult r = kDefaultHandling;
  if (event->kind == QEL_KWI::e_menu && RoutePopupCommand(static_cast<int32_t>(event->w[0])))
    r = HandledWith(0);
  else
    r = Dispatch(static_cast<taskWindow*>(self), window, event);
  if (!r.handled) K::Fail();
  return r.value;
}

}  // namespace kalmora

// The command tree reaches the task window through these three.
void all::taskWindow::set_title() { kalmora::taskWindow::set_title(); }
bool all::taskWindow::is_active() { return kalmora::taskWindow::is_active(); }
bool all::taskWindow::close_kalmora_file() { return kalmora::taskWindow::close_kalmora_file(); }
