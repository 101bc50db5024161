// The exception dump in process (exact text, dates masked), and the program
// object in child processes started with command lines of the test's own.
#include <windows.h>

#include "application/Exe/mainExe.h"
#include "binary/binary.h"
#include "exception/exceptionDump.h"
#include "child_process.h"
#include "string/string_stream.h"
#include "tav_test.h"

using namespace tavtest;
namespace Kn = Qel::RunTime::Kernel;

namespace {

const ClassInfo testClass{L"tav/tests/testClass", L"Version 1.0"};
const ClassInfo otherClass{L"tav/tests/otherClass", L"Version 2.0"};
const ExceptionDescriptor failure{&testClass, L"failure", L"Something failed"};

using Dump = Library;

std::wstring DumpText(int64_t traceId = -1) {
  outputStream_string* out = outputStream_string::New();
  if (traceId >= 0)
    exceptionDump::dump(out, static_cast<uint32_t>(traceId));
  else
    exceptionDump::dump(out);
  return Masked(out->getstring());
}

const wchar_t kHeader[] = L"\n========================================\n Dump: <when>";

TEST_F(Dump, EmptyStateGivesTheHeaderAlone) { EXPECT_EQ(DumpText(), kHeader); }

TEST_F(Dump, RaisedThenContinued) {
  static const Kn::TFullCursor at{Kn::CursorPosition(12, 3), L"t.pro"};
  uint32_t id = RunTrapped([] {
    TPrologThreadData::SetCurrentPosition(&at);
    exception::raise(&testClass, &failure,
                     Values({{L"Text", value::string(L"abc")}, {L"Real", value::real(1.5)},
                             {L"None", value::none()}, {L"Count", value::unsigned_(7)},
                             {L"Flag", value::boolean(true)}, {L"Char", value::char_(L'x')}}));
  });
  RunTrapped([&] { exception::continue_(id, &otherClass, &failure); });
  TPrologThreadData::SetCurrentPosition(nullptr);
  std::wstring expected = std::wstring(kHeader) +
                          L"\n----------------------------------------"
                          L"\nException: failure (tav/tests/testClass)"
                          L"\n\n    Something failed\n"
                          L"\nParameters:"
                          L"\n\ncontinued (ID=65536) <when>\n"
                          L"Module: tav/tests/otherClass Version 2.0\n"
                          L"File: t.pro(12,3)\n"
                          L"\n----------------------------------------"
                          L"\nException: failure (tav/tests/testClass)"
                          L"\n\n    Something failed\n"
                          L"\nParameters:"
                          L"\n    Text = abc"
                          L"\n    Real = real(1.5)"
                          L"\n    None = none()"
                          L"\n    Count = 7"
                          L"\n    Flag = true"
                          L"\n    Char = x"
                          L"\n\nraised (ID=65536) <when>\n"
                          L"Module: tav/tests/testClass Version 1.0\n"
                          L"File: t.pro(12,3)\n";
  EXPECT_EQ(DumpText(), expected);
}

TEST_F(Dump, EveryValueAlternative) {
  uint8_t* bin = binary::createfrompointer("\x01\xAB", 2);
  uint8_t* none = binary::create(0);
  int probe;
  RunTrapped([&] {
    exception::raise(&testClass, &failure,
                     Values({{L"u64", value::unsigned64(18446744073709551615ull)},
                             {L"i64", value::integer64(-5)},
                             {L"time", value::gmttimevalue(133000000000000000ull)},
                             {L"i", value::integer(-1)},
                             {L"f", value::boolean(false)},
                             {L"empty", value::string(L"")},
                             {L"bin", value::binary(bin)},
                             {L"nobytes", value::binary(none)},
                             {L"obj", value::object(&probe)},
                             {L"ptr", value::pointer(nullptr)}}));
  });
  std::wstring text = DumpText();
  for (const wchar_t* line :
       {L"\n    u64 = 18446744073709551615\n", L"\n    i64 = -5\n",
        L"\n    time = 133000000000000000\n", L"\n    i = -1\n", L"\n    f = false\n",
        L"\n    empty = \n", L"\n    bin = $[01,AB]\n", L"\n    nobytes = $[]\n",
        L"\n    obj = object(", L"\n    ptr = pointer("})
    EXPECT_NE(text.find(line), std::wstring::npos) << Narrow(line) << "\n" << Narrow(text);
}

TEST_F(Dump, UnknownIdentifiersBecomeTracesOfTheirOwn) {
  std::wstring text = DumpText(70000);
  EXPECT_NE(text.find(L"Exception: notraceid (com/corvane/exception/exception_exception)"),
            std::wstring::npos)
      << Narrow(text);
  EXPECT_NE(text.find(L"Trace identifier = 70000"), std::wstring::npos);
  text = DumpText(5);
  EXPECT_NE(text.find(L"Exception: externalerror"), std::wstring::npos);
  EXPECT_NE(text.find(L"External error = 5"), std::wstring::npos);
  EXPECT_EQ(Entries().size(), 2u);
  // A known identifier adds nothing.
  DumpText(65536);
  EXPECT_EQ(Entries().size(), 2u);
  DumpText(0);
  DumpText(65535);
  EXPECT_STREQ(Entries()[0]->exception->name, L"externalerror");
  EXPECT_EQ(Entries().size(), 4u);
  // A cleared identifier is unknown again.
  exception::clear(65539);
  DumpText(65539);
  EXPECT_STREQ(Entries()[0]->exception->name, L"notraceid");
}

// Command lines and what getcommandline makes of them; the first five are
// also given to a child process.
struct CommandLine {
  const wchar_t* line;
  const wchar_t* rest;
};
const CommandLine kCommandLines[] = {
    {L"\"C:\\a b\\p.exe\"  /x y", L"/x y"},
    {L"p.exe/x", L"/x"},
    {L"p.exe", L""},
    {L"\"p.exe /x", L"/x"},
    {L"p.exe    z", L"z"},
    {L"", L""},
    {L"\"p.exe\"", L""},
};

TEST_F(Dump, CommandLineRule) {
  for (const CommandLine& c : kCommandLines)
    EXPECT_STREQ(mainExe::parsecommandline(c.line), c.rest) << Narrow(c.line);
}

// --- Child processes ---

using testchild::Child;

// Runs tav_child with `scenario` and the command line `line`, reading its
// standard output.
Child RunChild(const char* scenario, const std::wstring& line) {
  SetEnvironmentVariableA("TAV_CHILD", scenario);
  Child c = testchild::Start(testchild::Beside(L"tav_child.exe"), line);
  testchild::Wait(c, 60000);
  if (!c.Started()) c.exitCode = 0xFFFFFFFF;
  return c;
}

// The UTF-16 text of the dump stream's bytes, before the "|..." tail.
std::wstring Utf16(const std::string& bytes) {
  std::wstring w;
  size_t end = bytes.rfind('|');
  for (size_t i = 0; i + 1 < (end == std::string::npos ? bytes.size() : end); i += 2)
    w += static_cast<wchar_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8);
  return w;
}

size_t Count(const std::wstring& s, const std::wstring& part) {
  size_t n = 0;
  for (size_t at = s.find(part); at != std::wstring::npos; at = s.find(part, at + 1)) ++n;
  return n;
}

TEST(ProgramObject, FailingAndRaisingRunPredicates) {
  Child failing = RunChild("fail", L"tav_child.exe");
  EXPECT_EQ(failing.exitCode, 0u);
  EXPECT_EQ(failing.text, "|restored");

  Child raising = RunChild("raise", L"tav_child.exe");
  EXPECT_EQ(raising.exitCode, 0u);
  std::wstring dump = Masked(Utf16(raising.text));
  EXPECT_EQ(Count(dump, L"Dump: "), 1u) << Narrow(dump);
  EXPECT_EQ(Count(dump, L"\nException: "), 1u);
  EXPECT_NE(dump.find(L"Exception: childerror (tav/tests/child)"), std::wstring::npos);
  EXPECT_NE(dump.find(L"    Name = abc"), std::wstring::npos);
  EXPECT_NE(dump.find(L"File: t.pro(12,3)"), std::wstring::npos);
  EXPECT_EQ(raising.text.substr(raising.text.rfind('|')), "|restored");

  Child chain = RunChild("chaindb", L"tav_child.exe");
  EXPECT_EQ(chain.exitCode, 0u);
  dump = Utf16(chain.text);
  EXPECT_NE(dump.find(L"Exception: chaindb_invaliddb (com/corvane/exception/runtime_exception)"),
            std::wstring::npos)
      << Narrow(dump);
  EXPECT_NE(dump.find(L"error code = 1317"), std::wstring::npos);
}

TEST(ProgramObject, AStreamThatRaisesWhileDumping) {
  Child c = RunChild("streamraise", L"tav_child.exe");
  // The dump's error went on to the goal's trap: its identifier is the exit code.
  EXPECT_EQ(c.exitCode, 65537u) << c.text;
}

TEST(ProgramObject, WithoutAStreamTheDumpGoesToAMessageBox) {
  Child c = RunChild("nostream", L"tav_child.exe");
  EXPECT_EQ(c.exitCode, 0u);
  ASSERT_EQ(c.text.rfind("box:", 0), 0u) << c.text;
  EXPECT_NE(c.text.find("Dump: "), std::string::npos) << c.text;
  EXPECT_NE(c.text.find("Exception: childerror (tav/tests/child)"), std::string::npos);
}

TEST(ProgramObject, CommandLineFileNameAndInstance) {
  std::wstring path = testchild::Beside(L"tav_child.exe");
  std::wstring folder = path.substr(0, path.rfind(L'\\') + 1);
  for (int i = 0; i < 5; ++i) {
    const CommandLine& k = kCommandLines[i];
    Child c = RunChild("cmdline", k.line);
    EXPECT_EQ(c.exitCode, 0u);
    std::wstring expected = L"[" + std::wstring(k.rest) + L"]|" + folder + L"|tav_child.exe|same";
    EXPECT_EQ(Utf16(c.text + "|"), expected) << Narrow(k.line);
  }
}

}  // namespace
