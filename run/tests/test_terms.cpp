// Typed term operations per domain kind: sizes, comparison, copies, range
// checks, conversions, validation, reference cells, placeholder and bad
// kinds, qualified names.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

#include "example_unit.h"
#include "run_test.h"

using namespace example;
using namespace runtest;
using namespace Qel::RunTime::Kernel;
using Qel::RunTime::Terms::term;

namespace {

class Terms_ : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LinkExampleUnit(), 0);
    mark_ = Memory::MarkGStack();
  }
  void TearDown() override { Memory::ReleaseGStack(mark_); }
  uint8_t* mark_ = nullptr;
};

template <class T>
term Val(T v) {
  auto* p = static_cast<uint8_t*>(Memory::AllocHeap(16));
  memcpy(p, &v, sizeof v);
  return p;
}
term Str(const wchar_t* s) { return reinterpret_cast<term>(s); }
term Str8(const char* s) { return reinterpret_cast<term>(s); }
term Bin(std::vector<uint8_t> bytes) {
  auto* p = static_cast<uint8_t*>(Memory::AllocHeap(static_cast<uint32_t>(bytes.size() + 4)));
  uint32_t size = static_cast<uint32_t>(bytes.size() + 4);
  memcpy(p, &size, 4);
  if (!bytes.empty()) memcpy(p + 4, bytes.data(), bytes.size());
  return p + 4;
}
term Cell(uint64_t tag, uint64_t value) {
  auto* c = static_cast<RRefCell*>(Memory::AllocHeap(16));
  c->tag = tag;
  c->value = value;
  return reinterpret_cast<term>(c);
}
const TIntegralDomainDefinition* I(RIntegralDomain& r) {
  return reinterpret_cast<const TIntegralDomainDefinition*>(&r);
}

bool InGStack(const void* p) {
  auto* r = Control::TPrologThreadData::GetPTDwithBody();
  return p >= r->gstackBase && p < r->gstackEnd;
}

}  // namespace

TEST_F(Terms_, UnitLinksItsDomainsAndSymbols) {
  for (RDomainRecord* r = shapes.domains; r; r = r->next) EXPECT_GE(r->kind, 100u) << Narrow(r->name);
  EXPECT_EQ(shapes.canonical, &shapes);
  EXPECT_STREQ(shapes.Methods()->name(&shapes), L"shapes");
  EXPECT_EQ(shapes.Methods()->position(&shapes), &shapes.position);
  EXPECT_GT(shapes.position.position & 0xFFFFF, 0u);  // a real line from QEL_HERE
  // Unit symbols are interned as they are; equal texts give one pointer.
  wchar_t red[] = L"red";
  EXPECT_EQ(Qel::RunTime::Insert2SymbolTable(red), Qel::RunTime::Insert2SymbolTable(L"red"));
  EXPECT_NE(Qel::RunTime::Insert2SymbolTable(red), red);
  // The relative offsets of the worked example's argument table.
  EXPECT_EQ(shapeFunctors[0].args[0].offset, 8u);
  EXPECT_EQ(shapeFunctors[0].args[1].offset, 4u);
  EXPECT_EQ(shapeFunctors[1].blockSize, sizeof(Circle));
}

TEST_F(Terms_, SizesPerKind) {
  struct Case {
    const char* what;
    const IDomainDefinition* d;
    term t;
    uint32_t size, sizeAt, valueSize;
    bool scalar, boxed;
  };
  const Case cases[] = {
      {"coord", D(coord), Val<int32_t>(5), 4, 4, 4, true, false},
      {"byte", D(byte8), Val<uint8_t>(5), 1, 1, 1, true, false},
      {"word", D(word16), Val<uint16_t>(500), 2, 2, 2, true, false},
      {"long", D(long64), Val<int64_t>(-5), 8, 8, 8, true, false},
      {"real", D(real), Val(1.5), 8, 8, 8, true, false},
      {"char", D(chr), Val<wchar_t>(L'x'), 2, 2, 2, true, false},
      {"string", D(text), Str(L"abc"), 8, 8, 0, false, true},
      {"binary", D(bin), Bin({1, 2, 3}), 7, 7, 0, false, true},
      {"symbol", D(sym), Str(L"red"), 8, 8, 0, false, false},
      {"pointer", D(ptr), Val<void*>(nullptr), 8, 8, 8, true, false},
      {"string8", D(text8), Str8("ab"), 3, 3, 0, false, true},
      {"point", D(shape), MakePoint(1, 2), 16, 16, 0, false, true},
      {"circle", D(shape), MakeCircle(1, 2, 3), 24, 40, 0, false, true},
      {"none", D(shape), None(), 8, 8, 0, false, true},
      {"list", D(shapeList), MakeShapeList(3), 24, 3 * 24 + 16 + 40 + 8 + 8, 0, false, true},
      {"bound refCoord", D(refCoord), Cell(1, 7), 16, 16, 4, false, true},
      {"unbound refString", D(refText), Cell(0, 0), 16, 16, 0, false, true},
      {"bound refString", D(refText), Cell(1, reinterpret_cast<uint64_t>(L"ab")), 22, 22, 0, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(SizeOfTerm(c.d, c.t), c.size);
    EXPECT_EQ(c.d->SizeOfTermAt(c.t), c.sizeAt);
    EXPECT_EQ(c.d->ValueSize(), c.valueSize);
    EXPECT_EQ(c.d->IsScalar(), c.scalar);
    EXPECT_EQ(c.d->IsBoxed(), c.boxed);
  }
  EXPECT_TRUE(IsTermBoxedForAnonymousTypePosition(D(chr)));
  EXPECT_TRUE(IsTermBoxedForAnonymousTypePosition(D(coord)));
  EXPECT_FALSE(IsTermBoxedForAnonymousTypePosition(D(text)));
  EXPECT_EQ(D(shape)->FunctorCount(), 3u);
  EXPECT_EQ(D(shape)->FunctorOfTerm(None()), 3u);
  EXPECT_TRUE(D(shapeList)->IsList());
}

TEST_F(Terms_, CompareOrdersEachKindAndIsAntisymmetric) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* what;
    const IDomainDefinition* d;
    term a, b;
    int expected;  // CompareTerms(d, a, b): 1 when b orders after a
  };
  const Case cases[] = {
      {"1 2", D(coord), Val<int32_t>(1), Val<int32_t>(2), 1},
      {"2 1", D(coord), Val<int32_t>(2), Val<int32_t>(1), -1},
      {"equal", D(coord), Val<int32_t>(-5), Val<int32_t>(-5), 0},
      {"signed 8", D(small8), Val<int8_t>(-1), Val<int8_t>(1), 1},
      {"unsigned 8", D(byte8), Val<uint8_t>(255), Val<uint8_t>(1), -1},
      {"signed 64", D(long64), Val(INT64_MIN), Val<int64_t>(0), 1},
      {"unsigned 64", D(ulong64), Val(UINT64_MAX), Val<uint64_t>(0), -1},
      {"real", D(real), Val(1.5), Val(2.5), 1},
      {"NaN", D(real), Val(nan), Val(nan), 0},
      {"char units unsigned", D(chr), Val<wchar_t>(L'a'), Val<wchar_t>(0xFFFF), 1},
      {"prefix first", D(text), Str(L"ab"), Str(L"abc"), 1},
      {"string", D(text), Str(L"b"), Str(L"abc"), -1},
      {"string units unsigned", D(text), Str(L"\xFFFF"), Str(L"a"), -1},
      {"shorter binary first", D(bin), Bin({0xFF, 0xFF}), Bin({0, 0, 0}), 1},
      {"binary bytes", D(bin), Bin({1, 0x80}), Bin({1, 0x7F}), -1},
      {"empty binaries", D(bin), Bin({}), Bin({}), 0},
      {"string8", D(text8), Str8("a"), Str8("b"), 1},
      {"pointer", D(ptr), Val<uint64_t>(0xF000000000000000), Val<uint64_t>(1), -1},
      {"arguments", D(shape), MakePoint(1, 2), MakePoint(1, 3), 1},
      {"functor position, not name", D(shape), MakePoint(9, 9), MakeCircle(0, 0, 0), 1},
      {"constant last", D(shape), None(), MakePoint(0, 0), -1},
      {"nested", D(shape), MakeCircle(1, 2, 3), MakeCircle(1, 1, 3), -1},
      {"equal lists", D(shapeList), MakeShapeList(20), MakeShapeList(20), 0},
      {"cons (functor 1) before []", D(shapeList), MakeShapeList(3), MakeShapeList(4), -1},
      {"reference cells", D(refCoord), Cell(1, 3), Cell(1, 4), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(CompareTerms(c.d, c.a, c.b), c.expected);
    EXPECT_EQ(CompareTerms(c.d, c.b, c.a), -c.expected);
    EXPECT_EQ(Succeeds([&] { IsEqualTerms(c.d, c.a, c.b); }), c.expected == 0);
  }
  // Two object values never compare equal, not even one with itself.
  term o = Val<void*>(&shapes);
  EXPECT_EQ(CompareTerms(D(obj), o, o), -1);
  EXPECT_FALSE(Succeeds([&] { IsEqualTerms(D(obj), o, o); }));
}

TEST_F(Terms_, CopyToGlobalStackIsDeep) {
  const struct {
    const char* what;
    const IDomainDefinition* d;
    term t;
  } cases[] = {
      {"circle", D(shape), MakeCircle(4, 5, 6)},
      {"list", D(shapeList), MakeShapeList(1000)},
      {"string", D(text), Str(L"x\x4E2Dy")},
      {"binary", D(bin), Bin({9, 8, 7, 6, 5})},
      {"real", D(real), Val(-0.25)},
      {"bound refString", D(refText), Cell(1, reinterpret_cast<uint64_t>(L"abc"))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    term copy = nullptr;
    uint8_t* before = Memory::MarkGStack();
    CopyTermToGStack(c.d, c.t, &copy);
    EXPECT_NE(copy, c.t);
    EXPECT_TRUE(InGStack(copy));
    EXPECT_EQ(CompareTerms(c.d, c.t, copy), 0);
    EXPECT_LE(Memory::MarkGStack() - before, static_cast<ptrdiff_t>(c.d->AlignedSizeOfTerm(c.t) + 8));
  }
  // Sharing is not kept: the copy's centre is a new block.
  term circle = MakeCircle(1, 1, 1), copy;
  CopyTermToGStack(D(shape), circle, &copy);
  EXPECT_NE(reinterpret_cast<const Circle*>(copy)->centre, reinterpret_cast<const Circle*>(circle)->centre);
  // Symbols are never copied.
  term s = reinterpret_cast<term>(Qel::RunTime::Insert2SymbolTable(L"green"));
  CopyTermToGStack(D(sym), s, &copy);
  EXPECT_EQ(copy, s);
}

TEST_F(Terms_, CopyFromGlobalStackLeavesNothingBehind) {
  uint8_t* mark = Memory::MarkGStack();
  term list = MakeShapeList(50);
  term heap = CopyTermFromGStack(D(shapeList), list);
  // Every block of the copy is off the global stack.
  const uint8_t* t = heap;
  int cells = 0;
  for (; *reinterpret_cast<const uint64_t*>(t) == 1; t = static_cast<term>(reinterpret_cast<const shapeList_cons*>(t)->tail), ++cells) {
    ASSERT_FALSE(InGStack(t));
    auto* head = static_cast<term>(reinterpret_cast<const shapeList_cons*>(t)->head);
    ASSERT_FALSE(InGStack(head)) << cells;
    if (*reinterpret_cast<const uint64_t*>(head) == 2) {
      ASSERT_FALSE(InGStack(reinterpret_cast<const Circle*>(head)->centre));
    }
  }
  EXPECT_EQ(cells, 50);
  // Overwrite the released region: the heap copy is untouched.
  Memory::ReleaseGStack(mark);
  memset(Memory::AllocGStack(64 * 1024), 0xAB, 64 * 1024);
  Memory::ReleaseGStack(mark);
  EXPECT_EQ(CompareTerms(D(shapeList), heap, MakeShapeList(50)), 0);
  // Terms off the global stack come back as they are.
  static Point p{1, 3, 4};
  EXPECT_EQ(CopyTermFromGStack(D(shape), reinterpret_cast<term>(&p)), reinterpret_cast<term>(&p));
  term s = Str(L"heap");
  EXPECT_EQ(CopyTermFromGStack(D(text), s), s);
}

TEST_F(Terms_, LongListsNeedNoDeepRecursion) {
  term a = MakeShapeList(200000), b = MakeShapeList(200000), copy;
  EXPECT_EQ(CompareTerms(D(shapeList), a, b), 0);
  CopyTermToGStack(D(shapeList), a, &copy);
  EXPECT_EQ(CompareTerms(D(shapeList), a, copy), 0);
  EXPECT_EQ(D(shapeList)->SizeOfTermAt(a), D(shapeList)->SizeOfTermAt(copy));
  EXPECT_NO_FATAL_FAILURE(Validate(D(shapeList), copy));
}

TEST_F(Terms_, RangeChecksRaise302) {
  using Fn = std::function<void()>;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    const char* what;
    Fn check;
    uint32_t code;
  } cases[] = {
      {"II in", [] { Check_II_Range(I(coord), 1000); }, 0},
      {"II above", [] { Check_II_Range(I(coord), 1001); }, 302},
      {"II below", [] { Check_II_Range(I(coord), -1001); }, 302},
      {"II unsigned domain: no check", [] { Check_II_Range(I(natural), -5); }, 0},
      {"IU above int range", [] { Check_IU_Range(I(coord), 3000000000u); }, 302},
      {"IU in", [] { Check_IU_Range(I(coord), 5); }, 0},
      {"UI negative", [] { Check_UI_Range(I(byte8), -1); }, 302},
      {"UI top", [] { Check_UI_Range(I(byte8), 255); }, 0},
      {"UI above", [] { Check_UI_Range(I(byte8), 256); }, 302},
      {"UI signed domain: no check", [] { Check_UI_Range(I(coord), -5000); }, 0},
      {"UU below low", [] { Check_UU_Range(I(word16), 9); }, 302},
      {"UU top", [] { Check_UU_Range(I(word16), 60000); }, 0},
      {"UU full range", [] { Check_UU_Range(I(natural), 4294967295u); }, 0},
      {"real top", [] { CheckRealRange(reinterpret_cast<const TRealDomainDefinition*>(&unitReal), 1.0); }, 0},
      {"real above", [] { CheckRealRange(reinterpret_cast<const TRealDomainDefinition*>(&unitReal), 1.0000001); }, 302},
      {"real NaN", [nan] { CheckRealRange(reinterpret_cast<const TRealDomainDefinition*>(&unitReal), nan); }, 302},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorOf(c.check), c.code) << c.what;
  ErrorOf([] { Check_II_Range(I(coord), 1001); });
  EXPECT_EQ(LastErrorText(), L"The value '1001' is not in range [-1000 .. 1000] of the domain 'shapes::coord'");
  ErrorOf([] { Check_UI_Range(I(byte8), -1); });
  EXPECT_EQ(LastErrorText(), L"The value '-1' is not in range [0 .. 255] of the domain 'shapes::byte'");
}

TEST_F(Terms_, ConversionsRoundCheckAndRefuseOtherKinds) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    const char* what;
    std::function<double()> convert;
    double value;
    uint32_t code;
  } cases[] = {
      {"R2I half up", [] { return ConvertR2I(D(coord), 2.5); }, 3, 0},
      {"R2I negative half", [] { return ConvertR2I(D(coord), -2.5); }, -2, 0},
      {"R2I below half", [] { return ConvertR2I(D(coord), 1000.4); }, 1000, 0},
      {"R2I rounds out of range", [] { return ConvertR2I(D(coord), 1000.5); }, 0, 302},
      {"R2I NaN", [nan] { return ConvertR2I(D(coord), nan); }, 0, 302},
      {"R2I infinity", [inf] { return ConvertR2I(D(coord), -inf); }, 0, 302},
      {"R2U small negative rounds to 0", [] { return ConvertR2U(D(byte8), -0.4); }, 0, 0},
      {"R2U negative", [] { return ConvertR2U(D(byte8), -0.6); }, 0, 302},
      {"R2U top of 32 bits", [] { return ConvertR2U(D(natural), 4294967295.0); }, 4294967295.0, 0},
      {"R2U above 32 bits", [] { return ConvertR2U(D(natural), 4294967295.5); }, 0, 302},
      {"I2I", [] { return ConvertI2I(D(coord), -7); }, -7, 0},
      {"U2I", [] { return ConvertU2I(D(coord), 7u); }, 7, 0},
      {"U2I above", [] { return ConvertU2I(D(coord), 4000000000u); }, 0, 302},
      {"I2U negative", [] { return ConvertI2U(D(natural), -1); }, 0, 302},
      {"U2U", [] { return ConvertU2U(D(word16), 10u); }, 10, 0},
      {"I2R", [] { return ConvertI2R(D(unitReal), 1); }, 1.0, 0},
      {"U2R", [] { return ConvertU2R(D(unitReal), 2u); }, 0, 302},
      {"R2R NaN", [nan] { return ConvertR2R(D(unitReal), nan); }, 0, 302},
      {"I2I on unsigned", [] { return ConvertI2I(D(byte8), 1); }, 0, 3},
      {"R2U on signed", [] { return ConvertR2U(D(coord), 1.0); }, 0, 3},
      {"I2R on integral", [] { return ConvertI2R(D(coord), 1); }, 0, 3},
      {"R2I on string", [] { return ConvertR2I(D(text), 1.0); }, 0, 3},
  };
  for (const auto& c : cases) {
    volatile double got = 0;
    EXPECT_EQ(ErrorOf([&] { got = c.convert(); }), c.code) << c.what;
    if (!c.code) {
      EXPECT_EQ(got, c.value) << c.what;
    }
  }
  ErrorOf([] { ConvertR2I(D(coord), 1000.5); });
  EXPECT_EQ(LastErrorText(), L"The value '1000.5' is not in range [-1000 .. 1000] of the domain 'shapes::coord'");
  ErrorOf([] { ConvertI2I(D(byte8), 1); });
  EXPECT_EQ(LastErrorText(), L"TDomainDefinition::ConvertI2I");
}

TEST_F(Terms_, ValidateReports301WithTheFirstBytes) {
  EXPECT_EQ(ErrorOf([] { Validate(D(shape), MakeCircle(1, 2, 3)); }), 0u);
  EXPECT_EQ(ErrorOf([] { Validate(D(text), Str(L"ok")); }), 0u);
  EXPECT_EQ(ErrorOf([] { Validate(D(refCoord), Cell(0, 0)); }), 0u);
  static const uint64_t badFunctors[][3] = {{0, 1, 2}, {4, 1, 2}};
  for (const auto& b : badFunctors)
    EXPECT_EQ(ErrorOf([&] { Validate(D(shape), reinterpret_cast<term>(b)); }), 301u);
  EXPECT_EQ(LastErrorText(),
            L"Invalid term (memory image invalid for domain). Domain: 'shapes::shape', Term: "
            L"$[04,00,00,00,00,00,00,00,01,00 ... ] (first 20 bytes)");
  // A binary whose size word is below 4; an unreadable string; a fake object.
  uint8_t shortBinary[8] = {2, 0, 0, 0};
  EXPECT_EQ(ErrorOf([&] { Validate(D(bin), shortBinary + 4); }), 301u);
  EXPECT_EQ(ErrorOf([] { Validate(D(text), reinterpret_cast<term>(16)); }), 301u);
  EXPECT_NE(LastErrorText().find(L"Term: Unreadable memory"), std::wstring::npos);
  static const void* fakeTable[2] = {nullptr, nullptr};
  static const void* fakeObject = &fakeTable[1];
  EXPECT_EQ(ErrorOf([] { Validate(D(obj), Val(&fakeObject)); }), 301u);
}

TEST_F(Terms_, ReferenceCellsDereferenceAndRequireValues) {
  // A chain of links ends in the bound cell.
  term bound = Cell(1, 42);
  term link = Cell(0, reinterpret_cast<uint64_t>(bound));
  EXPECT_EQ(CompareTerms(D(refCoord), link, Cell(1, 42)), 0);
  EXPECT_TRUE(D(refCoord)->IsGround(link));
  EXPECT_FALSE(D(refCoord)->IsGround(Cell(0, 0)));
  // Wrapping a value.
  int32_t v = -3;
  auto* cell = reinterpret_cast<const RRefCell*>(D(refCoord)->Term_2_RefTerm(reinterpret_cast<term>(&v)));
  EXPECT_EQ(cell->tag, 1u);
  EXPECT_EQ(static_cast<int32_t>(cell->value), -3);
  // Free variables: copied as free where allowed, 328 where a value is needed.
  term unbound = Cell(0, 0), copy;
  CopyTermToGStack(D(refCoord), unbound, &copy);
  EXPECT_EQ(reinterpret_cast<const RRefCell*>(copy)->tag, 0u);
  EXPECT_EQ(ErrorOf([&] { CopyTermFromGStack(D(refCoord), unbound); }), 328u);
  EXPECT_EQ(LastErrorText(), L"Free variable");
  EXPECT_EQ(ErrorOf([&] {
              uint32_t used;
              uint8_t target[32];
              D(refText)->CopyTerm(target, unbound, true, &used);
            }),
            328u);
  EXPECT_EQ(ErrorOf([] { Error_FreeVariable(); }), 328u);
  // Only 8, 16 and 32-bit values fit a reference cell of an integral domain.
  static RIntegralDomain wide = Qel::RunTime::Decl::Integer({L"wide"}, INT32_MIN, INT32_MAX, 64, true);
  ActivateDomain(&wide.head);
  EXPECT_EQ(ErrorOf([&] { Domain(wide.head)->Term_2_RefTerm(reinterpret_cast<term>(&v)); }), 318u);
  EXPECT_EQ(LastErrorText(), L"64bits integral domains are not supported ");
  // A bound reference string on the global stack moves to the heap whole.
  term gcell;
  CopyTermToGStack(D(refText), Cell(1, reinterpret_cast<uint64_t>(L"moved")), &gcell);
  ASSERT_TRUE(InGStack(gcell));
  auto* heap = reinterpret_cast<const RRefCell*>(CopyTermFromGStack(D(refText), gcell));
  EXPECT_FALSE(InGStack(heap));
  EXPECT_FALSE(InGStack(reinterpret_cast<const void*>(heap->value)));
  EXPECT_STREQ(reinterpret_cast<const wchar_t*>(heap->value), L"moved");
}

TEST_F(Terms_, PlaceholderDomainsRaiseTheInternalErrorOfEachOperation) {
  term t = Val<int32_t>(1);
  const struct {
    std::function<void()> op;
    const wchar_t* text;
  } cases[] = {
      {[t] { CompareTerms(D(any), t, t); }, L"TDomainDefinition::CompareTerms"},
      {[t] { term c; CopyTermToGStack(D(any), t, &c); }, L"TDomainDefinition::CopyTerm"},
      {[t] { CopyTermFromGStack(D(any), t); }, L"TDomainDefinition::CopyTerm"},
      {[t] { Validate(D(any), t); }, L"TDomainDefinition::Validate"},
      {[t] { ToString(D(any), t); }, L"TDomainDefinition::WriteForConsultToStream"},
      {[t] { D(any)->Term_2_RefTerm(t); }, L"TDomainDefinition::Term_2_RefTerm"},
      {[] { ConvertR2R(D(any), 1.0); }, L"TDomainDefinition::ConvertR2R"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorOf(c.op), 3u) << Narrow(c.text);
    EXPECT_EQ(LastErrorText(), std::wstring(c.text));
  }
}

TEST(Domains, BadKindCodesAreRefusedAtActivation) {
  static RDomainRecord bad[] = {
      Qel::RunTime::Decl::Head(static_cast<EDomainKind>(0), sizeof(RDomainRecord), {L"zero"}),
      Qel::RunTime::Decl::Head(static_cast<EDomainKind>(34), sizeof(RDomainRecord), {L"big"}),
  };
  for (RDomainRecord& r : bad) {
    EXPECT_EQ(ErrorOf([&] { ActivateDomain(&r); }), 3u);
    EXPECT_LT(r.kind, 100u);
  }
  EXPECT_EQ(LastErrorText(), L"Invalid kind 34 of the domain 'big'");
  // Activating twice keeps the table.
  static RDomainRecord twice = Qel::RunTime::Decl::Simple(kString, {L"twice"});
  ActivateDomain(&twice);
  uintptr_t table = twice.kind;
  ActivateDomain(&twice);
  EXPECT_EQ(twice.kind, table);
  EXPECT_EQ(table, BuildDomainClassTable()[kString]);
}

TEST(Domains, QualifiedNames) {
  namespace decl = Qel::RunTime::Decl;
  static RScopeClassDescriptor hidden = decl::Class(L"_hidden", {});
  static RScopeClassDescriptor nameless = decl::Class(nullptr, {});
  static RScopeClassDescriptor named = decl::Class(L"roster", {});
  static RDomainRecord records[] = {
      decl::Simple(kString, {L"plain"}),
      decl::Simple(kString, {L"d", {}, nullptr, &hidden}),
      decl::Simple(kString, {L"d", {}, nullptr, &nameless}),
      decl::Simple(kString, {L"day", {}, nullptr, &named}),
  };
  const wchar_t* expected[] = {L"plain", L"::d", L"::d", L"roster::day"};
  uint8_t* mark = Memory::MarkGStack();
  for (size_t i = 0; i < 4; ++i) {
    ActivateDomain(&records[i]);
    EXPECT_STREQ(Domain(records[i])->QualifiedName(), expected[i]);
  }
  // Without a scope the name is a global-stack copy.
  const wchar_t* plain = Domain(records[0])->QualifiedName();
  EXPECT_NE(plain, records[0].name);
  Memory::ReleaseGStack(mark);
}
