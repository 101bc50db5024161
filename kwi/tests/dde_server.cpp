// A DDE server on the GUI layer for the DDE tests and benchmark: service
// "KwiServer", topic "Roster".  Items hold strings: executing "store ITEM
// VALUE" and poking store and then tell the item's advise loops (from a
// posted event, after the transaction); requests and advise requests answer
// the stored string ("lines" holds two lines); "quit" ends.  It ends by
// itself after two minutes.
#include <windows.h>

#include <ddeml.h>

#include <map>
#include <string>

#include "qel6kernel.h"
#include "qel6kwi.h"

using namespace QEL_KWI;

namespace {

std::map<std::wstring, std::wstring>& Items() {
  static std::map<std::wstring, std::wstring> items{{L"lines", L"a\r\nb"}};
  return items;
}

// The stored text of an item, copied to the global stack, or null.
const wchar_t* Lookup(const wchar_t* item) {
  auto it = Items().find(item);
  return it == Items().end() ? nullptr : Qel::RunTime::Kernel::Memory::CopyStringToGStack(it->second.c_str());
}

void Store(const wchar_t* item, const wchar_t* value) { Items()[item] = value; }

// The item a store changed: its advise loops are told after the
// transaction, from a posted user event.
std::wstring& Changed() {
  static std::wstring changed;
  return changed;
}


LONG_PTR Execute(HWND task, const wchar_t* command) {
  if (wcscmp(command, L"quit") == 0) {
    PostMessageW(task, WM_CLOSE, 0, 0);
    return DDE_FACK;
  }
  if (wcsncmp(command, L"store ", 6) != 0) return 0;
  const wchar_t* item = command + 6;
  const wchar_t* space = wcschr(item, L' ');
  if (!space) return 0;
  Changed() = std::wstring(item, space);
  Store(Changed().c_str(), space + 1);
  PostMessageW(task, 0xC00F, 0, 0);
  return DDE_FACK;
}

LONG_PTR Handler(LONG_PTR window, event_struct* e) {
  HWND task = reinterpret_cast<HWND>(window);
  if (e->kind == e_create) {
    ilist_struct none{ListNil, 0, nullptr};
    dde_Init(&none);
    dde_RegisterService(L"KwiServer", 1);
    SetTimer(task, 1, 120000, nullptr);
    return 0;
  }
  if (e->kind == e_timer) {
    DestroyWindow(task);
    return 0;
  }
  if (e->kind == e_user) {
    dde_PostAdvise(L"Roster", Changed().c_str());
    return 0;
  }
  if (e->kind != e_dde) Qel::RunTime::Kernel::Fail();
  auto* ev = reinterpret_cast<const dde_event*>(e->w[1]);
  auto* second = reinterpret_cast<const wchar_t*>(ev->w[1]);
  const wchar_t* text = nullptr;
  switch (ev->alt) {
    case 3: case 5: return 1;  // advise start, connect
    case 9: return Execute(task, second);
    case 10: {
      auto* d = reinterpret_cast<const dde_data_struct*>(ev->w[2]);
      if (d->kind != dd_str) return 0;
      Store(second, reinterpret_cast<const wchar_t*>(d->value));
      Changed() = second;
      PostMessageW(task, 0xC00F, 0, 0);
      return DDE_FACK;
    }
    case 2: case 11:
      text = Lookup(second);
      break;
    default: Qel::RunTime::Kernel::Fail();
  }
  if (!text) Qel::RunTime::Kernel::Fail();
  dde_data_struct answer{dd_str, reinterpret_cast<LONG_PTR>(text)};
  return dde_MakeDDEReturnData(&answer);
}

}  // namespace

int main() {
  ilist_struct flags{ListNil, 0, nullptr};
  menu_struct nomenu{3, 0};
  PROLOG_EHANDLER_STRUCT h{reinterpret_cast<void*>(&Handler), nullptr};
  kwi_Init(&flags, &h, &nomenu, nullptr, L"KwiServer");
  dde_End();
  return 0;
}
