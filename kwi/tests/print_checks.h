// Jobs through the run's CUPS PDF queue: the queue's presence, the PDF that
// cups-pdf wrote for a job, and the pixels of a page raster (pdftoppm).
#pragma once

#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <string>

namespace kwitest {

// The test command adds the queue KwiPDF before Wine starts.
inline bool HasPdfQueue() {
  wchar_t name[256];
  DWORD n = 256;
  return GetDefaultPrinterW(name, &n) && wcscmp(name, L"KwiPDF") == 0;
}

// The PDF cups-pdf wrote for `title`, waited for.
inline std::wstring WaitForPdf(const std::wstring& title) {
  for (int i = 0; i < 600; ++i, Sleep(100)) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((L"Z:\\root\\PDF\\" + title + L"*.pdf").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      FindClose(h);
      std::wstring path = L"Z:\\root\\PDF\\" + std::wstring(fd.cFileName);
      Sleep(500);  // written whole
      return path;
    }
  }
  return L"";
}

// The pixels of a binary PPM (P6, 8 bits), red in the high byte.
struct Ppm {
  int width = 0, height = 0;
  std::string bytes;
  size_t at = 0;
  explicit Ppm(const std::string& file) {
    int max = 0, used = 0;
    if (sscanf(file.c_str(), "P6 %d %d %d%n", &width, &height, &max, &used) == 3 && max == 255) {
      at = static_cast<size_t>(used) + 1;
      bytes = file;
    }
    if (bytes.size() < at + size_t(width) * height * 3) width = height = 0;
  }
  uint32_t At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFF;
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data()) + at + (size_t(y) * width + x) * 3;
    return uint32_t(p[0]) << 16 | p[1] << 8 | p[2];
  }
};

}  // namespace kwitest
