// DDE requests per second through dde_Request against bare
// DdeClientTransaction calls to the same server (kwi_dde_server, built with
// the GUI layer's tests), and cb_PutString + cb_GetString of 1 MB of text
// against the raw clipboard calls.  Both request loops pump the queue after
// each request, as a program's message loop does (Wine's DDE library leaves
// an acknowledgement there that the conversation must see); requests stop at
// the first that fails.
#include <windows.h>

#include <ddeml.h>

#include <cstdio>
#include <string>

#include "bench_util.h"
#include "qel6kernel.h"
#include "qel6kwi.h"

using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;

namespace {

constexpr int Requests = 2000;

HDDEDATA CALLBACK Bare(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

void Drain() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
}

std::wstring Beside(const wchar_t* file) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring p = self;
  return p.substr(0, p.find_last_of(L'\\') + 1) + file;
}

// Requests until one fails or `Requests` are done: {count, seconds}.
struct Run {
  int done;
  double seconds;
};

Run LayerRequests(LONG_PTR conv) {
  Run r{0, 0};
  double t = bench::Now();
  for (; r.done < Requests; ++r.done) {
    uint8_t* mark = K::Memory::MarkGStack();
    dde_data_struct* d = nullptr;
    dde_Request(conv, L"lines", CF_TEXT, 2000, &d);
    bool ok = d && d->kind == dd_str;
    K::Memory::ReleaseGStack(mark);
    if (!ok) break;
    Drain();
  }
  r.seconds = bench::Now() - t;
  return r;
}

Run BareRequests() {
  DWORD inst = 0;
  Run r{0, 0};
  if (DdeInitializeW(&inst, Bare, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return r;
  HSZ service = DdeCreateStringHandleW(inst, L"KwiServer", CP_WINUNICODE);
  HSZ topic = DdeCreateStringHandleW(inst, L"Roster", CP_WINUNICODE);
  HSZ item = DdeCreateStringHandleW(inst, L"lines", CP_WINUNICODE);
  HCONV conv = DdeConnect(inst, service, topic, nullptr);
  double t = bench::Now();
  for (; conv && r.done < Requests; ++r.done) {
    HDDEDATA h = DdeClientTransaction(nullptr, 0, conv, item, CF_TEXT, XTYP_REQUEST, 2000, nullptr);
    if (!h) break;
    char buf[64];
    DdeGetData(h, reinterpret_cast<LPBYTE>(buf), sizeof buf, 0);
    DdeFreeDataHandle(h);
    Drain();
  }
  r.seconds = bench::Now() - t;
  if (conv) DdeDisconnect(conv);
  for (HSZ h : {service, topic, item}) DdeFreeStringHandle(inst, h);
  DdeUninitialize(inst);
  return r;
}

void DdeFigures() {
  ilist_struct none{ListNil, 0, nullptr};
  dde_Init(&none);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring server = Beside(L"kwi_dde_server.exe");
  if (!CreateProcessW(server.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    printf("DDE: kwi_dde_server.exe not found beside the benchmark\n");
    return;
  }
  CloseHandle(pi.hThread);
  kwi_ArgValidation(0);
  LONG_PTR conv = 0;
  for (int i = 0; i < 200 && !conv; ++i, Sleep(50)) conv = dde_Connect(L"KwiServer", L"Roster");
  Run bare = BareRequests();
  Run layer = conv ? LayerRequests(conv) : Run{0, 0};
  kwi_ArgValidation(1);
  if (conv) dde_DisConnect(conv);
  dde_End();
  TerminateProcess(pi.hProcess, 0);
  CloseHandle(pi.hProcess);
  auto rate = [](const Run& r) { return r.seconds > 0 ? r.done / r.seconds : 0.0; };
  printf("DDE requests to kwi_dde_server (%d asked, synchronous)\n", Requests);
  printf("  bare DdeClientTransaction  %5d answered  %9.0f /s\n", bare.done, rate(bare));
  printf("  dde_Request                %5d answered  %9.0f /s\n", layer.done, rate(layer));
  if (rate(bare) > 0) printf("  ratio layer/bare %.2f (goal >= 0.8)\n", rate(layer) / rate(bare));
}

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

LONG_PTR Task(LONG_PTR window, event_struct* e) {
  if (e->kind == e_create) {
    PostMessageW(reinterpret_cast<HWND>(window), 0xC00F, 1, 0);
    return 0;
  }
  if (e->kind == e_user) {
    DdeFigures();
    ClipboardFigures();
    DestroyWindow(reinterpret_cast<HWND>(window));
    return 0;
  }
  K::Fail();
}

}  // namespace

int main() {
  ilist_struct nil{ListNil, 0, nullptr};
  menu_struct nomenu{3, 0};
  PROLOG_EHANDLER_STRUCT task{reinterpret_cast<void*>(&Task), nullptr};
  kwi_Init(&nil, &task, &nomenu, nullptr, L"bench_kwi_exchange");
  return 0;
}
