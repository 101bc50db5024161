// wyn: see the header.
#include "KWI/Wyn/wyn.h"

#include <windows.h>
#include <shellapi.h>

namespace rizediveva6 {

const tav::ClassInfo wyn::classInfo{L"qel6pack/chainDB/wyn", TAV_CLASS_VERSION};

void wyn::open_a_file(const wchar_t* fileName) {
  ShellExecuteW(nullptr, L"open", fileName, L"", L"", SW_SHOWNORMAL);
}

}  // namespace rizediveva6
