// held_context: see the header.
#include "KWI/Wyn/held_context.h"

namespace rizediveva6 {

using namespace QEL_KWI;

held_context::held_context(wyndow t) {
  if (t.alt == wyndow::wnull) return;
  window_ = t.window;
  dc_ = win_GetNativeGraphicContext(window_, &acquired_);
}

void held_context::release() {
  if (acquired_) win_ReleaseNativeGraphicContext(window_, dc_, 1);
  acquired_ = 0;
}

}  // namespace rizediveva6
