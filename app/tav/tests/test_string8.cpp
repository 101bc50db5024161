// string8: code-page conversions against the bytes Python's codecs give,
// the empty string, single characters, refused conversions and the
// validity tests.
#include "string8/string8.h"
#include "tav_test.h"

#include <windows.h>

using namespace tavtest;

namespace {

class String8 : public Library {};

struct Case {
  uint32_t codePage;
  const wchar_t* text;
  const char* bytes;
};
const Case kCases[] = {
    {1252, L"\u00e9\u20ac\u00fc", "\xe9\x80\xfc"},
    {437, L"\u00e9\u00fc\u2591", "\x82\x81\xb0"},
    {65001, L"\u00e9\u20ac\U0001F600", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"},
    {932, L"\u65e5\u672c\uff71", "\x93\xfa\x96\x7b\xb1"},
};

TEST_F(String8, ConvertsBothWaysAsTheCodecs) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.codePage);
    ASSERT_TRUE(string8::isvalidcodepage(c.codePage));
    const char* bytes = string8::mapfromstring(c.text, codepage::Number(c.codePage));
    EXPECT_STREQ(bytes, c.bytes);
    EXPECT_STREQ(string8::maptostring(c.bytes, codepage::Number(c.codePage)), c.text);
  }
}

TEST_F(String8, EmptyStringIsTheTerminatorAlone) {
  const char* bytes = string8::mapfromstring(L"");
  EXPECT_EQ(bytes[0], 0);
  EXPECT_STREQ(string8::maptostring(""), L"");
  EXPECT_EQ(string8_api::lenmultibyte(codepage::Ansi(), L"x", 0), 0u);
}

TEST_F(String8, SingleCharacters) {
  // A double-byte character yields its lead byte.
  EXPECT_EQ(string8::mapfromchar(L'\u65e5', codepage::Number(932)), 0x93);
  EXPECT_EQ(string8::maptochar(0x82, codepage::Number(437)), L'\u00e9');
  EXPECT_EQ(string8::maptochar(0xe9, codepage::Number(1252)), L'\u00e9');
  // oem and ansi are the system's pages.
  EXPECT_EQ(string8::mapfromchar(L'\u00e9', codepage::Oem()),
            string8::mapfromchar(L'\u00e9', codepage::Number(GetOEMCP())));
  EXPECT_EQ(string8::maptochar(0xe9), string8::maptochar(0xe9, codepage::Number(GetACP())));
  EXPECT_EQ(string8_api::toapicodepage(codepage::Oem()), 1u);
  EXPECT_EQ(string8_api::toapicodepage(codepage::Ansi()), 0u);
}

TEST_F(String8, UnknownCodePageRaisesWithTheSystemFunction) {
  EXPECT_FALSE(string8::isvalidcodepage(0));
  EXPECT_FALSE(string8::isvalidcodepage(12345));
  struct {
    std::function<void()> call;
    const wchar_t* api;
  } calls[] = {
      {[] { string8::mapfromstring(L"abc", codepage::Number(12345)); }, L"WideCharToMultiByte"},
      {[] { string8::maptostring("abc", codepage::Number(12345)); }, L"MultiByteToWideChar"},
      {[] { string8::maptochar('a', codepage::Number(12345)); }, L"MultiByteToWideChar"},
  };
  for (auto& c : calls) {
    uint32_t id = RunTrapped([&] { c.call(); });
    const TraceEntry* e = exception::trygetdescriptor(id, &common_exception::nativecallexception);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(Extra(e, L"API function name"), c.api);
    EXPECT_EQ(e->classInfo, &string8_api::classInfo);
  }
}

TEST_F(String8, ValidToReadStopsAtAnUnreadablePage) {
  EXPECT_TRUE(string8::isvalidtoread("text"));
  EXPECT_FALSE(string8::isvalidtoread(nullptr));
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  auto* pages = static_cast<char*>(
      VirtualAlloc(nullptr, 2 * si.dwPageSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  DWORD old;
  ASSERT_TRUE(VirtualProtect(pages + si.dwPageSize, si.dwPageSize, PAGE_NOACCESS, &old));
  char* tail = pages + si.dwPageSize - 4;
  memcpy(tail, "abc", 4);
  EXPECT_TRUE(string8::isvalidtoread(tail));
  memcpy(tail, "abcd", 4);  // no terminator before the unreadable page
  EXPECT_FALSE(string8::isvalidtoread(tail));
  VirtualFree(pages, 0, MEM_RELEASE);
}

}  // namespace
