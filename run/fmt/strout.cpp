// The exports that write or format into a new string.
#include "fmtinternal.h"
#include "stringsink.h"

namespace CorvaneString {

using namespace Qel::RunTime::Kernel;
using Qel::RunTime::Terms::RStreamCursor;
using Qel::RunTime::detail::WriteToString;

wchar_t* Write2StringProlog(uint32_t quoted, uint32_t text, const REllipsisArg* args) {
  return WriteToString([&](RStreamCursor& out) {
    Qel::RunTime::Terms::Format::WriteArguments(out, args, text != 0, quoted != 0);
  });
}

wchar_t* Format2StringProlog(const wchar_t* format, const REllipsisArg* args) {
  return WriteToString([&](RStreamCursor& out) {
    Qel::RunTime::Terms::Format::Interpret(out, format, args);
  });
}

wchar_t* Format2StringProlog5x(const wchar_t* format, const REllipsisArg* args) {
  return Format2StringProlog(format, args);
}

wchar_t* StreamToString(const IDomainDefinition* d, const uint8_t* t) {
  if (!d) Errors::InternalError(L"StreamToString: no domain");
  return Qel::RunTime::Terms::TermToString(d, t, true);
}

}  // namespace CorvaneString
