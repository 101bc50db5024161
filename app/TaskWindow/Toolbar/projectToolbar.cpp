// projectToolbar: see the header.
#include "TaskWindow/Toolbar/projectToolbar.h"

#include "kwi/kwitoolbar/kwitoolbar.h"

namespace kalmora {

const tav::ClassInfo projectToolbar::classInfo{L"qel6pack/TaskWindow/Toolbar/projectToolbar", L""};

LONG_PTR projectToolbar::create(LONG_PTR parent) {
  return tav::kwiToolbar::create(tav::tbar::tb_top(), parent, {nullptr, 0});
}

}  // namespace kalmora
