// A DDE server for the DDE tests and benchmark.
//
// Without arguments it runs on the GUI layer: service "KwiServer", topic
// "Roster".  Items hold DDE data (strings, binaries, pictures): poking and
// executing "store ITEM VALUE" store and then tell the item's advise loops
// (from a posted event, after the transaction); requests and advise
// requests answer the stored data ("lines" holds two lines).  Commands:
// "hold MS" stops this conversation's events for MS milliseconds,
// "unregister" the service name, "quit" ends.  A wildcard connect is
// answered with the service and topic.
//
// With the argument "raw" it is a bare DDEML server with no layer: service
// "RawServer", any topic; every item answers "value", executes and pokes
// are acknowledged, advise loops accepted.  The raw tests use it to show
// what the platform's library does by itself.
//
// Either ends by itself after two minutes.
#include <windows.h>

#include <ddeml.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "qel6kernel.h"
#include "qel6kwi.h"

using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;

namespace {

constexpr LONG_PTR Advise = 1;
constexpr UINT_PTR LifeTimer = 1, HoldTimer = 2;

// Stored DDE data: kind and bytes (UTF-16 text without terminator, binary
// contents, or the picture's block).
struct Stored {
  uintptr_t kind;
  std::vector<uint8_t> bytes;
};

std::map<std::wstring, Stored>& Items() {
  static std::map<std::wstring, Stored> items;
  return items;
}

void StoreText(const wchar_t* item, const wchar_t* text) {
  auto* b = reinterpret_cast<const uint8_t*>(text);
  Items()[item] = {dd_str, std::vector<uint8_t>(b, b + wcslen(text) * sizeof(wchar_t))};
}

bool Store(const wchar_t* item, const dde_data_struct* d) {
  if (d->kind == dd_str) {
    StoreText(item, reinterpret_cast<const wchar_t*>(d->value));
  } else if (d->kind == dd_bin) {
    auto* b = reinterpret_cast<const uint8_t*>(d->value);
    uint32_t size;
    memcpy(&size, b - 4, 4);
    Items()[item] = {dd_bin, std::vector<uint8_t>(b, b + size - 4)};
  } else if (d->kind == dd_pict) {
    HGLOBAL g = reinterpret_cast<HGLOBAL>(d->value);
    auto* p = static_cast<const uint8_t*>(GlobalLock(g));
    Items()[item] = {dd_pict, std::vector<uint8_t>(p, p + GlobalSize(g))};
    GlobalUnlock(g);
  } else {
    return false;
  }
  return true;
}

// The answer for an item as a data handle, or 0 when the item is unknown.
LONG_PTR Answer(const wchar_t* item) {
  auto it = Items().find(item);
  if (it == Items().end()) return 0;
  const Stored& s = it->second;
  dde_data_struct d{s.kind, 0};
  HGLOBAL g = nullptr;
  if (s.kind == dd_str) {
    std::wstring text(reinterpret_cast<const wchar_t*>(s.bytes.data()), s.bytes.size() / sizeof(wchar_t));
    d.value = reinterpret_cast<LONG_PTR>(K::Memory::CopyStringToGStack(text.c_str()));
  } else if (s.kind == dd_bin) {
    auto* b = K::Memory::AllocGStack(static_cast<uint32_t>(s.bytes.size() + 4));
    uint32_t size = static_cast<uint32_t>(s.bytes.size() + 4);
    memcpy(b, &size, 4);
    memcpy(b + 4, s.bytes.data(), s.bytes.size());
    d.value = reinterpret_cast<LONG_PTR>(b + 4);
  } else {
    g = GlobalAlloc(GMEM_MOVEABLE, s.bytes.size());
    memcpy(GlobalLock(g), s.bytes.data(), s.bytes.size());
    GlobalUnlock(g);
    d.value = reinterpret_cast<LONG_PTR>(g);
  }
  LONG_PTR h = dde_MakeDDEReturnData(&d);
  if (g) GlobalFree(g);
  return h;
}

// The item whose advise loops are told next, and the conversation whose
// events are held.
std::wstring g_changed;
LONG_PTR g_held;

LONG_PTR Execute(HWND task, LONG_PTR conv, const wchar_t* command) {
  if (wcscmp(command, L"quit") == 0) {
    PostMessageW(task, WM_CLOSE, 0, 0);
  } else if (wcsncmp(command, L"hold ", 5) == 0) {
    g_held = conv;
    dde_EnableEvents(conv, 0);
    SetTimer(task, HoldTimer, static_cast<UINT>(_wtoi(command + 5)), nullptr);
  } else if (wcscmp(command, L"unregister") == 0) {
    dde_RegisterService(L"KwiServer", 0);
  } else if (wcsncmp(command, L"store ", 6) == 0) {
    const wchar_t* item = command + 6;
    const wchar_t* space = wcschr(item, L' ');
    if (!space) return 0;
    g_changed = std::wstring(item, space);
    StoreText(g_changed.c_str(), space + 1);
    PostMessageW(task, 0xC00F, Advise, 0);
  } else {
    return 0;
  }
  return DDE_FACK;
}

LONG_PTR Handler(LONG_PTR window, event_struct* e) {
  HWND task = reinterpret_cast<HWND>(window);
  if (e->kind == e_create) {
    StoreText(L"lines", L"a\r\nb");
    ilist_struct none{ListNil, 0, nullptr};
    dde_Init(&none);
    dde_RegisterService(L"KwiServer", 1);
    SetTimer(task, LifeTimer, 120000, nullptr);
    return 0;
  }
  if (e->kind == e_timer && e->w[0] == static_cast<LONG_PTR>(HoldTimer)) {
    KillTimer(task, HoldTimer);
    dde_EnableEvents(g_held, 1);
    return 0;
  }
  if (e->kind == e_timer) {
    DestroyWindow(task);
    return 0;
  }
  if (e->kind == e_user && e->w[0] == Advise) {
    dde_PostAdvise(L"Roster", g_changed.c_str());
    return 0;
  }
  if (e->kind != e_dde) K::Fail();
  auto* ev = reinterpret_cast<const dde_event*>(e->w[1]);
  auto* first = reinterpret_cast<const wchar_t*>(ev->w[0]);
  auto* second = reinterpret_cast<const wchar_t*>(ev->w[1]);
  switch (ev->alt) {
    case 3: return Items().count(second) ? 1 : 0;  // advise start
    case 5: return wcscmp(first, L"Roster") == 0;  // connect: topic, service
    case 9: return Execute(task, e->w[0], second);
    case 10:
      if (!Store(second, reinterpret_cast<const dde_data_struct*>(ev->w[2]))) return 0;
      g_changed = second;
      PostMessageW(task, 0xC00F, Advise, 0);
      return DDE_FACK;
    case 2: case 11: {
      LONG_PTR h = Answer(second);
      if (!h) K::Fail();
      return h;
    }
    case 12: {  // wildcard connect: this service and topic
      slist_struct nil{ListNil, nullptr, nullptr};
      slist_struct topic{ListCons, L"Roster", &nil};
      slist_struct service{ListCons, L"KwiServer", &topic};
      return dde_MakeDDEReturnServiceInfo(&service);
    }
    case 4: case 6: case 7: return 0;  // advise stop, connect confirm, disconnect
    default: K::Fail();
  }
}

// The bare server.
DWORD g_raw;

HDDEDATA CALLBACK RawCallback(UINT type, UINT format, HCONV, HSZ, HSZ item, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  static const char value[] = "value";
  switch (type) {
    case XTYP_CONNECT: case XTYP_ADVSTART: return reinterpret_cast<HDDEDATA>(1);
    case XTYP_REQUEST: case XTYP_ADVREQ:
      return DdeCreateDataHandle(g_raw, reinterpret_cast<LPBYTE>(const_cast<char*>(value)), sizeof value, 0, item,
                                 format, 0);
    case XTYP_EXECUTE: case XTYP_POKE: return reinterpret_cast<HDDEDATA>(DDE_FACK);
    default: return nullptr;
  }
}

int RawServer() {
  if (DdeInitializeA(&g_raw, RawCallback, APPCLASS_STANDARD, 0) != DMLERR_NO_ERROR) return 1;
  HSZ service = DdeCreateStringHandleA(g_raw, "RawServer", CP_WINANSI);
  DdeNameService(g_raw, service, nullptr, DNS_REGISTER);
  SetTimer(nullptr, 0, 120000, nullptr);
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0 && m.message != WM_TIMER) DispatchMessageW(&m);
  DdeNameService(g_raw, nullptr, nullptr, DNS_UNREGISTER);
  DdeFreeStringHandle(g_raw, service);
  DdeUninitialize(g_raw);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && strcmp(argv[1], "raw") == 0) return RawServer();
  ilist_struct flags{ListNil, 0, nullptr};
  menu_struct nomenu{3, 0};
  PROLOG_EHANDLER_STRUCT h{reinterpret_cast<void*>(&Handler), nullptr};
  kwi_Init(&flags, &h, &nomenu, nullptr, L"KwiServer");
  dde_End();
  return 0;
}
