// exportTessaro: the window definition and the event handler.
#include "dlgs/ExportTessaro.h"

#include "dlgs/dlg_tools.h"
#include "qel6kernel.h"
#include "qel6kwi_win.h"
#include "stream/stream.h"

namespace all {

using namespace QEL_KWI;
using namespace dlgs;

const tav::ClassInfo exportTessaro::classInfo{L"qel6pack/all/dlgs/exportTessaro", TAV_CLASS_VERSION};

namespace {

windef_list_struct* Definition() {
  static windef_list_struct* d = BuildWindef(
      {wt_modal, L"Export Tessaro", {50, 40, 275, 256}, L"MS Sans Serif", 10, {kTitleBar, kCloseBox}},
      {{1, wt_pushbutton, L"&OK", {32, 184, 76, 196}, {kDefault, kGroup, kTabStop}},
       {2, wt_pushbutton, L"Cancel", {88, 184, 132, 196}, {kGroup, kTabStop}},
       {10019, wt_text, L"Not yet available", {56, 22, 152, 32}, {kCentredText}},
       {10020, wt_text, L"This function will export a kalmora6 roster and create files in Tessaro format",
        {56, 44, 156, 78}, {kCentredText}},
       {10021, wt_text,
        L"Tessaro can cope with more complex roster problems, with overlapping slots and varying duty times, "
        L"and hundreds of staff",
        {24, 108, 192, 142}, {kLeftText}}});
  return d;
}

}  // namespace

exportTessaro* exportTessaro::new_() { return tav::NewObject<exportTessaro>(); }

void exportTessaro::show(LONG_PTR parent) {
  PROLOG_EHANDLER_STRUCT handler{reinterpret_cast<void*>(&OnEvent), this};
  win_CreateDynDialog(parent, Definition(), &handler, 0);
}

LONG_PTR exportTessaro::OnEvent(void* self, LONG_PTR window, event_struct* event) {
  auto* d = static_cast<exportTessaro*>(self);
  switch (event->kind) {
    case e_create:
      d->thiswin_ = window;
      break;
    case e_control:
      if (event->w[0] != 1 && event->w[0] != 2) break;
      win_Destroy(d->thiswin_);
      return 0;
    case e_destroy:
      d->thiswin_ = 0;
      break;
    default:
      break;
  }
  Qel::RunTime::Kernel::Fail();
}

}  // namespace all
