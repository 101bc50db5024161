// The editor's clipboard against an X client on the same display: text
// copied in the editor read by xclip, text put on the clipboard by xclip
// pasted into the editor, both with characters beyond ASCII and a line
// break.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checks.h"
#include "editgui.h"

using namespace QEL_EDIT;
using namespace kwitest;
using edittest::NoMenu;
using edittest::Text;
namespace K = Qel::RunTime::Kernel;

namespace {

std::string Utf8(const std::wstring& s) {
  int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
  return out;
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
    LONG_PTR w = edittest::NewEditor(t, task, L"Grüße – 日本語 €\nzweite Zeile ✓ end");
    ASSERT_NE(w, 0);

    // Editor to X: the selection across the line break, as xclip reads it.
    ASSERT_EQ(edit_SetSelection(w, 7, 29), 1);
    edit_Copy(w);
    std::string got = ShellOutput("xclip -selection clipboard -o", dir + L"out", 20);
    ASSERT_FALSE(got.empty());
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
    const std::string bytes = Utf8(sent);
    WriteBytes(dir + L"in", std::vector<uint8_t>(bytes.begin(), bytes.end()));
    ASSERT_TRUE(Shell("timeout 30 xclip -selection clipboard -i < '" + udir + "in'; touch '" + udir + "in.done'",
                      dir + L"in.done", 20));
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
