// statusLine: see the header.
#include "TaskWindow/Toolbar/statusLine.h"

#include "TaskWindow/taskwindow_ids.h"
#include "kwi/kwitoolbar/kwitoolbar.h"

namespace kalmora {

const tav::ClassInfo statusLine::classInfo{L"qel6pack/TaskWindow/Toolbar/statusLine", L""};

LONG_PTR statusLine::create(LONG_PTR parent) {
  namespace tbar = tav::tbar;
  constexpr int16_t kFieldWidth = 200;
  const tbar::control fields[] = {
      tbar::tb_text(IDC_STATUS_TEXT, tbar::TextStyle::tb_context, kFieldWidth, 0, 4, 10, 0, L"")};
  return tav::kwiToolbar::create(tbar::tb_bottom(), parent, {fields, 1});
}

}  // namespace kalmora
