// The memory profile file.
//
// The file is a sequence of records of 32-bit little-endian words.  Each
// record starts with a header word (type << 16) | (length in words - 1).
// Strings are UTF-16 with their zero unit; a record whose strings end inside
// a word is padded with zero bytes.  Addresses are 64-bit: two words, low
// word first.
//
//   type  record              words after the header
//   0xFF  open                6
//   1     allocation          address (2 words), size in bytes, then one pair
//                             {context kind, context value} per open context,
//                             outermost first: header 0x00010003 + 2 x depth
//   2     release             address (2 words): header 0x00020002
//   3     bookmark            the text
//   4     context definition  context id, the name, then the column names
//   5     context map entry   context id, the key, then the column values
//   0xFE  context overflow    1
//
// Invariants:
//  - While no profile is open every operation returns at once.
//  - Each thread keeps its own context stack in its record; a stack counts
//    only while its generation is the open profile's, so opening or closing
//    a profile empties every thread's stack at once.
//  - Records are written whole, one at a time (several threads may write).
//  - A failed write closes the profile.
#include "ptd.h"

#include <gc.h>

#include <cwchar>

namespace Qel::RunTime::Kernel {
namespace detail {

volatile bool g_profileOpen = false;

namespace {

constexpr uint32_t kMaxContexts = TPrologThreadData::ProfileContextsMax;

CRITICAL_SECTION g_lock;
struct LockInit {
  LockInit() { InitializeCriticalSection(&g_lock); }
} g_lockInit;

HANDLE g_file = INVALID_HANDLE_VALUE;
volatile LONG g_generation = 1;
Memory::Statistics::TContextsBuilder g_builder = nullptr;

// The calling thread's record when it has one, its context stack made
// current for the open profile.
TPrologThreadData* ContextRecord() {
  TPrologThreadData* r = CurrentPTD();
  if (!IsValidPTD(r)) return nullptr;
  auto generation = static_cast<uint32_t>(g_generation);
  if (r->profileGeneration != generation) {
    r->profileGeneration = generation;
    r->profileDepth = 0;
  }
  return r;
}

void CloseLocked() {
  g_profileOpen = false;
  InterlockedIncrement(&g_generation);
  if (g_file == INVALID_HANDLE_VALUE) return;
  if (!CloseHandle(g_file)) ApiFailureLine("Statistics::CloseHandle", GetLastError());
  g_file = INVALID_HANDLE_VALUE;
}

// Writes `words` words; the lock is held.
void WriteLocked(const uint32_t* words, size_t count) {
  if (g_file == INVALID_HANDLE_VALUE) return;
  DWORD done = 0;
  DWORD bytes = static_cast<DWORD>(count * 4);
  if (!WriteFile(g_file, words, bytes, &done, nullptr) || done != bytes) {
    ApiFailureLine("Statistics::writeBuffer", GetLastError());
    CloseLocked();
  }
}

uint32_t Header(uint32_t type, size_t words) {
  return (type << 16) | static_cast<uint32_t>(words - 1);
}

// A record of fixed words followed by strings, built on the process heap.
class RecordBuilder {
 public:
  explicit RecordBuilder(size_t units) {
    capacity_ = units / 2 + 8;
    words_ = static_cast<uint32_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, capacity_ * 4));
  }
  ~RecordBuilder() {
    if (words_) HeapFree(GetProcessHeap(), 0, words_);
  }
  bool ok() const { return words_ != nullptr; }
  void Word(uint32_t w) { words_[1 + count_++] = w; }
  void Text(const wchar_t* s) {
    if (!s) s = L"";
    auto* units = reinterpret_cast<uint16_t*>(words_ + 1) + count_ * 2 + pendingUnits_;
    size_t n = wcslen(s) + 1;
    for (size_t i = 0; i < n; ++i) units[i] = static_cast<uint16_t>(s[i]);
    pendingUnits_ += n;
    count_ += pendingUnits_ / 2;
    pendingUnits_ %= 2;
  }
  void Write(uint32_t type) {
    size_t words = 1 + count_ + (pendingUnits_ ? 1 : 0);
    words_[0] = Header(type, words);
    WriteLocked(words_, words);
  }

 private:
  uint32_t* words_;
  size_t capacity_;
  size_t count_ = 0;         // whole words after the header
  size_t pendingUnits_ = 0;  // a UTF-16 unit in the next word
};

size_t Units(const wchar_t* s) { return s ? wcslen(s) + 1 : 1; }

// --- Lists of the contexts builder, on the global stack ----------------------------

using Memory::Statistics::contextMap_struct;
using Memory::Statistics::contextMapList_struct;
using Memory::Statistics::slist_struct;

slist_struct g_emptyStrings{2, nullptr, nullptr};
contextMapList_struct g_emptyEntries{2, nullptr, nullptr};

slist_struct* Strings(const wchar_t* const* values, int n) {
  slist_struct* list = &g_emptyStrings;
  for (int i = n - 1; i >= 0; --i) {
    auto* cell = reinterpret_cast<slist_struct*>(Memory::AllocGStack(sizeof(slist_struct)));
    *cell = slist_struct{1, values[i], list};
    list = cell;
  }
  return list;
}

void WriteContext(uint32_t id, const wchar_t* name, const wchar_t* const* columns,
                  contextMapList_struct* entries) {
  slist_struct* names = Strings(columns, 5);
  Memory::Statistics::memProf_WriteContextDefine(id, name, names, entries);
}

}  // namespace

void ProfileAllocation(void* block, uint32_t size, bool reportRelease) {
  if (reportRelease)
    GC_register_finalizer_ignore_self(block, Memory::NullFinalisationProc, nullptr, nullptr,
                                      nullptr);
  Memory::Statistics::memProf_WriteAlloc(block, size);
}

}  // namespace detail

using namespace detail;

namespace Memory::Statistics {

// Entries are appended at the end of their list; the list ends in the empty
// cell {2}.
static void AddEntry(contextMapList_struct** list, uint32_t key, const wchar_t* moduleName,
                     const TFullCursor* position, const wchar_t* name4, const wchar_t* name5) {
  wchar_t* where = reinterpret_cast<wchar_t*>(AllocGStack(24 * sizeof(wchar_t)));
  const wchar_t* file = L"";
  where[0] = 0;
  if (position && !OSInterface::OSIsBadReadPtr(position, sizeof *position)) {
    swprintf(where, 24, L"%u:%u", position->position & 0xFFFFF, position->position >> 20);
    if (position->fileName && !OSInterface::OSIsBadStringPtr(position->fileName, 4096))
      file = position->fileName;
  }
  const wchar_t* values[5] = {moduleName ? moduleName : L"", file, where, name4 ? name4 : L"",
                              name5 ? name5 : L""};
  auto* entry = reinterpret_cast<contextMap_struct*>(AllocGStack(sizeof(contextMap_struct)));
  entry->key = key;
  entry->values = Strings(values, 5);
  auto* cell = reinterpret_cast<contextMapList_struct*>(AllocGStack(sizeof(contextMapList_struct)));
  *cell = contextMapList_struct{1, entry, &g_emptyEntries};
  while (*list && (*list)->functor == 1) list = &(*list)->next;
  *list = cell;
}

void RContextsBuilder::AddClassFacts(uint32_t key, const wchar_t* moduleName,
                                     const TFullCursor* position, const wchar_t* databaseName,
                                     const wchar_t* factName) {
  AddEntry(&lists[0], key, moduleName, position, databaseName, factName);
}

void RContextsBuilder::AddObjectFacts(uint32_t key, const wchar_t* moduleName,
                                      const TFullCursor* position, const wchar_t* databaseName,
                                      const wchar_t* factName) {
  AddEntry(&lists[1], key, moduleName, position, databaseName, factName);
}

void RContextsBuilder::AddClass(uint32_t key, const wchar_t* moduleName,
                                const TFullCursor* position, const wchar_t* interfaceName,
                                const wchar_t* className) {
  AddEntry(&lists[2], key, moduleName, position, interfaceName, className);
}

void memProf_Open(const wchar_t* fileName) {
  EnterCriticalSection(&g_lock);
  if (g_file != INVALID_HANDLE_VALUE) {
    LeaveCriticalSection(&g_lock);
    return;
  }
  InterlockedIncrement(&g_generation);
  g_file = CreateFileW(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
  if (g_file == INVALID_HANDLE_VALUE) {
    ApiFailureLine("Statistics::CreateFile", GetLastError());
    LeaveCriticalSection(&g_lock);
    return;
  }
  const uint32_t open[2] = {0x00FF0001, 6};
  WriteLocked(open, 2);
  g_profileOpen = g_file != INVALID_HANDLE_VALUE;
  TContextsBuilder builder = g_builder;
  LeaveCriticalSection(&g_lock);
  if (!builder || !g_profileOpen || !IsValidPTD(CurrentPTD())) return;

  BoundaryOutcome end = RunAtCallbackBoundary([=] {
    RContextsBuilder lists{{&g_emptyEntries, &g_emptyEntries, &g_emptyEntries}};
    builder(&lists);
    static const wchar_t* const facts[5] = {L"Module name", L"File name", L"File position",
                                            L"Database name", L"Fact name"};
    static const wchar_t* const classes[5] = {L"Module name", L"File name", L"File position",
                                              L"Interface name", L"Class name"};
    if (lists.lists[0]->functor == 1)
      WriteContext(1, L"Class facts predefined context", facts, lists.lists[0]);
    if (lists.lists[1]->functor == 1)
      WriteContext(2, L"Object facts predefined context", facts, lists.lists[1]);
    if (lists.lists[2]->functor == 1)
      WriteContext(4, L"Classes predefined context", classes, lists.lists[2]);
  });
  if (end.error) {
    LogLine("\n!!! memProf_Open: the contexts builder raised error %u\n", end.error);
    DisplayPendingMessage();
  } else if (end.failed) {
    LogLine("\n!!! memProf_Open: the contexts builder failed\n");
  }
}

void memProf_Close() {
  EnterCriticalSection(&g_lock);
  CloseLocked();
  LeaveCriticalSection(&g_lock);
}

void memProf_SetContextsBuilder(TContextsBuilder builder) { g_builder = builder; }

uint32_t memProf_ContextOpen(uint32_t kind, uint32_t value) {
  TPrologThreadData* r = g_profileOpen ? ContextRecord() : nullptr;
  if (!r) return 0;
  uint32_t depth = r->profileDepth;
  if (depth >= kMaxContexts) {
    const uint32_t overflow[2] = {0x00FE0001, 1};
    EnterCriticalSection(&g_lock);
    WriteLocked(overflow, 2);
    LeaveCriticalSection(&g_lock);
  } else {
    r->profileContexts[depth][0] = kind;
    r->profileContexts[depth][1] = value;
    r->profileDepth = depth + 1;
  }
  return depth;
}

void memProf_ContextClose(uint32_t depth) {
  TPrologThreadData* r = g_profileOpen ? ContextRecord() : nullptr;
  if (r && depth < r->profileDepth) r->profileDepth = depth;
}

void memProf_WriteAlloc(const void* address, uint32_t size) {
  if (!g_profileOpen) return;
  uint32_t words[4 + 2 * kMaxContexts];
  TPrologThreadData* r = ContextRecord();
  uint32_t depth = r ? r->profileDepth : 0;
  auto a = reinterpret_cast<uint64_t>(address);
  size_t n = 4 + 2 * static_cast<size_t>(depth);
  words[0] = Header(1, n);
  words[1] = static_cast<uint32_t>(a);
  words[2] = static_cast<uint32_t>(a >> 32);
  words[3] = size;
  for (uint32_t i = 0; i < depth; ++i) {
    words[4 + 2 * i] = r->profileContexts[i][0];
    words[5 + 2 * i] = r->profileContexts[i][1];
  }
  EnterCriticalSection(&g_lock);
  WriteLocked(words, n);
  LeaveCriticalSection(&g_lock);
}

void memProf_WriteDeAlloc(const void* address) {
  if (!g_profileOpen) return;
  auto a = reinterpret_cast<uint64_t>(address);
  const uint32_t words[3] = {0x00020002, static_cast<uint32_t>(a), static_cast<uint32_t>(a >> 32)};
  EnterCriticalSection(&g_lock);
  WriteLocked(words, 3);
  LeaveCriticalSection(&g_lock);
}

void memProf_WriteBookMark(const wchar_t* text) {
  if (!g_profileOpen) return;
  RecordBuilder record(Units(text));
  if (!record.ok()) return;
  record.Text(text);
  EnterCriticalSection(&g_lock);
  record.Write(3);
  LeaveCriticalSection(&g_lock);
}

void memProf_WriteContextDefine(uint32_t id, const wchar_t* name, slist_struct* columns,
                                contextMapList_struct* entries) {
  if (!g_profileOpen) return;
  size_t units = Units(name) + 4;
  for (slist_struct* c = columns; c && c->functor == 1; c = c->next) units += Units(c->value) + 2;
  RecordBuilder definition(units);
  if (!definition.ok()) return;
  definition.Word(id);
  definition.Text(name);
  for (slist_struct* c = columns; c && c->functor == 1; c = c->next) definition.Text(c->value);
  EnterCriticalSection(&g_lock);
  definition.Write(4);
  LeaveCriticalSection(&g_lock);

  for (contextMapList_struct* e = entries; e && e->functor == 1; e = e->next) {
    size_t entryUnits = 8;
    for (slist_struct* v = e->entry->values; v && v->functor == 1; v = v->next)
      entryUnits += Units(v->value) + 2;
    RecordBuilder record(entryUnits);
    if (!record.ok()) return;
    record.Word(id);
    record.Word(e->entry->key);
    for (slist_struct* v = e->entry->values; v && v->functor == 1; v = v->next)
      record.Text(v->value);
    EnterCriticalSection(&g_lock);
    record.Write(5);
    LeaveCriticalSection(&g_lock);
  }
}

}  // namespace Memory::Statistics
}  // namespace Qel::RunTime::Kernel
