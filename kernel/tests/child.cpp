#include "child.h"

#include <windows.h>

#include <vector>

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.find_last_of(L"\\/"));
}

std::wstring TempFolder(const wchar_t* name) {
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  std::wstring folder = std::wstring(tmp) + L"kalmora-" + name + L"-" +
                        std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        DeleteFileW((folder + L"\\" + fd.cFileName).c_str());
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  return folder;
}

std::string ReadFileBytes(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return {};
  std::string data;
  char buf[4096];
  DWORD n;
  while (ReadFile(f, buf, sizeof buf, &n, nullptr) && n) data.append(buf, n);
  CloseHandle(f);
  return data;
}

ChildResult RunChild(const std::wstring& program, const std::wstring& args,
                     const std::wstring& folder, unsigned seconds) {
  ChildResult result;
  std::wstring dir = TempFolder(L"child-io");
  std::wstring outPath = dir + L"\\out", errPath = dir + L"\\err";
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE out = CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0,
                           nullptr);
  HANDLE err = CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0,
                           nullptr);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = out;
  si.hStdError = err;
  PROCESS_INFORMATION pi{};
  std::wstring path = ProgramFolder() + L"\\" + program;
  std::wstring cmd = L"\"" + path + L"\" " + args;
  std::vector<wchar_t> line(cmd.begin(), cmd.end());
  line.push_back(0);
  BOOL ok = CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                           folder.empty() ? nullptr : folder.c_str(), &si, &pi);
  CloseHandle(out);
  CloseHandle(err);
  if (!ok) {
    result.exitCode = 0xFFFFFFFF;
    return result;
  }
  if (WaitForSingleObject(pi.hProcess, seconds * 1000) != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 124);
    WaitForSingleObject(pi.hProcess, INFINITE);
  }
  GetExitCodeProcess(pi.hProcess, &result.exitCode);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  result.out = ReadFileBytes(outPath);
  std::string e = ReadFileBytes(errPath);
  // The kernel writes its messages as UTF-16 when standard error is a file;
  // the C runtime's own output is 8-bit.  Decode what looks like UTF-16.
  for (size_t i = 0; i < e.size();) {
    if (i + 1 < e.size() && e[i + 1] == 0) {
      result.err += static_cast<wchar_t>(static_cast<unsigned char>(e[i]));
      i += 2;
    } else {
      result.err += static_cast<wchar_t>(static_cast<unsigned char>(e[i]));
      i += 1;
    }
  }
  return result;
}

static const wchar_t* kKernelKey = L"SOFTWARE\\Tarnwick\\Corvane6\\qel6kernel.dll\\.Default";

KernelSettings::KernelSettings(unsigned long logLevel, int miniDump) {
  HKEY key;
  DWORD level = logLevel;
  RegCreateKeyExW(HKEY_CURRENT_USER, kKernelKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  RegSetValueExW(key, L"ExceptionLog", 0, REG_DWORD, reinterpret_cast<BYTE*>(&level), 4);
  if (miniDump >= 0)
    RegSetValueExW(key, L"MiniDump", 0, REG_DWORD, reinterpret_cast<BYTE*>(&miniDump), 4);
  RegCloseKey(key);
}

KernelSettings::~KernelSettings() { RegDeleteKeyW(HKEY_CURRENT_USER, kKernelKey); }
