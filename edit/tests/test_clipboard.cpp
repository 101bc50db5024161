// The editor's clipboard against an X client on the same display: text
// copied in the editor read by xclip, text put on the clipboard by xclip
// pasted into the editor, both with characters beyond ASCII and a line
// break.
#include <gtest/gtest.h>

#include <string>

#include "editgui.h"

using namespace QEL_EDIT;
using namespace kwitest;
using edittest::NoMenu;
namespace K = Qel::RunTime::Kernel;

namespace {

std::string UnixName(const std::wstring& windowsPath) {
  using Fn = char* (*)(const wchar_t*);
  auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
  char* u = fn ? fn(windowsPath.c_str()) : nullptr;
  std::string s = u ? u : "";
  if (u) HeapFree(GetProcessHeap(), 0, u);
  return s;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Runs a shell command line as a Unix program, pumping messages until
// `done` (a Windows path) appears.
bool Shell(const std::string& command, const std::wstring& done) {
  DeleteFileW(done.c_str());
  std::string line = "/bin/sh -c \"" + command + "\"";
  std::wstring w(line.begin(), line.end());
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, w.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return PumpUntil([&] { return Exists(done); }, 20000);
}

std::string Utf8(const std::wstring& s) {
  int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::string ReadFile(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  std::string s;
  if (f == INVALID_HANDLE_VALUE) return s;
  char buf[4096];
  DWORD got = 0;
  while (::ReadFile(f, buf, sizeof buf, &got, nullptr) && got) s.append(buf, got);
  CloseHandle(f);
  return s;
}

void WriteFile(const std::wstring& path, const std::string& bytes) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD put = 0;
  ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
  CloseHandle(f);
}

std::wstring Text(LONG_PTR w) {
  uint8_t* m = K::Memory::MarkGStack();
  std::wstring s = edit_GetText_0(w);
  K::Memory::ReleaseGStack(m);
  return s;
}

std::wstring TempFolder() {
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  std::wstring dir = std::wstring(base) + L"edit_clip_" + std::to_wstring(GetCurrentProcessId()) + L"\\";
  CreateDirectoryW(dir.c_str(), nullptr);
  return dir;
}

TEST(EditorClipboard, TextTravelsToAndFromAnXClient) {
  Terms t;
  RunInTask([&](HWND task) {
    const std::wstring dir = TempFolder();
    const std::string udir = UnixName(dir);
    ASSERT_FALSE(udir.empty());
    rect_struct r{10, 10, 400, 300};
    PROLOG_EHANDLER_STRUCT none{nullptr, nullptr};
    LONG_PTR w = 0;
    ASSERT_EQ(K::RunTrapped([&] {
                w = edit_Create(wt_child, &r, L"notes.txt", t.NoMenu(), reinterpret_cast<LONG_PTR>(task),
                                t.Flags({}), nullptr, 0, 0, L"Grüße – 日本語 €\nzweite Zeile ✓ end", 1, &none);
              }),
              0u);

    // Editor to X: the selection across the line break, as xclip reads it.
    ASSERT_EQ(edit_SetSelection(w, 7, 29), 1);
    edit_Copy(w);
    ASSERT_TRUE(Shell("xclip -selection clipboard -o > '" + udir + "out.part'; mv '" + udir + "out.part' '" +
                          udir + "out'",
                      dir + L"out"));
    std::string got = ReadFile(dir + L"out");
    std::string lf;
    for (char c : got)
      if (c != '\r') lf += c;
    EXPECT_EQ(lf, Utf8(L"– 日本語 €\nzweite Zeile ✓"));
    // Pasted back, its line break stays one break, with nothing added.
    edit_GotoPos(w, 33);
    edit_Paste(w);
    EXPECT_EQ(Text(w), L"Grüße – 日本語 €\nzweite Zeile ✓ end– 日本語 €\nzweite Zeile ✓");
    edit_Undo(w);

    // X to the editor: xclip owns the clipboard until the editor takes it
    // back (bounded by a timeout either way).
    const std::wstring sent = L"Ärger ∑ 𝄞 naïve\nnext «line»";
    WriteFile(dir + L"in", Utf8(sent));
    ASSERT_TRUE(Shell("timeout 30 xclip -selection clipboard -i < '" + udir + "in'; touch '" + udir + "in.done'",
                      dir + L"in.done"));
    std::wstring onClipboard;
    EXPECT_TRUE(PumpUntil([&] {
      uint8_t* m = K::Memory::MarkGStack();
      bool ok = K::Succeeds([&] { onClipboard = cb_GetString(); });
      K::Memory::ReleaseGStack(m);
      return ok && onClipboard.find(L"next") != std::wstring::npos;
    }, 10000));
    edit_GotoPos(w, 1);
    edit_Paste(w);
    EXPECT_EQ(Text(w), sent + L"Grüße – 日本語 €\nzweite Zeile ✓ end");
    // The editor owns the clipboard again, which ends xclip.
    ASSERT_EQ(edit_SetSelection(w, 1, 3), 1);
    edit_Copy(w);
    for (const wchar_t* f : {L"out", L"in", L"in.done"}) DeleteFileW((dir + f).c_str());
    RemoveDirectoryW(dir.c_str());
    DestroyWindow(reinterpret_cast<HWND>(w));
  }, NoMenu());
}

}  // namespace
