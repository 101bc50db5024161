// string8 and string8_api: 16-bit strings and characters to and from 8-bit
// ones through a Windows code page.  Lengths count source units; -1 means up
// to and including the terminator.  A conversion the system refuses raises
// the native-call exception naming the system function; the validity tests
// fail instead.  Byte results live on the global stack, 16-bit ones in
// runtime string buffers.
#pragma once

#include <cstddef>

#include "core/core.h"

namespace tav {

// codepage = ansi | oem | codepage(unsigned), a domain of class core; the
// struct is also the term (ansi and oem read only its functor word).
struct codepage {
  enum class Kind : uint64_t { ansi = 1, oem, number } kind;
  uint32_t number;

  static codepage Ansi() { return {Kind::ansi, 0}; }
  static codepage Oem() { return {Kind::oem, 0}; }
  static codepage Number(uint32_t n) { return {Kind::number, n}; }
  // The term on the global stack.
  const codepage* Term() const;
};
static_assert(offsetof(codepage, number) == 8 && sizeof(codepage) == 16);
namespace domains {
extern T::RCompoundDomain codepage_;
}

class string8_api {
 public:
  static const ClassInfo classInfo;
  // The number the system calls take: ansi 0 (CP_ACP), oem 1 (CP_OEMCP), else N.
  static uint32_t toapicodepage(codepage cp);

  static void towidechar(codepage cp, const char* source, int32_t length, wchar_t* buffer,
                         uint32_t bufferLength);
  static uint32_t lenwidechar(codepage cp, const char* source, int32_t length);
  static void tomultibyte(codepage cp, const wchar_t* source, int32_t length, char* buffer,
                          uint32_t bufferSize);
  static uint32_t lenmultibyte(codepage cp, const wchar_t* source, int32_t length);
};

class string8 {
 public:
  static const ClassInfo classInfo;

  static const char* mapfromstring(const wchar_t* s, codepage cp = codepage::Ansi());
  static const wchar_t* maptostring(const char* s8, codepage cp = codepage::Ansi());
  // A character that needs two bytes yields its first byte.
  static uint8_t mapfromchar(wchar_t c, codepage cp = codepage::Ansi());
  static wchar_t maptochar(uint8_t c8, codepage cp = codepage::Ansi());
  static bool isvalidcodepage(uint32_t number);
  // Readable up to its terminator; never takes a fault.
  static bool isvalidtoread(const char* s8);
};

}  // namespace tav
