// DDE requests per second through dde_Request against bare
// DdeClientTransaction calls, both synchronous and back to back with no
// message pumping, to the same server: kwi_dde_server on the layer, then the
// same program as a bare DDEML server ("raw"), both built with the GUI
// layer's tests.  The bare loop does what any client of Wine's library must
// do for a request to be reliable: after the data it takes out the server's
// extra acknowledgement (see kwi/src/dde.cpp).  The two clients take turns
// in blocks of requests; each stops at its first request that fails.
#include <windows.h>

#include <dde.h>
#include <ddeml.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "bench_task.h"
#include "bench_util.h"
#include "qel6kernel.h"
#include "qel6kwi.h"

using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;

namespace {

constexpr int Requests = 3000, Block = 100;

struct Run {
  int done;
  double seconds;
  double Rate() const { return seconds > 0 ? done / seconds : 0; }
};

std::wstring Beside(const wchar_t* file) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring p = self;
  return p.substr(0, p.find_last_of(L'\\') + 1) + file;
}

HDDEDATA CALLBACK Bare(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

// The server's acknowledgement that follows a request's data under Wine.
void TakeAck(HWND client, HWND server) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG m;
    if (PeekMessageW(&m, client, WM_DDE_ACK, WM_DDE_ACK, PM_REMOVE)) {
      if (reinterpret_cast<HWND>(m.wParam) == server) {
        FreeDDElParam(WM_DDE_ACK, m.lParam);
        return;
      }
      DispatchMessageW(&m);
      continue;
    }
    if (GetTickCount() - start > 1000) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_POSTMESSAGE);
  }
}

// A bare client: its own instance and conversation.
struct BareClient {
  DWORD inst = 0;
  HSZ s = nullptr, t = nullptr, i = nullptr;
  HCONV conv = nullptr;
  CONVINFO ci{};
  bool wine;
  BareClient(const wchar_t* service, const wchar_t* item, bool onWine) : wine(onWine) {
    ci.cb = sizeof ci;
    if (DdeInitializeW(&inst, Bare, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return;
    s = DdeCreateStringHandleW(inst, service, CP_WINUNICODE);
    t = DdeCreateStringHandleW(inst, L"Roster", CP_WINUNICODE);
    i = DdeCreateStringHandleW(inst, item, CP_WINUNICODE);
    conv = DdeConnect(inst, s, t, nullptr);
    if (conv && !DdeQueryConvInfo(conv, QID_SYNC, &ci)) conv = nullptr;
  }
  ~BareClient() {
    if (conv) DdeDisconnect(conv);
    for (HSZ h : {s, t, i}) DdeFreeStringHandle(inst, h);
    DdeUninitialize(inst);
  }
  bool Request() {
    HDDEDATA h = DdeClientTransaction(nullptr, 0, conv, i, CF_TEXT, XTYP_REQUEST, 2000, nullptr);
    if (!h) return false;
    char buf[64];
    DdeGetData(h, reinterpret_cast<LPBYTE>(buf), sizeof buf, 0);
    DdeFreeDataHandle(h);
    if (wine) TakeAck(ci.hwnd, ci.hwndPartner);
    return true;
  }
};

bool LayerRequest(LONG_PTR conv, const wchar_t* item) {
  uint8_t* mark = K::Memory::MarkGStack();
  dde_data_struct* d = nullptr;
  dde_Request(conv, item, CF_TEXT, 2000, &d);
  bool ok = d && d->kind == dd_str;
  K::Memory::ReleaseGStack(mark);
  return ok;
}

// Starts the server and waits until it answers.
HANDLE StartServer(const wchar_t* args, const wchar_t* service) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring line = L"\"" + Beside(L"kwi_dde_server.exe") + L"\" " + args;
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
  CloseHandle(pi.hThread);
  LONG_PTR conv = 0;
  for (int i = 0; i < 200 && !conv; ++i)
    if (!(conv = dde_Connect(service, L"Roster"))) Sleep(50);
  if (conv) dde_DisConnect(conv);
  return pi.hProcess;
}

void Figures(const wchar_t* title, const wchar_t* args, const wchar_t* service, const wchar_t* item, bool wine) {
  HANDLE server = StartServer(args, service);
  if (!server) {
    printf("DDE: kwi_dde_server.exe not found beside the benchmark\n");
    return;
  }
  // Blocks of requests taken in turn, so that both see the server alike.
  Run bare{0, 0}, layer{0, 0};
  {
    BareClient client(service, item, wine);
    LONG_PTR conv = dde_Connect(service, L"Roster");
    bool bareOk = client.conv != nullptr, layerOk = conv != 0;
    while ((bareOk || layerOk) && (bare.done < Requests || layer.done < Requests)) {
      double t = bench::Now();
      for (int n = 0; bareOk && n < Block && bare.done < Requests; ++n)
        if ((bareOk = client.Request())) ++bare.done;
      bare.seconds += bench::Now() - t;
      t = bench::Now();
      for (int n = 0; layerOk && n < Block && layer.done < Requests; ++n)
        if ((layerOk = LayerRequest(conv, item))) ++layer.done;
      layer.seconds += bench::Now() - t;
    }
    if (conv) dde_DisConnect(conv);
  }
  TerminateProcess(server, 0);
  WaitForSingleObject(server, 5000);
  CloseHandle(server);
  printf("%ls (%d synchronous requests each, in turns of %d)\n", title, Requests, Block);
  printf("  bare DdeClientTransaction  %5d answered  %9.0f /s\n", bare.done, bare.Rate());
  printf("  dde_Request                %5d answered  %9.0f /s\n", layer.done, layer.Rate());
  if (bare.Rate() > 0) printf("  ratio layer/bare %.2f (goal >= 0.8)\n", layer.Rate() / bare.Rate());
}

// The figures, from inside the task's message loop.
void Run(LONG_PTR) {
  HMODULE nt = GetModuleHandleW(L"ntdll.dll");
  bool wine = nt && GetProcAddress(nt, "wine_get_version");
  ilist_struct none{ListNil, 0, nullptr};
  dde_Init(&none);
  kwi_ArgValidation(0);
  Figures(L"DDE requests to kwi_dde_server on the layer", L"", L"KwiServer", L"lines", wine);
  Figures(L"DDE requests to kwi_dde_server as a bare DDEML server", L"raw", L"RawServer", L"item", wine);
  kwi_ArgValidation(1);
  dde_End();
}

}  // namespace

int main() {
  ilist_struct nil{ListNil, 0, nullptr};
  menu_struct nomenu{3, 0};
  return bench::RunInTask(&nil, &nomenu, L"bench_kwi_dde", Run) ? 0 : 1;
}
