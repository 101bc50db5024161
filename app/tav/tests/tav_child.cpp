// A program run by the program-object tests: it starts the kernel and
// runtime units as the program does and runs mainExe::run as its goal.  The
// scenario comes from the environment variable TAV_CHILD (the command line
// is the test's to choose); standard output is a stream over the process's
// standard output handle.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "application/Exe/mainExe.h"
#include "exception/exceptionDump.h"
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

void Goal() {
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
