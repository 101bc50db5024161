// kwiDlgDir's network lookup.  Invariants: the batch, output and unique-name
// files live in the temporary folder and are deleted together once the
// output was read; the wait ends only on the command's end notice or on
// Cancel, so a partly written output is never taken for the whole list; the
// hidden window that receives the end notice is destroyed on every way out.
#include <windows.h>

#include "kwi/kwiDlgDir/kwiDlgDir.h"
#include "kwi/kwiDlgDir/kwiDlgDir_lists.h"

#include <algorithm>

#include "exception/exception.h"
#include "kwi/kwicommondialogs.h"
#include "kwi/kwidomains.h"

namespace tav {

using namespace QEL_KWI;
namespace kd = kwidomains;

const ClassInfo kwiDlgDir::classInfo{L"com/corvane/kwi/kwiDlgDir/kwiDlgDir", TAV_CLASS_VERSION};

namespace {

constexpr int32_t kCancel = 2;
constexpr int32_t kHidden = 11;

struct Lookup {
  LONG_PTR hidden = 0;    // temp_win
  LONG_PTR process = 0;   // temp_app_id; 0 once the command ended or was cancelled
  LONG_PTR dialog = 0;    // temp_dlg
  LONG_PTR timer = 0;
};
Lookup g_lookup;

std::wstring Env(const wchar_t* name) {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD n = GetEnvironmentVariableW(name, buffer, MAX_PATH + 1);
  return n > 0 && n <= MAX_PATH ? std::wstring(buffer, n) : std::wstring();
}

// "TEMP", else "TMP"; empty when neither is set.
std::wstring TempFolder() {
  std::wstring t = Env(L"TEMP");
  return t.empty() ? Env(L"TMP") : t;
}

bool WriteAnsi(const std::wstring& path, const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string bytes(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), n, nullptr,
                      nullptr);
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  CloseHandle(f);
  return ok;
}

// The whole file as text: UTF-16 with its signature, else 8-bit by the code
// page; line ends as LF.
bool ReadText(const std::wstring& path, std::wstring* text) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  std::string bytes;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(f, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
  CloseHandle(f);
  std::wstring t;
  if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF && static_cast<uint8_t>(bytes[1]) == 0xFE) {
    t.assign(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
  } else {
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    t.resize(static_cast<size_t>(n));
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), t.data(), n);
  }
  text->clear();
  for (size_t i = 0; i < t.size(); ++i)
    if (!(t[i] == L'\r' && i + 1 < t.size() && t[i + 1] == L'\n')) text->push_back(t[i]);
  return true;
}

LONG_PTR HiddenEvents(LONG_PTR window, event_struct* e) {
  if (e->kind == e_endapplication && e->w[0] == g_lookup.process) {
    g_lookup.process = 0;
    return 0;
  }
  if (e->kind == e_destroy && g_lookup.hidden == window) g_lookup.hidden = 0;
  K::Fail();
}

LONG_PTR WaitEvents(LONG_PTR dialog, event_struct* e) {
  switch (e->kind) {
    case e_create:
      g_lookup.dialog = dialog;
      g_lookup.timer = timer_Set(dialog, 200);
      return 0;
    case e_timer:
      if (e->w[0] == g_lookup.timer && g_lookup.process == 0) win_Destroy(dialog);
      return 0;
    case e_control:
    case e_closerequest:  // the close box cancels like Cancel
      if (e->kind == e_control && e->w[0] != kCancel) break;
      g_lookup.process = 0;  // the command is left to run
      win_Destroy(dialog);
      return 0;
    case e_destroy:
      g_lookup.dialog = 0;
      timer_Kill(g_lookup.timer);
      break;
    default: break;
  }
  K::Fail();
}

void DestroyHidden() {
  if (!g_lookup.hidden) return;
  const LONG_PTR w = g_lookup.hidden;
  g_lookup.hidden = 0;
  K::RunTrapped([&] { win_Destroy(w); });
}

void WaitDialog(LONG_PTR parent) {
  static PROLOG_EHANDLER_STRUCT handler{reinterpret_cast<void*>(&WaitEvents), nullptr};
  windef_list_struct* def = kd::Windefs(
      {kd::DlgFont(wt_modal, kd::Rect(50, 40, 196, 66), L"Wait! Retrieving network paths",
                   kd::kDialogUnits, L"MS Sans Serif", 8, kd::Ints({1, 4, 9})),
       kd::Ctl(wt_pushbutton, kd::Rect(21, 7, 125, 20), L"&Cancel", kCancel, kd::Ints({25, 26}))});
  win_CreateDynDialog(parent, def, &handler, 0);
}

// Runs one "net view" command line and gives its parsed output.
std::vector<std::wstring> Retrieve(LONG_PTR parent, const std::wstring& arguments, size_t width) {
  std::vector<std::wstring> entries;
  DestroyHidden();
  const std::wstring temp = TempFolder();
  wchar_t unique[MAX_PATH];
  // The unique name is made in the temporary folder and deleted with the others.
  if (temp.empty() || !GetTempFileNameW(temp.c_str(), L"~DIR", 0, unique)) return entries;
  std::wstring base = unique;
  const size_t dot = base.rfind(L'.');
  if (dot != std::wstring::npos && dot > base.rfind(L'\\')) base.erase(dot);
  const std::wstring batch = base + L".bat", output = base + L".out";

  static PROLOG_EHANDLER_STRUCT hidden{reinterpret_cast<void*>(&HiddenEvents), nullptr};
  g_lookup.hidden = win_Create(wt_child, kd::Rect(0, 0, 1, 1), L"", kd::NoMenu(), kwi_GetTaskWin(),
                               kd::Ints({11, 12}), &hidden, 0);
  // Quoted: the temporary folder may hold blanks.
  const std::wstring line = L"net view " + arguments + (arguments.empty() ? L"" : L" ") + L">\"" +
                            output + L"\"\r\n";
  bool started = WriteAnsi(batch, line);
  if (started) {
    volatile LONG_PTR process = 0;
    started = K::RunTrapped([&] {
                process = kwi_CreateProcess(g_lookup.hidden, batch.c_str(), L"", kHidden);
              }) == 0 &&
              process != 0;
    g_lookup.process = process;
  }
  std::wstring text;
  bool read = false;
  if (started) {
    WaitDialog(parent);
    read = ReadText(output, &text);
  }
  if (read || !started) {
    DeleteFileW(output.c_str());
    DeleteFileW(batch.c_str());
    DeleteFileW(unique);
  }
  while (!text.empty() && text.back() == L'\n') text.pop_back();
  if (!text.empty()) kwiDlgDir::ParseNetView(text, width, &entries);
  g_lookup.process = 0;
  DestroyHidden();
  return entries;
}

}  // namespace

namespace dlgdir {

slist_struct* StringList(const std::vector<std::wstring>& items) {
  auto* end = static_cast<slist_struct*>(GStackAlloc(sizeof(slist_struct)));
  *end = {ListNil, nullptr, nullptr};
  slist_struct* list = end;
  for (auto it = items.rbegin(); it != items.rend(); ++it) {
    auto* cell = static_cast<slist_struct*>(GStackAlloc(sizeof(slist_struct)));
    *cell = {ListCons, K::Memory::CopyStringToGStack(it->c_str()), list};
    list = cell;
  }
  return list;
}

std::vector<std::wstring> Strings(const slist_struct* list) {
  std::vector<std::wstring> items;
  for (const slist_struct* l = list; l && l->functor == ListCons; l = l->next) items.push_back(l->value);
  return items;
}

}  // namespace dlgdir

bool kwiDlgDir::ParseNetView(const std::wstring& text, size_t width, std::vector<std::wstring>* out) {
  size_t at = text.find(L"----------------");
  if (at == std::wstring::npos) at = text.find(L'\u00C4');
  if (at == std::wstring::npos) return false;
  size_t eol = text.find(L'\n', at);
  if (eol == std::wstring::npos) return true;
  std::wstring rest = text.substr(eol + 1);
  while (!rest.empty()) {
    const size_t lineEnd = rest.find(L'\n');
    if (lineEnd == std::wstring::npos) break;  // the closing line
    // A short line ends at its own line break.
    std::wstring entry = rest.substr(0, std::min(width, lineEnd));
    while (!entry.empty() && entry.back() == L' ') entry.pop_back();
    out->push_back(entry);
    rest.erase(0, lineEnd + 1);
  }
  return true;
}

slist_struct* kwiDlgDir::get_list_net_servers(LONG_PTR dialog) {
  return dlgdir::StringList(Retrieve(dialog, L"", 18));
}

slist_struct* kwiDlgDir::get_list_net_resources(LONG_PTR dialog, const wchar_t* server) {
  return dlgdir::StringList(Retrieve(dialog, L"\"" + std::wstring(server) + L"\"", 12));
}

void kwiDlgDir::give_warning_on_empty(const slist_struct* list) {
  if (!list || list->functor != ListCons) kwiCommonDialogs::note(L"Network is unavailable");
}

bool kwiDlgDir::retrieving() { return g_lookup.dialog != 0; }

}  // namespace tav
