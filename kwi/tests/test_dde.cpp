// DDE between two processes: this program as client, kwi_dde_server (on the
// layer) as server, transactions back to back with no message pumping in
// between; the name table in this process alone; and, against the same
// helper run as a bare DDEML server, what Wine's DDE library does by itself
// (the faults that the layer works around, and the calls it leaves out).
#include <gtest/gtest.h>

#include "checks.h"
#include "gui.h"

#include <dde.h>
#include <ddeml.h>

using namespace QEL_KWI;
using namespace kwitest;

namespace {

std::wstring Beside(const wchar_t* file) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring p = self;
  return p.substr(0, p.find_last_of(L'\\') + 1) + file;
}

bool OnWine() {
  HMODULE nt = GetModuleHandleW(L"ntdll.dll");
  return nt && GetProcAddress(nt, "wine_get_version");
}

// The helper server as a child process, ended with the test.
struct Server {
  PROCESS_INFORMATION pi{};
  explicit Server(const wchar_t* args = L"") {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring line = L"\"" + Beside(L"kwi_dde_server.exe") + L"\" " + args;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) pi = {};
    else CloseHandle(pi.hThread);
  }
  ~Server() {
    if (!pi.hProcess) return;
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hProcess);
  }
};

std::wstring Text(const dde_data_struct* d) {
  return d && d->kind == dd_str ? reinterpret_cast<const wchar_t*>(d->value) : L"<not a string>";
}

const dde_data_struct* DataAt(const dde_event* ev, int i) {
  return reinterpret_cast<const dde_data_struct*>(ev->w[i]);
}

// DDE events that reach the task window: sub-kind, conversation and, for
// advise data and completions, the data as text (kind 4 as "<none>").
struct Seen {
  uintptr_t alt;
  LONG_PTR conv;
  LONG_PTR id;
  std::wstring data;
};

struct DdeTask {
  std::vector<Seen> seen;
  TaskOptions options;
  DdeTask() {
    options.events = [this](HWND, event_struct* e) -> LONG_PTR {
      if (e->kind != e_dde) Fail();
      auto* ev = reinterpret_cast<const dde_event*>(e->w[1]);
      Seen s{ev->alt, e->w[0], 0, L""};
      const dde_data_struct* d = ev->alt == 1 ? DataAt(ev, 2) : ev->alt == 13 ? DataAt(ev, 3) : nullptr;
      if (ev->alt == 13) s.id = ev->w[2];
      if (d) s.data = d->kind == dd_nodata ? L"<none>" : Text(d);
      seen.push_back(s);
      return DDE_FACK;
    };
  }
  size_t Count(uintptr_t alt) const {
    size_t n = 0;
    for (const Seen& s : seen) n += s.alt == alt;
    return n;
  }
  std::vector<std::wstring> Data(uintptr_t alt) const {
    std::vector<std::wstring> r;
    for (const Seen& s : seen)
      if (s.alt == alt) r.push_back(s.data);
    return r;
  }
};

// Connects to the layer's server (waiting for it to register).
LONG_PTR ConnectToServer(const wchar_t* service = L"KwiServer", const wchar_t* topic = L"Roster") {
  kwi_ArgValidation(0);
  LONG_PTR conv = 0;
  for (int i = 0; i < 200 && !conv; ++i) {
    conv = dde_Connect(service, topic);
    if (!conv) Sleep(50);
  }
  kwi_ArgValidation(1);
  return conv;
}

// Whether the layer's server answers a connect (the conversation ended again).
bool ServerAnswers() {
  LONG_PTR probe = ConnectToServer();
  if (probe) dde_DisConnect(probe);
  return probe != 0;
}

// The bytes of binary data (after its size word), empty for other kinds.
std::vector<uint8_t> Bytes(const dde_data_struct* d) {
  if (d->kind != dd_bin) return {};
  auto* b = reinterpret_cast<const uint8_t*>(d->value);
  uint32_t n;
  memcpy(&n, b - 4, 4);
  return std::vector<uint8_t>(b, b + n - 4);
}

HDDEDATA CALLBACK NoCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

// Waits, through a bare client instance of its own, until a server answers.
bool WaitRegistered(const wchar_t* service, const wchar_t* topic) {
  DWORD inst = 0;
  if (DdeInitializeW(&inst, NoCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return false;
  HSZ s = DdeCreateStringHandleW(inst, service, CP_WINUNICODE);
  HSZ t = DdeCreateStringHandleW(inst, topic, CP_WINUNICODE);
  HCONV c = nullptr;
  for (int i = 0; i < 200 && !c; ++i)
    if (!(c = DdeConnect(inst, s, t, nullptr))) Sleep(50);
  if (c) DdeDisconnect(c);
  DdeFreeStringHandle(inst, s);
  DdeFreeStringHandle(inst, t);
  DdeUninitialize(inst);
  return c != nullptr;
}

std::wstring Ask(LONG_PTR conv, const wchar_t* item) {
  dde_data_struct* d = nullptr;
  dde_Request(conv, item, CF_TEXT, 3000, &d);
  return Text(d);
}

void Pump(DWORD ms) {
  DWORD start = GetTickCount();
  PumpUntil([&] { return GetTickCount() - start >= ms; }, ms + 100);
}

// Runs body(conv, raises) in a task: DDE started, the layer's server
// running, a conversation with it and the raised codes logged from then on;
// the conversation ended and DDE stopped after.
void InConversation(DdeTask& t, const std::function<void(LONG_PTR, RaiseLog&)>& body) {
  RunInTask([&](HWND) {
    ilist_struct none{ListNil, 0, nullptr};
    dde_Init(&none);
    Server server;
    LONG_PTR conv = ConnectToServer();
    ASSERT_NE(conv, 0);
    RaiseLog raises;
    body(conv, raises);
    dde_DisConnect(conv);
    dde_End();
  }, t.options);
}

// Execute, poke, request, an advise loop and its stop, an asynchronous
// execute and request, an unknown item: back to back, with no pumping
// between transactions.
TEST(Dde, TransactionsBackToBack) {
  DdeTask t;
  std::wstring greeting, name, lines, afterAsync, afterStop;
  std::vector<std::wstring> answers;
  uintptr_t unknownKind = 0;
  LONG_PTR syncId = -1, execId = 0, requestId = 0, stopId = -1;
  std::vector<int> raised, unexpected;
  std::vector<std::wstring> advisedBeforeStop;
  InConversation(t, [&](LONG_PTR conv, RaiseLog& raises) {
    syncId = dde_Execute(conv, L"store greeting hello", 3000);
    greeting = Ask(conv, L"greeting");
    dde_data_struct mueller{dd_str, reinterpret_cast<LONG_PTR>(L"M\u00fcller")};
    dde_Poke(conv, L"name", &mueller, CF_TEXT, 3000);
    name = Ask(conv, L"name");
    lines = Ask(conv, L"lines");
    for (int i = 0; i < 100; ++i) answers.push_back(Ask(conv, L"greeting"));
    ilist_struct noFlags{ListNil, 0, nullptr};
    dde_StartAdv(conv, L"name", CF_TEXT, &noFlags, 3000);
    dde_Execute(conv, L"store name Meier", 3000);
    PumpUntil([&] { return t.Count(1) > 0; }, 5000);
    advisedBeforeStop = t.Data(1);
    stopId = dde_StopAdv(conv, L"name", 3000);
    dde_Execute(conv, L"store name Schulz", 3000);
    afterStop = Ask(conv, L"name");
    Pump(300);
    execId = dde_Execute(conv, L"store late value", 0);
    dde_data_struct* none4 = nullptr;
    requestId = dde_Request(conv, L"greeting", CF_TEXT, 0, &none4);
    afterAsync = Ask(conv, L"late");
    PumpUntil([&] { return t.Count(13) >= 2; }, 5000);
    unexpected = raises.Take();
    kwi_ArgValidation(0);
    dde_data_struct* d = nullptr;
    dde_Request(conv, L"nothing", CF_TEXT, 3000, &d);
    unknownKind = d->kind;
    kwi_ArgValidation(1);
    Ask(conv, L"nothing");
    raised = raises.Take();
  });
  EXPECT_TRUE(unexpected.empty()) << testing::PrintToString(unexpected);
  EXPECT_EQ(syncId, 0);
  EXPECT_EQ(greeting, L"hello");
  EXPECT_EQ(name, L"M\u00fcller");
  EXPECT_EQ(lines, L"a\nb");
  EXPECT_EQ(answers, std::vector<std::wstring>(100, L"hello"));
  EXPECT_EQ(advisedBeforeStop, std::vector<std::wstring>{L"Meier"});
  EXPECT_EQ(stopId, 0);
  EXPECT_EQ(afterStop, L"Schulz");
  EXPECT_EQ(t.Data(1), std::vector<std::wstring>{L"Meier"});  // none after the stop
  EXPECT_EQ(afterAsync, L"value");
  ASSERT_NE(execId, 0);
  ASSERT_NE(requestId, 0);
  std::vector<std::pair<LONG_PTR, std::wstring>> completed;
  for (const Seen& s : t.seen)
    if (s.alt == 13) completed.push_back({s.id, s.data});
  std::vector<std::pair<LONG_PTR, std::wstring>> want{{execId, L"<none>"}, {requestId, L"hello"}};
  EXPECT_EQ(completed, want);
  EXPECT_EQ(unknownKind, dd_nodata);
  EXPECT_EQ(raised, std::vector<int>{6609});
}

// Binaries and pictures both ways; data whose kind does not fit the format
// is sent as nothing, which the server does not store (Wine's client takes
// every poke acknowledgement as positive, so the refusal is not seen here).
TEST(Dde, BinaryAndPictureData) {
  DdeTask t;
  std::vector<uint8_t> binBack, pictBack;
  uintptr_t binKind = 0, pictKind = 0;
  std::vector<int> unexpected;
  std::vector<uint8_t> blobAfter;
  const std::vector<uint8_t> bytes{0, 1, 2, 0, 0xFF, 'x', 0};
  std::vector<uint8_t> dib(sizeof(BITMAPINFOHEADER) + 16);
  auto* bih = reinterpret_cast<BITMAPINFOHEADER*>(dib.data());
  *bih = {sizeof(BITMAPINFOHEADER), 2, 2, 1, 32, BI_RGB, 16, 0, 0, 0, 0};
  for (size_t i = sizeof(BITMAPINFOHEADER); i < dib.size(); ++i) dib[i] = static_cast<uint8_t>(i * 7);
  InConversation(t, [&](LONG_PTR conv, RaiseLog& raises) {
    int format = static_cast<int>(RegisterClipboardFormatW(L"KwiDdeBytes"));
    std::vector<uint8_t> block(4 + bytes.size());
    uint32_t size = static_cast<uint32_t>(block.size());
    memcpy(block.data(), &size, 4);
    memcpy(block.data() + 4, bytes.data(), bytes.size());
    dde_data_struct bin{dd_bin, reinterpret_cast<LONG_PTR>(block.data() + 4)};
    dde_Poke(conv, L"blob", &bin, format, 3000);
    dde_data_struct* d = nullptr;
    dde_Request(conv, L"blob", format, 3000, &d);
    binKind = d->kind;
    binBack = Bytes(d);
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, dib.size());
    memcpy(GlobalLock(g), dib.data(), dib.size());
    GlobalUnlock(g);
    dde_data_struct pict{dd_pict, reinterpret_cast<LONG_PTR>(g)};
    dde_Poke(conv, L"picture", &pict, CF_DIB, 3000);
    GlobalFree(g);
    dde_Request(conv, L"picture", CF_DIB, 3000, &d);
    pictKind = d->kind;
    if (d->kind == dd_pict) {
      HGLOBAL back = reinterpret_cast<HGLOBAL>(d->value);
      auto* p = static_cast<const uint8_t*>(GlobalLock(back));
      pictBack.assign(p, p + GlobalSize(back));
      GlobalUnlock(back);
      GlobalFree(back);
    }
    unexpected = raises.Take();
    dde_data_struct text{dd_str, reinterpret_cast<LONG_PTR>(L"text")};
    dde_Poke(conv, L"blob", &text, format, 3000);  // a string in a binary format
    dde_Poke(conv, L"blob", &bin, CF_TEXT, 3000);  // a binary as text
    kwi_ArgValidation(0);
    dde_Request(conv, L"blob", format, 3000, &d);
    kwi_ArgValidation(1);
    raises.Take();
    blobAfter = Bytes(d);
  });
  EXPECT_TRUE(unexpected.empty()) << testing::PrintToString(unexpected);
  EXPECT_EQ(binKind, dd_bin);
  EXPECT_EQ(binBack, bytes);
  EXPECT_EQ(pictKind, dd_pict);
  EXPECT_EQ(pictBack, dib);
  EXPECT_EQ(blobAfter, bytes);
}

// Advise loops with the no-data flag (the advise event carries nothing) and
// with the acknowledgement flag; each loop is stopped by its own stop.
TEST(Dde, AdviseFlags) {
  DdeTask t;
  std::vector<int> unexpected;
  std::vector<std::wstring> afterStops;
  InConversation(t, [&](LONG_PTR conv, RaiseLog& raises) {
    ilist_struct nil{ListNil, 0, nullptr};
    ilist_struct noData{ListCons, 1, &nil};
    ilist_struct ackReq{ListCons, 2, &nil};
    dde_Execute(conv, L"store quiet 1", 3000);
    dde_Execute(conv, L"store loud 1", 3000);
    dde_StartAdv(conv, L"quiet", CF_TEXT, &noData, 3000);
    dde_StartAdv(conv, L"loud", CF_TEXT, &ackReq, 3000);
    dde_Execute(conv, L"store quiet 2", 3000);
    dde_Execute(conv, L"store loud 2", 3000);
    PumpUntil([&] { return t.Count(1) >= 2; }, 5000);
    dde_StopAdv(conv, L"quiet", 3000);
    dde_StopAdv(conv, L"loud", 3000);
    size_t before = t.Count(1);
    dde_Execute(conv, L"store quiet 3", 3000);
    dde_Execute(conv, L"store loud 3", 3000);
    Pump(300);
    for (size_t i = before; i < t.seen.size(); ++i)
      if (t.seen[i].alt == 1) afterStops.push_back(t.seen[i].data);
    unexpected = raises.Take();
  });
  EXPECT_TRUE(unexpected.empty()) << testing::PrintToString(unexpected);
  EXPECT_EQ(t.Data(1), (std::vector<std::wstring>{L"<none>", L"2"}));
  EXPECT_EQ(afterStops.size(), 0u);
}

// An abandoned asynchronous transaction makes no completion event, and the
// conversation goes on.
TEST(Dde, AbandonTrans) {
  DdeTask t;
  std::vector<int> unexpected;
  std::wstring after;
  LONG_PTR kept = 0;
  InConversation(t, [&](LONG_PTR conv, RaiseLog& raises) {
    dde_data_struct* d = nullptr;
    LONG_PTR dropped = dde_Request(conv, L"lines", CF_TEXT, 0, &d);
    kept = dde_Execute(conv, L"store kept yes", 0);
    LONG_PTR alsoDropped = dde_Execute(conv, L"store dropped yes", 0);
    dde_AbandonTrans(conv, dropped);
    dde_AbandonTrans(conv, alsoDropped);
    after = Ask(conv, L"lines");
    Pump(300);
    unexpected = raises.Take();
  });
  EXPECT_TRUE(unexpected.empty()) << testing::PrintToString(unexpected);
  EXPECT_EQ(after, L"a\nb");
  ASSERT_EQ(t.Count(13), 1u);
  EXPECT_EQ(t.Data(13), std::vector<std::wstring>{L"<none>"});
  for (const Seen& s : t.seen)
    if (s.alt == 13) {
      EXPECT_EQ(s.id, kept);
    }
}

// The server stops its events for the conversation: a request waits until
// it enables them again, then is answered.
TEST(Dde, EnableEvents) {
  DdeTask t;
  std::vector<int> unexpected;
  std::wstring answer;
  DWORD waited = 0;
  InConversation(t, [&](LONG_PTR conv, RaiseLog& raises) {
    dde_Execute(conv, L"hold 700", 3000);
    DWORD start = GetTickCount();
    answer = Ask(conv, L"lines");
    waited = GetTickCount() - start;
    unexpected = raises.Take();
  });
  EXPECT_TRUE(unexpected.empty()) << testing::PrintToString(unexpected);
  EXPECT_EQ(answer, L"a\nb");
  EXPECT_GE(waited, 500u);
}

// dde_ReConnect after the server went away and came back.  Wine 8 only
// reconnects a conversation that the server ended with a terminate, which
// its own server side never sends (DdeDisconnect there is not implemented),
// and then sends the initiate to the old server window: it gives no
// conversation, and a new dde_Connect with a new advise loop serves instead.
TEST(Dde, ReConnect) {
  DdeTask t;
  std::vector<int> unexpected;
  std::wstring answer;
  LONG_PTR again = 0;
  bool reconnected = false;
  RunInTask([&](HWND) {
    ilist_struct none{ListNil, 0, nullptr};
    dde_Init(&none);
    ilist_struct nil{ListNil, 0, nullptr};
    LONG_PTR conv = 0;
    {
      Server first;
      conv = ConnectToServer();
      ASSERT_NE(conv, 0);
      dde_StartAdv(conv, L"lines", CF_TEXT, &nil, 3000);
    }
    Server second;
    ASSERT_TRUE(WaitRegistered(L"KwiServer", L"Roster"));
    kwi_ArgValidation(0);
    again = dde_ReConnect(conv);
    reconnected = again != 0;
    if (!again) {
      dde_DisConnect(conv);  // Wine refuses a second conversation on the same names
      again = ConnectToServer();
    }
    kwi_ArgValidation(1);
    RaiseLog raises;
    if (!reconnected) dde_StartAdv(again, L"lines", CF_TEXT, &nil, 3000);
    answer = Ask(again, L"lines");
    dde_Execute(again, L"store lines c", 3000);
    PumpUntil([&] { return t.Count(1) > 0; }, 5000);
    dde_StopAdv(again, L"lines", 3000);
    unexpected = raises.Take();
    dde_DisConnect(again);
    dde_End();
  }, t.options);
  EXPECT_TRUE(unexpected.empty()) << testing::PrintToString(unexpected);
  if (OnWine()) {
    EXPECT_FALSE(reconnected) << "Wine's DdeReconnect now reconnects";
  }
  EXPECT_NE(again, 0);
  EXPECT_EQ(answer, L"a\nb");
  EXPECT_EQ(t.Data(1), std::vector<std::wstring>{L"c"});
}

// A failed call raises its own error code or none, never the code an
// earlier failure left while validation was off (Wine's DdeReconnect fails
// without setting one).
TEST(Dde, FailureRaisesItsOwnCode) {
  std::vector<int> raised;
  RunInTask([&](HWND) {
    ilist_struct none{ListNil, 0, nullptr};
    dde_Init(&none);
    RaiseLog raises;
    kwi_ArgValidation(0);
    EXPECT_EQ(dde_Connect(L"NoSuchService", L"Roster"), 0);
    kwi_ArgValidation(1);
    EXPECT_EQ(dde_ReConnect(0), 0);
    raised = raises.Take();
    dde_End();
  });
  EXPECT_EQ(std::count(raised.begin(), raised.end(), 0x400A - 9784), 0) << testing::PrintToString(raised);
}

// A wildcard connect (no service, no topic) reaches the server through its
// answer built by dde_MakeDDEReturnServiceInfo; an unregistered service
// connects no more.
TEST(Dde, WildcardConnectAndRegisterService) {
  DdeTask t;
  std::vector<int> unexpected;
  std::vector<uint8_t> blobAfter;
  std::wstring answer;
  LONG_PTR quietRefusal = -1;
  RunInTask([&](HWND) {
    ilist_struct none{ListNil, 0, nullptr};
    dde_Init(&none);
    Server server;
    ASSERT_TRUE(ServerAnswers());
    LONG_PTR conv = dde_Connect(L"", L"");
    ASSERT_NE(conv, 0);
    RaiseLog raises;
    answer = Ask(conv, L"lines");
    dde_Execute(conv, L"unregister", 3000);
    unexpected = raises.Take();
    kwi_ArgValidation(0);
    dde_DisConnect(conv);
    quietRefusal = dde_Connect(L"KwiServer", L"Roster");
    kwi_ArgValidation(1);
    dde_End();
  }, t.options);
  EXPECT_TRUE(unexpected.empty()) << testing::PrintToString(unexpected);
  EXPECT_EQ(answer, L"a\nb");
  EXPECT_EQ(quietRefusal, 0);
}

// dde_ConnectMult lists what the platform's conversation list holds, and
// dde_DisConnectMult ends it.  Wine's DdeConnectList is a stub (a list
// handle 1 that holds no conversation, also with no server): there the list
// is empty.
TEST(Dde, ConnectMult) {
  DdeTask t;
  std::vector<int> unexpected;
  size_t layerCount = 99, rawCount = 98;
  LONG_PTR listHandle = 0;
  RunInTask([&](HWND) {
    ilist_struct none{ListNil, 0, nullptr};
    dde_Init(&none);
    Server server;
    ASSERT_TRUE(ServerAnswers());
    RaiseLog raises;
    winlist_struct* list = dde_ConnectMult(L"KwiServer", L"Roster", &listHandle);
    layerCount = 0;
    for (auto* c = list; c && c->functor == ListCons; c = c->next) ++layerCount;
    dde_DisConnectMult(listHandle);
    unexpected = raises.Take();
    dde_End();
    DWORD inst = 0;
    DdeInitializeW(&inst, NoCallback, APPCMD_CLIENTONLY, 0);
    HSZ s = DdeCreateStringHandleW(inst, L"KwiServer", CP_WINUNICODE);
    HSZ tp = DdeCreateStringHandleW(inst, L"Roster", CP_WINUNICODE);
    HCONVLIST raw = DdeConnectList(inst, s, tp, nullptr, nullptr);
    rawCount = 0;
    for (HCONV c = DdeQueryNextServer(raw, nullptr); c; c = DdeQueryNextServer(raw, c)) ++rawCount;
    DdeDisconnectList(raw);
    DdeFreeStringHandle(inst, s);
    DdeFreeStringHandle(inst, tp);
    DdeUninitialize(inst);
  }, t.options);
  EXPECT_TRUE(unexpected.empty()) << testing::PrintToString(unexpected);
  EXPECT_NE(listHandle, 0);
  EXPECT_EQ(layerCount, rawCount);
  if (OnWine()) {
    EXPECT_EQ(rawCount, 0u) << "Wine's DdeConnectList now lists conversations";
  } else {
    EXPECT_EQ(rawCount, 1u);
  }
}

// The name table: names differing in case share a handle and take one slot;
// with "Topic" and "Item" kept, the 12,287th new name fills the table, which
// ends DDE and raises 6630; DDE starts again afterwards.
TEST(Dde, NameTable) {
  std::vector<int> caseRaises, fullRaises, againRaises;
  int filledAt = -1;
  RunInTask([&](HWND) {
    ilist_struct none{ListNil, 0, nullptr};
    dde_Init(&none);
    RaiseLog raises;
    kwi_ArgValidation(0);
    for (int i = 0; i < 13000; ++i) dde_PostAdvise(i % 2 ? L"Topic" : L"TOPIC", L"Item");
    caseRaises = raises.Take();
    for (int i = 0; i < 12300 && fullRaises.empty(); ++i) {
      wchar_t name[16];
      swprintf(name, 16, L"t%d", i);
      dde_PostAdvise(name, L"");
      fullRaises = raises.Take();
      if (!fullRaises.empty()) filledAt = i;
    }
    kwi_ArgValidation(1);
    dde_Init(&none);
    dde_PostAdvise(L"again", L"Item");
    againRaises = raises.Take();
    dde_End();
  });
  EXPECT_TRUE(caseRaises.empty()) << testing::PrintToString(caseRaises);
  EXPECT_EQ(filledAt, 12286);
  EXPECT_EQ(fullRaises, std::vector<int>{6630});
  EXPECT_TRUE(againRaises.empty()) << testing::PrintToString(againRaises);
}

// What Wine's DDE library does by itself, between two bare DDEML instances
// (this program and kwi_dde_server run as "raw"): the faults the layer works
// around.  Each step has a conversation of its own.
struct RawClient {
  DWORD inst = 0;
  HSZ service = nullptr, topic = nullptr, item = nullptr;
  HCONV conv = nullptr;
  static int& Completions() {
    static int n;
    return n;
  }
  static HDDEDATA CALLBACK Callback(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    if (type == XTYP_XACT_COMPLETE) ++Completions();
    return nullptr;
  }
  RawClient() {
    Completions() = 0;
    DdeInitializeA(&inst, Callback, APPCMD_CLIENTONLY, 0);
    service = DdeCreateStringHandleA(inst, "RawServer", CP_WINANSI);
    topic = DdeCreateStringHandleA(inst, "Topic", CP_WINANSI);
    item = DdeCreateStringHandleA(inst, "item", CP_WINANSI);
    for (int i = 0; i < 200 && !conv; ++i)
      if (!(conv = DdeConnect(inst, service, topic, nullptr))) Sleep(50);
  }
  ~RawClient() {
    if (conv) DdeDisconnect(conv);
    for (HSZ h : {service, topic, item}) DdeFreeStringHandle(inst, h);
    DdeUninitialize(inst);
  }
  // A synchronous transaction: true when it succeeded, else *error is set.
  bool Sync(UINT type, UINT format, DWORD timeout, UINT* error) {
    HDDEDATA h = DdeClientTransaction(nullptr, 0, conv, item, format, type, timeout, nullptr);
    *error = h ? 0 : DdeGetLastError(inst);
    if (h && type == XTYP_REQUEST) DdeFreeDataHandle(h);
    return h != nullptr;
  }
  bool Pending(DWORD id) {
    CONVINFO ci{};
    ci.cb = sizeof ci;
    return DdeQueryConvInfo(conv, id, &ci) != 0;
  }
};

void Drain(DWORD ms) {
  DWORD start = GetTickCount();
  do {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    Sleep(5);
  } while (GetTickCount() - start < ms);
}

TEST(Dde, WineLibraryOnItsOwn) {
  if (!OnWine()) GTEST_SKIP() << "describes Wine's DDE library";
  Server server(L"raw");
  {
    // The server posts a positive acknowledgement after a request's data:
    // the next request takes it for its answer and fails at once.
    RawClient c;
    ASSERT_NE(c.conv, nullptr);
    UINT e1 = 0, e2 = 0;
    EXPECT_TRUE(c.Sync(XTYP_REQUEST, CF_TEXT, 2000, &e1));
    EXPECT_FALSE(c.Sync(XTYP_REQUEST, CF_TEXT, 2000, &e2));
    EXPECT_EQ(e2, static_cast<UINT>(DMLERR_NOTPROCESSED));
    Drain(100);
    CONVINFO ci{};
    ci.cb = sizeof ci;
    ASSERT_TRUE(DdeQueryConvInfo(c.conv, QID_SYNC, &ci));
    EXPECT_TRUE(c.Sync(XTYP_REQUEST, CF_TEXT, 2000, &e1));
    MSG m{};
    DWORD start = GetTickCount();
    while (!PeekMessageW(&m, ci.hwnd, WM_DDE_ACK, WM_DDE_ACK, PM_REMOVE) && GetTickCount() - start < 1000) Sleep(5);
    EXPECT_EQ(m.message, static_cast<UINT>(WM_DDE_ACK));
    EXPECT_EQ(reinterpret_cast<HWND>(m.wParam), ci.hwndPartner);
    UINT_PTR status = 0, atom = 0;
    if (m.message == WM_DDE_ACK) {
      UnpackDDElParam(WM_DDE_ACK, m.lParam, &status, &atom);
      FreeDDElParam(WM_DDE_ACK, m.lParam);
    }
    EXPECT_TRUE(status & 0x8000) << "positive acknowledgement";
  }
  {
    // An advise stop with format 0 gets no answer; with the loop's format it does.
    RawClient c;
    ASSERT_NE(c.conv, nullptr);
    UINT e = 0;
    EXPECT_TRUE(c.Sync(XTYP_ADVSTART, CF_TEXT, 2000, &e));
    EXPECT_FALSE(c.Sync(XTYP_ADVSTOP, 0, 500, &e));
    EXPECT_EQ(e, static_cast<UINT>(DMLERR_UNADVACKTIMEOUT));
    EXPECT_TRUE(c.Sync(XTYP_ADVSTOP, CF_TEXT, 2000, &e));
  }
  {
    // A completed asynchronous transaction stays first in the conversation:
    // the next synchronous one times out.  DdeAbandonTransaction with the id it
    // gave does not find it; with the id's high word it does.
    RawClient c;
    ASSERT_NE(c.conv, nullptr);
    DWORD id = 0;
    static char command[] = "store";
    EXPECT_TRUE(DdeClientTransaction(reinterpret_cast<LPBYTE>(command), sizeof command, c.conv, nullptr, CF_TEXT,
                                     XTYP_EXECUTE, TIMEOUT_ASYNC, &id));
    DWORD start = GetTickCount();
    while (RawClient::Completions() == 0 && GetTickCount() - start < 3000) Drain(10);
    EXPECT_EQ(RawClient::Completions(), 1);
    EXPECT_TRUE(c.Pending(id));
    UINT e = 0;
    EXPECT_FALSE(c.Sync(XTYP_REQUEST, CF_TEXT, 500, &e));
    EXPECT_EQ(e, static_cast<UINT>(DMLERR_EXECACKTIMEOUT));  // named after the first, stale transaction
    EXPECT_TRUE(DdeAbandonTransaction(c.inst, c.conv, id));
    EXPECT_TRUE(c.Pending(id));
    DdeAbandonTransaction(c.inst, c.conv, HIWORD(id));
    EXPECT_FALSE(c.Pending(id));
  }
}

}  // namespace
