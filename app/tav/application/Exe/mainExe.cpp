// mainExe.  The raiser is installed for the whole run; the previous
// exception predicate's copy lies on the global stack below the trap, so it
// survives whatever the run leaves there.
#include "application/Exe/mainExe.h"

#include <cwchar>

#include "exception/exceptionDump.h"
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

// The path part (through the last separator, or a drive with its colon) and
// the name after it.
static void SplitPath(const wchar_t* full, const wchar_t** path, const wchar_t** name) {
  const wchar_t* cut = nullptr;
  for (const wchar_t* p = full; *p; ++p)
    if (*p == L'\\' || *p == L'/') cut = p + 1;
  if (!cut) {
    const wchar_t* colon = wcschr(full, L':');
    cut = colon ? colon + 1 : full;
  }
  *path = string::substring(full, 0, static_cast<uint32_t>(cut - full));
  *name = string::createcopy(cut);
}

void mainExe::getfilename(const wchar_t** path, const wchar_t** name) {
  constexpr uint32_t units = 33000;
  wchar_t* buffer = memory::allocstringbuffer(units);
  DWORD n = GetModuleFileNameW(nullptr, buffer, units);
  TAV_AT();
  common_exception::checknonzeroresult(&classInfo, n, L"GetModuleFileName");
  SplitPath(string::createcopy(buffer), path, name);
}

HINSTANCE mainExe::getcurrenthinstance() {
  // The program has no DLL entry of its own: its module is the instance.
  return GetModuleHandleA(nullptr);
}

}  // namespace tav
