// Binary images: golden bytes written by hand from the 32-bit layout, both
// flavours, and thousands of damaged images that must give 304 or a term.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "db_unit.h"

using namespace dbunit;
using runtest::ErrorOf;
using Qel::RunTime::Kernel::Memory::AllocAtomicHeap;

namespace {

// An independent image writer: blocks appended in order, pointer slots
// fixed up to the current end and listed in the table.
struct Golden {
  std::vector<uint8_t> data;
  std::vector<uint32_t> table;
  bool utf16 = true;
  size_t u32(uint32_t v) {
    size_t at = data.size();
    for (int i = 0; i < 4; ++i) data.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return at;
  }
  void u8(uint8_t v) { data.push_back(v); }
  void f64(double d) {
    uint64_t v;
    memcpy(&v, &d, 8);
    u32(static_cast<uint32_t>(v));
    u32(static_cast<uint32_t>(v >> 32));
  }
  void align() {
    if (utf16)
      while (data.size() % 4) data.push_back(0);
  }
  // Points the slot at the next block (plus a header) and lists it.
  void fix(size_t slot, uint32_t header = 0) {
    align();
    uint32_t v = static_cast<uint32_t>(data.size()) + header;
    memcpy(&data[slot], &v, 4);
    table.push_back(static_cast<uint32_t>(slot));
  }
  void wstr(const wchar_t* s) {
    do {
      data.push_back(static_cast<uint8_t>(*s));
      data.push_back(static_cast<uint8_t>(*s >> 8));
    } while (*s++);
  }
  void astr(const char* s) {
    do data.push_back(static_cast<uint8_t>(*s));
    while (*s++);
  }
  std::vector<uint8_t> Image(bool withTable = true) const {
    std::vector<uint8_t> out = data;
    if (withTable) {
      for (uint32_t t : table)
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(t >> (8 * i)));
      uint32_t n = static_cast<uint32_t>(table.size());
      for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(n >> (8 * i)));
    }
    return out;
  }
};

// A binary on the heap holding `bytes`.
const uint8_t* Binary(const std::vector<uint8_t>& bytes) {
  auto* b = static_cast<uint8_t*>(AllocAtomicHeap(static_cast<uint32_t>(bytes.size() + 4)));
  uint32_t n = static_cast<uint32_t>(bytes.size() + 4);
  memcpy(b, &n, 4);
  if (!bytes.empty()) memcpy(b + 4, bytes.data(), bytes.size());
  return b + 4;
}
std::vector<uint8_t> Bytes(const uint8_t* binary) {
  uint32_t n;
  memcpy(&n, binary - 4, 4);
  return std::vector<uint8_t>(binary, binary + n - 4);
}

// rec("Hi", 2.5, ptr, [leaf(7, 'A'), pair(nil, leaf(-1, 'z'))])
const uint8_t* FixtureTerm(const void* p) {
  return MakeRec(L"Hi", 2.5, p, MakeNodes({MakeLeaf(7, L'A'), MakePair(MakeNil(), MakeLeaf(-1, L'z'))}));
}

std::vector<uint8_t> FixtureGolden(bool utf16) {
  Golden g;
  g.utf16 = utf16;
  g.u32(3);
  size_t name = g.u32(0);
  g.f64(2.5);
  g.u32(0);  // pointer values are written as 0
  size_t items = g.u32(0);
  g.fix(name);
  if (utf16) g.wstr(L"Hi"); else g.astr("Hi");
  g.fix(items);
  g.u32(1);
  size_t head1 = g.u32(0), tail1 = g.u32(0);
  g.fix(head1);
  g.u32(1);
  g.u32(7);
  if (utf16) g.u32(L'A'); else { g.u8('A'); g.u8(0); g.u8(0); }  // a last char: 1 byte less
  g.fix(tail1);
  g.u32(1);
  size_t head2 = g.u32(0), tail2 = g.u32(0);
  g.fix(head2);
  g.u32(2);
  size_t a = g.u32(0), b = g.u32(0);
  g.fix(a);
  g.u32(4);
  g.fix(b);
  g.u32(1);
  g.u32(static_cast<uint32_t>(-1));
  if (utf16) g.u32(L'z'); else { g.u8('z'); g.u8(0); g.u8(0); }
  g.fix(tail2);
  if (utf16) g.u32(2); else g.u8(2);
  return g.Image();
}

class Image : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(LinkDbUnit(), 0); }
};

TEST_F(Image, GoldenFixtureInBothFlavours) {
  const uint8_t* t = FixtureTerm(nullptr);
  for (bool utf16 : {true, false}) {
    SCOPED_TRACE(utf16 ? "utf-16" : "code page");
    std::vector<uint8_t> golden = FixtureGolden(utf16);
    const uint8_t* ours = utf16 ? ToBinary(D(node), t) : ToBinaryCodePage(D(node), t, 1252);
    EXPECT_EQ(Bytes(ours), golden);
    const uint8_t* back = nullptr;
    ASSERT_EQ(ErrorOf([&] {
                back = utf16 ? FromBinary(D(node), Binary(golden))
                             : FromBinaryCodePage(D(node), Binary(golden), 1252);
              }),
              0u);
    EXPECT_EQ(CompareTerms(D(node), t, back), 0);
    EXPECT_EQ(std::wstring(ToString(D(node), back)), std::wstring(ToString(D(node), t)));
  }
  // The first bytes, pinned literally: functor 3, name at 24, 2.5, 0, items at 32.
  std::vector<uint8_t> g = FixtureGolden(true);
  const uint8_t head[] = {3, 0, 0, 0, 24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0x40, 0, 0, 0, 0, 32, 0, 0, 0,
                          'H', 0, 'i', 0, 0, 0, 0, 0};
  EXPECT_EQ(0, memcmp(g.data(), head, sizeof head));
  EXPECT_EQ(g.size(), 100u + 4 * 8 + 4);
}

TEST_F(Image, BytesTheLayoutSkipsAreZeroWhateverTheHeapHeld) {
  // rec("ab", 1.0, null, [rec("", 2.0, null, [])]): each text leaves an
  // alignment gap in the UTF-16 flavour.
  const uint8_t* t = MakeRec(L"ab", 1.0, nullptr, MakeNodes({MakeRec(L"", 2.0, nullptr, MakeNodes({}))}));
  for (bool utf16 : {true, false}) {
    SCOPED_TRACE(utf16 ? "utf-16" : "code page");
    Golden g;
    g.utf16 = utf16;
    // rec(text, r, null, items): its block and text; the slot of its items.
    auto rec = [&](const wchar_t* text, double r) {
      g.u32(3);
      size_t name = g.u32(0);
      g.f64(r);
      g.u32(0);
      size_t items = g.u32(0);
      g.fix(name);
      if (utf16) g.wstr(text); else g.astr(std::string(text, text + wcslen(text)).c_str());
      return items;
    };
    auto nil = [&] { if (utf16) g.u32(2); else g.u8(2); };
    g.fix(rec(L"ab", 1.0));
    g.u32(1);
    size_t head = g.u32(0), tail = g.u32(0);
    g.fix(head);
    g.fix(rec(L"", 2.0));
    nil();
    g.fix(tail);
    nil();
    std::vector<uint8_t> golden = g.Image();
    // Blocks of the image's size filled and freed just before: the writer
    // gets them back from the collector.
    for (uint8_t dirt : {0x30, 0xFF, 0x00, 0xA5}) {
      auto* old = static_cast<uint8_t*>(AllocAtomicHeap(static_cast<uint32_t>(golden.size() + 4)));
      memset(old, dirt, golden.size() + 4);
      Qel::RunTime::Kernel::Memory::ReleaseHeap(old);
      const uint8_t* image = utf16 ? ToBinary(D(node), t) : ToBinaryCodePage(D(node), t, 1252);
      EXPECT_EQ(Bytes(image), golden) << "dirt " << int{dirt};
    }
  }
}

TEST_F(Image, PointerValuesAreWrittenAsZero) {
  int local = 0;
  const uint8_t* t = FixtureTerm(&local);
  EXPECT_EQ(Bytes(ToBinary(D(node), t)), FixtureGolden(true));
  auto* back = reinterpret_cast<const Rec*>(FromBinary(D(node), ToBinary(D(node), t)));
  EXPECT_EQ(back->p, nullptr);
  EXPECT_STREQ(back->name, L"Hi");
}

TEST_F(Image, PackedArgumentsInTheCodePageFlavour) {
  auto* p = static_cast<Packed*>(Alloc(sizeof(Packed)));
  *p = Packed{5, L'a', 0xE9, -3};  // é is 0xE9 in code page 1252
  Golden g;
  g.utf16 = false;
  g.u32(5);
  g.u8('a');
  g.u8(0xE9);
  g.u8(0xFD);
  std::vector<uint8_t> golden = g.Image();
  EXPECT_EQ(Bytes(ToBinaryCodePage(D(node), Term(p), 1252)), golden);
  auto* back = reinterpret_cast<const Packed*>(FromBinaryCodePage(D(node), Binary(golden), 1252));
  EXPECT_EQ(back->a, L'a');
  EXPECT_EQ(back->b, 0xE9);
  EXPECT_EQ(back->s, -3);
  // The UTF-16 flavour keeps 4-byte slots.
  Golden u;
  u.u32(5);
  u.u32(L'a');
  u.u32(0xE9);
  u.u32(0xFD);
  EXPECT_EQ(Bytes(ToBinary(D(node), Term(p))), u.Image());
}

TEST_F(Image, ScalarsStringsAndBinaries) {
  int32_t i = -5;
  EXPECT_EQ(Bytes(ToBinary(D(integer), Term(&i))), (std::vector<uint8_t>{0xFB, 0xFF, 0xFF, 0xFF}));
  double r = 1.5;
  EXPECT_EQ(Bytes(ToBinary(D(real), Term(&r))).size(), 8u);
  wchar_t c = L'x';
  EXPECT_EQ(Bytes(ToBinary(D(chr), Term(&c))), (std::vector<uint8_t>{'x', 0}));
  EXPECT_EQ(Bytes(ToBinaryCodePage(D(chr), Term(&c), 1252)), (std::vector<uint8_t>{'x'}));
  EXPECT_EQ(Bytes(ToBinary(D(str), Term(L"ab"))), (std::vector<uint8_t>{'a', 0, 'b', 0, 0, 0}));
  EXPECT_EQ(Bytes(ToBinaryCodePage(D(str), Term(L"ab"), 1252)), (std::vector<uint8_t>{'a', 'b', 0}));
  EXPECT_EQ(*reinterpret_cast<const int32_t*>(FromBinary(D(integer), ToBinary(D(integer), Term(&i)))), -5);

  // Symbols come back as the symbol table's instance.
  const wchar_t* red = Insert2SymbolTable(L"red");
  EXPECT_EQ(reinterpret_cast<const wchar_t*>(FromBinary(D(sym), ToBinary(D(sym), Term(red)))), red);

  // big(int64, symbol, binary, string8): every boxed kind behind a slot.
  const uint8_t* blob = Binary({1, 2, 3});
  auto* big = static_cast<Big*>(Alloc(sizeof(Big)));
  *big = Big{6, -1234567890123LL, red, blob, "eight"};
  for (uint32_t cp : {0xFFFFFFFFu, 1252u}) {
    const uint8_t* image = cp == 0xFFFFFFFFu ? ToBinary(D(node), Term(big)) : ToBinaryCodePage(D(node), Term(big), cp);
    auto* back = reinterpret_cast<const Big*>(cp == 0xFFFFFFFFu ? FromBinary(D(node), image)
                                                                 : FromBinaryCodePage(D(node), image, cp));
    EXPECT_EQ(back->l, -1234567890123LL);
    EXPECT_EQ(back->sym, red);
    EXPECT_EQ(Bytes(back->bin), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_STREQ(back->s8, "eight");
  }

  // A compound without pointers still ends with the count 0.
  std::vector<uint8_t> leaf = Bytes(ToBinary(D(node), MakeLeaf(1, L'b')));
  EXPECT_EQ(leaf, (std::vector<uint8_t>{1, 0, 0, 0, 1, 0, 0, 0, 'b', 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(Image, ReferenceCellsAndLists) {
  // [ "a", "bc" ] of reference strings in a reference list.
  auto cell = [](uint64_t tag, const void* v) {
    auto* c = static_cast<RRefCell*>(Alloc(16));
    *c = RRefCell{tag, reinterpret_cast<uint64_t>(v)};
    return c;
  };
  auto* nil = static_cast<uint64_t*>(Alloc(8));
  *nil = 2;
  auto* c2 = static_cast<Cons*>(Alloc(sizeof(Cons)));
  *c2 = Cons{1, cell(1, L"bc"), cell(1, nil)};
  auto* c1 = static_cast<Cons*>(Alloc(sizeof(Cons)));
  *c1 = Cons{1, cell(1, L"a"), cell(1, c2)};
  const uint8_t* t = Term(cell(1, c1));
  const uint8_t* back = FromBinary(D(refNodes), ToBinary(D(refNodes), t));
  // Walk the copy: cell -> cons -> (cell -> text, cell -> ...).
  std::vector<std::wstring> texts;
  auto value = [](const void* c) {
    auto* r = static_cast<const RRefCell*>(c);
    EXPECT_EQ(r->tag, 1u);
    return reinterpret_cast<const void*>(r->value);
  };
  for (auto* l = static_cast<const Cons*>(value(back)); l->functor == 1;
       l = static_cast<const Cons*>(value(l->tail)))
    texts.push_back(static_cast<const wchar_t*>(value(l->head)));
  EXPECT_EQ(texts, (std::vector<std::wstring>{L"a", L"bc"}));
  EXPECT_EQ(Bytes(ToBinary(D(refNodes), back)), Bytes(ToBinary(D(refNodes), t)));

  // An unbound variable has no image.
  const uint8_t* unbound = Term(cell(0, nullptr));
  EXPECT_EQ(ErrorOf([&] { ToBinary(D(refStr), unbound); }), 328u);

  // Long lists need no deep recursion either way.
  const uint8_t* longList = MakeInts(200000);
  const uint8_t* image = ToBinary(D(ints), longList);
  EXPECT_EQ(CompareTerms(D(ints), longList, FromBinary(D(ints), image)), 0);
}

TEST_F(Image, BadImagesRaise304) {
  int32_t i = 5;
  std::vector<uint8_t> fixture = FixtureGolden(true);
  struct Case {
    const char* what;
    const IDomainDefinition* d;
    std::vector<uint8_t> bytes;
  };
  std::vector<uint8_t> badFunctor = fixture;
  badFunctor[0] = 9;
  std::vector<uint8_t> badSlot = fixture;
  badSlot[4] = 0xF0;  // name slot far outside
  std::vector<uint8_t> noTerminator = {'a', 0, 'b', 0};
  std::vector<uint8_t> bigCount = fixture;
  bigCount[bigCount.size() - 1] = 0x40;
  std::vector<uint8_t> unlisted = fixture;
  unlisted[100] = 8;  // the table names the real-number's slot instead of the name's
  std::vector<Case> cases = {
      {"empty", D(integer), {}},
      {"integer of 3 bytes", D(integer), {1, 2, 3}},
      {"integer of 5 bytes", D(integer), {1, 2, 3, 4, 5}},
      {"functor out of range", D(node), badFunctor},
      {"slot outside the data", D(node), badSlot},
      {"string without terminator", D(str), noTerminator},
      {"table larger than the image", D(node), bigCount},
      {"slot not in the table", D(node), unlisted},
      {"binary length word beyond the data", D(bin), {9, 0, 0, 0, 1}},
      {"binary length word below 4", D(bin), {3, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const uint8_t* b = Binary(c.bytes);
    EXPECT_EQ(ErrorOf([&] { FromBinary(c.d, b); }), 304u);
  }
  (void)i;
}

TEST_F(Image, TablesInAnotherOrderAreAcceptedButSharedBlocksAreNot) {
  std::vector<uint8_t> g = FixtureGolden(true);
  // Reverse the table's 8 entries.
  std::vector<uint8_t> reversed = g;
  for (int e = 0; e < 8; ++e) memcpy(&reversed[100 + 4 * e], &g[100 + 4 * (7 - e)], 4);
  const uint8_t* t = FixtureTerm(nullptr);
  const uint8_t* back = nullptr;
  ASSERT_EQ(ErrorOf([&] { back = FromBinary(D(node), Binary(reversed)); }), 0u);
  EXPECT_EQ(CompareTerms(D(node), t, back), 0);

  // pair(leaf, leaf) with both slots on one block.
  Golden s;
  s.u32(2);
  size_t a = s.u32(0), b = s.u32(0);
  s.fix(a);
  s.u32(1);
  s.u32(1);
  s.u32('x');
  memcpy(&s.data[b], &s.data[a], 4);
  s.table.push_back(static_cast<uint32_t>(b));
  EXPECT_EQ(ErrorOf([&] { FromBinary(D(node), Binary(s.Image())); }), 304u);

  // A cycle: pair whose first slot points back at itself.
  Golden cyc;
  cyc.u32(2);
  size_t x = cyc.u32(0), y = cyc.u32(0);
  memset(&cyc.data[x], 0, 4);
  cyc.table.push_back(static_cast<uint32_t>(x));
  cyc.fix(y);
  cyc.u32(4);
  EXPECT_EQ(ErrorOf([&] { FromBinary(D(node), Binary(cyc.Image())); }), 304u);
}

TEST_F(Image, DeepNestingGives304NotAStackOverflow) {
  // pair(pair(pair(... nil ...), nil), nil) nested in the first argument.
  constexpr int depth = 300000;
  Golden g;
  std::vector<size_t> seconds;
  for (int i = 0; i < depth; ++i) {
    g.u32(2);
    size_t a = g.u32(0);
    seconds.push_back(g.u32(0));
    g.fix(a);
  }
  g.u32(4);
  for (size_t i = seconds.size(); i-- > 0;) {
    g.fix(seconds[i]);
    g.u32(4);
  }
  uint32_t code = ErrorOf([&] { FromBinary(D(node), Binary(g.Image())); });
  EXPECT_TRUE(code == 0 || code == 304) << code;
}

// Copies the image to the end of a page followed by an inaccessible page,
// so that any read past it faults.
struct Fenced {
  uint8_t* base;
  Fenced() {
    base = static_cast<uint8_t*>(VirtualAlloc(nullptr, 1 << 20, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old;
    VirtualProtect(base + (1 << 20) - 4096, 4096, PAGE_NOACCESS, &old);
  }
  ~Fenced() { VirtualFree(base, 0, MEM_RELEASE); }
  const uint8_t* Place(const std::vector<uint8_t>& bytes, uint32_t lengthWord) {
    uint8_t* end = base + (1 << 20) - 4096;
    uint8_t* at = end - bytes.size();
    memcpy(at, bytes.data(), bytes.size());
    memcpy(at - 4, &lengthWord, 4);
    return at;
  }
};

TEST_F(Image, ThousandsOfDamagedImagesGive304OrATerm) {
  Fenced fence;
  int local = 0;
  struct Fixture {
    const IDomainDefinition* d;
    const uint8_t* term;
    uint32_t cp;
  };
  auto* big = static_cast<Big*>(Alloc(sizeof(Big)));
  *big = Big{6, 77, Insert2SymbolTable(L"sym"), Binary({9, 8, 7, 6, 5}), "s8"};
  std::vector<Fixture> fixtures = {
      {D(node), FixtureTerm(&local), 0xFFFFFFFFu},
      {D(node), FixtureTerm(&local), 1252},
      {D(node), Term(big), 0xFFFFFFFFu},
      {D(node), Term(big), 1252},
      {D(ints), MakeInts(6), 0xFFFFFFFFu},
      {D(str), Term(L"text"), 0xFFFFFFFFu},
      {D(bin), Binary({1, 2, 3, 4}), 0xFFFFFFFFu},
  };
  uint32_t seed = 12345;
  auto rnd = [&] { return seed = seed * 1664525u + 1013904223u; };
  int accepted = 0, refused = 0;
  for (const Fixture& f : fixtures) {
    const uint8_t* image = f.cp == 0xFFFFFFFFu ? ToBinary(f.d, f.term) : ToBinaryCodePage(f.d, f.term, f.cp);
    std::vector<uint8_t> bytes = Bytes(image);
    for (int round = 0; round < 1500; ++round) {
      std::vector<uint8_t> m = bytes;
      uint32_t kind = rnd() % 4;
      if (kind == 0 && !m.empty()) {
        m.resize(rnd() % m.size());
      } else if (kind == 1 && !m.empty()) {
        for (int flips = 1 + rnd() % 3; flips-- > 0;) m[rnd() % m.size()] ^= static_cast<uint8_t>(1u << (rnd() % 8));
      } else if (kind == 2 && m.size() >= 4) {
        uint32_t v = rnd() % 3 == 0 ? rnd() : rnd() % (m.size() + 8);
        memcpy(&m[(rnd() % (m.size() - 3))], &v, 4);
      } else if (!m.empty()) {
        m[rnd() % m.size()] = static_cast<uint8_t>(rnd());
      }
      const uint8_t* b = fence.Place(m, static_cast<uint32_t>(m.size() + 4));
      const uint8_t* back = nullptr;
      uint32_t code = ErrorOf([&] {
        back = f.cp == 0xFFFFFFFFu ? FromBinary(f.d, b) : FromBinaryCodePage(f.d, b, f.cp);
      });
      if (code == 304) {
        ++refused;
        continue;
      }
      ASSERT_EQ(code, 0u) << "round " << round << " kind " << kind;
      ++accepted;
      // What was accepted is a sound term: it writes and reads back equal.
      const uint8_t* again = nullptr;
      ASSERT_EQ(ErrorOf([&] {
                  const uint8_t* img = f.cp == 0xFFFFFFFFu ? ToBinary(f.d, back) : ToBinaryCodePage(f.d, back, f.cp);
                  again = f.cp == 0xFFFFFFFFu ? FromBinary(f.d, img) : FromBinaryCodePage(f.d, img, f.cp);
                }),
                0u);
      EXPECT_EQ(CompareTerms(f.d, back, again), 0);
    }
  }
  EXPECT_GT(refused, 1000);
  EXPECT_GT(accepted, 100);
}

}  // namespace
