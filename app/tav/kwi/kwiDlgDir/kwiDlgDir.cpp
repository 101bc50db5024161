// kwiDlgDir: the modal folder picker.  Invariants: one picker at a time;
// the answer is (full start folder, 0) until OK replaces it by (Path field,
// 1); rows up to the selected row are the levels of the listed folder, the
// rows after it its subfolders, sorted; the process's current directory is
// restored when the dialog has closed.
#include <windows.h>

#include "kwi/kwiDlgDir/kwiDlgDir.h"
#include "kwi/kwiDlgDir/kwiDlgDir_lists.h"

#include <algorithm>

#include "exception/exception.h"
#include "kwi/kwidomains.h"
#include "kwi/kwiownDraw/kwiOwndraw.h"

namespace tav {

using namespace QEL_KWI;
namespace kd = kwidomains;

namespace {

enum : int32_t {
  kOk = 1, kCancelId = 2, kList = 511, kPath = 512, kDrives = 514, kDrivesRadio = 517,
  kSubdir = 518, kSubdirLabel = 519, kNetRadio = 520
};

struct Picker {
  std::wstring answer;
  int32_t code = 0;
  std::wstring listed, selected;  // path_to_dir_temp
  int32_t selRow = 0;             // current_item_sel_item
  std::wstring subdir;            // sub_dir_str
  int32_t rowHeight = 0;
  int32_t subdirSwitch = 0;
  bool creating = false;
};
Picker g;

bool IsUnc(const std::wstring& p) { return p.size() >= 2 && p[0] == L'\\' && p[1] == L'\\'; }

bool CanEnter(const std::wstring& path) { return SetCurrentDirectoryW(path.c_str()) != 0; }

bool DriveUsable(const std::wstring& p) {
  return !p.empty() && CanEnter(std::wstring(1, p[0]) + L":\\");
}

// The levels of a path: the drive or "\\server", then each component.
std::vector<std::wstring> Levels(const std::wstring& path) {
  std::vector<std::wstring> levels;
  size_t start = 0;
  if (IsUnc(path)) {
    const size_t end = path.find(L'\\', 2);
    levels.push_back(path.substr(0, end));
    if (end == std::wstring::npos) return levels;
    start = end + 1;
  }
  while (start < path.size()) {
    const size_t end = path.find(L'\\', start);
    const std::wstring part = path.substr(start, end == std::wstring::npos ? end : end - start);
    if (!part.empty()) levels.push_back(part);
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  return levels;
}

std::wstring Join(const std::vector<std::wstring>& levels, size_t count) {
  std::wstring s;
  for (size_t i = 0; i < count && i < levels.size(); ++i) s += (i ? L"\\" : L"") + levels[i];
  return s;
}

std::vector<std::wstring> SubFolders(LONG_PTR dialog, const std::wstring& folder) {
  std::vector<std::wstring> names;
  if (IsUnc(folder) && folder.find(L'\\', 2) == std::wstring::npos) {
    names = dlgdir::Strings(kwiDlgDir::get_list_net_resources(dialog, folder.c_str()));
  } else {
    WIN32_FIND_DATAW d;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &d);
    if (h != INVALID_HANDLE_VALUE) {
      do
        if ((d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && wcscmp(d.cFileName, L".") != 0 &&
            wcscmp(d.cFileName, L"..") != 0)
          names.push_back(d.cFileName);
      while (FindNextFileW(h, &d));
      FindClose(h);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The rows of a folder and the index of its own row; empty when a level
// cannot be entered.
std::vector<std::wstring> Rows(LONG_PTR dialog, const std::wstring& path, int32_t* sel) {
  *sel = 0;
  if (!DriveUsable(path) && !IsUnc(path)) return {};
  const std::vector<std::wstring> levels = Levels(path);
  if (levels.empty()) return {};
  for (size_t i = 0; i < levels.size(); ++i) {
    const bool serverOrRoot = i == 0;
    if (!serverOrRoot && !CanEnter(Join(levels, i + 1) + L"\\")) return {};
  }
  std::vector<std::wstring> rows = levels;
  *sel = static_cast<int32_t>(levels.size()) - 1;
  for (const std::wstring& s : SubFolders(dialog, Join(levels, levels.size()))) rows.push_back(s);
  return rows;
}

std::vector<std::wstring> DriveEntries() {
  std::vector<std::wstring> entries;
  wchar_t saved[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved);
  for (int d = 0; d < 26; ++d) {
    const int type = drive_GetType(d);
    if (type == 0 || type == 1) continue;
    std::wstring entry = std::wstring(1, static_cast<wchar_t>(L'A' + d)) + L": ";
    u16* name = nullptr;
    if (type == 4 && drive_GetName(d, &name) && name) {
      std::wstring lower = name;
      for (wchar_t& c : lower) c = towlower(c);
      entry += lower;
    }
    entries.push_back(entry);
  }
  SetCurrentDirectoryW(saved);
  std::sort(entries.begin(), entries.end());
  return entries;
}

int32_t DriveIndex(const std::vector<std::wstring>& entries, const std::wstring& path) {
  const wchar_t first = IsUnc(path) ? L'C' : path.empty() ? 0 : path[0];
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i][0] == first) return static_cast<int32_t>(i);
  return static_cast<int32_t>(entries.size());
}

LONG_PTR Ctl(LONG_PTR dialog, int32_t id) { return win_GetCtlHandle(dialog, id); }

void Fill(LONG_PTR box, const std::vector<std::wstring>& items, int32_t select) {
  lbox_Suspend(box);
  lbox_Clear(box);
  if (!items.empty()) lbox_Add_3(box, dlgdir::StringList(items));
  lbox_Resume(box);
  if (select >= 0 && select < static_cast<int32_t>(items.size())) lbox_SetSel(box, select, 1);
}

void ShowPath(LONG_PTR dialog, const std::wstring& p) {
  const std::wstring s = win_GetText(Ctl(dialog, kSubdir));
  std::wstring shown = p;
  if (!s.empty()) shown += (s[0] == L'\\' ? L"" : L"\\") + s;
  win_SetText(Ctl(dialog, kPath), shown.c_str());
}

std::wstring NoTrailingSlash(std::wstring p) {
  while (p.size() > 1 && p.back() == L'\\') p.pop_back();
  return p;
}

// The path of a row; open mode makes it the listed folder.
std::wstring NewPath(const std::wstring& text, int32_t row, bool open) {
  std::wstring p;
  if (row <= g.selRow)
    p = Join(Levels(g.listed), static_cast<size_t>(row) + 1);
  else
    p = NoTrailingSlash(g.listed) + L"\\" + text;
  if (open) g.listed = p;
  g.selected = p;
  return p;
}

void ShowRows(LONG_PTR dialog, const std::wstring& folder) {
  int32_t sel = 0;
  const std::vector<std::wstring> rows = Rows(dialog, folder, &sel);
  g.selRow = sel;
  Fill(Ctl(dialog, kList), rows, sel);
}

const wchar_t* RowText(LONG_PTR list, int32_t row) {
  const wchar_t* t = nullptr;
  K::Succeeds([&] { t = lbox_GetItem(list, row); });
  return t ? t : L"";
}

// Sends the dialog a control event of one of its controls.
void SendControl(LONG_PTR dialog, int32_t id, int32_t type, controlinfo* info) {
  event_struct e{};
  e.kind = e_control;
  e.w[0] = id;
  e.w[1] = type;
  e.w[2] = Ctl(dialog, id);
  e.w[3] = reinterpret_cast<LONG_PTR>(info);
  win_SendEvent(dialog, &e);
}

void SendActivated(LONG_PTR dialog) {
  static controlinfo activated{ci_activated, 0, 0};
  SendControl(dialog, kList, wt_listbox, &activated);
}

LONG_PTR ListKeys(LONG_PTR list, event_struct* e) {
  if (e->kind == e_char && (e->w[0] == 13 || e->w[0] == 32)) {
    SendActivated(win_GetParent(list));
    return 0;
  }
  K::Fail();
}

void DrawRow(LONG_PTR control, rect_struct* r, int32_t state, const wchar_t* text, int32_t index) {
  const bool selected = state != 0;
  const uint32_t back = selected ? 0 : static_cast<uint32_t>(kwi_GetAttrVal(121));
  pen_struct pen{1, 5, back};
  brush_struct brush{2, back};
  win_SetPen(control, &pen);
  win_SetBrush(control, &brush);
  draw_Rect(control, r);
  win_SetForeColor(control, selected ? 0xFFFFFF : 0);
  win_SetBackColor(control, back);
  const bool level = index <= g.selRow;
  const int32_t x = 5 * (level ? index : g.selRow + 1) + 3;
  const std::wstring t = std::wstring(text ? text : L"") + L" ";
  rect_struct tr{x + 20, r->top, r->right, r->bottom};
  draw_TextInRect(control, &tr, t.c_str(), -1, kd::Ints({5, 9, 12}));
  const int32_t top = r->top + 3, bottom = r->bottom - 3;
  pen_struct black{1, 0, 0};
  brush_struct yellow{2, 0x00FFFF};
  win_SetPen(control, &black);
  win_SetBrush(control, &yellow);
  rect_struct box{x, top, x + 14, bottom};
  draw_Rect(control, &box);
  auto line = [&](uint32_t colour, std::initializer_list<pnt_struct> pts) {
    pen_struct p{1, 0, colour};
    win_SetPen(control, &p);
    pnt_struct at[3];
    pntlist_struct cells[3], end{ListNil, nullptr, nullptr};
    size_t n = pts.size();
    pntlist_struct* next = &end;
    for (auto it = std::rbegin(pts); it != std::rend(pts); ++it) {
      at[--n] = *it;
      cells[n] = {ListCons, &at[n], next};
      next = &cells[n];
    }
    draw_Polyline(control, next);
  };
  if (!level) {
    line(0xFFFFFF, {{x + 2, bottom - 2}, {x + 2, top + 2}, {x + 12, top + 2}});
    line(0x808080, {{x + 2, bottom - 2}, {x + 12, bottom - 2}, {x + 12, top + 2}});
    return;
  }
  pnt_struct flap[4] = {{x, bottom}, {x + 3, top + 3}, {x + 17, top + 3}, {x + 14, bottom}};
  pntlist_struct cells[4], end{ListNil, nullptr, nullptr};
  for (int i = 3; i >= 0; --i) cells[i] = {ListCons, &flap[i], i == 3 ? &end : &cells[i + 1]};
  win_SetPen(control, &black);
  win_SetBrush(control, &yellow);
  draw_Polygon(control, cells);
  line(0xFFFFFF, {{x + 1, bottom - 1}, {x + 4, top + 4}, {x + 16, top + 4}});
  line(0x808080, {{x + 1, bottom - 1}, {x + 13, bottom - 1}, {x + 16, top + 4}});
}

void OnCreate(LONG_PTR dialog) {
  g.creating = true;
  win_Check(Ctl(dialog, kDrivesRadio), 1);
  g.subdir = L"";
  g.listed = g.selected = g.answer;
  const std::vector<std::wstring> drives = DriveEntries();
  Fill(Ctl(dialog, kDrives), drives, DriveIndex(drives, g.listed));
  kwi::processevents();
  static PROLOG_EHANDLER_STRUCT keys{reinterpret_cast<void*>(&ListKeys), nullptr};
  win_SetSubClassHandler(Ctl(dialog, kList), &keys, 0);
  ShowRows(dialog, g.listed);
  win_SetFocus(Ctl(dialog, kList));
  g.creating = false;
  if (g.subdirSwitch == 0) win_SetText(Ctl(dialog, kSubdir), g.subdir.c_str());
  ShowPath(dialog, NewPath(RowText(Ctl(dialog, kList), g.selRow), g.selRow, true));
}

void OnControl(LONG_PTR dialog, int32_t id, const controlinfo* info) {
  const uintptr_t what = info ? info->alt : 0;
  switch (id) {
    case kCancelId: win_Destroy(dialog); return;
    case kDrivesRadio:
      win_Check(Ctl(dialog, kDrivesRadio), 1);
      win_Check(Ctl(dialog, kNetRadio), 0);
      Fill(Ctl(dialog, kDrives), DriveEntries(), 0);
      return;
    case kNetRadio: {
      if (kwiDlgDir::retrieving()) return;
      win_Check(Ctl(dialog, kNetRadio), 1);
      win_Check(Ctl(dialog, kDrivesRadio), 0);
      slist_struct* servers = kwiDlgDir::get_list_net_servers(dialog);
      kwiDlgDir::give_warning_on_empty(servers);
      Fill(Ctl(dialog, kDrives), dlgdir::Strings(servers), 0);
      static controlinfo changed{ci_selchanged, 0, 0};
      SendControl(dialog, kDrives, wt_listbutton, &changed);
      return;
    }
    case kDrives: {
      if (what != ci_selchanged || g.creating) return;
      volatile int32_t index = -1;
      if (!K::Succeeds([&] { index = lbox_GetSelIndex(Ctl(dialog, kDrives)); })) return;
      const std::wstring entry = RowText(Ctl(dialog, kDrives), index);
      std::wstring folder;
      if (entry.size() >= 2 && entry[1] == L':') {
        folder = entry.substr(0, 2);
        if (!DriveUsable(folder)) return;
      } else if (IsUnc(entry)) {
        folder = entry;
      } else {
        return;
      }
      g.listed = g.selected = folder;
      lbox_Clear(Ctl(dialog, kList));
      ShowPath(dialog, folder);
      ShowRows(dialog, folder);
      return;
    }
    case kList: {
      volatile int32_t row = -1;
      if (!K::Succeeds([&] { row = lbox_GetSelIndex(Ctl(dialog, kList)); })) return;
      const std::wstring text = RowText(Ctl(dialog, kList), row);
      if (what == ci_activated) {
        lbox_Clear(Ctl(dialog, kList));
        const std::wstring p = NewPath(text, row, true);
        ShowPath(dialog, p);
        ShowRows(dialog, p);
      } else if (what == ci_selchanged) {
        ShowPath(dialog, NewPath(text, row, false));
      }
      return;
    }
    case kSubdir:
      if (what == ci_modified) ShowPath(dialog, g.selected);
      return;
    case kOk:
      if (win_GetFocus() == Ctl(dialog, kList)) {
        SendActivated(dialog);
        return;
      }
      g.answer = win_GetText(Ctl(dialog, kPath));
      g.code = 1;
      win_Destroy(dialog);
      return;
    default: return;
  }
}

LONG_PTR DialogEvents(LONG_PTR dialog, event_struct* e) {
  static OdCallback row{reinterpret_cast<void*>(&DrawRow), nullptr};
  switch (e->kind) {
    case e_create: OnCreate(dialog); return 0;
    case e_closerequest: win_Destroy(dialog); return 0;
    case e_control: OnControl(dialog, static_cast<int32_t>(e->w[0]), reinterpret_cast<const controlinfo*>(e->w[3])); return 0;
    case e_ownerdraw:
      if (e->w[0] != 2 || e->w[1] != kList) break;
      kwiOwndraw::drawlistbox(reinterpret_cast<ilist_struct*>(e->w[3]), reinterpret_cast<ilist_struct*>(e->w[4]),
                              reinterpret_cast<rect_struct*>(e->w[6]), dialog, e->w[5],
                              static_cast<uint32_t>(e->w[2]), &row, 0);
      return 1;
    case e_ownermeasureitem: {
      if (e->w[0] != 2) break;
      RECT r{};
      GetClientRect(GetDlgItem(reinterpret_cast<HWND>(dialog), kList), &r);
      return static_cast<LONG_PTR>(g.rowHeight) * 65536 + r.right;
    }
    case e_destroy:
      g.listed.clear();
      g.selected.clear();
      g.selRow = 0;
      g.subdir.clear();
      kwiOwndraw::destroy(dialog);
      break;
    default: break;
  }
  K::Fail();
}

int32_t RowHeight(LONG_PTR parent) {
  const LONG_PTR w = win_Create(wt_child, kd::Rect(0, 0, 10, 10), L"", kd::NoMenu(), parent,
                                kd::Ints({11, 12}), NoEventHandler(), 0);
  win_SetFont(w, kwi::fontcreatebyname(L"MS Sans Serif", 8));
  int width = 0, height = 0;
  win_GetTextExtent(w, L"Yy", 2, &width, &height);
  win_Destroy(w);
  return height + 2;
}

windef_list_struct* Definition(const wchar_t* title, int32_t subdirSwitch) {
  const bool hide = subdirSwitch == 1;
  return kd::Windefs({
      kd::DlgFont(wt_modal, kd::Rect(50, 20, 230, 185), title, kd::kDialogUnits, L"MS Sans Serif", 8,
                  kd::Ints({4, 9})),
      kd::Ctl(wt_text, kd::Rect(5, 32, 65, 42), L"Di&rectories:", 516, kd::Ints({26, 31})),
      kd::Ctl(wt_listbox, kd::Rect(5, 43, 115, 128), L"", kList, kd::Ints({35, 56, 8, 26, 25, 58})),
      kd::Ctl(wt_text, kd::Rect(120, 32, 175, 42), L"&Subdirectory:", kSubdirLabel,
              hide ? kd::Ints({26, 31, 11}) : kd::Ints({26, 31})),
      kd::Ctl(wt_edit, kd::Rect(120, 43, 175, 55), L"", kSubdir,
              hide ? kd::Ints({25, 26, 46, 31, 11}) : kd::Ints({25, 26, 46, 31})),
      kd::Ctl(wt_radiobutton, kd::Rect(5, 136, 70, 146), L"&Drives:", kDrivesRadio, kd::Ints({26, 25})),
      kd::Ctl(wt_radiobutton, kd::Rect(75, 136, 174, 146), L"&Network Drives:", kNetRadio, kd::Ints({26})),
      kd::Ctl(wt_listbutton, kd::Rect(5, 148, 175, 208), L"", kDrives, kd::Ints({25, 26, 8, 53})),
      kd::Ctl(wt_pushbutton, kd::Rect(120, 99, 175, 111), L"&OK", kOk, kd::Ints({23, 25, 26})),
      kd::Ctl(wt_pushbutton, kd::Rect(120, 116, 175, 128), L"&Cancel", kCancelId, kd::Ints({25, 26})),
      kd::Ctl(wt_edit, kd::Rect(5, 16, 175, 28), L"", kPath, kd::Ints({31, 46, 27})),
      kd::Ctl(wt_text, kd::Rect(5, 5, 105, 15), L"Path:", 515, kd::Ints({31})),
  });
}

std::wstring FullPath(const std::wstring& start) {
  if (start.size() >= 2 && (start[1] == L':' || IsUnc(start))) return start;
  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  return NoTrailingSlash(current) + L"\\" + start;
}

}  // namespace

int32_t kwiDlgDir::getDirectoryName(LONG_PTR parent, const wchar_t* title, int32_t subdirSwitch,
                                    const wchar_t* start, const wchar_t** newPath) {
  wchar_t saved[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved);
  g.answer = FullPath(start);
  g.code = 0;
  g.subdirSwitch = subdirSwitch;
  volatile bool ran = false;
  const uint32_t error = K::RunTrapped([&] {
    g.rowHeight = RowHeight(parent);
    static PROLOG_EHANDLER_STRUCT handler{reinterpret_cast<void*>(&DialogEvents), nullptr};
    win_CreateDynDialog(parent, Definition(title, subdirSwitch), &handler, subdirSwitch);
    ran = true;
  });
  SetCurrentDirectoryW(saved);
  if (error != 0 || !ran) {
    if (error >= kFirstTraceId) K::RunTrapped([&] { exception::clear(error); });
    *newPath = K::Memory::CopyStringToGStack(start);
    return 0;
  }
  std::wstring answer = g.answer;
  if (!answer.empty() && answer.back() == L':') answer += L"\\";
  *newPath = K::Memory::CopyStringToGStack(answer.c_str());
  return g.code;
}

int32_t kwiDlgDir::getDirectoryName(LONG_PTR parent, const wchar_t* title, const wchar_t* start,
                                    const wchar_t** newPath) {
  return getDirectoryName(parent, title, 0, start, newPath);
}

int32_t kwiDlgDir::getDirectoryName(LONG_PTR parent, const wchar_t* start, const wchar_t** newPath) {
  return getDirectoryName(parent, L"Set New Directory", 0, start, newPath);
}

}  // namespace tav
