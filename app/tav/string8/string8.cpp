// string8, string8_api: every conversion asks the system for the size first
// and converts into exactly that much room; a zero answer of the system is
// an error except for an empty (length 0) source, which gives nothing.
#include "string8/string8.h"

#include <windows.h>

#include "exception/exception.h"
#include "memory/memory.h"

namespace tav {

const ClassInfo string8_api::classInfo{L"com/corvane/string/string8_api/string8_api",
                                       TAV_CLASS_VERSION};
const ClassInfo string8::classInfo{L"com/corvane/string/string8", TAV_CLASS_VERSION};

const codepage* codepage::Term() const {
  auto* t = static_cast<codepage*>(GStackAlloc(sizeof(codepage)));
  *t = *this;
  return t;
}

uint32_t string8_api::toapicodepage(codepage cp) {
  switch (cp.kind) {
    case codepage::Kind::ansi: return CP_ACP;
    case codepage::Kind::oem: return CP_OEMCP;
    default: return cp.number;
  }
}

static void Check(int result, const wchar_t* api) {
  if (result == 0) {
    TAV_AT();
    common_exception::raise_nativecallexception(&string8_api::classInfo, api, EmptyList());
  }
}

void string8_api::towidechar(codepage cp, const char* source, int32_t length, wchar_t* buffer,
                             uint32_t bufferLength) {
  if (length == 0) return;
  Check(MultiByteToWideChar(toapicodepage(cp), 0, source, length, buffer,
                            static_cast<int>(bufferLength)),
        L"MultiByteToWideChar");
}

uint32_t string8_api::lenwidechar(codepage cp, const char* source, int32_t length) {
  if (length == 0) return 0;
  int n = MultiByteToWideChar(toapicodepage(cp), 0, source, length, nullptr, 0);
  Check(n, L"MultiByteToWideChar");
  return static_cast<uint32_t>(n);
}

void string8_api::tomultibyte(codepage cp, const wchar_t* source, int32_t length, char* buffer,
                              uint32_t bufferSize) {
  if (length == 0) return;
  Check(WideCharToMultiByte(toapicodepage(cp), 0, source, length, buffer,
                            static_cast<int>(bufferSize), nullptr, nullptr),
        L"WideCharToMultiByte");
}

uint32_t string8_api::lenmultibyte(codepage cp, const wchar_t* source, int32_t length) {
  if (length == 0) return 0;
  int n = WideCharToMultiByte(toapicodepage(cp), 0, source, length, nullptr, 0, nullptr, nullptr);
  Check(n, L"WideCharToMultiByte");
  return static_cast<uint32_t>(n);
}

const char* string8::mapfromstring(const wchar_t* s, codepage cp) {
  uint32_t n = memory::checksize(string8_api::lenmultibyte(cp, s, -1));
  auto* buffer = static_cast<char*>(GStackAlloc(n));
  string8_api::tomultibyte(cp, s, -1, buffer, n);
  return buffer;
}

const wchar_t* string8::maptostring(const char* s8, codepage cp) {
  uint32_t n = string8_api::lenwidechar(cp, s8, -1);
  wchar_t* buffer = memory::allocstringbuffer(n);
  string8_api::towidechar(cp, s8, -1, buffer, n);
  return buffer;
}

uint8_t string8::mapfromchar(wchar_t c, codepage cp) {
  char bytes[8] = {};
  uint32_t n = string8_api::lenmultibyte(cp, &c, 1);
  string8_api::tomultibyte(cp, &c, 1, bytes, n < sizeof bytes ? n : sizeof bytes);
  return static_cast<uint8_t>(bytes[0]);
}

wchar_t string8::maptochar(uint8_t c8, codepage cp) {
  char source = static_cast<char>(c8);
  wchar_t out[2] = {};
  string8_api::lenwidechar(cp, &source, 1);
  string8_api::towidechar(cp, &source, 1, out, 1);
  return out[0];
}

bool string8::isvalidcodepage(uint32_t number) { return IsValidCodePage(number) != 0; }

bool string8::isvalidtoread(const char* s8) {
  return !K::OSInterface::OSIsBadStringAPtr(s8, UINT32_MAX);
}

}  // namespace tav
