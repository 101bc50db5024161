// A program run by the program-object tests: it starts the kernel and
// runtime units as the program does and runs mainExe::run as its goal.  The
// scenario comes from the environment variable TAV_CHILD (the command line
// is the test's to choose); standard output is a stream over the process's
// standard output handle.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "application/Exe/mainExe.h"
#include "exception/exceptionDump.h"
#include "fileSystem/file.h"
#include "fileSystem/fileStream.h"
#include "stream/stream.h"

using namespace tav;
namespace Kn = Qel::RunTime::Kernel;
using PTD = Kn::Control::TPrologThreadData;

namespace {

char g_scenario[64];
bool Is(const char* s) { return strcmp(g_scenario, s) == 0; }

const ClassInfo childClass{L"tav/tests/child", L"Version 1.0"};
const ExceptionDescriptor childError{&childClass, L"childerror", L"The child raised"};

// An output stream whose full buffers go to a handle with WriteFile.
class HandleStream final : public outputStream {
 public:
  HandleStream(HANDLE h, uint8_t* block)
      : handle_(h), block_(block), support_(outputBuffer::New(block, kSize, {&Full, this}), Mode::Unicode()) {}
  uint64_t getposition() override { return 0; }
  void setposition(uint64_t) override {}
  bool getcrlfconversion() override { return false; }
  void setcrlfconversion(bool) override {}
  void close() override { support_.flush(); }
  void setmode(Mode m) override { support_.setmode(m); }
  Mode getmode() override { return support_.getmode(); }
  void write(const Qel::RunTime::Terms::REllipsisArg* a) override { support_.write(a); }
  void writequoted(const Qel::RunTime::Terms::REllipsisArg* a) override { support_.writequoted(a); }
  void writebytes(const void* p, uint32_t n) override { support_.writebytes(p, n); }
  void writef(const wchar_t* f, const Qel::RunTime::Terms::REllipsisArg* a) override {
    support_.writef(f, a);
  }
  void nl() override { support_.nl(); }
  void save(const FactDB* db) override { support_.save(db); }
  void flush() override { support_.flush(); }

 private:
  static constexpr uint32_t kSize = 256;
  static void Full(void* self, uint8_t* buffer, uint32_t used, uint8_t** next, uint32_t* size) {
    auto* s = static_cast<HandleStream*>(self);
    if (Is("streamraise")) {
      static const Kn::TFullCursor at{Kn::CursorPosition(77, 5), L"stream.pro"};
      PTD::SetCurrentPosition(&at);
      Kn::Errors::RunTimeError(1321);
    }
    DWORD done;
    if (used) WriteFile(s->handle_, buffer, used, &done, nullptr);
    *next = s->block_;
    *size = kSize;
  }
  HANDLE handle_;
  uint8_t* block_;
  outputSupport support_;
};

HandleStream* g_stream;

void Print(const char* text) {
  DWORD done;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, static_cast<DWORD>(strlen(text)), &done, nullptr);
}

// Answers the message box: prints its text (as UTF-8) and closes it.
DWORD WINAPI BoxWatcher(void*) {
  for (int i = 0; i < 600; ++i) {
    Sleep(50);
    // This process's dialog window (other processes may show theirs).
    HWND box = nullptr;
    EnumWindows(
        [](HWND w, LPARAM found) -> BOOL {
          DWORD pid = 0;
          wchar_t cls[16] = {};
          GetWindowThreadProcessId(w, &pid);
          GetClassNameW(w, cls, 16);
          if (pid != GetCurrentProcessId() || wcscmp(cls, L"#32770") != 0) return TRUE;
          *reinterpret_cast<HWND*>(found) = w;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&box));
    if (!box || !IsWindowVisible(box)) continue;
    wchar_t text[8192] = {};
    if (GetDlgItemTextW(box, 0xFFFF, text, 8192) == 0) continue;  // not filled in yet
    char utf8[32768];
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    Print("box:");
    if (n > 1) Print(utf8);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return 0;
  }
  return 0;
}

void RunPredicateBody() {
  static const Kn::TFullCursor at{Kn::CursorPosition(12, 3), L"t.pro"};
  PTD::SetCurrentPosition(&at);
  if (Is("fail")) Kn::Fail();
  if (Is("raise") || Is("nostream") || Is("streamraise"))
    exception::raise(&childClass, &childError, Values({{L"Name", value::string(L"abc")}}));
  if (Is("chaindb")) Kn::Errors::RunTimeError(1317);
}

// --- Files written or read by another process of the file-system tests ---
// TAV_FILE names the file; TAV_MODE is "unicode", "binary" or a code page
// number; TAV_TEXT is the text a writer writes.  Results go to standard
// output as UTF-8; an error prints "error <trace> <error code>".

std::wstring Env(const wchar_t* name) {
  wchar_t value[32768];
  DWORD n = GetEnvironmentVariableW(name, value, 32768);
  return n && n < 32768 ? std::wstring(value, n) : std::wstring();
}

Mode EnvMode() {
  std::wstring m = Env(L"TAV_MODE");
  if (m == L"binary") return Mode::Binary();
  if (m == L"unicode") return Mode::Unicode();
  return Mode::Ansi(static_cast<uint32_t>(_wtoi(m.c_str())));
}

void PrintWide(const wchar_t* text, size_t n) {
  if (!n) return;
  std::string utf8(4 * n, 0);
  int made = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), utf8.data(),
                                 static_cast<int>(utf8.size()), nullptr, nullptr);
  utf8.resize(made > 0 ? made : 0);
  Print(utf8.c_str());
}

void PrintNumber(unsigned long long v) {
  char b[32];
  snprintf(b, sizeof b, "%llu", v);
  Print(b);
}

// Each line with the position after it: "<position>\t<line>\n"; binary
// files as hex.
void ReadLines() {
  inputStream_file* s = inputStream_file::openfile(Env(L"TAV_FILE").c_str(),
                                                   accesspermit::permitreadwrite, EnvMode());
  while (!s->endofstream()) {
    if (s->getmode().IsBinary()) {
      const uint8_t* b = s->readbytes(1);
      char hex[4];
      snprintf(hex, sizeof hex, "%02X ", b[0]);
      Print(hex);
      continue;
    }
    const wchar_t* line = s->readline();
    PrintNumber(s->getposition());
    Print("\t");
    PrintWide(line, wcslen(line));
    Print("\n");
  }
  s->close();
}

// "<1 when UTF-16>\t<text>"
void ReadString() {
  bool unicode = false;
  const wchar_t* text = file::readstring(Env(L"TAV_FILE").c_str(), &unicode);
  Print(unicode ? "1\t" : "0\t");
  PrintWide(text, wcslen(text));
}

void WriteText(bool append) {
  std::wstring name = Env(L"TAV_FILE"), text = Env(L"TAV_TEXT");
  outputStream_file* s = append ? outputStream_file::append(name.c_str(), EnvMode())
                                : outputStream_file::create(name.c_str(), 0,
                                                            accesspermit::permitread, EnvMode());
  Qel::RunTime::Terms::TEllipsisArgs<1> a;
  a.SetTerm(0, D(domains::string), text.c_str());
  s->write(a);
  s->close();
  Print("written");
}

void FileScenario() {
  uint32_t id = Kn::RunTrapped([] {
    if (Is("fs-read")) ReadLines();
    if (Is("fs-readstring")) ReadString();
    if (Is("fs-create")) WriteText(false);
    if (Is("fs-append")) WriteText(true);
  });
  if (!id) return;
  Print("error ");
  PrintNumber(id);
  uint32_t code = 0;
  exception::getdescriptor_nd(id, [&](const TraceEntry* e) {
    const ValueTerm* v = exception::trygetextrainfo(e, L"Error code");
    if (v && v->Kind() == ValueKind::unsigned_ && !code) code = v->As<uint32_t>();
    Kn::Fail();
  });
  Print(" ");
  PrintNumber(code);
}

void Goal() {
  if (strncmp(g_scenario, "fs-", 3) == 0) {
    FileScenario();
    return;
  }
  if (!Is("nostream")) {
    auto* block = static_cast<uint8_t*>(Kn::Memory::AllocAtomicHeap(256));
    g_stream = NewObject<HandleStream>(GetStdHandle(STD_OUTPUT_HANDLE), block);
    stdIO::setoutputstream(g_stream);
  } else {
    CloseHandle(CreateThread(nullptr, 0, BoxWatcher, nullptr, 0, nullptr));
  }
  if (Is("cmdline")) {
    const wchar_t* path;
    const wchar_t* name;
    mainExe::getfilename(&path, &name);
    Qel::RunTime::Terms::TEllipsisArgs<4> a;
    a.SetTerm(0, D(domains::string), mainExe::getcommandline());
    a.SetTerm(1, D(domains::string), path);
    a.SetTerm(2, D(domains::string), name);
    a.SetTerm(3, D(domains::string),
              mainExe::getcurrenthinstance() == GetModuleHandleW(nullptr) ? L"same" : L"other");
    g_stream->writef(L"[%]|%|%|%", a);
    g_stream->flush();
    return;
  }
  const void* before = PTD::GetPTDwithBody()->exceptionPredicateCode;
  mainExe::run({reinterpret_cast<const void*>(&RunPredicateBody), nullptr});
  if (g_stream) g_stream->flush();
  Print(PTD::GetPTDwithBody()->exceptionPredicateCode == before ? "|restored" : "|not restored");
}

}  // namespace

int main() {
  GetEnvironmentVariableA("TAV_CHILD", g_scenario, sizeof g_scenario);
  if (Is("load")) ExitProcess(0);  // the libraries loaded, nothing run
  int rc = Kn::KernelUnitInitialization(GetModuleHandleW(nullptr), UnitTable());
  if (rc) ExitProcess(rc);
  rc = InitializeUnit();
  if (rc) ExitProcess(rc);
  rc = Kn::ExeInitialization();
  if (rc) ExitProcess(rc);
  rc = Kn::RunGoal(&Goal);
  Qel::RunTime::RunUnitTermination(nullptr);
  Kn::KernelUnitTermination();
  Kn::ExeTermination(rc);
}
