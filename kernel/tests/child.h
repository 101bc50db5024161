// Runs a test program in a child process and collects what it printed.
#pragma once
#include <string>

struct ChildResult {
  unsigned long exitCode = 0;
  std::string out;   // standard output, as bytes
  std::wstring err;  // standard error, decoded from UTF-16 where it is UTF-16
};

// Runs `program args` in `folder` (empty: the current one); waits at most
// `seconds`.
ChildResult RunChild(const std::wstring& program, const std::wstring& args,
                     const std::wstring& folder = L"", unsigned seconds = 60);
// A fresh empty temporary folder.
std::wstring TempFolder(const wchar_t* name);
std::wstring ProgramFolder();
std::string ReadFileBytes(const std::wstring& path);
// Each UTF-16 unit cut to a byte, for failure output.
inline std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

// Sets the kernel's registry values (log level; minidump type unless
// negative) for the children started while it lives.
struct KernelSettings {
  KernelSettings(unsigned long logLevel, int miniDump);
  ~KernelSettings();
};
