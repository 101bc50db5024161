// string and string_exception.  Invariants: a fresh result is one atomic
// heap block allocated after every check has passed (an exception leaves no
// block a caller can see); lengths and ends are computed in 64 bits; no
// operation recurses on the size of its input.
#include "string/string.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string_view>

#include "exception/exception.h"
#include "memory/memory.h"
#include "qel6run_lib.h"

namespace tav {

const ClassInfo string::classInfo{L"com/corvane/string/string", TAV_CLASS_VERSION};
const ClassInfo string_exception::classInfo{L"com/corvane/string/string_exception",
                                            TAV_CLASS_VERSION};
const ExceptionDescriptor string_exception::emptystring{
    &string_exception::classInfo, L"emptystring", L"Empty string is an illegal parameter"};
const ExceptionDescriptor string_exception::outofboundaries{
    &string_exception::classInfo, L"outofboundaries",
    L"The parameter does not meet the boundary conditions"};
const ExceptionDescriptor string_exception::oddoffset{
    &string_exception::classInfo, L"oddoffset", L"Unicode string cannot have odd byte offset"};

void string_exception::raise_emptystring(const ClassInfo* ci) {
  exception::raise_withpos(ci, programControl::getlastsavedsourceposition(), &emptystring);
}
void string_exception::raise_outofboundaries(const ClassInfo* ci, uint32_t position,
                                             uint32_t length) {
  exception::raise_withpos(ci, programControl::getlastsavedsourceposition(), &outofboundaries,
                           Values({{L"String position", value::unsigned_(position)},
                                   {L"String length", value::unsigned_(length)}}));
}
void string_exception::raise_oddoffset(const ClassInfo* ci, uint32_t offset) {
  exception::raise_withpos(ci, programControl::getlastsavedsourceposition(), &oddoffset,
                           Values({{L"Offset", value::unsigned_(offset)}}));
}

// --- lists ---

static const uint64_t kNilWord = 2;
const StringList* EmptyStringList() { return reinterpret_cast<const StringList*>(&kNilWord); }

const StringList* MakeStringList(std::initializer_list<const wchar_t*> items) {
  auto* cells = static_cast<StringList*>(
      GStackAlloc(static_cast<uint32_t>(items.size() * sizeof(StringList))));
  size_t i = 0;
  for (const wchar_t* s : items) {
    cells[i] = StringList{1, s, i + 1 < items.size() ? &cells[i + 1] : EmptyStringList()};
    ++i;
  }
  return items.size() ? cells : EmptyStringList();
}

// Builds a list front to back on the global stack.  The cells grow as one
// block at the top of the global stack while nothing else is allocated
// there; otherwise a new block starts.
class ListBuilder {
 public:
  void Add(const wchar_t* s) {
    if (count_ == capacity_) Grow();
    StringList* cell = &cells_[count_++];
    *cell = StringList{1, s, EmptyStringList()};
    if (last_) last_->tail = cell;
    else first_ = cell;
    last_ = cell;
  }
  const StringList* List() {
    if (cells_) K::Memory::AdjustGStackAlloc(cells_, count_ * sizeof(StringList));
    return first_ ? first_ : EmptyStringList();
  }

 private:
  void Grow() {
    if (cells_ && K::Memory::MarkGStack() == reinterpret_cast<uint8_t*>(cells_ + capacity_) &&
        capacity_ < (1u << 20)) {
      capacity_ *= 2;
      K::Memory::AdjustGStackAlloc(cells_, capacity_ * sizeof(StringList));
      return;
    }
    if (cells_) K::Memory::AdjustGStackAlloc(cells_, count_ * sizeof(StringList));
    capacity_ = 64;
    count_ = 0;
    cells_ = static_cast<StringList*>(GStackAlloc(capacity_ * sizeof(StringList)));
  }
  StringList* cells_ = nullptr;
  uint32_t count_ = 0, capacity_ = 0;
  StringList* first_ = nullptr;
  StringList* last_ = nullptr;
};

// --- building ---

// Most texts here are short: a plain loop beats a call into the C library.
static uint32_t Length(const wchar_t* s) {
  const wchar_t* p = s;
  while (*p) ++p;
  return static_cast<uint32_t>(p - s);
}

// The bounds check: `end` (a position or an end) must not pass `length`.
static void CheckPosition(uint64_t end, uint32_t length) {
  if (end > length)
    string_exception::raise_outofboundaries(
        &string::classInfo, end > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(end), length);
}

wchar_t* string::NewString(uint64_t units) {
  uint32_t bytes = memory::checksize((units + 1) * 2);
  auto* s = static_cast<wchar_t*>(K::Memory::AllocAtomicHeap(bytes));
  s[units] = 0;
  return s;
}

static const wchar_t* Copy(const wchar_t* s, uint32_t n) {
  wchar_t* r = string::NewString(n);
  memcpy(r, s, n * sizeof(wchar_t));
  return r;
}

const wchar_t* string::create(uint32_t length, const wchar_t* fill) {
  if (!fill[0]) {
    if (length) string_exception::raise_emptystring(&classInfo);
    return NewString(0);
  }
  memory::checksize((uint64_t{length} + 1) * 2);
  return CorvaneString::create(length, fill);
}

const wchar_t* string::createcopy(const wchar_t* s) { return Copy(s, Length(s)); }

const wchar_t* string::concat(const wchar_t* a, const wchar_t* b, const wchar_t* c,
                              const wchar_t* d, const wchar_t* e, const wchar_t* f) {
  const wchar_t* parts[6] = {a, b, c, d, e, f};
  uint32_t lengths[6];
  uint64_t sum = 0;
  for (int i = 0; i < 6; ++i) sum += lengths[i] = Length(parts[i]);
  wchar_t* r = NewString(sum);
  wchar_t* at = r;
  for (int i = 0; i < 6; ++i) {
    memcpy(at, parts[i], lengths[i] * sizeof(wchar_t));
    at += lengths[i];
  }
  return r;
}

const wchar_t* string::concatwithdelimiter(const StringList* list, const wchar_t* delimiter) {
  if (list->Empty()) return L"";
  if (list->tail->Empty()) return list->head;
  const uint32_t dl = Length(delimiter);
  uint64_t sum = 0, count = 0;
  for (const StringList* l = list; !l->Empty(); l = l->tail) {
    sum += Length(l->head);
    ++count;
  }
  wchar_t* r = NewString(sum + (count - 1) * dl);
  wchar_t* at = r;
  for (const StringList* l = list; !l->Empty(); l = l->tail) {
    for (const wchar_t* p = l->head; *p;) *at++ = *p++;  // short texts: no call per piece
    if (dl && !l->tail->Empty()) {
      memcpy(at, delimiter, dl * sizeof(wchar_t));
      at += dl;
    }
  }
  return r;
}

const wchar_t* string::concatlist(const StringList* list) { return concatwithdelimiter(list, L""); }

// --- taking apart ---

bool string::frontchar(const wchar_t* s, wchar_t* c, const wchar_t** rest) {
  if (!s[0]) return false;
  *c = s[0];
  *rest = s + 1;
  return true;
}

void string::front(const wchar_t* s, uint32_t count, const wchar_t** first, const wchar_t** last) {
  uint32_t n = Length(s);
  CheckPosition(count, n);
  *first = Copy(s, count);
  *last = s + count;
}

const wchar_t* string::substring(const wchar_t* s, uint32_t position, uint32_t count) {
  CheckPosition(uint64_t{position} + count, Length(s));
  return Copy(s + position, count);
}

wchar_t string::subchar(const wchar_t* s, uint32_t position) {
  CheckPosition(uint64_t{position} + 1, Length(s));
  return s[position];
}

const wchar_t* string::replacepart(const wchar_t* s, uint32_t position, uint32_t length,
                                   const wchar_t* replacement) {
  uint32_t n = Length(s), rl = Length(replacement);
  CheckPosition(uint64_t{position} + length, n);
  wchar_t* r = NewString(uint64_t{n} - length + rl);
  memcpy(r, s, position * sizeof(wchar_t));
  memcpy(r + position, replacement, rl * sizeof(wchar_t));
  memcpy(r + position + rl, s + position + length,
         (uint64_t{n} - position - length) * sizeof(wchar_t));
  return r;
}

// --- search and replace ---

static int32_t ModeNumber(casesensitivity cs) {
  switch (cs) {
    case casesensitivity::casesensitive:
      return 1;
    case casesensitivity::caseinsensitive:
      return 0;
    default:
      return -1;
  }
}

// Case-sensitive replacement: what the runtime's replace gives in mode 1
// (null when nothing is replaced), with one pass to count and one to copy.
static const wchar_t* ReplaceExact(const wchar_t* s, const wchar_t* what, const wchar_t* with,
                                   bool firstOnly) {
  const uint32_t n = Length(s), wl = Length(what), rl = Length(with);
  if (!wl || !n || wl > n) return nullptr;
  std::wstring_view text(s, n);
  uint64_t count = 0;
  for (size_t at = text.find(what, 0, wl); at != std::wstring_view::npos;
       at = firstOnly ? std::wstring_view::npos : text.find(what, at + wl, wl))
    ++count;
  if (!count) return nullptr;
  wchar_t* r = string::NewString(n - count * wl + count * rl);
  wchar_t* out = r;
  size_t from = 0;
  for (uint64_t k = 0; k < count; ++k) {
    size_t at = text.find(what, from, wl);
    memcpy(out, s + from, (at - from) * sizeof(wchar_t));
    out += at - from;
    memcpy(out, with, rl * sizeof(wchar_t));
    out += rl;
    from = at + wl;
  }
  memcpy(out, s + from, (n - from) * sizeof(wchar_t));
  return r;
}

const wchar_t* string::replace(const wchar_t* s, const wchar_t* what, const wchar_t* with,
                               casesensitivity cs) {
  if (cs == casesensitivity::casesensitive) return ReplaceExact(s, what, with, true);
  return CorvaneString::replace(s, what, with, ModeNumber(cs), true);
}

const wchar_t* string::replaceall(const wchar_t* s, const wchar_t* what, const wchar_t* with,
                                  casesensitivity cs) {
  if (cs == casesensitivity::casesensitive) return ReplaceExact(s, what, with, false);
  return CorvaneString::replace(s, what, with, ModeNumber(cs), false);
}

bool string::search(const wchar_t* s, const wchar_t* sub, casesensitivity cs, uint32_t* position) {
  if (!sub[0]) string_exception::raise_emptystring(&classInfo);
  if (cs != casesensitivity::casesensitive) {
    s = touppercase(s);
    sub = touppercase(sub);
  }
  // The first occurrence, as the runtime's search gives it, in one pass over
  // the text (no length first): the pattern holds no zero character, so a
  // candidate's comparison stops at the text's end at the latest.
  const wchar_t first = sub[0];
  for (const wchar_t* p = s; *p; ++p) {
    if (*p != first) continue;
    const wchar_t* a = p + 1;
    const wchar_t* b = sub + 1;
    while (*b && *a == *b) ++a, ++b;
    if (!*b) {
      *position = static_cast<uint32_t>(p - s);
      return true;
    }
  }
  return false;
}

bool string::searchchar(const wchar_t* s, wchar_t c, casesensitivity cs, uint32_t* position) {
  if (c == 0) return false;
  const wchar_t one[2] = {c, 0};
  return search(s, one, cs, position);
}

bool string::fronttoken(const wchar_t* s, const wchar_t** token, const wchar_t** rest) {
  wchar_t* t;
  if (!CorvaneString::frontToken(s, &t, rest)) return false;
  *token = t;
  return true;
}

// --- case ---

const wchar_t* string::touppercase(const wchar_t* s) {
  uint32_t n = Length(s);
  wchar_t* r = const_cast<wchar_t*>(Copy(s, n));
  if (n) CharUpperBuffW(r, n);
  return r;
}

const wchar_t* string::tolowercase(const wchar_t* s) {
  uint32_t n = Length(s);
  wchar_t* r = const_cast<wchar_t*>(Copy(s, n));
  if (n) CharLowerBuffW(r, n);
  return r;
}

bool string::isuppercase(const wchar_t* s) { return wcscmp(touppercase(s), s) == 0; }
bool string::islowercase(const wchar_t* s) { return wcscmp(tolowercase(s), s) == 0; }

bool string::equalignorecase(const wchar_t* a, const wchar_t* b) {
  return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

bool string::hasdecimaldigits(const wchar_t* s) {
  if (!s[0]) return false;
  for (; *s; ++s)
    if (*s < L'0' || *s > L'9') return false;
  return true;
}

bool string::hasalpha(const wchar_t* s) { return s[0] && CorvaneString::isAlpha(s); }

wchar_t string::charupper(wchar_t c) {
  return static_cast<wchar_t>(reinterpret_cast<uintptr_t>(
      CharUpperW(reinterpret_cast<LPWSTR>(static_cast<uintptr_t>(static_cast<uint16_t>(c))))));
}

wchar_t string::charlower(wchar_t c) {
  return static_cast<wchar_t>(reinterpret_cast<uintptr_t>(
      CharLowerW(reinterpret_cast<LPWSTR>(static_cast<uintptr_t>(static_cast<uint16_t>(c))))));
}

const wchar_t* string::chartostring(wchar_t c) {
  auto* s = static_cast<wchar_t*>(GStackAlloc(2 * sizeof(wchar_t)));
  s[0] = c;
  s[1] = 0;
  return s;
}

const wchar_t* string::trim(const wchar_t* s) {
  return CorvaneString::trimLast(CorvaneString::trimFront(s));
}

const wchar_t* string::format(const wchar_t* format, const T::REllipsisArg* args) {
  return CorvaneString::Format2StringProlog(format, args);
}

bool string::isvalidtoread(const wchar_t* s) {
  return !K::OSInterface::OSIsBadStringPtr(s, 0xFFFFFFFFu);
}

// --- splitting and sorting ---

const StringList* string::split_delimiter(const wchar_t* s, const wchar_t* delimiter) {
  if (!delimiter[0]) string_exception::raise_emptystring(&classInfo);
  const uint32_t dl = Length(delimiter);
  ListBuilder out;
  std::wstring_view text(s);
  // The fresh fields share one atomic block: each field's terminator takes
  // the place of the delimiter after it, so the text's length is room enough.
  wchar_t* fields = nullptr;
  size_t from = 0;
  for (size_t at; (at = text.find(delimiter, from, dl)) != std::wstring_view::npos; from = at + dl) {
    if (!fields) fields = NewString(text.size());
    wchar_t* field = fields + from;
    memcpy(field, s + from, (at - from) * sizeof(wchar_t));
    field[at - from] = 0;
    out.Add(field);
  }
  out.Add(s + from);
  return out.List();
}

const StringList* string::split_length(const wchar_t* s, const uint32_t* lengths, uint32_t count) {
  uint32_t rest = Length(s);
  for (uint32_t i = 0; i < count; ++i) {  // every check before any allocation
    CheckPosition(lengths[i], rest);
    rest -= lengths[i];
  }
  ListBuilder out;
  for (uint32_t i = 0; i < count; ++i) {
    out.Add(Copy(s, lengths[i]));
    s += lengths[i];
  }
  return out.List();
}

bool string::splitstringbyseparators(const wchar_t* s, const wchar_t* separators,
                                     const wchar_t** front, wchar_t* separator,
                                     const wchar_t** rest) {
  size_t at = wcscspn(s, separators);
  if (!s[at]) return false;
  *front = Copy(s, static_cast<uint32_t>(at));
  *separator = s[at];
  *rest = s + at + 1;
  return true;
}

// A stable sort of the lower-cased texts that drops exact duplicates: what
// collecting the insertion tree in order gives, without its recursion.
const StringList* string::sortbytree(const StringList* list) {
  struct Item {
    const wchar_t* text;
    const wchar_t* lower;
    uint64_t index;
  };
  uint64_t n = 0;
  for (const StringList* l = list; !l->Empty(); l = l->tail) ++n;
  if (n == 0) return EmptyStringList();
  auto* items = static_cast<Item*>(GStackAlloc(memory::checksize(n * sizeof(Item))));
  uint64_t i = 0;
  for (const StringList* l = list; !l->Empty(); l = l->tail, ++i)
    items[i] = Item{l->head, tolowercase(l->head), i};
  // By lower-cased text, then exact text, then input order: exact duplicates
  // become neighbours with the first one in front.
  std::sort(items, items + n, [](const Item& a, const Item& b) {
    if (int c = wcscmp(a.lower, b.lower)) return c < 0;
    if (int c = wcscmp(a.text, b.text)) return c < 0;
    return a.index < b.index;
  });
  uint64_t kept = 0;
  for (i = 0; i < n; ++i)
    if (kept == 0 || wcscmp(items[kept - 1].text, items[i].text) != 0) items[kept++] = items[i];
  // Texts equal but for case keep their input order.
  for (uint64_t start = 0; start < kept;) {
    uint64_t end = start + 1;
    while (end < kept && wcscmp(items[end].lower, items[start].lower) == 0) ++end;
    if (end - start > 1)
      std::sort(items + start, items + end,
                [](const Item& a, const Item& b) { return a.index < b.index; });
    start = end;
  }
  auto* cells = static_cast<StringList*>(
      GStackAlloc(memory::checksize(kept * sizeof(StringList))));
  for (i = 0; i < kept; ++i)
    cells[i] = StringList{1, items[i].text, i + 1 < kept ? &cells[i + 1] : EmptyStringList()};
  return cells;
}

// --- identifiers ---

static bool NameChar(wchar_t c) {
  const wchar_t one[2] = {c, 0};
  return c == L'_' || string::hasalpha(one);
}
static bool RestChars(const wchar_t* s) {
  for (; *s; ++s)
    if (!NameChar(*s) && !(*s >= L'0' && *s <= L'9')) return false;
  return true;
}
static bool FirstIs(const wchar_t* s, bool upper) {
  const wchar_t one[2] = {s[0], 0};
  return s[0] && string::hasalpha(one) &&
         (upper ? string::isuppercase(one) : string::islowercase(one));
}
static bool MemberName(const wchar_t* s) { return FirstIs(s, false) && RestChars(s + 1); }

bool string::isname(const wchar_t* s) { return s[0] && NameChar(s[0]) && RestChars(s + 1); }

bool string::isclassidentifier(const wchar_t* className, const wchar_t* memberName) {
  return MemberName(memberName) && (!className[0] || MemberName(className));
}

bool string::isobjectidentifier(const wchar_t* objectName, const wchar_t* memberName) {
  return FirstIs(objectName, true) && RestChars(objectName + 1) && MemberName(memberName);
}

}  // namespace tav
