// String lists of the GUI layer and back, shared by the picker and its
// network lookup; the lists live on the caller's global stack.
#pragma once

#include <string>
#include <vector>

#include "core/core.h"
#include "qel6kwi.h"

namespace tav::dlgdir {

QEL_KWI::slist_struct* StringList(const std::vector<std::wstring>& items);
std::vector<std::wstring> Strings(const QEL_KWI::slist_struct* list);

}  // namespace tav::dlgdir
