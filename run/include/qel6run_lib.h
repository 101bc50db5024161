// qel6run: math and random numbers, strings, automation strings, binaries
// (CRC-32, compact hex, compression) and checked 64-bit arithmetic.
//
// A binary is passed by the address of its first data byte; the u32 in front
// of it counts the data bytes plus itself.  Strings are NUL-terminated UTF-16.
// Results documented as new live on the collected heap or on the caller's
// global stack, as stated per function.
#pragma once

#include <cstdint>

#ifdef QEL6RUN_BUILD
// The export list decides what the DLL exports (see exports.txt).
#define QEL6RUN_LIB_API
#else
#define QEL6RUN_LIB_API __declspec(dllimport)
#endif

namespace QelMath {

QEL6RUN_LIB_API uint32_t bitOr(uint32_t a, uint32_t b);
QEL6RUN_LIB_API uint32_t bitAnd(uint32_t a, uint32_t b);
QEL6RUN_LIB_API uint32_t bitXor(uint32_t a, uint32_t b);
QEL6RUN_LIB_API uint32_t bitNot(uint32_t a);
// Logical shifts by count mod 32.
QEL6RUN_LIB_API uint32_t bitLeft(uint32_t value, uint32_t count);
QEL6RUN_LIB_API uint32_t bitRight(uint32_t value, uint32_t count);
QEL6RUN_LIB_API uint32_t abs_i(int32_t x);
QEL6RUN_LIB_API double abs_r(double x);

// Real arithmetic and conversions.  A finite operation whose result is not
// finite raises error 1 with the floating-point exception the x87 unit would
// have signalled (divide by zero, overflow, invalid operation).
QEL6RUN_LIB_API double PFP_IntReal(int32_t x);
QEL6RUN_LIB_API double PFP_UnsReal(uint32_t x);
QEL6RUN_LIB_API double PFP_Add(double left, double right);
QEL6RUN_LIB_API double PFP_Sub(double left, double right);
QEL6RUN_LIB_API double PFP_Mult(double left, double right);
QEL6RUN_LIB_API double PFP_Div(double left, double right);
// Register-convention entries for generated and assembler code (C++ code
// does not call them): compare two doubles from the machine stack into the
// flags, move a double from the machine stack onto the x87 stack, and pop the
// x87 top into RDX (low word) and RAX (high word).
QEL6RUN_LIB_API void PFP_COMP();
QEL6RUN_LIB_API void PFP_TOFLOATSTACK();
QEL6RUN_LIB_API void PFP_FLOATSTACKTOREG();
// Rounded half up; out of range raises 316.
QEL6RUN_LIB_API int32_t PFP_RealInt(double x);
QEL6RUN_LIB_API uint32_t PFP_RealUnsigned(double x);
QEL6RUN_LIB_API uint8_t PFP_RealUChar(double x);
// Rounded half up, no range check: the low 16 bits of the 32-bit result, and
// 0 when the value has no 32-bit integer (the x87 "integer indefinite").
QEL6RUN_LIB_API uint16_t PFP_RealChar(double x);
// Rounded half away from zero; out of range raises 302.
QEL6RUN_LIB_API int32_t PFP_RealLong(double x);
QEL6RUN_LIB_API uint32_t PFP_RealULong(double x);

QEL6RUN_LIB_API double round(double x);
QEL6RUN_LIB_API double trunc(double x);
QEL6RUN_LIB_API double sin(double x);
QEL6RUN_LIB_API double cos(double x);
QEL6RUN_LIB_API double tan(double x);
QEL6RUN_LIB_API double arctan(double x);
QEL6RUN_LIB_API double exp(double x);
QEL6RUN_LIB_API double ln(double x);
QEL6RUN_LIB_API double log(double x);
QEL6RUN_LIB_API double sqrt(double x);

// The process-wide generator: x := 3141592621 x + 1 (mod 2^32).
QEL6RUN_LIB_API double random_0();
QEL6RUN_LIB_API int32_t Random_1(int32_t n);
QEL6RUN_LIB_API void RandomInit(uint32_t seed);

}  // namespace QelMath

namespace CorvaneString {

QEL6RUN_LIB_API wchar_t* create(uint32_t n);
QEL6RUN_LIB_API wchar_t* create(uint32_t n, const wchar_t* pattern);
QEL6RUN_LIB_API char* create8(uint32_t n);
QEL6RUN_LIB_API const wchar_t* trimFront(const wchar_t* s);
QEL6RUN_LIB_API const wchar_t* trimLast(const wchar_t* s);
QEL6RUN_LIB_API const wchar_t* trimInner(const wchar_t* s);
QEL6RUN_LIB_API bool search(const wchar_t* s, const wchar_t* sub, uint32_t* position);
// Fail (backtrack) when the character is not among the first count.
QEL6RUN_LIB_API uint32_t searchForChar(const wchar_t* text, wchar_t c, uint32_t count);
QEL6RUN_LIB_API uint32_t searchForChar8(const char* text, char c, uint32_t count);
// Mode 1: exact; other modes: case-insensitive; -1 also carries the case of
// each match over to the replacement.  Null when nothing is replaced.
QEL6RUN_LIB_API wchar_t* replace(const wchar_t* text, const wchar_t* old, const wchar_t* with,
                                 int32_t mode, bool firstOnly);
QEL6RUN_LIB_API bool isAlpha(const wchar_t* s);
QEL6RUN_LIB_API bool frontToken(const wchar_t* s, wchar_t** token, const wchar_t** rest);
QEL6RUN_LIB_API int32_t compareN(const wchar_t* a, const wchar_t* b, uint32_t n);

}  // namespace CorvaneString

// Automation strings (BSTR, declared here as wchar_t*).  A runtime string
// ends at its NUL, so a NUL of an automation string travels as FFFF FFFF and
// a FFFF unit as FFFF FFFE.
namespace Corvane_BasicString {

QEL6RUN_LIB_API uint32_t getPrologStringLength(const wchar_t* bstr);
// `target` holds getPrologStringLength(bstr) + 1 units.
QEL6RUN_LIB_API void toString(const wchar_t* bstr, wchar_t* target);
QEL6RUN_LIB_API wchar_t* toBstr(const wchar_t* s);

}  // namespace Corvane_BasicString

namespace CorvaneBinary {

QEL6RUN_LIB_API uint32_t Crc32Binary_ii(const uint8_t* binary, uint32_t previous);
QEL6RUN_LIB_API uint32_t Crc32Binary_i(const uint8_t* binary);
QEL6RUN_LIB_API wchar_t* toStringCompact(const uint8_t* binary);
// Fails on an odd length or a character that is not a hexadecimal digit.
QEL6RUN_LIB_API uint8_t* toBinaryCompact(const wchar_t* s);
// Results on the caller's global stack.
QEL6RUN_LIB_API uint8_t* CompressBinary(const uint8_t* binary);
QEL6RUN_LIB_API uint8_t* ExpandBinary(const uint8_t* binary);

}  // namespace CorvaneBinary

// Checked 64-bit arithmetic; each result is a new cell on the global stack.
// Overflow raises error 1 "Integral overflow".
namespace CorvaneCore {

QEL6RUN_LIB_API int64_t* addI(const int64_t* a, const int64_t* b);
QEL6RUN_LIB_API int64_t* subI(const int64_t* a, const int64_t* b);
QEL6RUN_LIB_API uint64_t* addU(const uint64_t* a, const uint64_t* b);
QEL6RUN_LIB_API uint64_t* subU(const uint64_t* a, const uint64_t* b);

}  // namespace CorvaneCore

namespace CorvaneTime {

QEL6RUN_LIB_API int64_t* int64xReal(const int64_t* value, double factor);
// A divisor of 0 raises error 1 "Integral divide by zero".
QEL6RUN_LIB_API void int64div32(const int64_t* dividend, int32_t divisor, int64_t** quotient,
                                int32_t* remainder);

}  // namespace CorvaneTime
