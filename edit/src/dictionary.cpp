// Keyword dictionaries: buckets of link words over appended entries, and the
// built-in keyword lists.
//
// Entries are only ever appended; a block once allocated stays until the
// dictionary is freed.  A refused insert changes nothing.  The upper-cased
// key of the last lookup and the link slot where it stopped are kept in
// the header, so an insert after a failed lookup needs no second walk.
#include "dictionary.h"

#include <windows.h>

#include <cstring>

#include "lexer.h"
#include "qel6kernel.h"
#include "record.h"

namespace QEL_EDIT::detail {

namespace K = Qel::RunTime::Kernel;

namespace {

constexpr uint32_t kBlockSize = 4096;
constexpr uint32_t kMaxBlocks = 7;
constexpr uint32_t kBuckets = 251;

}  // namespace

struct Dictionary {
  uint32_t blocksUsed;   // 1..7
  uint32_t fill;         // bytes used in the current block
  uint32_t payloadSize;
  uint32_t cachedIndex;  // the block last resolved
  uint8_t* cachedBase;
  uint8_t* stopSlot;     // link word where the last lookup stopped
  wchar_t key[256];      // the upper-cased word of the last lookup
  uint32_t firsts[8];    // bit (c & 255) set for every upper-cased first character c
  uint8_t* blocks[kMaxBlocks + 1];  // [1] is `first`
  uint32_t buckets[kBuckets];
  alignas(8) uint8_t first[kBlockSize];
};

namespace {

wchar_t Upper(wchar_t c) {
  if (c < 128) return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c;
  return static_cast<wchar_t>(reinterpret_cast<ULONG_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(c)))));
}

uint32_t LoadLink(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
void StoreLink(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

uint8_t* Block(Dictionary* d, uint32_t index) {
  if (index != d->cachedIndex) {
    d->cachedIndex = index;
    d->cachedBase = d->blocks[index];
  }
  return d->cachedBase;
}

// Bucket of an already upper-cased key.
uint32_t HashUpper(const wchar_t* key, int32_t length) {
  uint32_t sum = 0;
  int shift = 3;
  for (int32_t i = 0; i < length; ++i) {
    const uint16_t c = key[i];
    sum += static_cast<uint32_t>(c & 0xFF) << shift;
    shift = shift ? shift - 1 : 3;
    sum += static_cast<uint32_t>(c >> 8) << shift;
    shift = shift ? shift - 1 : 3;
  }
  return sum % kBuckets;
}

bool SameWord(const wchar_t* stored, const wchar_t* word, int32_t length) {
  for (int32_t i = 0; i < length; ++i)
    if (stored[i] != word[i]) return false;
  return stored[length] == 0;
}

}  // namespace

uint32_t DictHash(const wchar_t* word, int32_t length) {
  wchar_t key[kMaxWordLength + 1];
  if (length > kMaxWordLength) length = kMaxWordLength;
  for (int32_t i = 0; i < length; ++i) key[i] = Upper(word[i]);
  return HashUpper(key, length);
}

Dictionary* DictCreate(int32_t payloadSize) {
  if (payloadSize < 0 || payloadSize > kMaxPayload) return nullptr;
  auto* d = static_cast<Dictionary*>(K::Memory::AllocUncollectableHeap(sizeof(Dictionary)));
  if (!d) return nullptr;
  std::memset(d, 0, sizeof *d);
  d->blocksUsed = 1;
  d->payloadSize = static_cast<uint32_t>(payloadSize);
  d->blocks[1] = d->first;
  return d;
}

void DictFree(Dictionary* d) {
  if (!d) return;
  for (uint32_t i = 2; i <= d->blocksUsed; ++i) K::Memory::ReleaseHeap(d->blocks[i]);
  K::Memory::ReleaseHeap(d);
}

int32_t DictLookup(Dictionary* d, const wchar_t* word, int32_t length, void* payload) {
  if (length < 0 || length > kMaxWordLength) return 0;
  // Most tokens are no keyword: their first character already tells.
  const wchar_t c0 = length ? Upper(word[0]) : 0;
  if (length && !(d->firsts[(c0 & 255) >> 5] >> (c0 & 31) & 1)) {
    d->stopSlot = nullptr;
    return 0;
  }
  int32_t n = 0;
  while (n < length && word[n]) {
    d->key[n] = Upper(word[n]);
    ++n;
  }
  d->key[n] = 0;
  length = n;
  uint8_t* slot = reinterpret_cast<uint8_t*>(&d->buckets[HashUpper(d->key, length)]);
  for (;;) {
    const uint32_t link = LoadLink(slot);
    const uint32_t block = (link >> 1) & 7;
    if (block == 0) break;
    uint8_t* entry = Block(d, block) + ((link >> 4) & 0xFFF);
    const bool exact = LoadLink(entry) & 1;
    const auto* stored = reinterpret_cast<const wchar_t*>(entry + 4 + d->payloadSize);
    if (SameWord(stored, exact ? word : d->key, length)) {
      if (payload) std::memcpy(payload, entry + 4, d->payloadSize);
      return 1;
    }
    slot = entry;
  }
  d->stopSlot = slot;
  return 0;
}

int32_t DictInsert(Dictionary* d, const wchar_t* word, int32_t length, const void* payload, bool exact) {
  if (length < 0 || length > kMaxWordLength) return 0;
  // Mark the first character before the lookup, so that it walks the chain.
  const wchar_t c0 = length ? Upper(word[0]) : 0;
  d->firsts[(c0 & 255) >> 5] |= 1u << (c0 & 31);
  if (DictLookup(d, word, length, nullptr)) return 0;
  const uint32_t need = 4 + d->payloadSize + 2 * (static_cast<uint32_t>(length) + 1);
  if (kBlockSize - d->fill < need) {
    if (d->blocksUsed == kMaxBlocks) return 0;
    auto* block = static_cast<uint8_t*>(K::Memory::AllocAtomicHeap(kBlockSize));
    if (!block) return 0;
    d->blocks[++d->blocksUsed] = block;
    d->fill = 0;
  }
  const uint32_t offset = d->fill;
  uint8_t* entry = d->blocks[d->blocksUsed] + offset;
  // The stop slot keeps its own exactness bit; only the link bits change.
  const uint32_t old = LoadLink(d->stopSlot);
  StoreLink(d->stopSlot, (old & 1) | (d->blocksUsed << 1) | (offset << 4));
  StoreLink(entry, exact ? 1 : 0);
  if (d->payloadSize) std::memcpy(entry + 4, payload, d->payloadSize);
  auto* stored = reinterpret_cast<wchar_t*>(entry + 4 + d->payloadSize);
  const wchar_t* src = exact ? word : d->key;
  // The key stops at a zero character; the stored word does the same.
  int32_t n = 0;
  while (n < length && src[n]) {
    stored[n] = src[n];
    ++n;
  }
  stored[n] = 0;
  d->fill += need;
  return 1;
}

// ---------------------------------------------------------------------------
// Built-in keyword lists.

namespace {

constexpr KeywordEntry kScheme0[] = {
    {L"#error", 11, 1},     {L"#include", 11, 1},   {L"#bininclude", 11, 1}, {L"#requires", 11, 1},
    {L"#orrequires", 11, 1}, {L"#if", 11, 1},       {L"#then", 11, 1},       {L"#else", 11, 1},
    {L"#elseif", 11, 1},    {L"#endif", 11, 1},     {L"align", 12, 1},       {L"and", 12, 1},
    {L"anyflow", 12, 1},    {L"as", 12, 1},         {L"bitsize", 12, 1},     {L"determ", 12, 1},
    {L"digits", 12, 1},     {L"erroneous", 12, 1},  {L"externally", 12, 1},  {L"failure", 12, 1},
    {L"from", 12, 1},       {L"language", 12, 1},   {L"multi", 12, 1},       {L"nondeterm", 12, 1},
    {L"or", 12, 1},         {L"procedure", 12, 1},  {L"single", 12, 1},      {L"to", 12, 1},
    {L"@short", 13, 1},     {L"class", 10, 1},      {L"clauses", 10, 1},     {L"constants", 10, 1},
    {L"constructors", 10, 1}, {L"delegate", 10, 1}, {L"div", 10, 1},         {L"domains", 10, 1},
    {L"end", 10, 1},        {L"facts", 10, 1},      {L"goal", 10, 1},        {L"guards", 10, 1},
    {L"implement", 10, 1},  {L"interface", 10, 1},  {L"inherits", 10, 1},    {L"mod", 10, 1},
    {L"monitor", 10, 1},    {L"open", 10, 1},       {L"predicates", 10, 1},  {L"reference", 10, 1},
    {L"resolve", 10, 1},    {L"supports", 10, 1},   {L"", 0, 0}};

constexpr KeywordEntry kScheme1[] = {
    {L"accelerators", 10, 0}, {L"bitmap", 10, 0},    {L"caption", 10, 0},      {L"checkbox", 10, 0},
    {L"class", 10, 0},        {L"combobox", 10, 0},  {L"control", 10, 0},      {L"ctext", 10, 0},
    {L"cursor", 10, 0},       {L"defpushbutton", 10, 0}, {L"dialog", 10, 0},   {L"dlgtemplate", 10, 0},
    {L"edittext", 10, 0},     {L"font", 10, 0},      {L"groupbox", 10, 0},     {L"icon", 10, 0},
    {L"listbox", 10, 0},      {L"ltext", 10, 0},     {L"menu", 10, 0},         {L"menuitem", 10, 0},
    {L"popup", 10, 0},        {L"pushbutton", 10, 0}, {L"radiobutton", 10, 0}, {L"rcdata", 10, 0},
    {L"rtext", 10, 0},        {L"scrollbar", 10, 0}, {L"separator", 10, 0},    {L"stringtable", 10, 0},
    {L"style", 10, 0},        {L"versioninfo", 10, 0}, {L"begin", 10, 0},      {L"end", 10, 0},
    {L"", 0, 0}};

constexpr KeywordEntry kScheme2[] = {{L"description", 10, 0}, {L"exetype", 10, 0}, {L"protmode", 10, 0},
                                     {L"stub", 10, 0},        {L"heapsize", 10, 0}, {L"stacksize", 10, 0},
                                     {L"", 0, 0}};

KeywordEntry userKeywords[kUserKeywords + 1];  // the last stays empty
const KeywordEntry kNone[] = {{L"", 0, 0}};

}  // namespace

const KeywordEntry* SchemeKeywords(int32_t scheme, int32_t* count) {
  const KeywordEntry* list = scheme == 0   ? kScheme0
                             : scheme == 1 ? kScheme1
                             : scheme == 2 ? kScheme2
                             : scheme == 3 ? userKeywords
                                           : kNone;
  int32_t n = 0;
  while (list[n].word[0]) ++n;
  *count = n;
  return list;
}

void SetUserKeywords(const QEL_KWI::slist_struct* words, bool exact) {
  int32_t i = 0;
  for (const auto* c = words; c && c->functor == QEL_KWI::ListCons && i < kUserKeywords; c = c->next, ++i) {
    KeywordEntry& e = userKeywords[i];
    std::memset(&e, 0, sizeof e);
    const wchar_t* w = c->value ? c->value : L"";
    for (int k = 0; k < 14 && w[k]; ++k) e.word[k] = w[k];
    e.code = cc_keyword;
    e.exact = exact;
  }
  for (; i < kUserKeywords; ++i) std::memset(&userKeywords[i], 0, sizeof userKeywords[i]);
}

void FreeKeywordTable(EditorRecord* ed) {
  DictFree(static_cast<Dictionary*>(ed->keywordTable));
  ed->keywordTable = nullptr;
}

void BuildKeywordTable(EditorRecord* ed) {
  FreeKeywordTable(ed);
  if (ed->wrappable) return;
  Dictionary* d = DictCreate(2);
  if (!d) return;
  int32_t n = 0;
  const KeywordEntry* list = SchemeKeywords(ed->colorScheme, &n);
  for (int32_t i = 0; i < n; ++i)
    DictInsert(d, list[i].word, static_cast<int32_t>(wcslen(list[i].word)), &list[i].code, list[i].exact);
  ed->keywordTable = d;
}

}  // namespace QEL_EDIT::detail
