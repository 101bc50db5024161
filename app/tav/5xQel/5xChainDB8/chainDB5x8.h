// chainDB5x8: class predicates over databases of the 8-bit format named by a
// selector value: a key search, the process-wide code page of the format and
// the reference text.
#pragma once

#include "core/core.h"

namespace tav {

enum class db_selector : uint8_t { a = 1, b = 2, c = 3 };

// codepage = ansi | oem | codepage(N)
struct codepage {
  enum Kind : uint64_t { ansi = 1, oem = 2, number = 3 };
  Kind kind = ansi;
  uint32_t n = 0;
};

class chainDB5x8 {
 public:
  static const ClassInfo classInfo;
  static bool key_search(db_selector db, int32_t selector, const wchar_t* key, int32_t* ref);
  static bool key_search(db_selector db, int32_t selector, const wchar_t* key, int32_t ref);
  static void setcodepage(codepage cp);
  static codepage getcodepage();
  static const wchar_t* str_ref(int32_t ref);
  static bool str_ref(const wchar_t* text, int32_t ref);
  static bool str_ref(const wchar_t* text, int32_t* ref);
  // ansi 0, oem 1, codepage(N) N; and back.
  static uint32_t codepage_id(codepage cp);
  static codepage codepage_of(uint32_t id);
};

}  // namespace tav
