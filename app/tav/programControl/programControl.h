// programControl: repeat and sequences produced on backtracking, the last
// saved source position and the last run-time error.  Sequences follow the
// library's continuation rule (core.h): each value is handed to the
// continuation under a backtrack point.
#pragma once

#include "core/core.h"

namespace tav {

// cursor(FileName, Line, Column)
struct CursorTerm {
  uint64_t functor;
  const wchar_t* fileName;
  uint32_t line;
  uint32_t column;
};
// packedcursor(Packed, FileName): the kernel's TFullCursor as a term.
struct PackedCursorTerm {
  uint64_t functor;
  uint32_t packed;
  const wchar_t* fileName;
};

namespace domains {
extern T::RCompoundDomain cursor, packedcursor;
}

class programControl {
 public:
  static const ClassInfo classInfo;

  // Succeeds again on every backtrack, without end.
  static void repeat(Each<int> k);
  // From, then towards To by 1; at least From.
  static bool sequence_multi(int32_t from, int32_t to, Each<int32_t> k);
  // From, From + Step, ... while within [From, To] in Step's direction.
  static bool sequence_nd(int32_t from, int32_t to, int32_t step, Each<int32_t> k);
  static bool sequence_nd(double from, double to, double step, Each<double> k);
  // From, From + Step, ... without end; leaving the 32-bit range is "Integral
  // overflow".
  static bool sequenceunlimited_multi(int32_t from, Each<int32_t> k);
  static bool sequenceunlimited_multi(int32_t from, int32_t step, Each<int32_t> k);
  static bool sequenceunlimited_multi(double from, double step, Each<double> k);

  // The thread's current source position ("", 0, 0 when there is none).
  static const CursorTerm* getlastsavedsourceposition();
  static const CursorTerm* unpackcursor(const TFullCursor* packed);
  static const CursorTerm* unpackcursor(const PackedCursorTerm* packed);
  static const CursorTerm* newcursor(const wchar_t* file, uint32_t line, uint32_t column);
  static void lasterror(int32_t* errorCode, const wchar_t** fileName, int32_t* line,
                        int32_t* column);
};

class programControl_exception {
 public:
  static const ClassInfo classInfo;
  static const ExceptionDescriptor stepzero;
  [[noreturn]] static void raise_stepzero(const ClassInfo* classInfo);
};

}  // namespace tav
