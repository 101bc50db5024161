// Text forms of the scalar, string and binary kinds: writing, parsing from a
// string and from block streams, the lexical layer and its errors.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "example_unit.h"
#include "run_test.h"

using namespace example;
using namespace runtest;
using namespace Qel::RunTime::Kernel;
using namespace Qel::RunTime::Terms::Streams;
using Qel::RunTime::Terms::term;
namespace decl = Qel::RunTime::Decl;

namespace {

RIntegralDomain int32d = decl::Integer({L"integer"});
RRealDomain third = decl::Real({L"third"}, -1e300, 1e300, 19);
RRealDomain short6 = decl::Real({L"short"}, -1e300, 1e300, 6);

// A list of integers declared with QEL_LIST, and a reference list.
QEL_LIST(numbers, int32d, int32_t, {L"numbers"});
struct RefCons {
  uint64_t functor;
  int32_t head;
  const RRefCell* tail;
};
extern RCompoundDomain refNumbers;
decl::Arguments refConsArgs{{QEL_ARG(RefCons, head, int32d), QEL_ARG(RefCons, tail, refNumbers)}};
RFunctor refConsFunctors[] = {decl::Functor<RefCons>(L".", refConsArgs), decl::Constant(L"[]")};
RCompoundDomain refNumbers = decl::Compound({L"refNumbers"}, refConsFunctors, kRefList);

class Text : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(LinkExampleUnit(), 0);
    for (auto* r : {&int32d.head, &third.head, &short6.head, &numbers.head, &refNumbers.head})
      if (r->kind < 100) ActivateDomain(r);
  }
};

std::wstring Show(const IDomainDefinition* d, term t) { return ToString(d, t); }

}  // namespace

TEST_F(Text, ToStringAndFromStringPairs) {
  struct Case {
    const IDomainDefinition* d;
    const wchar_t* text;
    const wchar_t* written;
  };
  const Case cases[] = {
      {D(int32d), L"  42 ", L"42"},
      {D(int32d), L"-2147483648", L"-2147483648"},
      {D(int32d), L"+7", L"7"},
      {D(int32d), L"0x1f", L"31"},
      {D(int32d), L"0X1F", L"31"},
      {D(int32d), L"0o17", L"15"},
      {D(int32d), L"017", L"17"},
      {D(small8), L"-128", L"-128"},
      {D(natural), L"4294967295", L"4294967295"},
      {D(word16), L"60000", L"60000"},
      {D(long64), L"-9223372036854775808", L"-9223372036854775808"},
      {D(ulong64), L"18446744073709551615", L"18446744073709551615"},
      {D(real), L"1.5", L"1.5"},
      {D(third), L"0.333333333333333314829616256247", L"0.3333333333333333"},
      {D(real), L"-1e-300", L"-1e-300"},
      {D(chr), L"'a'", L"'a'"},
      {D(chr), L" '\\n'", L"'\\n'"},
      {D(chr), L"'\\u4100'", L"'A'"},
      {D(chr), L"'\\q'", L"'q'"},
      {D(chr), L"'\\0'", L"'\\0'"},
      {D(chr), L"'''", L"'''"},
      {D(chr), L"'\"'", L"'\\\"'"},
      {D(text), L"\"a\\\"b\\t\"", L"\"a\\\"b\\t\""},
      {D(text), L"\"\\u0041\\u4E2D\"", L"\"A\x4E2D\""},
      {D(text), L"\"\"", L"\"\""},
      {D(bin), L"$[0A,ff]", L"$[0A,FF]"},
      {D(bin), L"$[]", L"$[]"},
      {D(bin), L"$[ ]", L"$[]"},
      {D(bin), L"$[ 0a , 1B ]", L"$[0A,1B]"},
      {D(sym), L"\"red\"", L"\"red\""},
      {D(ptr), L"deadBEEF", L"00000000DEADBEEF"},
      {D(ptr), L"", L"0000000000000000"},
      {D(ptr), L"FFFFFFFFFFFFFFFF", L"FFFFFFFFFFFFFFFF"},
      {D(text8), L"\"abc\\n\"", L"\"abc\\n\""},
      {D(refCoord), L"5", L"5"},
      {D(refText), L"\"x\"", L"\"x\""},
      {D(refChar), L"'z'", L"'z'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    term t = nullptr;
    ASSERT_EQ(ErrorOf([&] { t = FromString(c.d, c.text); }), 0u) << Narrow(LastErrorText());
    EXPECT_EQ(Show(c.d, t), c.written);
    EXPECT_EQ(c.d->TextLength(t), wcslen(c.written));
    std::wstring low(c.d->TextLength(t), L'#');
    EXPECT_EQ(c.d->LowLevelToString(t, low.data()), low.data() + low.size());
    EXPECT_EQ(low, c.written);
    // The written text reads back as the same value, from a string and a stream.
    term again = FromString(c.d, c.written);
    EXPECT_EQ(CompareTerms(c.d, t, again), 0);
    term streamed = ParseToTerm(c.d, c.written);
    EXPECT_EQ(CompareTerms(c.d, t, streamed), 0);
  }
  // A domain's digits decide the written precision.
  EXPECT_EQ(Show(D(short6), FromString(D(short6), L"3.14159265")), L"3.14159");
  // Special values.
  wchar_t nul = 0;
  EXPECT_EQ(Show(D(chr), reinterpret_cast<term>(&nul)), L"'\\0'");
  EXPECT_EQ(*reinterpret_cast<const wchar_t*>(ParseToTerm(D(chr), L"'\\0'")), 0);
  RRefCell unbound{0, 0};
  EXPECT_EQ(Show(D(refCoord), reinterpret_cast<term>(&unbound)), L"_");
  EXPECT_EQ(D(refCoord)->TextLength(reinterpret_cast<term>(&unbound)), 1u);
  // Symbols read from equal texts are one pointer.
  EXPECT_EQ(FromString(D(sym), L"\"blue\""), ParseToTerm(D(sym), L" \"blue\""));
  // The plain writers.
  term s = FromString(D(text), L"\"a\\tb\"");
  RRefCell bound{1, reinterpret_cast<uint64_t>(s)};
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(s)), L"a\tb");
  EXPECT_EQ(Show(D(refText), reinterpret_cast<term>(&bound)), L"\"a\\tb\"");
}

TEST_F(Text, ParseErrorsFromStrings) {
  struct Case {
    const IDomainDefinition* d;
    const wchar_t* text;
    uint32_t code;
  };
  const Case cases[] = {
      {D(int32d), L"", 303},          {D(int32d), L"abc", 303},      {D(int32d), L"12 x", 303},
      {D(int32d), L"4294967296", 316}, {D(int32d), L"2147483648", 316},
      {D(small8), L"128", 316},       {D(small8), L"-129", 316},     {D(coord), L"1001", 302},
      {D(natural), L"-1", 303},       {D(int32d), L"0x", 303},       {D(int32d), L"0o8", 303},
      // Unsigned kinds: a literal too wide for the storage is out of range.
      {D(byte8), L"256", 302},        {D(byte8), L"0x100", 302},     {D(word16), L"65536", 302},
      {D(natural), L"4294967296", 316},
      {D(long64), L"9223372036854775808", 316},
      {D(ulong64), L"18446744073709551616", 316},
      {D(real), L"x", 303},           {D(real), L"1e999", 316},      {D(unitReal), L"2", 302},
      {D(chr), L"a", 307},            {D(chr), L"'ab'", 307},        {D(chr), L"'", 307},
      {D(chr), L"'\\u12G4'", 317},
      {D(text), L"\"abc", 307},       {D(text), L"abc", 307},        {D(text), L"\"\\q\"", 303},
      {D(text), L"\"\\u00G1\"", 317}, {D(text), L"\"\\", 303},
      {D(bin), L"[0A]", 307},         {D(bin), L"$0A", 307},         {D(bin), L"$[0G]", 317},
      {D(bin), L"$[0A", 307},         {D(bin), L"$[0A 0B]", 307},    {D(bin), L"$[0AB]", 307},
      {D(ptr), L"11112222333344445", 316},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ErrorOf([&] { FromString(c.d, c.text); }), c.code) << Narrow(c.text);
  ErrorOf([] { FromString(D(coord), L"abc"); });
  EXPECT_EQ(LastErrorText(), L"Invalid string for the domain 'shapes::coord' in ::toTerm( \"abc\" )");
  ErrorOf([] { FromString(D(coord), L"7 ;"); });
  EXPECT_EQ(LastErrorText(), L"Invalid string for the domain 'shapes::coord' in ::toTerm( \"7 ;\" )");
  ErrorOf([] { FromString(D(text), L"abc"); });
  EXPECT_EQ(LastErrorText(), L"The symbol '\"' is expected for the domain 'shapes::string' in ::toTerm( \"abc\" )");
  ErrorOf([] { FromString(D(small8), L"128"); });
  EXPECT_EQ(LastErrorText(), L"Arithmetic overflow");
}

TEST_F(Text, StreamParsingIsTheSameWhateverTheBlockSize) {
  struct Item {
    const IDomainDefinition* d;
    const wchar_t* written;
  };
  const Item items[] = {
      {D(int32d), L"-2147483648"},
      {D(text), L"\"x\x4E2Dy\\n\\\\ \\\"q\\\"\""},
      {D(coord), L"31"},
      {D(chr), L"'A'"},
      {D(real), L"-1.25e-07"},
      {D(bin), L"$[0A,FF,00]"},
      {D(text), L"\"A\""},
      {D(sym), L"\"green\""},
      {D(ptr), L"00000000DEADBEEF"},
      {D(ulong64), L"18446744073709551615"},
      {D(text8), L"\"eight\""},
      {D(refCoord), L"-3"},
  };
  // Comments, radix forms and escapes that blocks may cut anywhere.
  const std::wstring text =
      L" -2147483648 /* a /* nested */ comment */ \"x\\u4E2Dy\\n\\\\ \\\"q\\\"\"\n"
      L"% a line comment\n 0x1F\t'\\u4100' -1.25e-7 $[0a, ff,00] \"\\u0041\" \"green\"\r\n"
      L"deadbeef 18446744073709551615 \"eight\" -3 ";
  for (uint32_t block : {1u, 2u, 3u, 5u, 6u, 64u, 100000u}) {
    SCOPED_TRACE(block);
    BlockSource source(text, block);
    for (const Item& item : items) {
      term t = nullptr;
      ASSERT_EQ(ErrorOf([&] { t = ParseFromStream(item.d, &source, 1); }), 0u)
          << Narrow(item.written) << ": " << Narrow(LastErrorText());
      EXPECT_EQ(Show(item.d, t), item.written);
    }
    EXPECT_EQ(ErrorOf([&] { ParseFromStream(D(coord), &source, 1); }), 319u);
  }
}

TEST_F(Text, StreamErrorsAndLexicalRules) {
  struct Case {
    const IDomainDefinition* d;
    const wchar_t* text;
    uint32_t code;
    const wchar_t* message;
  };
  const Case cases[] = {
      {D(int32d), L"abc", 317, L"Integer expected: 'a'"},
      {D(int32d), L"4294967296", 316, L"Arithmetic overflow"},
      {D(byte8), L"0x100", 302, L"The value '256' is not in range [0 .. 255] of the domain 'shapes::byte'"},
      {D(int32d), L"", 319, L"Unexpected end of stream"},
      {D(int32d), L"/* open /* */ 5", 323, L"Illegal comment"},
      {D(text), L"abc", 327, L"Expected symbol '\"', got 'a' for domain 'shapes::string'"},
      {D(text), L"\"abc", 319, nullptr},
      {D(chr), L"'a", 327, nullptr},
      {D(chr), L"x", 327, nullptr},
      {D(real), L"-.5", 317, L"Integer expected: '.'"},
      {D(real), L"1e+ ", 317, nullptr},
      {D(real), L"x", 322, L"Invalid term's text representation for domain 'shapes::real' in ''"},
      {D(bin), L"$[0A", 319, nullptr},
      {D(bin), L"$[0]", 317, L"Integer expected: ']'"},
      {D(bin), L"$[0A0B]", 317, nullptr},
      {D(bin), L"[0A]", 327, nullptr},
      {D(ptr), L"xyz", 317, nullptr},
      {D(ptr), L"11112222333344445", 316, nullptr},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorOf([&] { ParseToTerm(c.d, c.text); }), c.code) << Narrow(c.text);
    if (c.message) {
      EXPECT_EQ(LastErrorText(), c.message) << Narrow(c.text);
    }
  }
  struct Value {
    const IDomainDefinition* d;
    const wchar_t* text;
    const wchar_t* written;
  };
  const Value values[] = {
      {D(int32d), L"/* a /* b */ c */ 5", L"5"},
      {D(int32d), L"%<--noFa x\n 7", L"7"},
      {D(int32d), L"0", L"0"},
      {D(real), L".5", L"0.5"},
      {D(real), L"1.", L"1"},
      {D(real), L"1e", L"1"},
      {D(chr), L"'\\u4100'", L"'A'"},
      {D(chr), L"'\\q'", L"'q'"},
      {D(text), L"\"\\q\"", L"\"\\\\q\""},
      {D(bin), L"$[0A, ff]", L"$[0A,FF]"},
      {D(bin), L"$[]", L"$[]"},
  };
  for (const Value& v : values) EXPECT_EQ(Show(v.d, ParseToTerm(v.d, v.text)), v.written) << Narrow(v.text);
  // A zero followed by a blank is 0 and leaves the blank.
  BlockSource source(L"0 x", 100);
  EXPECT_EQ(*reinterpret_cast<const int32_t*>(ParseFromStream(D(int32d), &source, 1)), 0);
  EXPECT_EQ(ParseChar(&source), L' ');
}

TEST_F(Text, CharacterStringLineAndByteEntries) {
  // Lines: escapes resolved, CR LF gives an empty line, a last line without
  // its end is returned, then the end of the stream is an error.
  BlockSource lines(L"ab\\tc\r\nxy", 3 * 2);
  EXPECT_STREQ(ParseLine(&lines), L"ab\tc");
  EXPECT_STREQ(ParseLine(&lines), L"");
  EXPECT_STREQ(ParseLine(&lines), L"xy");
  EXPECT_EQ(ErrorOf([&] { ParseLine(&lines); }), 319u);

  BlockSource chars(L"abcdef", 4);
  EXPECT_STREQ(ParseString(&chars, 0), L"");
  EXPECT_STREQ(ParseString(&chars, 3), L"abc");
  EXPECT_EQ(ParseChar(&chars), L'd');
  ungetChar(&chars);
  EXPECT_EQ(ParseChar(&chars), L'd');
  EXPECT_STREQ(ParseString(&chars, 10), L"ef");  // cut at the end
  EXPECT_EQ(ErrorOf([&] { ParseChar(&chars); }), 319u);

  // Right after a new block, nothing of the old one can be returned.
  BlockSource blocks(L"abcd", 4);
  EXPECT_EQ(ParseChar(&blocks), L'a');
  EXPECT_EQ(ParseChar(&blocks), L'b');
  EXPECT_EQ(ParseChar(&blocks), L'c');
  ungetChar(&blocks);
  EXPECT_EQ(ErrorOf([&] { ungetChar(&blocks); }), 320u);
  EXPECT_EQ(LastErrorText(), L"Illegal call to ungetchar");

  BlockSource bytes(L"AB", 100);
  const uint8_t* none = ParseBytes(&bytes, 0);
  EXPECT_EQ(*reinterpret_cast<const uint32_t*>(none - 4), 4u);
  const uint8_t* some = ParseBytes(&bytes, 10);  // shrunk to what was there
  EXPECT_EQ(*reinterpret_cast<const uint32_t*>(some - 4), 8u);
  EXPECT_EQ(some[0], 'A');
  BlockSource empty(L"", 100);
  EXPECT_EQ(ErrorOf([&] { ParseBytes(&empty, 4); }), 319u);
  // A count whose block size (count + 4) would not fit 32 bits is refused
  // before anything is allocated or read.
  BlockSource huge(L"AB", 100);
  EXPECT_EQ(ErrorOf([&] { ParseBytes(&huge, 0xFFFFFFFFu); }), 206u);
  // A binary image announcing 8 data bytes of which 2 are there.
  BlockSource image(std::wstring{L'\x000C', L'\x0000', L'\x0201'}, 100);
  EXPECT_EQ(ErrorOf([&] { ParseFromStream(D(coord), &image, 0); }), 319u);
}

TEST_F(Text, TokensLongerThanABlock) {
  std::wstring body;
  for (int i = 0; i < 20000; ++i) body += static_cast<wchar_t>(L'a' + i % 26);
  std::wstring literal = L"\"" + body + L"\\u4E2D\" 123456789012345678901234567890";
  BlockSource source(literal, 7);
  term t = ParseFromStream(D(text), &source, 1);
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(t)), body + L"\x4E2D");
  EXPECT_EQ(ErrorOf([&] { ParseFromStream(D(ulong64), &source, 1); }), 316u);
}

TEST_F(Text, LongTextsGoThroughSeveralSinkChunks) {
  std::wstring body(5000, L'x');
  body[4095] = L'\n';
  std::wstring quoted = L"\"" + body.substr(0, 4095) + L"\\n" + body.substr(4096) + L"\"";
  term t = reinterpret_cast<term>(body.c_str());
  EXPECT_EQ(Show(D(text), t), quoted);
  std::vector<uint8_t> data(3000 + 4);
  uint32_t size = 3004;
  memcpy(data.data(), &size, 4);
  for (size_t i = 0; i < 3000; ++i) data[4 + i] = static_cast<uint8_t>(i);
  std::wstring written = Show(D(bin), data.data() + 4);
  EXPECT_EQ(written.size(), 3u * 3000 + 2);
  EXPECT_EQ(CompareTerms(D(bin), data.data() + 4, FromString(D(bin), written.c_str())), 0);
}

TEST_F(Text, CompoundsAndLists) {
  struct Case {
    const IDomainDefinition* d;
    const wchar_t* text;
    const wchar_t* written;
  };
  const Case cases[] = {
      {D(shape), L"point(1,2)", L"point(1,2)"},
      {D(shape), L" circle ( point(3, 4) , 5 ) ", L"circle(point(3,4),5)"},
      {D(shape), L"none", L"none()"},
      {D(shape), L"none()", L"none()"},
      {D(shape), L"none ( )", L"none()"},
      {D(shapeList), L"[]", L"[]"},
      {D(shapeList), L"[ ]", L"[]"},
      {D(shapeList), L"[point(1,1), none ,circle(point(0,0),1)]", L"[point(1,1),none(),circle(point(0,0),1)]"},
  };
  for (const Case& c : cases) {
    term t = nullptr;
    ASSERT_EQ(ErrorOf([&] { t = FromString(c.d, c.text); }), 0u) << Narrow(c.text) << Narrow(LastErrorText());
    EXPECT_EQ(Show(c.d, t), c.written);
    EXPECT_EQ(CompareTerms(c.d, t, ParseToTerm(c.d, c.text)), 0) << Narrow(c.text);
    EXPECT_EQ(CompareTerms(c.d, t, FromString(c.d, c.written)), 0) << Narrow(c.text);
  }
  // The declaration order decides, and a longer name is not cut short.
  EXPECT_EQ(D(shape)->FunctorOfTerm(FromString(D(shape), L"none")), 3u);
  struct Error {
    const wchar_t* text;
    uint32_t fromString, fromStream;
  };
  const Error errors[] = {
      {L"pointx(1,2)", 309, 309}, {L"point_(1,2)", 309, 309}, {L"1", 310, 310},
      {L"point 1,2)", 307, 327},  {L"point(1;2)", 307, 327},  {L"point(1,x)", 303, 317},
      {L"point(1,2", 307, 327},
  };
  for (const Error& e : errors) {
    EXPECT_EQ(ErrorOf([&] { FromString(D(shape), e.text); }), e.fromString) << Narrow(e.text);
    EXPECT_EQ(ErrorOf([&] { ParseToTerm(D(shape), e.text); }), e.fromStream) << Narrow(e.text);
  }
  ErrorOf([] { FromString(D(shape), L"square(1)"); });
  EXPECT_EQ(LastErrorText(), L"The functor 'square' is not in the domain 'shapes::shape'");
  EXPECT_EQ(ErrorOf([] { FromString(D(shapeList), L"[point(1,1)"); }), 307u);
  EXPECT_EQ(LastErrorText().find(L"The symbol ']' is expected"), 0u);
  // Streams match functor names without regard to case.
  EXPECT_EQ(Show(D(shape), ParseToTerm(D(shape), L"POINT(1,2)")), L"point(1,2)");
}

TEST_F(Text, DeclaredListsAndReferenceListTails) {
  term list = FromString(D(numbers), L"[1, 2,3]");
  EXPECT_EQ(Show(D(numbers), list), L"[1,2,3]");
  EXPECT_EQ(reinterpret_cast<const numbers_cons*>(list)->head, 1);
  EXPECT_EQ(CompareTerms(D(numbers), list, ParseToTerm(D(numbers), L"[1,2,3]")), 0);
  // A reference list parsed from text ends in a bound [] cell; one whose
  // tail is a free variable is written with |_.
  term ref = FromString(D(refNumbers), L"[4,5]");
  EXPECT_EQ(Show(D(refNumbers), ref), L"[4,5]");
  RRefCell freeTail{0, 0};
  RefCons cons{1, 7, &freeTail};
  RRefCell top{1, reinterpret_cast<uint64_t>(&cons)};
  EXPECT_EQ(Show(D(refNumbers), reinterpret_cast<term>(&top)), L"[7|_]");
  EXPECT_FALSE(D(refNumbers)->IsGround(reinterpret_cast<term>(&top)));
}
