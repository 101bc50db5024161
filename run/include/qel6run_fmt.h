// qel6run: writing terms and format strings to streams and to new strings.
//
// The write and format predicates take a variable argument list
// (REllipsisArg): each argument with its domain.  Terms are written in their
// text form (quoted as for consult, or plain) or as binary images, or under
// the control of a format string whose directives are
//   %[-][0][width][.precision][letter]
// with the letters c d e f g o s u x and B D O P R U X; "%%" writes one "%",
// and a "%" followed by any other character writes the argument in its plain
// form.  Errors: 312 a letter the argument's domain does not take, 314 more
// directives than arguments or arguments left over (text written before the
// error stays written).
#pragma once

#include <cstdint>
#include <cstring>

#include "qel6run.h"

#ifdef QEL6RUN_BUILD
// The export list decides what the DLL exports (see exports.txt).
#define QEL_RUN_FMT_API
#else
#define QEL_RUN_FMT_API __declspec(dllimport)
#endif

namespace Qel::RunTime::Terms {

// A variable argument list.  Every word is 8 bytes:
//   word 0              the block's length in words, this word included (the
//                       length that Control::Qel_EllipsisTransfer copies)
//   word 1              the number of arguments N
//   words 2 .. N+1      the arguments' domains (activated records)
//   words N+2 .. 2N+1   the arguments: for a domain whose values are scalar
//                       (IsScalar) the value cell in the low bytes of the
//                       word, for any other domain the term pointer
// A block whose length word cannot hold its N arguments is refused with an
// internal error before anything is read or written.
struct REllipsisArg {
  uintptr_t length;
  uintptr_t count;

  const IDomainDefinition* const* Domains() const {
    return reinterpret_cast<const IDomainDefinition* const*>(this + 1);
  }
  const uint64_t* Values() const { return reinterpret_cast<const uint64_t*>(Domains() + count); }
};
static_assert(sizeof(REllipsisArg) == 16);

// A list of N arguments built by C++ code.
//   TEllipsisArgs<2> a;
//   a.SetValue(0, Domain(coord), int32_t{5});  // a scalar value
//   a.SetTerm(1, Domain(label), L"x");         // a term pointer
//   Format2StringProlog(L"%d %s", a);
template <size_t N>
struct TEllipsisArgs {
  uintptr_t length = 2 + 2 * N;
  uintptr_t count = N;
  const IDomainDefinition* domains[N ? N : 1] = {};
  uint64_t values[N ? N : 1] = {};

  template <class V>
  void SetValue(size_t i, const IDomainDefinition* d, V value) {
    static_assert(sizeof(V) <= 8);
    domains[i] = d;
    values[i] = 0;
    memcpy(&values[i], &value, sizeof value);
  }
  void SetTerm(size_t i, const IDomainDefinition* d, const void* t) {
    domains[i] = d;
    values[i] = reinterpret_cast<uintptr_t>(t);
  }
  operator const REllipsisArg*() const { return reinterpret_cast<const REllipsisArg*>(this); }
};
static_assert(offsetof(TEllipsisArgs<2>, values) == 32);

namespace Format {

// Writes each argument in order: text set and quoted set, its consult text
// form (strings quoted, with escapes); text set and quoted clear, its plain
// text form; text clear, its binary image with the image's u32 size word
// (which counts itself) in front.
QEL_RUN_FMT_API void corvane_write2OutputStream_support(const REllipsisArg* args, uint32_t quoted,
                                                        uint32_t text, RBufferSource* sink);
QEL_RUN_FMT_API void corvane_Write2OutputStream(RBufferSource* sink, uint32_t quoted,
                                                uint32_t text, const REllipsisArg* args);
// Interprets the format string against the arguments, writing to the sink.
QEL_RUN_FMT_API void corvane_formatToOutputStream_support(const REllipsisArg* args,
                                                          const wchar_t* format,
                                                          RBufferSource* sink);
QEL_RUN_FMT_API void corvaneStream_Format(RBufferSource* sink, const wchar_t* format,
                                          const REllipsisArg* args);
// Writes the bytes as they are.
QEL_RUN_FMT_API void corvane_WriteBytes2OutputStream(RBufferSource* sink, const void* bytes,
                                                     uint32_t length);

}  // namespace Format
}  // namespace Qel::RunTime::Terms

namespace CorvaneString {

using Qel::RunTime::Terms::IDomainDefinition;
using Qel::RunTime::Terms::REllipsisArg;

// New heap strings holding what the writers above produce.
QEL_RUN_FMT_API wchar_t* Write2StringProlog(uint32_t quoted, uint32_t text,
                                            const REllipsisArg* args);
QEL_RUN_FMT_API wchar_t* Format2StringProlog(const wchar_t* format, const REllipsisArg* args);
QEL_RUN_FMT_API wchar_t* Format2StringProlog5x(const wchar_t* format, const REllipsisArg* args);
// The term's consult text form.
QEL_RUN_FMT_API wchar_t* StreamToString(const IDomainDefinition* d, const uint8_t* t);

}  // namespace CorvaneString
