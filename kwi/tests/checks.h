// Helpers of the drawing and exchange tests: raised codes, the language's
// success test, files in a temporary folder of the test program.
#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "testlib.h"

namespace kwitest {

inline LONG_PTR L(HWND w) { return reinterpret_cast<LONG_PTR>(w); }

// Records the codes raised while it lives (an exception handler returns).
struct RaiseLog {
  RaiseLog() {
    Raised().clear();
    registerExceptionHandler(RecordRaise);
  }
  ~RaiseLog() { registerExceptionHandler(nullptr); }
  std::vector<int> Take() {
    std::vector<int> r = Raised();
    Raised().clear();
    return r;
  }
};

inline bool Succeeds(const std::function<void()>& f) {
  return Qel::RunTime::Kernel::Succeeds([&] { f(); });
}

// A folder of the test program below the temporary folder, with a backslash.
inline std::wstring TempDir(const wchar_t* name) {
  wchar_t buf[MAX_PATH];
  GetTempPathW(MAX_PATH, buf);
  std::wstring d = std::wstring(buf) + name + L"\\";
  CreateDirectoryW(d.c_str(), nullptr);
  return d;
}

inline std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

inline std::vector<uint8_t> ReadBytes(const std::wstring& path) {
  std::ifstream f(Narrow(path), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

inline void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(Narrow(path), std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace kwitest
