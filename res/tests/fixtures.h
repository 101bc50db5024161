// Test fixtures of the resource writer: little-endian byte builders, source
// files (icons, cursors, bitmaps) made byte by byte, GUI-layer term lists in
// test memory, and the expected entry header built from the file format.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "qel6res.h"
#include "testlib.h"

namespace restest {

using namespace QEL_KWI;
using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
inline uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Read32(const uint8_t* p) { return Read16(p) | static_cast<uint32_t>(Read16(p + 2)) << 16; }
inline void PutStr(Bytes& b, const std::wstring& s) {
  for (wchar_t c : s) Put16(b, c);
  Put16(b, 0);
}
inline void Pad4(Bytes& b) {
  while (b.size() % 4) b.push_back(0);
}
inline void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

// A type or name field: an ordinal, or a string when `text` is not empty.
struct Name {
  uint16_t ordinal;
  std::wstring text;
};

// An entry header as the .res format lays it out.
inline Bytes Header(uint32_t dataSize, Name type, Name name, uint16_t flags) {
  Bytes names;
  for (const Name& n : {type, name}) {
    if (n.text.empty()) {
      Put16(names, 0xFFFF);
      Put16(names, n.ordinal);
    } else {
      PutStr(names, n.text);
    }
  }
  Pad4(names);
  Bytes h;
  Put32(h, dataSize);
  Put32(h, static_cast<uint32_t>(8 + names.size() + 16));
  Append(h, names);
  Put32(h, 0);
  Put16(h, flags);
  Put16(h, 0);
  Put32(h, 0);
  Put32(h, 0);
  return h;
}

// The entry every file opens with.
inline Bytes EmptyEntry() { return Header(0, {0, L""}, {0, L""}, 0); }

// Bytes of a given length with a recognisable pattern.
inline Bytes Pattern(size_t n, uint8_t seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
  return b;
}

// An icon image: a 32 x 32 device-independent bitmap of 4 bits with its mask.
inline Bytes IconImage(uint8_t colour) {
  Bytes b;
  Put32(b, 40);
  Put32(b, 32);
  Put32(b, 64);  // colour rows and mask rows
  Put16(b, 1);
  Put16(b, 4);
  for (int i = 0; i < 6; ++i) Put32(b, 0);
  for (int i = 0; i < 16; ++i) Put32(b, i == 1 ? 0x00FF0000u : i == 2 ? 0x0000FF00u : 0);
  b.insert(b.end(), 32 * 16, static_cast<uint8_t>(colour << 4 | colour));
  b.insert(b.end(), 32 * 4, 0);
  return b;
}

// An icon file's directory entry and image.
struct IconImageSpec {
  uint8_t width, height, colours;
  uint16_t bitCount;
  Bytes data;
};

// An icon file; `offsetShift` and `sizeShift` bend the directory's claims.
inline Bytes IconFile(const std::vector<IconImageSpec>& images, uint32_t offsetShift = 0,
                      uint32_t sizeShift = 0) {
  Bytes b;
  Put16(b, 0);
  Put16(b, 1);
  Put16(b, static_cast<uint32_t>(images.size()));
  uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
  for (const IconImageSpec& i : images) {
    b.push_back(i.width);
    b.push_back(i.height);
    b.push_back(i.colours);
    b.push_back(0);
    Put16(b, 1);
    Put16(b, i.bitCount);
    Put32(b, static_cast<uint32_t>(i.data.size()) + sizeShift);
    Put32(b, offset + offsetShift);
    offset += static_cast<uint32_t>(i.data.size());
  }
  for (const IconImageSpec& i : images) Append(b, i.data);
  return b;
}

// A two-colour 32 x 32 cursor file (326 bytes) with its hot spot.
inline Bytes CursorFile(uint16_t x, uint16_t y) {
  Bytes b;
  Put16(b, 0);
  Put16(b, 2);
  Put16(b, 1);
  b.push_back(32);
  b.push_back(32);
  b.push_back(2);
  b.push_back(0);
  Put16(b, x);
  Put16(b, y);
  Put32(b, 304);
  Put32(b, 22);
  Put32(b, 40);
  Put32(b, 32);
  Put32(b, 64);
  Put16(b, 1);
  Put16(b, 1);
  for (int i = 0; i < 6; ++i) Put32(b, 0);
  Put32(b, 0);
  Put32(b, 0x00FFFFFF);
  for (int row = 0; row < 32; ++row) Put32(b, row < 16 ? 0xFFFF0000u : 0x0000FFFFu);  // colour
  for (int row = 0; row < 32; ++row) Put32(b, 0);                                     // mask
  return b;
}

// A bitmap file of 8 x 8 pixels at 24 bits.
inline Bytes BitmapFile() {
  Bytes b;
  b.push_back('B');
  b.push_back('M');
  Put32(b, 14 + 40 + 192);
  Put32(b, 0);
  Put32(b, 54);
  Put32(b, 40);
  Put32(b, 8);
  Put32(b, 8);
  Put16(b, 1);
  Put16(b, 24);
  for (int i = 0; i < 6; ++i) Put32(b, 0);
  for (int i = 0; i < 64; ++i) {
    b.push_back(static_cast<uint8_t>(i * 4));  // blue
    b.push_back(0x40);
    b.push_back(0xC0);
  }
  return b;
}

inline bool WriteWholeFile(const std::wstring& name, const Bytes& b) {
  HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD n = 0;
  bool ok = WriteFile(h, b.data(), static_cast<DWORD>(b.size()), &n, nullptr) && n == b.size();
  CloseHandle(h);
  return ok;
}

inline Bytes ReadWholeFile(const std::wstring& name) {
  Bytes b;
  HANDLE h = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return b;
  uint8_t buf[65536];
  DWORD n;
  while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n) b.insert(b.end(), buf, buf + n);
  CloseHandle(h);
  return b;
}

// Term lists and records in test memory (one test at a time).
struct Terms {
  std::deque<ilist_struct> ints;
  std::deque<slist_struct> strs;
  std::deque<std::wstring> texts;
  std::deque<rect_struct> rects;
  std::deque<wdef> wdefs;
  std::deque<windef> defs;
  std::deque<windef_list_struct> defCells;
  std::deque<menu_item> items;
  std::deque<menu_item_list_struct> itemCells;
  std::deque<menu_struct> menus;
  std::deque<QelResource::versioninfo_pair> pairs;
  std::deque<QelResource::versioninfo_pairlist> pairCells;
  std::deque<QelResource::versioninfo_block> blocks;
  std::deque<QelResource::versioninfo_blocklist> blockCells;

  template <class Cell, class Value>
  static Cell* List(std::deque<Cell>& cells, const std::vector<Value>& values) {
    return kwitest::BuildList(cells, values);
  }
  const u16* Text(const std::wstring& s) {
    texts.push_back(s);
    return texts.back().c_str();
  }
  ilist_struct* Ints(const std::vector<intptr_t>& v) { return List(ints, v); }
  slist_struct* Strs(const std::vector<std::wstring>& v) {
    std::vector<const u16*> kept;
    for (const std::wstring& s : v) kept.push_back(Text(s));
    return List(strs, kept);
  }
  wdef* Wdef(int type, rect_struct r, const std::wstring& title, int dlgUnits = 1) {
    rects.push_back(r);
    wdefs.push_back({type, &rects.back(), Text(title), dlgUnits});
    return &wdefs.back();
  }
  windef* Def(uintptr_t alt, std::vector<LONG_PTR> words) {
    windef d{alt, {0, 0, 0, 0}};
    for (size_t i = 0; i < words.size() && i < 4; ++i) d.w[i] = words[i];
    defs.push_back(d);
    return &defs.back();
  }
  windef* Dlg(wdef* w, const std::vector<intptr_t>& flags) {
    return Def(wd_dlg, {reinterpret_cast<LONG_PTR>(w), reinterpret_cast<LONG_PTR>(Ints(flags))});
  }
  windef* Ctl(wdef* w, int id, const std::vector<intptr_t>& flags) {
    return Def(wd_ctl, {reinterpret_cast<LONG_PTR>(w), id, reinterpret_cast<LONG_PTR>(Ints(flags))});
  }
  windef_list_struct* Defs(const std::vector<windef*>& v) { return List(defCells, v); }
  menu_item* Txt(int id, const std::wstring& text, bool enabled, int state,
                 const std::vector<menu_item*>& sub = {}) {
    items.push_back({1, {id, reinterpret_cast<LONG_PTR>(Text(text)), 0, enabled ? 1 : 0, state,
                         reinterpret_cast<LONG_PTR>(List(itemCells, sub))}});
    return &items.back();
  }
  menu_item* Item(uintptr_t functor) {
    items.push_back({functor, {}});
    return &items.back();
  }
  menu_struct* DynMenu(const std::vector<menu_item*>& v) {
    menus.push_back({2, reinterpret_cast<uintptr_t>(List(itemCells, v))});
    return &menus.back();
  }
  QelResource::versioninfo_blocklist* Blocks(
      const std::vector<std::pair<uint32_t, std::vector<std::pair<std::wstring, std::wstring>>>>& v) {
    std::vector<QelResource::versioninfo_block*> kept;
    for (const auto& [langCp, kv] : v) {
      std::vector<QelResource::versioninfo_pair*> ps;
      for (const auto& [k, val] : kv) {
        pairs.push_back({Text(k), Text(val)});
        ps.push_back(&pairs.back());
      }
      blocks.push_back({static_cast<uint16_t>(langCp >> 16), static_cast<uint16_t>(langCp), List(pairCells, ps)});
      kept.push_back(&blocks.back());
    }
    return List(blockCells, kept);
  }
};

// A scratch folder of the test process.
inline std::wstring ScratchDir() {
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  std::wstring dir = std::wstring(tmp) + L"restest-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(dir.c_str(), nullptr);
  return dir;
}

// The folder an environment variable names (ASCII), or "".
inline std::wstring EnvFolder(const char* variable) {
  const char* d = getenv(variable);
  std::string s = d ? d : "";
  return std::wstring(s.begin(), s.end());
}

// Removes a scratch folder and the files in it.
inline void RemoveScratch(const std::wstring& dir) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((dir + L"\\" + fd.cFileName).c_str());
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryW(dir.c_str());
}

}  // namespace restest
