// string: building, taking apart, searching, case handling and checks of
// runtime strings; positions and lengths count 16-bit units from 0.
// Fresh results are atomic heap blocks allocated once; rests and tails share
// the argument's storage.  Bounds are checked in 64 bits and raise
// `outofboundaries`; sizes beyond `sizeterm` raise 302 before allocating.
#pragma once

#include "core/core.h"

namespace tav {

// A string_list cell; the empty list is a one-word block holding 2.
struct StringList {
  uint64_t functor;
  const wchar_t* head;
  const StringList* tail;

  bool Empty() const { return (functor & 0xFF) == 2; }
};
namespace domains {
extern T::RCompoundDomain string_list;
}
const StringList* EmptyStringList();
// A list on the global stack.
const StringList* MakeStringList(std::initializer_list<const wchar_t*> items);

enum class casesensitivity { casesensitive = 1, caseinsensitive = 2, casepreserve = 3 };

class string_exception {
 public:
  static const ClassInfo classInfo;
  static const ExceptionDescriptor emptystring, outofboundaries, oddoffset;
  [[noreturn]] static void raise_emptystring(const ClassInfo* ci);
  // "String position", "String length".
  [[noreturn]] static void raise_outofboundaries(const ClassInfo* ci, uint32_t position,
                                                 uint32_t length);
  [[noreturn]] static void raise_oddoffset(const ClassInfo* ci, uint32_t offset);
};

class string {
 public:
  static const ClassInfo classInfo;

  static const wchar_t* create(uint32_t length, const wchar_t* fill);
  static const wchar_t* createcopy(const wchar_t* s);
  static const wchar_t* concat(const wchar_t* a, const wchar_t* b, const wchar_t* c = L"",
                               const wchar_t* d = L"", const wchar_t* e = L"",
                               const wchar_t* f = L"");
  static const wchar_t* concatlist(const StringList* list);
  static const wchar_t* concatwithdelimiter(const StringList* list, const wchar_t* delimiter);

  static bool frontchar(const wchar_t* s, wchar_t* c, const wchar_t** rest);
  static void front(const wchar_t* s, uint32_t count, const wchar_t** first, const wchar_t** last);
  static const wchar_t* substring(const wchar_t* s, uint32_t position, uint32_t count);
  static wchar_t subchar(const wchar_t* s, uint32_t position);
  static const wchar_t* replacepart(const wchar_t* s, uint32_t position, uint32_t length,
                                    const wchar_t* replacement);

  // Null (fails) when nothing was replaced.
  static const wchar_t* replace(const wchar_t* s, const wchar_t* what, const wchar_t* with,
                                casesensitivity cs);
  static const wchar_t* replaceall(const wchar_t* s, const wchar_t* what, const wchar_t* with,
                                   casesensitivity cs);
  // False (fails) when absent.
  static bool search(const wchar_t* s, const wchar_t* sub, casesensitivity cs, uint32_t* position);
  static bool searchchar(const wchar_t* s, wchar_t c, casesensitivity cs, uint32_t* position);
  static bool fronttoken(const wchar_t* s, const wchar_t** token, const wchar_t** rest);

  static const wchar_t* touppercase(const wchar_t* s);
  static const wchar_t* tolowercase(const wchar_t* s);
  static bool isuppercase(const wchar_t* s);
  static bool islowercase(const wchar_t* s);
  static bool equalignorecase(const wchar_t* a, const wchar_t* b);
  static bool hasdecimaldigits(const wchar_t* s);
  static bool hasalpha(const wchar_t* s);
  static wchar_t charupper(wchar_t c);
  static wchar_t charlower(wchar_t c);
  static const wchar_t* chartostring(wchar_t c);
  static const wchar_t* trim(const wchar_t* s);
  static const wchar_t* format(const wchar_t* format, const T::REllipsisArg* args);
  static bool isvalidtoread(const wchar_t* s);

  static const StringList* split_delimiter(const wchar_t* s, const wchar_t* delimiter);
  static const StringList* split_length(const wchar_t* s, const uint32_t* lengths, uint32_t count);
  static bool splitstringbyseparators(const wchar_t* s, const wchar_t* separators,
                                      const wchar_t** front, wchar_t* separator,
                                      const wchar_t** rest);
  static const StringList* sortbytree(const StringList* list);

  static bool isname(const wchar_t* s);
  static bool isclassidentifier(const wchar_t* className, const wchar_t* memberName);
  static bool isobjectidentifier(const wchar_t* objectName, const wchar_t* memberName);

  // A fresh heap string of `units` characters, terminator written (the
  // characters are the caller's to fill); 302 beyond sizeterm.
  static wchar_t* NewString(uint64_t units);
};

}  // namespace tav
