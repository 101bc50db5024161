// Run-time error messages, processor exceptions caught by traps, and the OS
// interface functions.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "ctrl_events.h"
#include "qel6kernel.h"

using namespace Qel::RunTime::Kernel;
using PTD = Control::TPrologThreadData;

namespace {

std::wstring LastMessage() { return PTD::GetCurrentLastErrorMessage(); }
std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

// The text after "Exception in module: <exe>\r\n".
std::wstring AfterModuleLine() {
  std::wstring m = LastMessage();
  size_t eol = m.find(L"\r\n");
  return eol == std::wstring::npos ? m : m.substr(eol + 2);
}

}  // namespace

TEST(Errors, MessageNamesProgramPositionCodeAndText) {
  static const TFullCursor at105_64{0x04000069, L"roster.pro"};
  static const TFullCursor column0{0x00000069, L"roster.pro"};
  struct Case {
    uint32_t code;
    const TFullCursor* where;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {201, &at105_64, L"roster.pro(105,64) : error r201: GStack exhausted. Request=77"},
      {5, nullptr, L"error r005: User: Ctrl+Break"},
      {203, &column0, L"error r203: No GStack"},
      {250, nullptr, L"error r250: Unknown Error"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RunTrapped([&] { Errors::RunTimeErrorWithCursor(c.code, c.where, 77u); }), c.code);
    std::wstring m = LastMessage();
    EXPECT_EQ(m.rfind(L"Exception in module: kernel_tests.exe\r\n", 0), 0u) << Narrow(m);
    EXPECT_EQ(AfterModuleLine(), c.expected) << Narrow(m);
  }
}

TEST(Errors, PositionAndFileNameWhereverTheyLie) {
  // In a module, on the heap, on the stack, freed, unreadable: each is
  // checked before it is read, and the text depends only on what is there.
  static const TFullCursor inModule{CursorPosition(3, 4), L"static.pro"};
  auto* onHeap = static_cast<TFullCursor*>(Memory::AllocHeap(sizeof(TFullCursor)));
  *onHeap = {CursorPosition(5, 6), Memory::CopyStringToHeap(L"heap.pro")};
  wchar_t stackName[] = L"stack.pro";
  TFullCursor onStack{CursorPosition(7, 8), stackName};
  void* reserved = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS);
  auto* gone = static_cast<TFullCursor*>(reserved);
  static TFullCursor badName{CursorPosition(9, 10), nullptr};
  badName.fileName = static_cast<const wchar_t*>(reserved);
  // A name whose last unit is the last of a committed page: readable.
  auto* page = static_cast<wchar_t*>(VirtualAlloc(nullptr, 8192, MEM_RESERVE, PAGE_NOACCESS));
  VirtualAlloc(page, 4096, MEM_COMMIT, PAGE_READWRITE);
  wchar_t* edge = page + 2048 - 5;
  memcpy(edge, L"e.pr", 5 * sizeof(wchar_t));
  TFullCursor atEdge{CursorPosition(1, 2), edge};
  struct Case {
    const TFullCursor* where;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {&inModule, L"static.pro(3,4) : error r203: No GStack"},
      {onHeap, L"heap.pro(5,6) : error r203: No GStack"},
      {&onStack, L"stack.pro(7,8) : error r203: No GStack"},
      {&atEdge, L"e.pr(1,2) : error r203: No GStack"},
      {gone, L"error r203: No GStack"},
      {&badName, L"(9,10) : error r203: No GStack"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RunTrapped([&] { Errors::RunTimeErrorWithCursor(203, c.where); }), 203u);
    EXPECT_EQ(AfterModuleLine(), c.expected);
  }
  PTD::SetCurrentPosition(nullptr);
  VirtualFree(reserved, 0, MEM_RELEASE);
  VirtualFree(page, 0, MEM_RELEASE);
}

TEST(UserBreak, EachConsoleEventIsRaisedOnceByAPollOnTheMainThread) {
  ASSERT_EQ(ExeInitialization(), 0);  // installs the console handler
  struct Case {
    DWORD event;
    uint32_t code;
  };
  const Case cases[] = {{CTRL_C_EVENT, 4},      {CTRL_BREAK_EVENT, 5},   {CTRL_CLOSE_EVENT, 6},
                        {CTRL_LOGOFF_EVENT, 7}, {CTRL_SHUTDOWN_EVENT, 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    ASSERT_TRUE(DeliverCtrlEvent(c.event));
    // Another thread's poll leaves the event to the main thread.
    HANDLE other = CreateThread(
        nullptr, 0, [](void*) -> DWORD { Control::PollUserBreak(); return 0; }, nullptr, 0, nullptr);
    WaitForSingleObject(other, 10000);
    CloseHandle(other);
    EXPECT_EQ(RunTrapped([] { Control::PollUserBreak(); }), c.code);
    EXPECT_EQ(RunTrapped([] { Control::PollUserBreak(); }), 0u);
  }
}

TEST(Errors, CurrentPositionIsUsedByRunTimeError) {
  static const TFullCursor here{CursorPosition(7, 2), L"a.pro"};
  PTD::SetCurrentPosition(&here);
  EXPECT_EQ(RunTrapped([] { Errors::RunTimeError(4); }), 4u);
  PTD::SetCurrentPosition(nullptr);
  EXPECT_EQ(AfterModuleLine(), L"a.pro(7,2) : error r004: User: Ctrl+C");
}

TEST(Errors, ModuleStringTablesAndSpecialRaisers) {
  EXPECT_EQ(RunTrapped([] {
              Errors::RunTimeErrorFromModule(GetModuleHandleW(nullptr), 7001, L"abc");
            }),
            7001u);
  EXPECT_EQ(AfterModuleLine(), L"error r7001: Test text abc");

  EXPECT_EQ(RunTrapped([] { Errors::InternalError(L"bad %u", 9u); }), 3u);
  EXPECT_EQ(AfterModuleLine(), L"error r003: bad 9");

  EXPECT_EQ(RunTrapped([] {
              SetLastError(5);
              Errors::SystemAPIError("CreateWidget");
            }),
            13u);
  EXPECT_EQ(AfterModuleLine(), L"error r013: API call 'CreateWidget' terminated with error 5 (0x00000005)");

  EXPECT_EQ(RunTrapped([] { Errors::Qel_ErrorExit(42); }), 42u);
  EXPECT_EQ(AfterModuleLine(), L"error r042");
}

TEST(Errors, DisplayEmptiesTheBuffer) {
  RunTrapped([] { Errors::RunTimeError(203); });
  Errors::DisplayErrorMessage();
  EXPECT_EQ(LastMessage(), L"");
}

TEST(Errors, PrepareBinaryForErrorMessage) {
  uint8_t twelve[12];
  for (int i = 0; i < 12; ++i) twelve[i] = static_cast<uint8_t>(i);
  const uint8_t two[] = {0xFF, 0x10};
  EXPECT_STREQ(Errors::PrepareBinaryForErrorMessage(twelve, 12),
               L"$[00,01,02,03,04,05,06,07,08,09 ... ]");
  EXPECT_STREQ(Errors::PrepareBinaryForErrorMessage(two, 2), L"$[FF,10]");
  EXPECT_STREQ(Errors::PrepareBinaryForErrorMessage(two, 0), L"$[]");
  EXPECT_STREQ(Errors::PrepareBinaryForErrorMessage(reinterpret_cast<const uint8_t*>(16), 4),
               L"Unreadable memory");
  // A binary: its size word counts itself.
  uint8_t binary[4 + 3] = {7, 0, 0, 0, 0xAB, 0xCD, 0xEF};
  EXPECT_STREQ(Errors::PrepareBinaryForErrorMessage(binary + 4), L"$[AB,CD,EF]");
}

// Faults in our own code reach the newest trap as error 1.
static volatile int g_sink;
static volatile int g_zero = 0;
static volatile int g_seven = 7;
__attribute__((noinline)) static void ReadThrough(volatile int* p) { g_sink = *p; }
__attribute__((noinline)) static void Divide() { g_sink = g_seven / g_zero; }

TEST(Errors, ProcessorExceptionsInOurCodeReachTheTrapAsError1) {
  struct Case {
    void (*fault)();
    const wchar_t* text;
  };
  const Case cases[] = {
      {[] { ReadThrough(nullptr); }, L"error r001: Exception C0000005: Access violation"},
      {[] { Divide(); }, L"error r001: Exception C0000094: Integral divide by zero"},
  };
  for (const Case& c : cases) {
    uint8_t* mark = Memory::MarkGStack();
    EXPECT_EQ(RunTrapped([&] {
                Memory::AllocGStack(32);
                c.fault();
              }),
              1u);
    EXPECT_EQ(Memory::MarkGStack(), mark);
    EXPECT_EQ(AfterModuleLine(), c.text) << Narrow(LastMessage());
  }
  // Still working after the faults.
  EXPECT_EQ(RunTrapped([] { ReadThrough(nullptr); }), 1u);
}

// --- OS interface ---------------------------------------------------------------

TEST(OSInterface, CharacterClasses) {
  using namespace OSInterface;
  EXPECT_TRUE(IsValid1stFunctorName(L'@'));
  EXPECT_TRUE(IsValid1stFunctorName(L'a'));
  EXPECT_TRUE(IsValid1stFunctorName(L'\x00E9'));
  EXPECT_FALSE(IsValid1stFunctorName(L'A'));
  EXPECT_FALSE(IsValid1stFunctorName(L'_'));
  EXPECT_TRUE(IsCharWhiteSpace(L' '));
  EXPECT_TRUE(IsCharWhiteSpace(L'\t'));
  EXPECT_FALSE(IsCharWhiteSpace(L'x'));
  EXPECT_TRUE(IsCharLowerCase(L'q'));
  EXPECT_FALSE(IsCharLowerCase(L'Q'));
  EXPECT_TRUE(IsCharAlphaNumerical(L'7'));
  EXPECT_TRUE(IsCharAlphaNumerical(L'Z'));
  EXPECT_FALSE(IsCharAlphaNumerical(L'-'));
  EXPECT_EQ(OSConvertCharToLowerCase(L'A'), L'a');
}

TEST(OSInterface, StringsAndComparisons) {
  using namespace OSInterface;
  EXPECT_EQ(OSCompareStringsIgnoreCase(L"abc", L"ABC"), 0);
  EXPECT_EQ(OSCompareStringsIgnoreCase(L"abc", L"abd"), -1);
  EXPECT_EQ(OSCompareStringsIgnoreCase(L"b", L"A"), 1);
  EXPECT_LT(OSCompareStrings(L"a", L"b"), 0);
  EXPECT_EQ(OSCompareStringsA("x", "x"), 0);
  wchar_t buf[8];
  EXPECT_STREQ(OSlstrcpyn(buf, L"roster", 4), L"ros");
  OSlstrcpy(buf, L"ab");
  EXPECT_STREQ(OSlstrcat(buf, L"cd"), L"abcd");
  EXPECT_EQ(OSlstrlen(buf), 4);
  EXPECT_EQ(OSlstrlenA("abc"), 3);
  char narrow[16];
  EXPECT_EQ(OSConvertUnicodeToANSI(L"hi", narrow, 16, CP_ACP), 3);
  EXPECT_STREQ(narrow, "hi");
  wchar_t wide[16];
  EXPECT_EQ(OSConvertAnsiToUnicode("yo", wide, 16, CP_ACP), 3);
  EXPECT_STREQ(wide, L"yo");
}

TEST(OSInterface, MemoryAndProtection) {
  using namespace OSInterface;
  uint8_t a[16], b[16];
  OSFillMemory(a, 16, 0x5A);
  OSCopyMemory(b, a, 16);
  EXPECT_EQ(b[15], 0x5A);
  OSZeroMemory(b, 8);
  EXPECT_EQ(b[7], 0);
  EXPECT_EQ(b[8], 0x5A);
  for (int i = 0; i < 16; ++i) a[i] = static_cast<uint8_t>(i);
  OSMoveMemory(a + 2, a, 8);
  EXPECT_EQ(a[2], 0);
  EXPECT_EQ(a[9], 7);

  EXPECT_FALSE(OSIsBadReadPtr(a, 16));
  EXPECT_TRUE(OSIsBadReadPtr(nullptr, 1));
  EXPECT_FALSE(OSIsBadCodePtr(reinterpret_cast<const void*>(&OSZeroMemory)));
  EXPECT_TRUE(OSIsBadCodePtr(a));
  EXPECT_FALSE(OSIsBadStringPtr(L"abc", 100));
  EXPECT_TRUE(OSIsBadStringPtr(reinterpret_cast<const wchar_t*>(8), 4));
  EXPECT_TRUE(OSIsBadStringAPtr(nullptr, 4));

  void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READONLY);
  uint32_t old = OSProtectWrite(page, 4096);
  EXPECT_EQ(old, static_cast<uint32_t>(PAGE_READONLY));
  static_cast<uint8_t*>(page)[0] = 1;
  OSProtectRestore(page, 4096, old);
  MEMORY_BASIC_INFORMATION mbi;
  VirtualQuery(page, &mbi, sizeof mbi);
  EXPECT_EQ(mbi.Protect, static_cast<DWORD>(PAGE_READONLY));
  VirtualFree(page, 0, MEM_RELEASE);
  EXPECT_EQ(RunTrapped([] { OSProtectWrite(reinterpret_cast<void*>(0x10), 1); }), 13u);
}
