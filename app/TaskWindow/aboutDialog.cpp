// aboutDialog: see the header.
#include "TaskWindow/aboutDialog.h"

#include <cwchar>

#include "TaskWindow/functions.h"
#include "TaskWindow/taskWindow.h"
#include "TaskWindow/taskwindow_ids.h"
#include "kwi/kwidomains.h"
#include "qel6kwi_win.h"

namespace kalmora {

namespace K = Qel::RunTime::Kernel;
namespace kd = tav::kwidomains;
using namespace QEL_KWI;

const tav::ClassInfo aboutDialog::classInfo{L"qel6pack/TaskWindow/aboutDialog", L""};

namespace {

// The GUI layer's flag numbers.
enum Flag : int64_t { kCloseBox = 4, kTitleBar = 9, kDefault = 23, kGroup = 25, kTabStop = 26, kLeftText = 31 };

QEL_KWI::windef_list_struct* Definition() {
  return kd::Windefs({
      kd::DlgFont(QEL_KWI::wt_modal, kd::Rect(122, 26, 266, 162), L"About", kd::kDialogUnits, L"MS Sans Serif", 8,
                  kd::Ints({kCloseBox, kTitleBar})),
      kd::Ctl(QEL_KWI::wt_pushbutton, kd::Rect(44, 114, 92, 126), L"OK", aboutDialog::kOk,
              kd::Ints({kDefault, kGroup, kTabStop})),
      kd::Ctl(QEL_KWI::wt_pushbutton, kd::Rect(44, 92, 92, 104), L"WebPage", aboutDialog::kWebPage,
              kd::Ints({kGroup, kTabStop})),
      kd::Ctl(QEL_KWI::wt_text, kd::Rect(12, 36, 132, 46), L"Daradi-da-vazo Vedovo", 10072, kd::Ints({kLeftText})),
      kd::Ctl(QEL_KWI::wt_text, kd::Rect(12, 46, 132, 56), L"Version 6.0", 10073, kd::Ints({kLeftText})),
      kd::Ctl(QEL_KWI::wt_text, kd::Rect(12, 68, 132, 78), L"kalmoraTessaro roster planner", 10074,
              kd::Ints({kLeftText})),
      kd::Ctl(QEL_KWI::wt_text, kd::Rect(12, 78, 132, 88), L"for hospital on-call duties", 10075,
              kd::Ints({kLeftText})),
      kd::Icon(kd::Rect(12, 6, 28, 22), 10076, IDI_KALMORA6, kd::Ints({})),
      kd::Ctl(QEL_KWI::wt_text, kd::Rect(12, 56, 132, 66), L"Build", aboutDialog::kBuildText, kd::Ints({kLeftText})),
      kd::Ctl(QEL_KWI::wt_groupbox, kd::Rect(4, 28, 140, 110), L"", 2, kd::Ints({})),
  });
}

}  // namespace

aboutDialog* aboutDialog::new_() { return tav::NewObject<aboutDialog>(); }

void aboutDialog::show(LONG_PTR parent) {
  PROLOG_EHANDLER_STRUCT handler{reinterpret_cast<void*>(&_eventhandler), this};
  win_CreateDynDialog(parent, Definition(), &handler, 0);
}

LONG_PTR aboutDialog::_eventhandler(void* self, LONG_PTR window, event_struct* event) {
  auto* d = static_cast<aboutDialog*>(self);
  if (event->kind == QEL_KWI::e_create) {
    d->thiswin = window;
    wchar_t text[24];
    swprintf(text, 24, L"Build %u", taskWindow::kBuild);
    win_SetText(win_GetCtlHandle(d->thiswin, kBuildText), text);
    K::Fail();
  }
  if (event->kind == QEL_KWI::e_control) {
    switch (event->w[0]) {
      case kOk:
      case kCancel:
        win_Destroy(d->thiswin);
        return 0;
      case kWebPage:
        functions::onwww();
        return 0;
      default:
        break;
    }
  }
  K::Fail();
}

}  // namespace kalmora
