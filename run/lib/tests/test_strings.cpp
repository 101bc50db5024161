// The strings library and the automation-string conversions.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include "helpers.h"
#include "qel6run_lib.h"

using namespace runlib_test;
using namespace CorvaneString;

namespace {

std::wstring Str(const wchar_t* s) { return s ? s : L"<null>"; }

}  // namespace

TEST(Strings, Create) {
  EXPECT_STREQ(create(5), L"     ");
  EXPECT_STREQ(create(0), L"");
  EXPECT_STREQ(create(7, L"ab"), L"abababa");
  EXPECT_STREQ(create(2, L"xyz"), L"xy");
  EXPECT_STREQ(create(0, L""), L"");
  EXPECT_EQ(RunTrapped([] { create(3, L""); }), 321u);
  EXPECT_EQ(ErrorText(), L"error r321: qel6run Internal Error");

  uint8_t* mark = Memory::MarkGStack();
  char* eight = create8(3);
  EXPECT_STREQ(eight, "   ");
  EXPECT_EQ(reinterpret_cast<uint8_t*>(eight), mark);
  Memory::ReleaseGStack(mark);
}

TEST(Strings, Trimming) {
  struct Case {
    const wchar_t* in;
    const wchar_t* front;
    const wchar_t* last;
    const wchar_t* inner;
  };
  const Case cases[] = {
      {L"", L"", L"", L""},
      {L" \t\r\n", L"", L"", L" \t\r\n"},
      {L"  a b  ", L"a b  ", L"  a b", L"  a b  "},
      {L" one\t   two ", L"one\t   two ", L" one\t   two", L" one two "},
      {L"a \t b\n\nc  \t d", L"a \t b\n\nc  \t d", L"a \t b\n\nc  \t d", L"a b\n\nc d"},
      {L"\x3000x\x3000\x3000y\x00A0", L"x\x3000\x3000y\x00A0", L"\x3000x\x3000\x3000y",
       L"\x3000x y\x00A0"},
      {L"solid", L"solid", L"solid", L"solid"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Str(trimFront(c.in)), c.front) << Narrow(c.in);
    EXPECT_EQ(Str(trimLast(c.in)), c.last) << Narrow(c.in);
    EXPECT_EQ(Str(trimInner(c.in)), c.inner) << Narrow(c.in);
  }
  // No copies where nothing changes.
  const wchar_t* s = L"  keep";
  EXPECT_EQ(trimFront(s), s + 2);
  EXPECT_EQ(trimLast(s), s);
  const wchar_t* white = L"  ";
  EXPECT_EQ(trimInner(white), white);
}

TEST(Strings, Search) {
  struct Case {
    const wchar_t* s;
    const wchar_t* sub;
    bool found;
    uint32_t position;
  };
  const Case cases[] = {
      {L"roster", L"st", true, 2}, {L"roster", L"", true, 0}, {L"", L"", false, 0},
      {L"", L"a", false, 0},       {L"abcabc", L"ca", true, 2}, {L"Roster", L"ros", false, 0},
      {L"ab", L"abc", false, 0},
  };
  for (const Case& c : cases) {
    uint32_t position = 99;
    EXPECT_EQ(search(c.s, c.sub, &position), c.found) << Narrow(c.s) << "/" << Narrow(c.sub);
    if (c.found) {
      EXPECT_EQ(position, c.position) << Narrow(c.s) << "/" << Narrow(c.sub);
    }
  }
}

TEST(Strings, SearchForCharLooksAtCountUnitsAndFailsWhenAbsent) {
  const wchar_t text[] = L"a\rb\0c\r\n";  // counts past the NUL
  uint32_t at = 0;
  EXPECT_TRUE(Succeeds([&] { at = searchForChar(text, L'\r', 7); }));
  EXPECT_EQ(at, 1u);
  EXPECT_TRUE(Succeeds([&] { at = searchForChar(text, L'c', 7); }));
  EXPECT_EQ(at, 4u);
  EXPECT_FALSE(Succeeds([&] { searchForChar(text, L'c', 4); }));
  EXPECT_FALSE(Succeeds([&] { searchForChar(text, L'a', 0); }));
  const char text8[] = "xy\0z";
  EXPECT_TRUE(Succeeds([&] { at = searchForChar8(text8, 'z', 4); }));
  EXPECT_EQ(at, 3u);
  EXPECT_FALSE(Succeeds([&] { searchForChar8(text8, 'z', 3); }));
}

TEST(Strings, Replace) {
  struct Case {
    const wchar_t* text;
    const wchar_t* old;
    const wchar_t* with;
    int32_t mode;
    bool firstOnly;
    const wchar_t* expected;  // null: no string
  };
  const Case cases[] = {
      {L"say hello, hello", L"hello", L"bye", 1, false, L"say bye, bye"},
      {L"say hello, hello", L"hello", L"bye", 1, true, L"say bye, hello"},
      {L"say Hello", L"hello", L"bye", 1, false, nullptr},
      {L"say Hello, HELLO", L"hello", L"bye", 0, false, L"say bye, bye"},
      {L"say Hello", L"hello", L"world", -1, true, L"say World"},
      {L"HELLO hello", L"Hello", L"world", -1, false, L"WORLD world"},
      {L"ABC", L"b", L"xyz", -1, false, L"AXyzC"},
      {L"a1c", L"1", L"xy", -1, false, L"axyc"},  // a digit has no case
      {L"aaaa", L"aa", L"b", 1, false, L"bb"},
      {L"aaa", L"aa", L"", 1, false, L"a"},
      {L"abc", L"abc", L"", 1, false, L""},
      {L"", L"a", L"b", 1, false, nullptr},
      {L"abc", L"", L"b", 1, false, nullptr},
      {L"ab", L"abc", L"b", 1, false, nullptr},
      {L"x\x00E9y", L"\x00C9", L"e", 0, false, L"xey"},
  };
  for (const Case& c : cases) {
    const wchar_t* got = replace(c.text, c.old, c.with, c.mode, c.firstOnly);
    EXPECT_EQ(Str(got), Str(c.expected)) << Narrow(c.text) << " " << Narrow(c.old) << " mode " << c.mode;
  }
}

TEST(Strings, IsAlphaAndCompareN) {
  EXPECT_TRUE(isAlpha(L""));
  EXPECT_TRUE(isAlpha(L"Rost\x00E9r"));
  EXPECT_FALSE(isAlpha(L"ab1"));
  EXPECT_FALSE(isAlpha(L"a b"));
  struct Case {
    const wchar_t* a;
    const wchar_t* b;
    uint32_t n;
    int sign;
  };
  const Case cases[] = {
      {L"abc", L"abd", 2, 0},  {L"abc", L"abd", 3, -1}, {L"abd", L"abc", 9, 1},
      {L"ab", L"abc", 5, -1},  {L"ab", L"ab", 5, 0},    {L"a", L"B", 1, 1},
      {L"\xFFFF", L"a", 1, 1}, {L"x", L"y", 0, 0},
  };
  for (const Case& c : cases) {
    int r = compareN(c.a, c.b, c.n);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << Narrow(c.a) << " " << Narrow(c.b) << " " << c.n;
  }
}

TEST(Strings, FrontToken) {
  struct Case {
    const wchar_t* in;
    const wchar_t* token;  // null: false
    const wchar_t* rest;
  };
  const Case cases[] = {
      {L"0x1F+2", L"0x1F", L"+2"},
      {L"3.5e+2x", L"3.5e+2", L"x"},
      {L"_a1 b", L"_a1", L" b"},
      {L"  \tname2_x(y)", L"name2_x", L"(y)"},
      {L"12.5.6", L"12.5", L".6"},
      {L"7.x", L"7", L".x"},
      {L"1e5e6", L"1e5", L"e6"},
      {L"2E-", L"2", L"E-"},
      {L"0o17 9", L"0o17", L" 9"},
      {L"0o8", L"0", L"o8"},
      {L"0xg", L"0", L"xg"},
      {L"007", L"007", L""},
      {L"0xFFFFFFFFFFFFFFFF", L"0xFFFFFFFFFFFFFFFF", L""},
      {L"0x1FFFFFFFFFFFFFFFF", L"0", L"x1FFFFFFFFFFFFFFFF"},
      {L"0x00000FFFFFFFFFFFFFFFF", L"0x00000FFFFFFFFFFFFFFFF", L""},
      {L"0o1777777777777777777777", L"0o1777777777777777777777", L""},
      {L"0o2000000000000000000000", L"0", L"o2000000000000000000000"},
      {L"0o777777777777777777777", L"0o777777777777777777777", L""},
      {L"+-", L"+", L"-"},
      {L"\x00E9t\x00E9 1", L"\x00E9t\x00E9", L" 1"},
      {L"   ", nullptr, nullptr},
      {L"", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    wchar_t* token = nullptr;
    const wchar_t* rest = nullptr;
    bool found = frontToken(c.in, &token, &rest);
    EXPECT_EQ(found, c.token != nullptr) << Narrow(c.in);
    if (found && c.token) {
      EXPECT_EQ(Str(token), c.token) << Narrow(c.in);
      EXPECT_EQ(Str(rest), c.rest) << Narrow(c.in);
    }
  }
}

TEST(AutomationStrings, NulAndFFFFTravelAsPairs) {
  using namespace Corvane_BasicString;
  const wchar_t units[] = {L'a', 0, L'b', 0xFFFF, L'c', 0xFFFE};
  BSTR bstr = SysAllocStringLen(units, 6);
  ASSERT_EQ(getPrologStringLength(bstr), 8u);
  wchar_t target[9];
  toString(bstr, target);
  const wchar_t encoded[] = {L'a', 0xFFFF, 0xFFFF, L'b', 0xFFFF, 0xFFFE, L'c', 0xFFFE, 0};
  EXPECT_EQ(std::wstring(target), std::wstring(encoded));

  BSTR back = toBstr(target);
  ASSERT_EQ(SysStringLen(back), 6u);
  EXPECT_EQ(std::wstring(back, 6), std::wstring(units, 6));
  SysFreeString(back);
  SysFreeString(bstr);

  EXPECT_EQ(getPrologStringLength(nullptr), 0u);
  toString(nullptr, target);
  EXPECT_EQ(target[0], 0);
  struct Case {
    std::wstring in, out;
  };
  const Case cases[] = {
      {L"", L""},
      {std::wstring(1, 0xFFFF), std::wstring(1, 0xFFFF)},
      {std::wstring{0xFFFF, L'x'}, std::wstring{0xFFFF, L'x'}},  // not a pair
      {std::wstring{L'x', 0xFFFF}, std::wstring{L'x', 0xFFFF}},
      {std::wstring{0xFFFF, 0xFFFF, 0xFFFF}, std::wstring{0, 0xFFFF}},
      {L"plain text", L"plain text"},
  };
  for (const Case& c : cases) {
    BSTR b = toBstr(c.in.c_str());
    EXPECT_EQ(std::wstring(b, SysStringLen(b)), c.out);
    SysFreeString(b);
  }
}
