// Colour table and associations, and their exported functions.
//
// Invariants: after `InitColourTables` every scheme holds 22 entries and the
// association table 1..127 entries, each an upper-cased extension of at
// most 127 characters with a scheme 0..4.  Setters check everything before
// they store, so a raised 6912 leaves the tables as they were (merging
// associations keeps the elements before the bad one).
#include "colors.h"

#include <windows.h>

#include <cstring>

#include "qel6edit.h"
#include "qel6kernel.h"
#include "dictionary.h"
#include "lexer.h"
#include "qel6kwi.h"
#include "record.h"
#include "settings.h"

namespace QEL_EDIT {
namespace detail {

namespace K = Qel::RunTime::Kernel;

namespace {

constexpr uint32_t S = kSystemColour;

// Defaults of schemes 0 to 3, by colour code.
constexpr ColourEntry kDefaults[kColourCodes] = {
    {S, S, 0},        {S, S, 0},        {0x008000, S, 0}, {0xFF0000, S, 0}, {0x0000FF, S, 0}, {0xFF0000, S, 0},
    {0xCC3300, S, 0}, {0xFF0000, S, 0}, {0xCC0066, S, 0}, {0xFF0000, S, 0}, {0x008080, S, 1}, {0x800080, S, 1},
    {0x993333, S, 1}, {0x003300, S, 1}, {0xFF0000, S, 0}, {0x000000, S, 0}, {0x003399, S, 0}, {0x800080, S, 0},
    {0x0000FF, S, 0}, {0x008000, S, 0}, {S, S, 0},        {0x808080, S, 0}};

struct Association {
  wchar_t extension[kMaxExtension + 1];
  int32_t length;
  int32_t scheme;
};

struct Tables {
  bool initialised = false;
  ColourEntry colours[kSchemes][kColourCodes];
  Association associations[kMaxAssociations];
  int32_t associationCount = 0;
};
Tables tables;

int32_t UpperInto(const wchar_t* src, int32_t n, wchar_t* dst) {
  for (int32_t i = 0; i < n; ++i) dst[i] = src[i];
  dst[n] = 0;
  if (n) CharUpperBuffW(dst, static_cast<DWORD>(n));
  return n;
}

void Append(const wchar_t* upper, int32_t n, int32_t scheme) {
  Association& a = tables.associations[tables.associationCount++];
  std::memcpy(a.extension, upper, n * sizeof(wchar_t));
  a.extension[n] = 0;
  a.length = n;
  a.scheme = scheme;
}

// The first entry with exactly this upper-cased extension, or -1.
int32_t FindAssociation(const wchar_t* upper, int32_t n) {
  for (int32_t i = 0; i < tables.associationCount; ++i) {
    const Association& a = tables.associations[i];
    if (a.length == n && std::memcmp(a.extension, upper, n * sizeof(wchar_t)) == 0) return i;
  }
  return -1;
}

void CheckRange(int32_t type, int32_t scheme) {
  if (scheme < 0 || scheme >= kSchemes || type < 1 || type > kColourCodes) Raise(err_scheme);
}

}  // namespace

void InitColourTables() {
  if (tables.initialised) return;
  tables.initialised = true;
  for (int32_t s = 0; s < 4; ++s) std::memcpy(tables.colours[s], kDefaults, sizeof kDefaults);
  for (int32_t c = 0; c < kColourCodes; ++c) tables.colours[4][c] = {S, S, 0};
  tables.colours[4][19].fore = 0x008000;
  static const struct {
    const wchar_t* ext;
    int32_t scheme;
  } kAssociations[] = {{L"PRO", 0}, {L"PRE", 0}, {L"CON", 0}, {L"INC", 0},  {L"DOM", 0}, {L"PH", 0},
                       {L"PRC", 0}, {L"RC", 1},  {L"DEF", 2}, {L"PACK", 0}, {L"I", 0},   {L"CL", 0}};
  tables.associationCount = 0;
  for (const auto& a : kAssociations) Append(a.ext, static_cast<int32_t>(wcslen(a.ext)), a.scheme);
}

ColourEntry StoredColour(int32_t scheme, int32_t code) { return tables.colours[scheme][code]; }

SystemColours CurrentSystemColours() {
  InitColourTables();
  auto attr = [](int a) { return static_cast<uint32_t>(QEL_KWI::kwi_GetAttrVal(a)); };
  return {attr(123), attr(121), attr(114), attr(113)};
}

Look LookOf(int32_t scheme, int32_t code, const SystemColours& system) {
  if (code == 200) code = 0;
  if (code == 201) code = 20;
  if (code < 0 || code >= kColourCodes) code = 0;
  if (scheme < 0 || scheme >= kSchemes) scheme = 4;
  const ColourEntry& e = tables.colours[scheme][code];
  const bool selection = code == 20;
  Look l;
  l.fore = e.fore == S ? (selection ? system.highlightText : system.text) : e.fore;
  l.back = e.back == S ? (selection ? system.highlight : system.window) : e.back;
  l.style = e.style;
  return l;
}

Look LookOf(int32_t scheme, int32_t code) { return LookOf(scheme, code, CurrentSystemColours()); }

int32_t SchemeOfTitle(const wchar_t* title) {
  InitColourTables();
  if (!title) return 4;
  const int32_t len = static_cast<int32_t>(wcslen(title));
  int32_t from = 0;
  for (int32_t i = len - 1; i >= 1; --i)
    if (title[i] == L'.') {
      from = i + 1;
      break;
    }
  const int32_t n = len - from;
  if (n > kMaxExtension) return 4;
  wchar_t upper[kMaxExtension + 1];
  UpperInto(title + from, n, upper);
  const int32_t i = FindAssociation(upper, n);
  return i < 0 ? 4 : tables.associations[i].scheme;
}

}  // namespace detail

using namespace detail;

color_settings_struct* edit_GetColorSettings(const color_type_struct* type, int32_t scheme) {
  InitColourTables();
  CheckRange(type ? type->type : 0, scheme);
  const ColourEntry& e = tables.colours[scheme][type->type - 1];
  auto* r = reinterpret_cast<color_settings_struct*>(K::Memory::AllocGStack(sizeof(color_settings_struct)));
  r->fore = e.fore;
  r->back = e.back;
  r->style = e.style;
  return r;
}

void edit_SetColorSettings(const color_type_struct* type, int32_t scheme, const color_settings_struct* settings) {
  InitColourTables();
  CheckRange(type ? type->type : 0, scheme);
  if (!settings) Raise(err_scheme);
  ColourEntry& e = tables.colours[scheme][type->type - 1];
  e.fore = settings->fore;
  e.back = settings->back;
  e.style = static_cast<uint8_t>(settings->style);
}

void edit_SetAssociations(const _assoc_list* list) {
  InitColourTables();
  for (const _assoc_list* c = list; c && c->functor == QEL_KWI::ListCons; c = c->next) {
    const assoc_struct* a = c->value;
    const wchar_t* ext = a && a->extension ? a->extension : L"";
    const size_t len = wcslen(ext);
    if (tables.associationCount >= kMaxAssociations || len > static_cast<size_t>(kMaxExtension)) return;
    if (!a || a->scheme < 0 || a->scheme >= kSchemes) Raise(err_scheme);
    wchar_t upper[kMaxExtension + 1];
    const int32_t n = UpperInto(ext, static_cast<int32_t>(len), upper);
    bool found = false;
    for (int32_t i = 0; i < tables.associationCount; ++i) {
      Association& t = tables.associations[i];
      if (t.length == n && std::memcmp(t.extension, upper, n * sizeof(wchar_t)) == 0) {
        t.scheme = a->scheme;
        found = true;
      }
    }
    if (!found) Append(upper, n, a->scheme);
  }
}

_assoc_list* edit_GetAssociations() {
  InitColourTables();
  auto* tail = reinterpret_cast<_assoc_list*>(K::Memory::AllocGStack(sizeof(_assoc_list)));
  tail->functor = QEL_KWI::ListNil;
  tail->value = nullptr;
  tail->next = nullptr;
  _assoc_list* head = tail;
  // Built from the first entry on, each new cell in front: the last entry comes first.
  for (int32_t i = 0; i < tables.associationCount; ++i) {
    const Association& t = tables.associations[i];
    if (t.scheme == 4) continue;
    auto* a = reinterpret_cast<assoc_struct*>(K::Memory::AllocGStack(sizeof(assoc_struct)));
    wchar_t* s = K::Memory::AllocGStackString(static_cast<uint32_t>(t.length));
    std::memcpy(s, t.extension, t.length * sizeof(wchar_t));
    a->extension = s;
    a->scheme = t.scheme;
    auto* cell = reinterpret_cast<_assoc_list*>(K::Memory::AllocGStack(sizeof(_assoc_list)));
    cell->functor = QEL_KWI::ListCons;
    cell->value = a;
    cell->next = head;
    head = cell;
  }
  return head;
}

void edit_SetColoring(LONG_PTR window, int32_t scheme) {
  EditorRecord* ed = EditorData(window);
  if (scheme < 0 || scheme >= kSchemes) Raise(err_scheme);
  ed->colorScheme = scheme;
  BuildKeywordTable(ed);
  if (!ed->wrappable) StoreAllLineStates(ed);
  QEL_KWI::win_Invalidate_0(window);
}

void edit_SetKeyWords(const QEL_KWI::slist_struct* words, int32_t exact) { SetUserKeywords(words, exact != 0); }

}  // namespace QEL_EDIT
