// web_check: see the header.
#include "SYSTEM/web_check_pack/web_check.h"

namespace rizediveva6 {

const tav::ClassInfo web_check::classInfo{L"qel6pack/web_check_pack/web_check",
                                          TAV_CLASS_VERSION};

web_state web_check::check_on_web(const wchar_t*, const wchar_t*) { return web_state::online; }

}  // namespace rizediveva6
