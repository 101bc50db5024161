// Format strings: directives, per-domain texts and the errors.
#include <cfloat>
#include <cmath>
#include <climits>

#include "fmt_test.h"

namespace decl = Qel::RunTime::Decl;
using CorvaneString::Format2StringProlog;

namespace fmttest {

RIntegralDomain intd = decl::Integer({L"integer"});
RIntegralDomain int8d = decl::Integer({L"int8"}, -128, 127, 8);
RIntegralDomain natd = decl::Unsigned({L"unsigned"});
RIntegralDomain refintd = decl::Integer({L"refint"}, INT32_MIN, INT32_MAX, 32, true);
RIntegral64Domain longd = decl::Integer64({L"int64"});
RIntegral64Domain ulongd = decl::Unsigned64({L"uint64"});
RRealDomain reald = decl::Real({L"real"});
RDomainRecord chard = decl::Simple(kChar, {L"char"});
RDomainRecord strd = decl::Simple(kString, {L"string"});
RDomainRecord symd = decl::Simple(kSymbol, {L"symbol"});
RDomainRecord str8d = decl::Simple(kString8, {L"string8"});
RDomainRecord bind = decl::Simple(kBinary, {L"binary"});
RDomainRecord ptrd = decl::Simple(kPointer, {L"pointer"});
RDomainRecord plike = decl::Simple(kPointerLike, {L"handle"});
RDomainRecord anyd = decl::Simple(kAnyDomain, {L"@anyDomain"});
RDomainRecord refstrd = decl::Simple(kRefString, {L"refstring"});
RDomainRecord refchard = decl::Simple(kRefChar, {L"refchar"});
RDomainRecord predd = decl::Simple(kPredicateValue, {L"callback"});
RDomainRecord objd = decl::Simple(kObject, {L"object"});
RRealDomain refreald = decl::Real({L"refreal"}, -DBL_MAX, DBL_MAX, 19, true);
QEL_LIST(ints, intd, int32_t, {L"ints"});
QEL_LIST(strs, strd, const wchar_t*, {L"strs"});

const uint64_t kNil = 2;

void Activate() {
  static bool done = false;
  if (done) return;
  done = true;
  for (RDomainRecord* r : {&intd.head, &int8d.head, &natd.head, &refintd.head, &longd.head,
                           &ulongd.head, &reald.head, &chard, &strd, &symd, &str8d, &bind, &ptrd,
                           &plike, &anyd, &refstrd, &refchard, &refreald.head, &predd, &objd, &ints.head,
                           &strs.head})
    ActivateDomain(r);
}

const uint8_t* IntList(std::vector<IntCons>& cells, std::initializer_list<int32_t> values) {
  cells.assign(values.size(), IntCons{});
  size_t i = 0;
  for (int32_t v : values) {
    cells[i] = IntCons{1, v, i + 1 < values.size() ? static_cast<const void*>(&cells[i + 1])
                                                    : static_cast<const void*>(&kNil)};
    ++i;
  }
  return values.size() ? reinterpret_cast<const uint8_t*>(cells.data())
                       : reinterpret_cast<const uint8_t*>(&kNil);
}

}  // namespace fmttest

using namespace fmttest;

namespace {

class FormatString : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Activate(); }
};

std::wstring Fmt(const wchar_t* format, const Args& args) {
  return Format2StringProlog(format, args);
}

// The error code of formatting, and the text written before it.
uint32_t FmtError(const wchar_t* format, const Args& args, std::wstring* written = nullptr) {
  SmallSink sink(6);
  const REllipsisArg* a = args;
  uint32_t code = ErrorOf([&] { Format::corvaneStream_Format(&sink, format, a); });
  if (written) *written = sink.Text();
  return code;
}

struct Case {
  const wchar_t* format;
  std::vector<Arg> args;
  const wchar_t* expected;
};

void Check(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    Args a{};
    a.words.assign({2 + 2 * c.args.size(), c.args.size()});
    for (const Arg& x : c.args) a.words.push_back(reinterpret_cast<uintptr_t>(x.d));
    for (const Arg& x : c.args) a.words.push_back(x.word);
    std::wstring got;
    const REllipsisArg* block = a;
    uint32_t code = ErrorOf([&] { got = Format2StringProlog(c.format, block); });
    EXPECT_EQ(code, 0u) << Narrow(c.format) << ": " << Narrow(LastErrorText());
    EXPECT_EQ(got, c.expected) << "format " << Narrow(c.format);
  }
}

TEST_F(FormatString, LiteralsPercentAndPlainForm) {
  Check({
      {L"", {}, L""},
      {L"no directives", {}, L"no directives"},
      {L"%d%%", {I(5)}, L"5%"},
      {L"100%%", {}, L"100%"},
      {L"% x", {I(3)}, L"3 x"},                 // an empty directive keeps the space
      {L"[% ]", {S(L"a\"b")}, L"[a\"b ]"},      // plain form: no quotes
      {L"x%", {I(3)}, L"x3"},                   // a directive cut by the end
      {L"%E", {R(1.5)}, L"1.5E"},               // not a letter: plain form, kept as text
      {L"%d-%s-%c", {I(1), S(L"two"), C(L'3')}, L"1-two-3"},
  });
}

TEST_F(FormatString, DirectiveParsing) {
  Check({
      {L"%-05d|", {I(7)}, L"7    |"},     // "0" after "-" is a width digit
      {L"%0-5d", {I(7)}, L"7-5d"},        // "-" after a flag ends the directive
      {L"%5.d", {I(7)}, L"    7.d"},      // "." without a digit is text
      {L"%1.2.3d", {I(7)}, L"07.3d"},     // a second "." is text
      {L"%5q", {I(7)}, L"    7q"},        // any other character ends it
      {L"%\x0663" L"d", {I(7)}, L"  7"},  // a non-ASCII decimal digit counts
      {L"%.0s", {S(L"abc")}, L"abc"},     // precision 0 cuts nothing
  });
}

TEST_F(FormatString, Integers) {
  Check({
      {L"%d", {I(INT32_MIN)}, L"-2147483648"},
      {L"%D", {I(42)}, L"42"},
      {L"%05d", {I(-5)}, L"000-5"},       // zero fill goes in front of the sign
      {L"%-5d|", {I(7)}, L"7    |"},
      {L"%5d", {I(-5)}, L"   -5"},
      {L"%.5d", {I(-42)}, L"-00042"},
      {L"%8.5d", {I(-42)}, L"  -00042"},
      {L"%u", {I(-1)}, L"4294967295"},
      {L"%.4U", {I(7)}, L"0007"},
      {L"%x", {I(255)}, L"FF"},
      {L"%X", {I(-1)}, L"FFFFFFFF"},
      {L"%x", {I(0)}, L"0"},
      {L"%o", {I(8)}, L"10"},
      {L"%.6x", {I(255)}, L"FF"},         // precision ignored
      {L"%06x", {I(255)}, L"0000FF"},
      {L"%d", {Value(D(int8d), int8_t{-128})}, L"-128"},
      {L"%u", {Value(D(int8d), int8_t{-1})}, L"4294967295"},
      {L"%x", {Value(D(int8d), int8_t{-1})}, L"FFFFFFFF"},
      {L"%u", {U(4294967295u)}, L"4294967295"},
      {L"%5", {U(42)}, L"   42"},
      {L"%x", {U(0xDEADBEEF)}, L"DEADBEEF"},
      {L"%d", {Value(D(longd), INT64_MIN)}, L"-9223372036854775808"},
      {L"%u", {Value(D(longd), int64_t{-1})}, L"18446744073709551615"},
      {L"%X", {Value(D(ulongd), UINT64_MAX)}, L"FFFFFFFFFFFFFFFF"},
      {L"%021u", {Value(D(ulongd), UINT64_MAX)}, L"018446744073709551615"},
  });
}

TEST_F(FormatString, Reals) {
  Check({
      {L"%f", {R(1.5)}, L"1.5"},
      {L"%", {R(1.5)}, L"1.5"},
      {L"%.2f", {R(1.5)}, L"1.50"},
      {L"%f", {R(2.0)}, L"2.0"},           // one zero stays after the point
      {L"%f", {R(-0.25)}, L"-0.25"},
      {L"%e", {R(1.5)}, L"1.5e+00"},
      {L"%e", {R(0.0)}, L"0.0e+00"},
      {L"%.3e", {R(1500.0)}, L"1.500e+03"},
      {L"%g", {R(0.5)}, L"0.5"},
      {L"%g", {R(100.0)}, L"100"},         // no fraction: no zeros removed
      {L"%g", {R(1e20)}, L"1e+20"},
      {L"%08.2f", {R(-1.5)}, L"-0001.50"},
      {L"%8.2f", {R(1.5)}, L"    1.50"},
      // With a width the removed zeros become blanks on the left, so the
      // text keeps the length the conversion gave it.
      {L"%10f", {R(1.5)}, L"              1.5"},
      {L"%-20f|", {R(1.5)}, L"1.500000000000000   |"},
      {L"%f|%e|%5g", {R(HUGE_VAL), R(-HUGE_VAL), R(NAN)}, L"inf|-inf|  nan"},
  });
}

TEST_F(FormatString, TextKinds) {
  static uint8_t binary[] = {6, 0, 0, 0, 0x0A, 0xFF};
  static uint8_t empty[] = {4, 0, 0, 0};
  static const uint64_t callback[2] = {0xBEEF, 0};  // code, data
  Check({
      {L"%s|%5s|%-5s|%05s", {S(L"ab"), S(L"ab"), S(L"ab"), S(L"ab")}, L"ab|   ab|ab   |000ab"},
      {L"%s", {S(L"")}, L""},
      {L"%.3s", {S(L"abcdef")}, L"abc"},
      {L"%10.3s", {S(L"abcdef")}, L"   "},  // cut after padding
      {L"%-10.3s", {S(L"abcdef")}, L"abc"},
      {L"%s", {Term(D(symd), L"red")}, L"red"},
      {L"%4s", {Term(D(str8d), "ab")}, L"  ab"},
      {L"%c|%3c|%-3c|%.5c", {C(L'a'), C(L'b'), C(L'c'), C(L'd')}, L"a|  b|c  |d"},
      {L"%B", {Term(D(bind), binary + 4)}, L"$[0A,FF]"},
      {L"%10", {Term(D(bind), binary + 4)}, L"  $[0A,FF]"},
      {L"%", {Term(D(bind), empty + 4)}, L"$[]"},
      {L"%x|%", {Value(D(ptrd), uint64_t{0xDEADBEEF}), Value(D(ptrd), uint64_t{0})}, L"DEADBEEF|0"},
      {L"%P", {Value(D(plike), uint64_t{0x1234567890})}, L"1234567890"},
      {L"%P|%6", {Term(D(predd), callback), Value(D(objd), uint64_t{0xABC})}, L"BEEF|   ABC"},
      {L"%s|%3s", {Term(D(str8d), ""), Term(D(str8d), "\xE9")}, L"|  \xE9"},
  });
}

TEST_F(FormatString, CompoundsAndReferences) {
  std::vector<IntCons> cells;
  const uint8_t* list = IntList(cells, {1, 2, 3});
  static const StrCons tail{1, L"b", &kNil};
  static const StrCons words{1, L"a", &tail};
  RRefCell five{1, 5}, unbound{0, 0}, link{0, reinterpret_cast<uintptr_t>(&five)};
  RRefCell text{1, reinterpret_cast<uintptr_t>(L"xyz")}, letter{1, L'x'}, half{1, 0};
  double two5 = 2.5;
  memcpy(&half.value, &two5, 8);
  Check({
      {L"%", {Term(D(ints), list)}, L"[1,2,3]"},
      {L"%9|%-9|", {Term(D(ints), list), Term(D(ints), list)}, L"  [1,2,3]|[1,2,3]  |"},
      {L"%.3", {Term(D(ints), list)}, L"[1,"},
      {L"%9.4", {Term(D(ints), list)}, L"  [1"},
      {L"%", {Term(D(ints), &kNil)}, L"[]"},
      {L"%1|%|% ", {Term(D(strs), &words), Term(D(strs), &words), Term(D(strs), &words)},
       L"[\"a\",\"b\"]|[a,b]|[a,b] "},  // "%|" is an empty directive,
      {L"%03d|%x", {Term(D(refintd), &five), Term(D(refintd), &link)}, L"005|5"},
      {L"% ", {Term(D(refintd), &unbound)}, L"_ "},
      {L"%.2s", {Term(D(refstrd), &text)}, L"xy"},
      {L"%3c|%f", {Term(D(refchard), &letter), Term(D(refreald), &half)}, L"  x|2.5"},
  });
}

TEST_F(FormatString, RealsWiderThanTheFixedBuffer) {
  std::wstring got = Fmt(L"%.400f", {R(1.0)});
  EXPECT_EQ(got, L"1." + std::wstring(400, L'0'));
  EXPECT_EQ(Fmt(L"%300f", {R(2.0)}), std::wstring(297, L' ') + L"2.0");
  // A width the global stack cannot hold is an error, not a crash.
  EXPECT_NE(FmtError(L"%500000000f", {R(1.0)}), 0u);
}

TEST_F(FormatString, LongResultCrossesChunks) {
  std::wstring literal(5000, L'x'), arg(5000, L'y');
  std::wstring format = literal + L"%s!";
  std::wstring got = Fmt(format.c_str(), {S(arg.c_str())});
  EXPECT_EQ(got, literal + arg + L"!");
  // Exactly one chunk of text, then more.
  std::wstring full(4096, L'z');
  EXPECT_EQ(Fmt((full + L"%d").c_str(), {I(12)}), full + L"12");
}

TEST_F(FormatString, WrongNumberOfArguments) {
  std::wstring written;
  EXPECT_EQ(FmtError(L"a%db%dc", {I(1), I(2), I(3)}, &written), 314u);
  EXPECT_EQ(written, L"a1b2c");  // the whole text, then the error
  EXPECT_EQ(LastErrorText(), L"Wrong number of arguments in the format string");
  EXPECT_EQ(FmtError(L"<%d,%d,%d>", {I(1), I(2)}, &written), 314u);
  EXPECT_EQ(written, L"<1,2,");  // raised at the third directive
  EXPECT_EQ(FmtError(L"%%", {I(1)}), 314u);
  EXPECT_EQ(FmtError(L"%", {}), 314u);
  EXPECT_EQ(FmtError(nullptr, {I(1)}), 314u);
}

TEST_F(FormatString, InvalidLetterForTheDomain) {
  std::vector<IntCons> cells;
  const uint8_t* list = IntList(cells, {1});
  struct Bad {
    const wchar_t* format;
    Arg arg;
    const wchar_t* message;
  };
  const Bad cases[] = {
      {L"%d", U(1), L"Invalid format 'd' for the domain 'unsigned'"},
      {L"%s", I(1), L"Invalid format 's' for the domain 'integer'"},
      {L"%f", I(1), L"Invalid format 'f' for the domain 'integer'"},
      {L"%d", R(1), L"Invalid format 'd' for the domain 'real'"},
      {L"%R", R(1), L"Invalid format 'R' for the domain 'real'"},
      {L"%d", S(L"a"), L"Invalid format 'd' for the domain 'string'"},
      {L"%x", C(L'a'), L"Invalid format 'x' for the domain 'char'"},
      {L"%s", Term(D(ints), list), L"Invalid format 's' for the domain 'ints'"},
      {L"%P", Value(D(ptrd), uint64_t{1}), L"Invalid format 'P' for the domain 'pointer'"},
      {L"%d", Value(D(ulongd), uint64_t{1}), L"Invalid format 'd' for the domain 'uint64'"},
  };
  for (const Bad& b : cases) {
    std::wstring written;
    EXPECT_EQ(FmtError((L"<" + std::wstring(b.format)).c_str(), {b.arg}, &written), 312u)
        << Narrow(b.format);
    EXPECT_EQ(LastErrorText(), b.message);
    EXPECT_EQ(written, L"<");
  }
}

TEST_F(FormatString, BadArgumentsAreRefused) {
  RRefCell unbound{0, 0};
  EXPECT_EQ(FmtError(L"%d", {Term(D(refintd), &unbound)}), 328u);
  EXPECT_EQ(FmtError(L"%s", {Term(D(strd), nullptr)}), 301u);
  EXPECT_EQ(FmtError(L"%d", {Arg{nullptr, 5}}), 3u);
  // A domain without a format of its own.
  EXPECT_EQ(FmtError(L"%", {Term(D(anyd), L"")}), 3u);
  EXPECT_NE(LastErrorText().find(L"TDomainDefinition::FormatVG for domain: '@anyDomain'"),
            std::wstring::npos);
  // Width and precision beyond 32 bits.
  EXPECT_EQ(FmtError(L"%99999999999d", {I(1)}), 316u);
  EXPECT_EQ(FmtError(L"%.99999999999s", {S(L"a")}), 316u);

  // A length word too short for the count is refused before anything is read.
  std::vector<uint64_t> block = {2, 1, reinterpret_cast<uintptr_t>(D(intd)), 5};
  auto* a = reinterpret_cast<const REllipsisArg*>(block.data());
  std::wstring got;
  EXPECT_EQ(ErrorOf([&] { got = Format2StringProlog(L"%d", a); }), 3u);
  block = {4, uint64_t{1} << 62, 0, 0};
  EXPECT_EQ(ErrorOf([&] { got = Format2StringProlog(L"%d", a); }), 3u);
  // A null block is an empty list.
  EXPECT_EQ(ErrorOf([&] { got = Format2StringProlog(L"ok", nullptr); }), 0u);
  EXPECT_EQ(got, L"ok");
}

}  // namespace
