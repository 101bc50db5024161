// The memory profile file: record layouts, the context stack, the
// predefined contexts, and allocation and release records of the heap.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "child.h"
#include "heap_probe.h"
#include "qel6kernel.h"

using namespace Qel::RunTime::Kernel;
using namespace Qel::RunTime::Kernel::Memory::Statistics;

namespace {

using Words = std::vector<uint32_t>;

struct Record {
  uint32_t type;
  Words words;  // after the header
};

std::vector<Record> Records(const std::string& bytes) {
  std::vector<Record> out;
  Words all(bytes.size() / 4);
  memcpy(all.data(), bytes.data(), all.size() * 4);
  for (size_t i = 0; i < all.size();) {
    uint32_t type = all[i] >> 16, length = (all[i] & 0xFFFF) + 1;
    out.push_back({type, Words(all.begin() + i + 1, all.begin() + std::min(all.size(), i + length))});
    i += length;
  }
  return out;
}

// The zero-terminated UTF-16 strings packed in words from `from` on (a
// padding unit at the end reads as one more empty string).
std::vector<std::wstring> Strings(const Words& words, size_t from) {
  std::vector<std::wstring> out;
  std::wstring current;
  for (size_t i = from; i < words.size(); ++i)
    for (int half = 0; half < 2; ++half) {
      wchar_t c = static_cast<wchar_t>(half ? words[i] >> 16 : words[i] & 0xFFFF);
      if (c) {
        current += c;
      } else {
        out.push_back(current);
        current.clear();
      }
    }
  return out;
}

std::wstring ProfilePath(const wchar_t* name) { return TempFolder(L"memprof") + L"\\" + name; }

void* g_alive;
void Builder(RContextsBuilder* b) {
  static const TFullCursor at{CursorPosition(12, 7), L"roster.pro"};
  b->AddClass(41, L"main", &at, L"iRoster", L"roster");
  b->AddClass(42, L"main", nullptr, L"", L"doctor");
  b->AddClassFacts(43, L"main", &at, L"rosterDb", L"duty");
}

}  // namespace

TEST(MemoryProfile, RecordLayouts) {
  std::wstring path = ProfilePath(L"layouts.prof");
  // Closed: nothing is written and the depth does not move.
  memProf_WriteBookMark(L"closed");
  EXPECT_EQ(memProf_ContextOpen(1, 2), 0u);
  EXPECT_EQ(memProf_ContextOpen(1, 2), 0u);

  memProf_Open(path.c_str());
  memProf_WriteBookMark(L"ab");
  EXPECT_EQ(memProf_ContextOpen(5, 6), 0u);
  EXPECT_EQ(memProf_ContextOpen(7, 8), 1u);
  const void* address = reinterpret_cast<const void*>(0x123456789ABCDEF0ull);
  memProf_WriteAlloc(address, 40);
  memProf_ContextClose(0);
  memProf_WriteDeAlloc(address);
  for (uint32_t i = 0; i < 100; ++i) ASSERT_EQ(memProf_ContextOpen(i, i), i);
  EXPECT_EQ(memProf_ContextOpen(100, 100), 100u);  // overflow
  memProf_ContextClose(0);
  memProf_Close();
  memProf_WriteBookMark(L"after close");

  std::string bytes = ReadFileBytes(path);
  // Open record, then the bookmark "ab": header, "a" "b" NUL, two bytes of padding.
  ASSERT_GE(bytes.size(), 20u);
  EXPECT_EQ(bytes.substr(0, 8), std::string("\x01\x00\xFF\x00\x06\x00\x00\x00", 8));
  EXPECT_EQ(bytes.substr(8, 12), std::string("\x02\x00\x03\x00" "a\0b\0" "\0\0\0\0", 12));
  std::vector<Record> r = Records(bytes);
  ASSERT_EQ(r.size(), 5u);
  EXPECT_EQ(r[2].type, 1u);
  EXPECT_EQ(r[2].words, (Words{0x9ABCDEF0, 0x12345678, 40, 5, 6, 7, 8}));
  EXPECT_EQ(bytes.substr(20, 4), std::string("\x07\x00\x01\x00", 4));
  EXPECT_EQ(r[3].type, 2u);
  EXPECT_EQ(r[3].words, (Words{0x9ABCDEF0, 0x12345678}));
  EXPECT_EQ(r[4].type, 0xFEu);
  EXPECT_EQ(r[4].words, (Words{1}));
}

TEST(MemoryProfile, PredefinedContextsFromTheBuilder) {
  std::wstring path = ProfilePath(L"contexts.prof");
  memProf_SetContextsBuilder(Builder);
  uint8_t* top = Memory::MarkGStack();
  memProf_Open(path.c_str());
  EXPECT_EQ(Memory::MarkGStack(), top);
  memProf_Close();
  memProf_SetContextsBuilder(nullptr);

  std::vector<Record> r = Records(ReadFileBytes(path));
  ASSERT_EQ(r.size(), 6u);
  EXPECT_EQ(r[0].type, 0xFFu);
  // Context 1 (class facts) with its one entry; no context 2; context 4
  // with two entries in the order they were added.
  EXPECT_EQ(r[1].type, 4u);
  EXPECT_EQ(r[1].words[0], 1u);
  auto def1 = Strings(r[1].words, 1);
  ASSERT_GE(def1.size(), 6u);
  EXPECT_EQ(def1[0], L"Class facts predefined context");
  EXPECT_EQ(std::vector<std::wstring>(def1.begin() + 1, def1.begin() + 6),
            (std::vector<std::wstring>{L"Module name", L"File name", L"File position",
                                       L"Database name", L"Fact name"}));
  EXPECT_EQ(r[2].type, 5u);
  EXPECT_EQ(r[2].words[0], 1u);
  EXPECT_EQ(r[2].words[1], 43u);
  auto entry = Strings(r[2].words, 2);
  ASSERT_GE(entry.size(), 5u);
  EXPECT_EQ(std::vector<std::wstring>(entry.begin(), entry.begin() + 5),
            (std::vector<std::wstring>{L"main", L"roster.pro", L"12:7", L"rosterDb", L"duty"}));

  EXPECT_EQ(r[3].type, 4u);
  EXPECT_EQ(r[3].words[0], 4u);
  auto def4 = Strings(r[3].words, 1);
  ASSERT_GE(def4.size(), 6u);
  EXPECT_EQ(def4[0], L"Classes predefined context");
  EXPECT_EQ(def4[4], L"Interface name");
  EXPECT_EQ(def4[5], L"Class name");
  EXPECT_EQ(r[4].words[1], 41u);
  EXPECT_EQ(r[5].words[1], 42u);
  auto second = Strings(r[5].words, 2);
  ASSERT_GE(second.size(), 5u);
  EXPECT_EQ(std::vector<std::wstring>(second.begin(), second.begin() + 5),
            (std::vector<std::wstring>{L"main", L"", L"", L"", L"doctor"}));
}

TEST(MemoryProfile, BuilderThatFailsOrRaisesStopsAtTheProfile) {
  // The caller's own point must see neither: the profile still opens.
  struct Case {
    const char* name;
    TContextsBuilder builder;
  };
  const Case cases[] = {
      {"fails", [](RContextsBuilder* b) { Builder(b); Fail(); }},
      {"raises", [](RContextsBuilder* b) { Builder(b); Errors::RunTimeError(203); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::wstring path = ProfilePath(L"builder.prof");
    memProf_SetContextsBuilder(c.builder);
    uint8_t* top = Memory::MarkGStack();
    volatile bool opened = false;
    bool ok = Succeeds([&] {
      memProf_Open(path.c_str());
      opened = true;
    });
    memProf_Close();
    memProf_SetContextsBuilder(nullptr);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(opened);
    EXPECT_EQ(Memory::MarkGStack(), top);
    std::vector<Record> r = Records(ReadFileBytes(path));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].type, 0xFFu);
  }
}

namespace {

struct OtherThread {
  HANDLE opened;  // set by the main thread once its context is open
  void* block;
};

// Opens a context of its own, allocates under it and closes it while the
// main thread's context is still open.
void AllocateUnderOwnContext(void* object) {
  auto* t = static_cast<OtherThread*>(object);
  WaitForSingleObject(t->opened, INFINITE);
  uint32_t depth = memProf_ContextOpen(2, 22);
  EXPECT_EQ(depth, 0u);
  t->block = Memory::AllocHeap(16);
  memProf_ContextClose(depth);
}

}  // namespace

TEST(MemoryProfile, EachThreadHasItsOwnContextStack) {
  std::wstring path = ProfilePath(L"threads.prof");
  memProf_Open(path.c_str());
  OtherThread other{CreateEventW(nullptr, TRUE, FALSE, nullptr), nullptr};
  Multithreading::RPrologRunnablePredicateStruct predicate{
      reinterpret_cast<const void*>(&AllocateUnderOwnContext), &other};
  HANDLE thread =
      static_cast<HANDLE>(Multithreading::CreatePrologThread(&predicate, 1 << 16, 0, 0));
  uint32_t depth = memProf_ContextOpen(1, 11);
  SetEvent(other.opened);
  WaitForSingleObject(thread, 30000);
  CloseHandle(thread);
  CloseHandle(other.opened);
  void* mine = Memory::AllocHeap(24);
  memProf_ContextClose(depth);
  memProf_Close();
  g_alive = mine;

  auto words = [](const void* p, uint32_t size, Words contexts) {
    auto a = reinterpret_cast<uint64_t>(p);
    Words w{static_cast<uint32_t>(a), static_cast<uint32_t>(a >> 32), size};
    w.insert(w.end(), contexts.begin(), contexts.end());
    return w;
  };
  const Words wantMine = words(mine, 24, {1, 11}), wantOther = words(other.block, 16, {2, 22});
  bool sawMine = false, sawOther = false;
  for (const Record& rec : Records(ReadFileBytes(path))) {
    if (rec.type != 1 || rec.words.size() < 2) continue;
    if (rec.words[0] == wantMine[0] && rec.words[1] == wantMine[1]) {
      EXPECT_EQ(rec.words, wantMine);
      sawMine = true;
    }
    if (rec.words[0] == wantOther[0] && rec.words[1] == wantOther[1]) {
      EXPECT_EQ(rec.words, wantOther);
      sawOther = true;
    }
  }
  EXPECT_TRUE(sawMine);
  EXPECT_TRUE(sawOther);
}

TEST(MemoryProfile, HeapAllocationsAndReleasesAreRecorded) {
  std::wstring path = ProfilePath(L"heap.prof");
  memProf_Open(path.c_str());
  uint32_t depth = memProf_ContextOpen(9, 77);
  void* kept = Memory::AllocHeap(48);
  memProf_ContextClose(depth);
  void* released = Memory::AllocAtomicHeap(24);
  Memory::ReleaseHeap(released);
  Probe dropped = NewUnreferencedHeapString();
  ScrubStack();
  for (int i = 0; i < 4 && dropped.Alive(); ++i) Memory::GarbageCollector();
  memProf_Close();
  g_alive = kept;

  auto word = [](const void* p, int half) {
    return static_cast<uint32_t>(reinterpret_cast<uint64_t>(p) >> (32 * half));
  };
  bool allocated = false, explicitRelease = false;
  int releases = 0;
  for (const Record& rec : Records(ReadFileBytes(path))) {
    if (rec.type == 1 && rec.words[0] == word(kept, 0) && rec.words[1] == word(kept, 1)) {
      EXPECT_EQ(rec.words, (Words{word(kept, 0), word(kept, 1), 48, 9, 77}));
      allocated = true;
    }
    if (rec.type == 2) {
      ++releases;
      if (rec.words == Words{word(released, 0), word(released, 1)}) explicitRelease = true;
    }
  }
  EXPECT_TRUE(allocated);
  EXPECT_TRUE(explicitRelease);
  EXPECT_FALSE(dropped.Alive());
  EXPECT_GE(releases, 2) << "the collected string's release was not reported";
}
