// mainExe.  The raiser is installed for the whole run; the previous
// exception predicate's copy lies on the global stack below the trap, so it
// survives whatever the run leaves there.
#include "application/Exe/mainExe.h"

#include <cwchar>

#include "exception/exceptionDump.h"
#include "fileSystem/fileName.h"
#include "memory/memory.h"
#include "qel6run_lib.h"
#include "string/string.h"

namespace tav {

using K::Control::TPrologThreadData;

const ClassInfo mainExe::classInfo{L"com/corvane/Application/exe/mainExe", TAV_CLASS_VERSION};

static void Call(RunPredicate p) {
  if (p.object)
    reinterpret_cast<void (*)(void*)>(const_cast<void*>(p.code))(p.object);
  else
    reinterpret_cast<void (*)()>(const_cast<void*>(p.code))();
}

// Runs the predicate; an error is dumped.  Only an error of the dump leaves.
static void RunTrappedPredicate(RunPredicate p) {
  uint32_t code = K::RunTrapped([&] {
    TAV_AT();
    K::Succeeds([&] { Call(p); });
  });
  if (code) exceptionDump::dumptostdoutput(code);
}

void mainExe::run(RunPredicate predicate) {
  K::RPrologExceptionPredicateStruct* previous = nullptr;
  uint32_t previousNeed = 0;
  TPrologThreadData::SetPrologExceptionPredicate(&runtime_exception::raiser, 4096, &previous,
                                                 &previousNeed);
  uint32_t code = K::RunTrapped([&] { RunTrappedPredicate(predicate); });
  TPrologThreadData::SetPrologExceptionPredicate(previous, previousNeed, nullptr, nullptr);
  if (code) {
    // The position as it stood when the trap fired goes on with the code.
    TPrologThreadData::SetCurrentPosition(TPrologThreadData::GetCurrentPosition());
    K::Errors::Qel_ErrorExit(code);
  }
}

const wchar_t* mainExe::parsecommandline(const wchar_t* line) {
  if (!line || !line[0]) return L"";
  const wchar_t* rest = line + 1;
  const wchar_t* result = nullptr;
  if (line[0] == L'"') {
    if (const wchar_t* close = wcschr(rest, L'"')) result = close + 1;
  }
  if (!result) {
    size_t n = wcslen(line);
    const wchar_t* slash = wcschr(line, L'/');
    const wchar_t* blank = wcschr(line, L' ');
    size_t cut = n;
    if (slash && static_cast<size_t>(slash - line) < cut) cut = slash - line;
    if (blank && static_cast<size_t>(blank - line) < cut) cut = blank - line;
    result = line + cut;
  }
  return string::createcopy(CorvaneString::trimFront(result));
}

const wchar_t* mainExe::getcommandline() { return parsecommandline(GetCommandLineW()); }

void mainExe::getfilename(const wchar_t** path, const wchar_t** name) {
  constexpr uint32_t units = 33000;
  wchar_t* buffer = memory::allocstringbuffer(units);
  DWORD n = GetModuleFileNameW(nullptr, buffer, units);
  TAV_AT();
  common_exception::checknonzeroresult(&classInfo, n, L"GetModuleFileName");
  *path = fileName::getpath(buffer, name);
}

HINSTANCE mainExe::getcurrenthinstance() {
  // The program has no DLL entry of its own: its module is the instance.
  return GetModuleHandleA(nullptr);
}

}  // namespace tav
