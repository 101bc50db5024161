// cb_PutString + cb_GetString of 1 MB of text against the raw clipboard
// calls (DDE has its own benchmark, bench_kwi_dde).
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench_task.h"
#include "bench_util.h"
#include "qel6kernel.h"
#include "qel6kwi.h"

using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;

namespace {

// Puts `text` as Unicode text and reads it back with the raw calls, the
// clipboard opened for `owner`; the number of characters read.
size_t RawRoundTrip(HWND owner, const std::wstring& text) {
  size_t bytes = (text.size() + 1) * sizeof(wchar_t), got = 0;
  if (OpenClipboard(owner)) {
    EmptyClipboard();
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(g), text.c_str(), bytes);
    GlobalUnlock(g);
    SetClipboardData(CF_UNICODETEXT, g);
    CloseClipboard();
  }
  if (OpenClipboard(owner)) {
    HANDLE h = GetClipboardData(CF_UNICODETEXT);
    auto* p = static_cast<const wchar_t*>(GlobalLock(h));
    std::wstring copy(p, wcsnlen(p, GlobalSize(h) / 2));
    got = copy.size();
    GlobalUnlock(h);
    CloseClipboard();
  }
  return got;
}

// The layer's round trip against two raw ones: without an owner window, and
// with one that stays (the quickest way under Wine: the data this process put
// is read back without a trip through the server).  The layer also puts the
// ANSI copy, which the raw calls do not.
void ClipboardFigures() {
  std::wstring text(512 * 1024 - 1, L'x');  // 1 MB with the terminator
  for (size_t i = 0; i < text.size(); i += 61) text[i] = L'\n';
  HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  double layer = 1e9, raw = 1e9, rawOwned = 1e9;
  size_t got = 0, rawGot = 0, ownedGot = 0;
  for (int round = 0; round < 10; ++round) {
    uint8_t* mark = K::Memory::MarkGStack();
    double t = bench::Now();
    cb_PutString(text.c_str());
    got = wcslen(cb_GetString());
    layer = std::min(layer, bench::Now() - t);
    K::Memory::ReleaseGStack(mark);
    t = bench::Now();
    rawGot = RawRoundTrip(nullptr, text);
    raw = std::min(raw, bench::Now() - t);
    t = bench::Now();
    ownedGot = RawRoundTrip(owner, text);
    rawOwned = std::min(rawOwned, bench::Now() - t);
  }
  DestroyWindow(owner);
  printf("Clipboard: put and get 1 MB of text (best of 10)\n");
  printf("  cb_PutString + cb_GetString     %.4f s (%zu characters)\n", layer, got);
  printf("  raw calls, no owner window      %.4f s (%zu), ratio %.2f (goal <= 1.5)\n", raw, rawGot, layer / raw);
  printf("  raw calls, an owner that stays  %.4f s (%zu), ratio %.2f\n", rawOwned, ownedGot, layer / rawOwned);
}

}  // namespace

int main() {
  ilist_struct nil{ListNil, 0, nullptr};
  menu_struct nomenu{3, 0};
  const bool ran = bench::RunInTask(&nil, &nomenu, L"bench_kwi_exchange", [](LONG_PTR) { ClipboardFigures(); });
  return ran ? 0 : 1;
}
