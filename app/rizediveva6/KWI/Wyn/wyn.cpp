// wyn: see the header.
#include "KWI/Wyn/wyn.h"

#include <windows.h>
#include <shellapi.h>

#include "qel6run_lib.h"

namespace rizediveva6 {

const tav::ClassInfo wyn::classInfo{L"qel6pack/chainDB/wyn", TAV_CLASS_VERSION};

void wyn::open_a_file(const wchar_t* fileName) {
  ShellExecuteW(nullptr, L"open", fileName, L"", L"", SW_SHOWNORMAL);
}

int32_t wyn::random_color() {
  const int32_t red = QelMath::Random_1(255);
  const int32_t green = QelMath::Random_1(255);
  const int32_t blue = QelMath::Random_1(255);
  return red | green << 8 | blue << 16;
}

}  // namespace rizediveva6
