// DDE through the platform's management library: one instance per process,
// names as ANSI string handles kept in a table of 12,288 (freed at the end),
// client transactions, and server transactions delivered to the task window
// as e_dde events.  The callback is a Win32 callback: it runs at the kernel's
// callback boundary and always returns to the library.  Data from the other
// side is read only within the size the library reports.
//
// Wine's DDE library (checked with 8.0) differs from the platform's in four
// ways that the client side works around, each pinned by a raw test:
// - its server posts a positive acknowledgement after the data that answers
//   a request; left in the queue, the conversation's next transaction takes
//   it as its own answer.  It is taken out right after the data.
// - a completed asynchronous transaction stays first in the conversation's
//   queue, so every later answer is matched against it and times out.  It is
//   removed after its completion event.
// - DdeAbandonTransaction compares the id it is given with the library's
//   internal number, so it never finds a transaction: an abandoned
//   transaction is kept until its answer comes and produces no event.
// - its server ignores an advise stop with format 0: the stop names the
//   formats of the loops started on the item.
// Wine's library also frees neither the data of a completed asynchronous
// request nor the data handle a server answers a request with (it sends a
// copy): the layer frees both.
#include "gdi.h"

#include <dde.h>
#include <ddeml.h>

#include <cwchar>
#include <string>
#include <vector>

namespace QEL_KWI {
namespace detail {

constexpr int NameSlots = 12288;
static DWORD g_instance;
static HSZ g_names[NameSlots];
static std::vector<std::string> g_texts;  // ANSI text of each kept handle
static int g_nameCount;
static HSZ g_pendingItem;
static UINT g_pendingFormat;

// Advise loops started through this layer, so that a stop names their formats.
struct AdviseLoop {
  HCONV conv;
  HSZ item;
  UINT format;
};
static std::vector<AdviseLoop> g_loops;

// Asynchronous transactions not yet complete.
struct Pending {
  HCONV conv;
  DWORD id;
  UINT type;
  bool abandoned;
};
static std::vector<Pending> g_async;

static std::vector<HDDEDATA> g_answers;  // request answers sent, freed at the next callback
static bool g_wine;        // the library is Wine's (see above)
static bool g_strayAcks;   // its server acknowledges a request's data

static char* Ansi(const wchar_t* s) {
  int n = WideCharToMultiByte(CP_ACP, 0, s ? s : L"", -1, nullptr, 0, nullptr, nullptr);
  char* out = reinterpret_cast<char*>(K::Memory::AllocGStack(static_cast<uint32_t>(n > 0 ? n : 1)));
  out[0] = 0;
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, s ? s : L"", -1, out, n, nullptr, nullptr);
  return out;
}

// ANSI bytes (at most n, NUL or not) as a new string; CR LF becomes LF when asked.
static wchar_t* Wide(const char* s, size_t n, bool narrowLines) {
  n = strnlen(s, n);
  int w = n ? MultiByteToWideChar(CP_ACP, 0, s, static_cast<int>(n), nullptr, 0) : 0;
  wchar_t* out = K::Memory::AllocGStackString(static_cast<uint32_t>(w) + 1);
  if (w) MultiByteToWideChar(CP_ACP, 0, s, static_cast<int>(n), out, w);
  out[w] = 0;
  return narrowLines ? NarrowLineFeeds(out) : out;
}

static wchar_t* NameText(HSZ h) {
  if (!h) return K::Memory::CopyStringToGStack(L"");
  DWORD n = DdeQueryStringA(g_instance, h, nullptr, 0, CP_WINANSI);
  char* buf = reinterpret_cast<char*>(K::Memory::AllocGStack(n + 1));
  buf[0] = 0;
  DdeQueryStringA(g_instance, h, buf, n + 1, CP_WINANSI);
  return Wide(buf, n, false);
}

// The raise of a failed DDE call, while validation is on.
// The code is read (and so cleared) also when nothing is raised: a call that
// fails without setting one must not raise an older call's.
static void RaiseDde(bool syncExecute = false) {
  UINT e = DdeGetLastError(g_instance);
  if (!Validating()) return;
  if (e < 0x4000 || (syncExecute && e == DMLERR_NOTPROCESSED)) return;
  RaiseMayReturn(static_cast<int>(e) - 9784);
}

// The kept handle of a name; 0 for an empty name and after a raise.
static HSZ Name(const wchar_t* name) {
  if (!name || !*name) return nullptr;
  uint8_t* mark = K::Memory::MarkGStack();
  char* a = Ansi(name);
  HSZ found = nullptr;
  for (int i = 0; i < g_nameCount && !found; ++i)
    if (g_texts[i] == a) found = g_names[i];
  if (!found && g_nameCount < NameSlots) {
    found = DdeCreateStringHandleA(g_instance, a, CP_WINANSI);
    // Names differing only in case share one handle: keep it once.
    for (int i = 0; found && i < g_nameCount; ++i)
      if (g_names[i] == found) {
        DdeFreeStringHandle(g_instance, found);
        K::Memory::ReleaseGStack(mark);
        return found;
      }
    if (found) {
      g_texts.resize(static_cast<size_t>(NameSlots));
      g_texts[g_nameCount] = a;
      g_names[g_nameCount++] = found;
    }
  }
  K::Memory::ReleaseGStack(mark);
  if (!found && g_nameCount >= NameSlots) {
    dde_End();
    RaiseMayReturn(6630);
  }
  return found;
}

static void ForgetName(HSZ h) {
  for (int i = 0; i < g_nameCount; ++i)
    if (g_names[i] == h) {
      DdeFreeStringHandle(g_instance, h);
      --g_nameCount;
      g_names[i] = g_names[g_nameCount];
      g_texts[i].swap(g_texts[g_nameCount]);
      g_texts[g_nameCount].clear();
      return;
    }
}

// DDE data of a data handle: kind by format, read within its size.
static dde_data_struct* DataOf(HDDEDATA h, UINT format) {
  auto* d = GNew<dde_data_struct>();
  *d = {dd_nodata, 0};
  // An execute or poke completes with TRUE, not with a data handle.
  if (reinterpret_cast<uintptr_t>(h) <= 1) return d;
  DWORD n = DdeGetData(h, nullptr, 0, 0);
  if (n == 0) return d;
  if (n > 0x7FFFFFF0u) return d;
  uint8_t* buf = K::Memory::AllocGStack(n + 1);
  n = DdeGetData(h, buf, n, 0);
  if (format == CF_TEXT) {
    *d = {dd_str, reinterpret_cast<LONG_PTR>(Wide(reinterpret_cast<char*>(buf), n, true))};
  } else if (format == CF_DIB) {
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, n);
    if (!g) return d;
    memcpy(GlobalLock(g), buf, n);
    GlobalUnlock(g);
    *d = {dd_pict, reinterpret_cast<LONG_PTR>(g)};
  } else {
    uint8_t* b = K::Memory::AllocGStack(n + 4);
    uint32_t size = n + 4;
    memcpy(b, &size, 4);
    memcpy(b + 4, buf, n);
    *d = {dd_bin, reinterpret_cast<LONG_PTR>(b + 4)};
  }
  return d;
}

// Bytes of DDE data for `format`: strings as ANSI text with NUL, binaries
// without their size word, pictures from their locked block; nothing when
// kind and format do not fit.  *unlock names a block to unlock afterwards.
static const uint8_t* BytesOf(const dde_data_struct* d, UINT format, DWORD* n, HGLOBAL* unlock) {
  *n = 0;
  *unlock = nullptr;
  if (!d) return nullptr;
  if (d->kind == dd_str && format == CF_TEXT) {
    char* a = Ansi(reinterpret_cast<const wchar_t*>(d->value));
    *n = static_cast<DWORD>(strlen(a) + 1);
    return reinterpret_cast<uint8_t*>(a);
  }
  if (d->kind == dd_bin && format != CF_TEXT && format != CF_DIB && d->value) {
    auto* b = reinterpret_cast<const uint8_t*>(d->value);
    uint32_t size = ReadU32(b - 4);
    *n = size >= 4 ? size - 4 : 0;
    return b;
  }
  if (d->kind == dd_pict && format == CF_DIB && d->value) {
    HGLOBAL g = reinterpret_cast<HGLOBAL>(d->value);
    auto* p = static_cast<const uint8_t*>(GlobalLock(g));
    if (!p) return nullptr;
    *unlock = g;
    *n = static_cast<DWORD>(GlobalSize(g));
    return p;
  }
  return nullptr;
}

// Takes out the positive acknowledgement that Wine's server posts after the
// data answering a request (it follows at once).  Should none come, the
// server is one that does not send it, and it is not waited for again.
static void TakeStrayAck(HCONV conv) {
  constexpr DWORD Wait = 1000;
  CONVINFO ci{};
  ci.cb = sizeof ci;
  if (!g_strayAcks || !DdeQueryConvInfo(conv, QID_SYNC, &ci) || !(ci.wStatus & ST_ISLOCAL)) return;
  DWORD start = GetTickCount();
  for (;;) {
    MSG m;
    if (PeekMessageW(&m, ci.hwnd, WM_DDE_ACK, WM_DDE_ACK, PM_REMOVE)) {
      if (reinterpret_cast<HWND>(m.wParam) == ci.hwndPartner) {
        FreeDDElParam(WM_DDE_ACK, m.lParam);  // its item atom was released with the data
        return;
      }
      DispatchMessageW(&m);
      continue;
    }
    DWORD spent = GetTickCount() - start;
    if (spent >= Wait) {
      g_strayAcks = false;
      return;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(Wait - spent, 20), QS_POSTMESSAGE);
  }
}

// Runs a client transaction: synchronous (result handle) or asynchronous
// (*id set, result 0 or 1).
static HDDEDATA Transact(HCONV conv, const uint8_t* data, DWORD n, HSZ item, UINT format, UINT type,
                         int timeout, DWORD* id) {
  *id = 0;
  HDDEDATA r = DdeClientTransaction(const_cast<LPBYTE>(data), n, conv, item, format, type,
                                    timeout == 0 ? TIMEOUT_ASYNC : static_cast<DWORD>(timeout),
                                    timeout == 0 ? id : nullptr);
  if (r && timeout == 0) g_async.push_back({conv, *id, type, false});
  if (r && timeout != 0 && type == XTYP_REQUEST && g_wine) TakeStrayAck(conv);
  return r;
}

// After the completion event of an asynchronous transaction: forgets it,
// and removes what Wine's library keeps of it.  False when the program
// abandoned it (no event).
static bool Completed(HCONV conv, DWORD id, HDDEDATA data) {
  bool deliver = true;
  UINT type = 0;
  for (size_t i = 0; i < g_async.size(); ++i)
    if (g_async[i].conv == conv && g_async[i].id == id) {
      deliver = !g_async[i].abandoned;
      type = g_async[i].type;
      g_async.erase(g_async.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  if (g_wine) {
    // Wine's number for the transaction is the high word of its id; 0
    // would abandon every transaction of the conversation.
    if (HIWORD(id)) DdeAbandonTransaction(g_instance, conv, HIWORD(id));
    if (type == XTYP_REQUEST && reinterpret_cast<uintptr_t>(data) > 1) TakeStrayAck(conv);
  }
  return deliver;
}

// Drops what is kept about a conversation that ended; its advise loops
// only when it is disconnected here (a reconnect starts them again).
static void Forget(HCONV conv, bool loops) {
  if (loops) std::erase_if(g_loops, [&](const AdviseLoop& l) { return l.conv == conv; });
  std::erase_if(g_async, [&](const Pending& p) { return p.conv == conv; });
}

static void FreeAnswers() {
  for (HDDEDATA h : g_answers) DdeFreeDataHandle(h);
  g_answers.clear();
}

// The data of a completed request, left to the client by Wine's library.
static void FreeCompletedData(UINT type, HDDEDATA data) {
  if (g_wine && type == XTYP_XACT_COMPLETE && reinterpret_cast<uintptr_t>(data) > 1) DdeFreeDataHandle(data);
}

static HDDEDATA CallbackBody(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data,
                             ULONG_PTR d1) {
  if (g_wine) FreeAnswers();
  if (type == XTYP_XACT_COMPLETE && !Completed(conv, static_cast<DWORD>(d1), data)) {
    FreeCompletedData(type, data);
    return nullptr;
  }
  if (type == XTYP_DISCONNECT) Forget(conv, false);
  uintptr_t alt;
  int names = 2;
  bool withData = false, answers = true;
  switch (type) {
    case XTYP_ADVDATA: alt = 1, withData = true; break;
    case XTYP_ADVREQ: alt = 2, g_pendingItem = hsz2, g_pendingFormat = format; break;
    case XTYP_ADVSTART: alt = 3; break;
    case XTYP_ADVSTOP: alt = 4, g_pendingItem = hsz2, g_pendingFormat = format, answers = false; break;
    case XTYP_CONNECT: alt = 5; break;
    case XTYP_CONNECT_CONFIRM: alt = 6, answers = false; break;
    case XTYP_DISCONNECT: alt = 7, names = 0, answers = false; break;
    case XTYP_ERROR: alt = 8, names = 0, answers = false; break;
    case XTYP_EXECUTE: alt = 9; break;
    case XTYP_POKE: alt = 10, withData = true; break;
    case XTYP_REQUEST: alt = 11, g_pendingItem = hsz2, g_pendingFormat = format; break;
    case XTYP_WILDCONNECT: alt = 12; break;
    case XTYP_XACT_COMPLETE: alt = 13, withData = true, answers = false; break;
    default: return nullptr;
  }
  auto* ev = GNew<dde_event>();
  *ev = {alt, {0, 0, 0, 0}};
  if (names) {
    ev->w[0] = reinterpret_cast<LONG_PTR>(NameText(hsz1));
    ev->w[1] = reinterpret_cast<LONG_PTR>(NameText(hsz2));
  }
  if (type == XTYP_EXECUTE) {
    dde_data_struct* cmd = DataOf(data, CF_TEXT);
    ev->w[1] = cmd->kind == dd_str ? cmd->value : reinterpret_cast<LONG_PTR>(K::Memory::CopyStringToGStack(L""));
  }
  dde_data_struct* converted = withData ? DataOf(data, format) : nullptr;
  if (type == XTYP_XACT_COMPLETE) {
    ev->w[2] = static_cast<LONG_PTR>(d1);
    ev->w[3] = reinterpret_cast<LONG_PTR>(converted);
  } else if (withData) {
    ev->w[2] = reinterpret_cast<LONG_PTR>(converted);
  }
  event_struct e{};
  e.kind = e_dde;
  e.w[0] = reinterpret_cast<LONG_PTR>(conv);
  e.w[1] = reinterpret_cast<LONG_PTR>(ev);
  bool failed = true;
  LONG_PTR result = DeliverEvent(TaskWindow(), &e, &failed);
  if (converted && converted->kind == dd_pict) GlobalFree(reinterpret_cast<HGLOBAL>(converted->value));
  FreeCompletedData(type, data);
  HDDEDATA answer = answers && !failed ? reinterpret_cast<HDDEDATA>(result) : nullptr;
  if (g_wine && type == XTYP_REQUEST && answer) g_answers.push_back(answer);
  return answer;
}

static HDDEDATA CALLBACK Callback(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data,
                                  ULONG_PTR d1, ULONG_PTR) {
  volatile HDDEDATA result = nullptr;
  K::RunAtCallbackBoundary([&] { result = CallbackBody(type, format, conv, hsz1, hsz2, data, d1); });
  return result;
}

}  // namespace detail

using namespace detail;

void dde_Init(ilist_struct* flags) {
  DWORD how = 0;
  for (auto* c = flags; c && c->functor == ListCons; c = c->next) how |= static_cast<DWORD>(c->value);
  g_instance = 0;
  g_nameCount = 0;
  g_loops.clear();
  g_async.clear();
  HMODULE nt = GetModuleHandleW(L"ntdll.dll");
  g_wine = nt && GetProcAddress(nt, "wine_get_version");
  g_strayAcks = g_wine;
  if (DdeInitializeA(&g_instance, Callback, how, 0) != DMLERR_NO_ERROR) {
    g_instance = 0;
    RaiseMayReturn(6631);
  }
}

void dde_End() {
  for (int i = 0; i < g_nameCount; ++i) DdeFreeStringHandle(g_instance, g_names[i]);
  g_nameCount = 0;
  g_texts.clear();
  g_loops.clear();
  g_async.clear();
  FreeAnswers();
  if (g_instance) DdeUninitialize(g_instance);
  g_instance = 0;
}

LONG_PTR dde_Connect(const u16* service, const u16* topic) {
  HCONV c = DdeConnect(g_instance, Name(service), Name(topic), nullptr);
  if (!c) RaiseDde();
  return reinterpret_cast<LONG_PTR>(c);
}

void dde_DisConnect(LONG_PTR conv) {
  Forget(reinterpret_cast<HCONV>(conv), true);
  if (!DdeDisconnect(reinterpret_cast<HCONV>(conv))) RaiseDde();
}

winlist_struct* dde_ConnectMult(const u16* service, const u16* topic, LONG_PTR* convList) {
  HCONVLIST list = DdeConnectList(g_instance, Name(service), Name(topic), nullptr, nullptr);
  *convList = reinterpret_cast<LONG_PTR>(list);
  winlist_struct* out = EmptyList<winlist_struct>();
  if (!list) {
    RaiseDde();
    return out;
  }
  HCONV convs[1024];
  int n = 0;
  for (HCONV c = DdeQueryNextServer(list, nullptr); c && n < 1024; c = DdeQueryNextServer(list, c)) convs[n++] = c;
  for (int i = n - 1; i >= 0; --i) out = Push(out, reinterpret_cast<LONG_PTR>(convs[i]));
  return out;
}

void dde_DisConnectMult(LONG_PTR convList) {
  if (!DdeDisconnectList(reinterpret_cast<HCONVLIST>(convList))) RaiseDde();
}

LONG_PTR dde_ReConnect(LONG_PTR conv) {
  HCONV old = reinterpret_cast<HCONV>(conv);
  HCONV c = DdeReconnect(old);
  if (!c) {
    RaiseDde();
    return 0;
  }
  // The library starts the old conversation's advise loops again on the new one.
  for (AdviseLoop& l : g_loops)
    if (l.conv == old) l.conv = c;
  return reinterpret_cast<LONG_PTR>(c);
}

void dde_RegisterService(const u16* service, int on) {
  if (!DdeNameService(g_instance, Name(service), nullptr, on ? DNS_REGISTER : DNS_UNREGISTER)) RaiseDde();
}

void dde_PostAdvise(const u16* topic, const u16* item) {
  if (!DdePostAdvise(g_instance, Name(topic), Name(item))) RaiseDde();
}

void dde_EnableEvents(LONG_PTR conv, int on) {
  if (!DdeEnableCallback(g_instance, reinterpret_cast<HCONV>(conv), on ? EC_ENABLEALL : EC_DISABLE)) RaiseDde();
}

LONG_PTR dde_Execute(LONG_PTR conv, const u16* command, int timeout) {
  uint8_t* mark = K::Memory::MarkGStack();
  char* a = Ansi(command);
  DWORD id = 0;
  HDDEDATA r = Transact(reinterpret_cast<HCONV>(conv), reinterpret_cast<uint8_t*>(a),
                        static_cast<DWORD>(strlen(a) + 1), nullptr, CF_TEXT, XTYP_EXECUTE, timeout, &id);
  K::Memory::ReleaseGStack(mark);
  if (!r) RaiseDde(timeout != 0);
  return static_cast<LONG_PTR>(id);
}

LONG_PTR dde_Poke(LONG_PTR conv, const u16* item, dde_data_struct* data, int format, int timeout) {
  HSZ h = Name(item);
  uint8_t* mark = K::Memory::MarkGStack();
  DWORD n = 0, id = 0;
  HGLOBAL unlock = nullptr;
  const uint8_t* bytes = BytesOf(data, static_cast<UINT>(format), &n, &unlock);
  HDDEDATA r = Transact(reinterpret_cast<HCONV>(conv), bytes, n, h, static_cast<UINT>(format), XTYP_POKE,
                        timeout, &id);
  if (unlock) GlobalUnlock(unlock);
  K::Memory::ReleaseGStack(mark);
  if (timeout == 0) ForgetName(h);
  if (!r) RaiseDde();
  return static_cast<LONG_PTR>(id);
}

LONG_PTR dde_Request(LONG_PTR conv, const u16* item, int format, int timeout, dde_data_struct** data) {
  DWORD id = 0;
  HDDEDATA r = Transact(reinterpret_cast<HCONV>(conv), nullptr, 0, Name(item), static_cast<UINT>(format),
                        XTYP_REQUEST, timeout, &id);
  if (timeout != 0 && r) {
    *data = DataOf(r, static_cast<UINT>(format));
    DdeFreeDataHandle(r);
  } else {
    *data = GNew<dde_data_struct>();
    **data = {dd_nodata, 0};
  }
  if (!r) RaiseDde();
  return static_cast<LONG_PTR>(id);
}

LONG_PTR dde_StartAdv(LONG_PTR conv, const u16* item, int format, ilist_struct* flags, int timeout) {
  UINT type = XTYP_ADVSTART;
  for (auto* c = flags; c && c->functor == ListCons; c = c->next) {
    if (c->value == 1) type |= XTYPF_NODATA;
    if (c->value == 2) type |= XTYPF_ACKREQ;
  }
  DWORD id = 0;
  HCONV c = reinterpret_cast<HCONV>(conv);
  HSZ h = Name(item);
  if (!Transact(c, nullptr, 0, h, static_cast<UINT>(format), type, timeout, &id)) {
    RaiseDde();
    return 0;
  }
  bool known = false;
  for (const AdviseLoop& l : g_loops) known |= l.conv == c && l.item == h && l.format == static_cast<UINT>(format);
  if (!known) g_loops.push_back({c, h, static_cast<UINT>(format)});
  return static_cast<LONG_PTR>(id);
}

// One stop for each format of the item's loops (format 0, all of them, when
// none was started here).
LONG_PTR dde_StopAdv(LONG_PTR conv, const u16* item, int timeout) {
  HCONV c = reinterpret_cast<HCONV>(conv);
  HSZ h = Name(item);
  std::vector<UINT> formats;
  for (const AdviseLoop& l : g_loops)
    if (l.conv == c && l.item == h) formats.push_back(l.format);
  if (formats.empty()) formats.push_back(0);
  DWORD id = 0;
  for (UINT format : formats) {
    if (!Transact(c, nullptr, 0, h, format, XTYP_ADVSTOP, timeout, &id)) {
      RaiseDde();
      return 0;
    }
    std::erase_if(g_loops, [&](const AdviseLoop& l) { return l.conv == c && l.item == h && l.format == format; });
  }
  return static_cast<LONG_PTR>(id);
}

// Id 0 abandons every asynchronous transaction of the conversation.
void dde_AbandonTrans(LONG_PTR conv, LONG_PTR id) {
  HCONV c = reinterpret_cast<HCONV>(conv);
  DWORD tid = static_cast<DWORD>(id);
  if (g_wine) {
    // Kept until its answer comes, so that the answer is not taken for a
    // later transaction's; its completion makes no event.
    for (Pending& p : g_async)
      if (p.conv == c && (tid == 0 || p.id == tid)) p.abandoned = true;
    return;
  }
  if (!DdeAbandonTransaction(g_instance, c, tid)) {
    RaiseDde();
    return;
  }
  std::erase_if(g_async, [&](const Pending& p) { return p.conv == c && (tid == 0 || p.id == tid); });
}

LONG_PTR dde_MakeDDEReturnData(dde_data_struct* data) {
  UINT format = !data ? 0 : data->kind == dd_str ? CF_TEXT : data->kind == dd_pict ? CF_DIB : g_pendingFormat;
  uint8_t* mark = K::Memory::MarkGStack();
  DWORD n = 0;
  HGLOBAL unlock = nullptr;
  const uint8_t* bytes = BytesOf(data, format, &n, &unlock);
  HDDEDATA h = bytes ? DdeCreateDataHandle(g_instance, const_cast<LPBYTE>(bytes), n, 0, g_pendingItem, format, 0)
                     : nullptr;
  if (unlock) GlobalUnlock(unlock);
  K::Memory::ReleaseGStack(mark);
  return reinterpret_cast<LONG_PTR>(h);
}

LONG_PTR dde_MakeDDEReturnServiceInfo(slist_struct* pairs) {
  int n = 0;
  for (auto* c = pairs; c && c->functor == ListCons && c->next && c->next->functor == ListCons; c = c->next->next) ++n;
  uint8_t* mark = K::Memory::MarkGStack();
  auto* table = reinterpret_cast<HSZPAIR*>(K::Memory::AllocGStack(static_cast<uint32_t>(n + 1) * sizeof(HSZPAIR)));
  int i = 0;
  for (auto* c = pairs; i < n; c = c->next->next, ++i) table[i] = {Name(c->value), Name(c->next->value)};
  table[n] = {nullptr, nullptr};
  HDDEDATA h = DdeCreateDataHandle(g_instance, reinterpret_cast<LPBYTE>(table),
                                   static_cast<DWORD>((n + 1) * sizeof(HSZPAIR)), 0, nullptr, CF_TEXT, 0);
  K::Memory::ReleaseGStack(mark);
  return reinterpret_cast<LONG_PTR>(h);
}

}  // namespace QEL_KWI
