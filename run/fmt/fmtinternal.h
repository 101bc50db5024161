// Internals of the format interpreter and the string writers.
#pragma once

#include "qel6run_fmt.h"
#include "runtime.h"
#include "streams.h"

namespace Qel::RunTime::Terms::Format {

// One directive after a "%".  letter: 0 none, a space for an empty
// directive (the argument's plain form).
struct RFormatDirective {
  int32_t width;
  uint32_t consumed;    // characters of the directive after the "%"
  int32_t precision;
  wchar_t letter;
  bool zeroFill;
  bool rightAlign;
  bool upper;
  bool precisionGiven;
};

RFormatDirective ParseDirective(const wchar_t* p);
// Writes the term by the directive (`directive` is its text after the "%").
void FormatValue(RStreamCursor& out, const RFormatDirective& dir, const IDomainDefinition* d,
                 term t, const wchar_t* directive);
// The number of arguments; an internal error when the block cannot hold them.
uint32_t CheckArguments(const REllipsisArg* args);
void Interpret(RStreamCursor& out, const wchar_t* format, const REllipsisArg* args);
void WriteArguments(RStreamCursor& out, const REllipsisArg* args, bool text, bool quoted);

}  // namespace Qel::RunTime::Terms::Format
