// environment: every size the system reports is asked again after the read;
// an answer larger than the buffer means the value changed in between and
// the read is repeated with the new size.  The environment block is always
// given back, also when walking it raised.
#include "environment/environment.h"

#include <windows.h>

#include "exception/exception.h"
#include "memory/memory.h"
#include "stream/stream.h"
#include "string/string.h"
#include "string/string_stream.h"

namespace tav {

const ClassInfo environment::classInfo{L"com/corvane/environment/environment", TAV_CLASS_VERSION};
const ExceptionDescriptor environment::undefinedenvironmentvariable{
    &classInfo, L"undefinedenvironmentvariable", L"undefined environment variable has raised"};

static void Check(uintptr_t result, const wchar_t* api) {
  if (result == 0) {
    TAV_AT();
    common_exception::checknonzeroresult(&environment::classInfo, result, api);
  }
}

const wchar_t* environment::expand(const wchar_t* text) {
  DWORD size = ExpandEnvironmentStringsW(text, nullptr, 0);
  for (;;) {
    Check(size, L"ExpandEnvironmentStrings");
    wchar_t* buffer = memory::allocstringbuffer(size);
    DWORD done = ExpandEnvironmentStringsW(text, buffer, size);
    Check(done, L"ExpandEnvironmentStrings");
    if (done <= size) return buffer;
    size = done;
  }
}

const wchar_t* environment::trygetvariable(const wchar_t* name) {
  DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  while (size != 0) {
    wchar_t* buffer = memory::allocstringbuffer(size);
    DWORD done = GetEnvironmentVariableW(name, buffer, size);
    if (done == 0) return nullptr;
    if (done < size) return buffer;
    size = done;
  }
  return nullptr;
}

const wchar_t* environment::getvariable(const wchar_t* name) {
  if (const wchar_t* value = trygetvariable(name)) return value;
  TAV_AT();
  exception::raise(&classInfo, &undefinedenvironmentvariable,
                   Values({{L"variable", value::string(name)}}));
}

void environment::setvariable(const wchar_t* name, const wchar_t* value) {
  Check(SetEnvironmentVariableW(name, value), L"SetEnvironmentVariable");
}

void environment::deletevariable(const wchar_t* name) {
  if (GetEnvironmentVariableW(name, nullptr, 0) == 0) return;
  Check(SetEnvironmentVariableW(name, nullptr), L"SetEnvironmentVariable");
}

// The variables of a block as a list, in block order.
static const NamedValueList* Walk(const wchar_t* block) {
  uint32_t count = 0;
  for (const wchar_t* e = block; *e; e += wcslen(e) + 1) ++count;
  auto** entries = static_cast<const wchar_t**>(GStackAlloc(8 * (count ? count : 1)));
  count = 0;
  for (const wchar_t* e = block; *e; e += wcslen(e) + 1) entries[count++] = e;
  const NamedValueList* list = EmptyList();
  while (count--) {
    const wchar_t* entry = entries[count];
    const wchar_t* equals = wcschr(entry, L'=');
    if (!equals || equals == entry) continue;
    const wchar_t* name =
        string::substring(entry, 0, static_cast<uint32_t>(equals - entry));
    list = Prepend({{name, value::string(string::createcopy(equals + 1))}}, list);
  }
  return list;
}

const NamedValueList* environment::getallvariables() {
  wchar_t* block = GetEnvironmentStringsW();
  Check(reinterpret_cast<uintptr_t>(block), L"GetEnvironmentStrings");
  const NamedValueList* volatile list = nullptr;
  uint32_t error = K::RunTrapped([&] { list = Walk(block); });
  BOOL freed = FreeEnvironmentStringsW(block);
  if (error) K::Errors::Qel_ErrorExit(error);
  Check(freed, L"FreeEnvironmentStrings");
  return list;
}

void environment::getosversion(uint32_t* major, uint32_t* minor, bool* isNT,
                               const wchar_t** servicePack) {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  Check(GetVersionExW(&info), L"GetVersionEx");
  *major = info.dwMajorVersion;
  *minor = info.dwMinorVersion;
  *isNT = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
  *servicePack = string::createcopy(info.szCSDVersion);
}

namespace {
// The runtime writes its text into this sink, which hands it on as bytes.
struct StreamSink final : Qel::RunTime::prologOutputStream {
  explicit StreamSink(outputStream* s) : stream(s) {}
  void Write(const void* data, uint32_t bytes) override { stream->writebytes(data, bytes); }
  outputStream* stream;
};
}  // namespace

const wchar_t* environment::getsysteminfo() {
  outputStream_string* out = outputStream_string::New();
  out->setmode(Mode::Binary());
  StreamSink sink(out);
  Qel::RunTime::PrintSystemVersion(&sink);
  const wchar_t* text = out->getstring();
  out->close();
  return text;
}

}  // namespace tav
