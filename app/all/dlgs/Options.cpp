// options: the window definition, the event handler and the control actions.
#include "dlgs/Options.h"

#include <cwchar>

#include "SYSTEM/options/options_db.h"
#include "commandtree/comtree.h"
#include "dlgs/ExportTessaro.h"
#include "dlgs/dlg_tools.h"
#include "kalmoradb/kalmora_DB.h"
#include "kwi/kwiDlgDir/kwiDlgDir.h"
#include "kwi/kwicommondialogs.h"
#include "publish/publish_it.h"
#include "qel6kernel.h"
#include "qel6kwi_win.h"

namespace all {

using namespace QEL_KWI;
using namespace dlgs;
using rizediveva6::options_db;
namespace K = Qel::RunTime::Kernel;

const tav::ClassInfo options::classInfo{L"qel6pack/all/dlgs/options", TAV_CLASS_VERSION};
bool options::boo_holidays_are_weekends = false;

namespace {

constexpr const wchar_t* kSimpleKey = L"simple";
constexpr const wchar_t* kTessaroKey = L"Tessaro folder";

windef_list_struct* Definition() {
  static windef_list_struct* d = BuildWindef(
      {wt_modal, L"Options", {50, 40, 325, 336}, L"MS Sans Serif", 10, {kTitleBar, kCloseBox}},
      {{options::kClose, wt_pushbutton, L"Close", {12, 278, 56, 290}, {kDefault, kGroup, kTabStop}},
       {options::kSetFont, wt_pushbutton, L"Set font", {46, 18, 94, 30}, {kGroup, kTabStop}},
       {options::kPretty, wt_radiobutton, L"Pretty (slower)", {32, 54, 108, 64}, {kTabStop}},
       {options::kSimple, wt_radiobutton, L"Simple (quicker)", {32, 68, 108, 78}, {kTabStop}},
       {options::kHolidays, wt_checkbox, L"Treat holidays as weekends", {18, 116, 122, 126},
        {kGroup, kTabStop, kDisabled}},
       {options::kStatsContinuously, wt_checkbox, L"Show continuously", {18, 154, 118, 164}, {kGroup, kTabStop}},
       {options::kShowTitle, wt_checkbox, L"Show title and cont-sens help", {144, 20, 252, 30}, {kGroup, kTabStop}},
       {options::kPublishFolder, wt_pushbutton, L"Set folder", {12, 240, 60, 252}, {kGroup, kTabStop}},
       {options::kTessaroFolder, wt_pushbutton, L"Set folder", {12, 192, 60, 204}, {kGroup, kTabStop}},
       {options::kExport, wt_pushbutton, L"Export", {72, 192, 120, 204}, {kGroup, kTabStop}},
       {options::kPublish, wt_pushbutton, L"Publish", {72, 240, 120, 252}, {kGroup, kTabStop}},
       {options::kDescription, wt_edit, L"EDIT_DESC", {148, 56, 256, 168},
        {kMultiLine, kAutoHScroll, kWantReturn, kGroup, kTabStop}},
       {10030, wt_text, L"Statistics calculations", {18, 102, 122, 112}, {kCentredText}},
       {options::kTessaroText, wt_text, L"txt Tessaro folder", {12, 208, 252, 218}, {kLeftText}},
       {options::kPublishText, wt_text, L"txt publish folder", {12, 256, 252, 266}, {kLeftText}},
       {10023, wt_groupbox, L"Font", {8, 8, 132, 36}, {}},
       {10025, wt_groupbox, L"Calendar Drawing", {8, 44, 132, 82}, {}},
       {10028, wt_groupbox, L"Holidays", {8, 90, 132, 132}, {}},
       {10031, wt_groupbox, L"Statistics display", {8, 138, 132, 176}, {}},
       {10033, wt_groupbox, L"Title display", {140, 8, 264, 36}, {}},
       {10035, wt_groupbox, L"Export to Tessaro", {8, 180, 264, 226}, {}},
       {10036, wt_groupbox, L"Publish Webpages", {8, 228, 264, 274}, {}},
       {10016, wt_groupbox, L"Description/notes", {140, 44, 264, 176}, {}}});
  return d;
}

// Runs a step; one that raises leaves its control as it was.
template <class F>
void Step(F step) {
  K::RunTrapped([&] { step(); });
}

}  // namespace

options* options::new_() { return tav::NewObject<options>(); }

bool options::holidays_are_weekends() { return boo_holidays_are_weekends; }

void options::show(LONG_PTR parent) {
  PROLOG_EHANDLER_STRUCT handler{reinterpret_cast<void*>(&OnEvent), this};
  win_CreateDynDialog(parent, Definition(), &handler, 0);
}

LONG_PTR options::control(int id) const { return win_GetCtlHandle(thiswin_, id); }

void options::update_txts() {
  Step([&] { win_SetText(control(kPublishText), options_db::publish_folder()); });
  Step([&] {
    win_SetText(control(kTessaroText), L"");
    const wchar_t* folder;
    if (options_db::various_s(kTessaroKey, &folder)) win_SetText(control(kTessaroText), folder);
  });
  Step([&] {
    const wchar_t* desc = tav::HeapCopy(kalmora_DB::get_desc());
    lastDesc_ = desc;  // before the box's change notice arrives
    win_SetText(control(kDescription), desc);
  });
}

void options::description_changed() {
  const wchar_t* text = win_GetText(control(kDescription));
  if (!lastDesc_ || wcscmp(text, lastDesc_) == 0) return;  // not yet shown, or unchanged
  kalmora_DB::set_desc(text);
  lastDesc_ = tav::HeapCopy(text);
}

bool options::act(int id) {
  switch (id) {
    case kClose:
      win_Destroy(thiswin_);
      return true;
    case kPretty:
    case kSimple: {
      options_db::various_i(kSimpleKey, id == kSimple ? 1 : 0);
      winlist_struct end{ListNil, 0, nullptr};
      winlist_struct simple{ListCons, control(kSimple), &end}, group{ListCons, control(kPretty), &simple};
      win_CheckRadioButton(control(id), &group);
      comtree::refresh();
      return true;
    }
    case kSetFont: {
      uint8_t* chosen = tav::kwiCommonDialogs::getfont(const_cast<uint8_t*>(options_db::opt_font()));
      if (!chosen) return false;
      options_db::opt_font(chosen);
      comtree::refresh();
      return true;
    }
    case kStatsContinuously:
      win_Check(control(id), comtree::toggle_show_stats_continuously());
      return true;
    case kShowTitle:
      win_Check(control(id), comtree::toggle_show_title());
      return true;
    case kHolidays:
      boo_holidays_are_weekends = !boo_holidays_are_weekends;
      win_Check(control(id), boo_holidays_are_weekends ? 1 : 0);
      return true;
    case kTessaroFolder: {
      const wchar_t* start;
      if (!options_db::various_s(kTessaroKey, &start)) start = options_db::publish_folder();
      const wchar_t* chosen = nullptr;
      if (tav::kwiDlgDir::getDirectoryName(kwi_GetTaskWin(), L"Tessaro folder", start, &chosen) != 1) return true;
      options_db::various_s(kTessaroKey, chosen);
      update_txts();
      return true;
    }
    case kPublishFolder: {
      const wchar_t* chosen = nullptr;
      if (tav::kwiDlgDir::getDirectoryName(kwi_GetTaskWin(), L"Webpage folder", options_db::publish_folder(),
                                           &chosen) != 1)
        return true;
      options_db::publish_folder(chosen);
      update_txts();
      return true;
    }
    case kExport:
      exportTessaro::new_()->show(kwi_GetTaskWin());
      return true;
    case kPublish:
      publish_it::do_publish();
      return true;
    case kDescription:
      description_changed();
      return true;
    default:
      return false;
  }
}

LONG_PTR options::OnEvent(void* self, LONG_PTR window, event_struct* event) {
  auto* o = static_cast<options*>(self);
  switch (event->kind) {
    case e_create:
      o->thiswin_ = window;
      o->update_txts();
      break;
    case e_control:
      if (o->act(static_cast<int>(event->w[0]))) return 0;
      break;
    case e_destroy:
      o->thiswin_ = 0;
      break;
    default:
      break;
  }
  K::Fail();
}

}  // namespace all
