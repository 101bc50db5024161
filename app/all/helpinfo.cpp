// Context help: the tree path's topic in the compiled help file, shown
// through the one HtmlHelpW seam.
//
// Invariants:
//  - A path's last caption is dropped only when a roster is open and it
//    names a doctor, practice, task or location of it.
//  - The help control is loaded at most once per process; a failed load is
//    remembered and reported once.
#include "helpinfo.h"

#include <string>

#include "application/Exe/mainExe.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"

namespace all {

using rizediveva6::SList;

const tav::ClassInfo helpinfo::classInfo{L"qel6pack/all/helpinfo", TAV_CLASS_VERSION};

namespace {

HWND WINAPI DefaultHtmlHelp(HWND owner, LPCWSTR address, UINT command, DWORD_PTR data) {
  html_help_fn fn = helpinfo::load_htmlhelp();
  if (!fn) return nullptr;
  return fn(owner, address, command, data);
}

html_help_fn g_seam = DefaultHtmlHelp;

bool NamesRosterData(const wchar_t* caption) {
  if (!kalmora_DB::is_init()) return false;
  const PersonTerm* person = nullptr;
  return staff_db::get_person(caption, &person) || groups::member(caption, groups::list_groups()) ||
         groups::member(caption, tasks::list_tasks()) || groups::member(caption, locations::list_locs());
}

// The path without a trailing roster-data caption.
const SList* WithoutDataItem(const SList* path) {
  rizediveva6::ListBuilder<const wchar_t*> kept;
  for (const SList* l = path; !l->Empty(); l = l->tail)
    if (!l->tail->Empty() || !NamesRosterData(l->head)) kept.Add(l->head);
  return kept.Finish();
}

std::wstring TopicOf(const SList* path) {
  if (path->Empty()) return L"Contact.html";
  if (!path->tail->Empty() && wcscmp(path->tail->head, L"Help") == 0) return L"Help.html";
  std::wstring topic = L"C-tree";
  for (const SList* l = path->tail; !l->Empty(); l = l->tail) topic += std::wstring(L"/") + l->head;
  return topic + L".html";
}

}  // namespace

const wchar_t* helpinfo::address(const wchar_t* folder, const SList* path) {
  // The store look-ups may raise: no string is alive across them.
  const SList* kept = WithoutDataItem(path);
  const std::wstring text = std::wstring(folder) + L"kalmora6.chm::/" + TopicOf(kept);
  return tav::HeapCopy(text.c_str());
}

void helpinfo::help(LONG_PTR window, const SList* path) {
  const wchar_t* folder = nullptr;
  const wchar_t* name = nullptr;
  tav::mainExe::getfilename(&folder, &name);
  const wchar_t* at = address(folder, path);
  g_seam(reinterpret_cast<HWND>(window), at, 0, 0);
}

html_help_fn helpinfo::load_htmlhelp() {
  static const html_help_fn loaded = [] {
    HMODULE m = LoadLibraryExW(L"hhctrl.ocx", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    FARPROC p = m ? GetProcAddress(m, "HtmlHelpW") : nullptr;
    if (!p) OutputDebugStringW(L"helpinfo: hhctrl.ocx or its HtmlHelpW is missing; help is not shown\n");
    return reinterpret_cast<html_help_fn>(reinterpret_cast<void*>(p));
  }();
  return loaded;
}

html_help_fn helpinfo::set_htmlhelp(html_help_fn fn) {
  html_help_fn previous = g_seam;
  g_seam = fn ? fn : DefaultHtmlHelp;
  return previous;
}

}  // namespace all
