// programControl: sequences on backtracking, source positions, the last
// error.  Bounded integer sequences step in 64 bits and end after their last
// value; unlimited ones raise "Integral overflow" when the next value leaves
// the 32-bit range.
#include "programControl/programControl.h"

#include <windows.h>

#include <utility>

#include "exception/exception.h"
#include "qel6run_lib.h"

namespace tav {

using K::Control::TPrologThreadData;

const ClassInfo programControl::classInfo{L"com/corvane/ProgramControl/programControl",
                                          TAV_CLASS_VERSION};
const ClassInfo programControl_exception::classInfo{
    L"com/corvane/ProgramControl/programControl_exception", TAV_CLASS_VERSION};
const ExceptionDescriptor programControl_exception::stepzero{
    &programControl_exception::classInfo, L"stepzero", L"sequence : step is zero"};

void programControl_exception::raise_stepzero(const ClassInfo* ci) {
  exception::raise_withpos(ci, programControl::getlastsavedsourceposition(), &stepzero);
}

static void CheckStep(bool zero) {
  if (zero) programControl_exception::raise_stepzero(&programControl_exception::classInfo);
}

void programControl::repeat(Each<int> k) {
  while (!TrySolution(k, 0)) {
  }
}

bool programControl::sequence_multi(int32_t from, int32_t to, Each<int32_t> k) {
  const int64_t step = from <= to ? 1 : -1;
  for (int64_t v = from;; v += step) {
    if (TrySolution(k, static_cast<int32_t>(v))) return true;
    if (v == to) return false;
  }
}

bool programControl::sequence_nd(int32_t from, int32_t to, int32_t step, Each<int32_t> k) {
  CheckStep(step == 0);
  for (int64_t v = from; step > 0 ? v <= to : v >= to; v += step)
    if (TrySolution(k, static_cast<int32_t>(v))) return true;
  return false;
}

bool programControl::sequence_nd(double from, double to, double step, Each<double> k) {
  CheckStep(step == 0.0);
  for (double v = from; step > 0 ? v <= to : v >= to; v = QelMath::PFP_Add(v, step))
    if (TrySolution(k, v)) return true;
  return false;
}

bool programControl::sequenceunlimited_multi(int32_t from, Each<int32_t> k) {
  return sequenceunlimited_multi(from, 1, k);
}

bool programControl::sequenceunlimited_multi(int32_t from, int32_t step, Each<int32_t> k) {
  CheckStep(step == 0);
  for (int32_t v = from;;) {
    if (TrySolution(k, v)) return true;
    if (__builtin_add_overflow(v, step, &v)) RaiseIntegerOverflow();
  }
}

bool programControl::sequenceunlimited_multi(double from, double step, Each<double> k) {
  CheckStep(step == 0.0);
  for (double v = from;; v = QelMath::PFP_Add(v, step))
    if (TrySolution(k, v)) return true;
}

const CursorTerm* programControl::newcursor(const wchar_t* file, uint32_t line, uint32_t column) {
  auto* c = static_cast<CursorTerm*>(GStackAlloc(sizeof(CursorTerm)));
  *c = CursorTerm{1, file, line, column};
  return c;
}

// True when [p, p + n) lies in the program's own image, which stays mapped
// and readable for the whole run: the static positions of raise sites and
// their file names live there, and asking the memory manager (a server call
// under Wine) would cost more than the rest of a raise.
static bool InProgramImage(const void* p, size_t n) {
  static const auto range = [] {
    auto* base = reinterpret_cast<const uint8_t*>(GetModuleHandleW(nullptr));
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return std::pair<uintptr_t, uintptr_t>(reinterpret_cast<uintptr_t>(base),
                                           reinterpret_cast<uintptr_t>(base) +
                                               nt->OptionalHeader.SizeOfImage);
  }();
  auto a = reinterpret_cast<uintptr_t>(p);
  return a >= range.first && a < range.second && n <= range.second - a;
}

const CursorTerm* programControl::unpackcursor(const TFullCursor* packed) {
  if (!packed || (!InProgramImage(packed, sizeof *packed) &&
                  K::OSInterface::OSIsBadReadPtr(packed, sizeof *packed)))
    return newcursor(L"", 0, 0);
  const wchar_t* file = packed->fileName;
  if (!file || (!InProgramImage(file, 2) && K::OSInterface::OSIsBadStringPtr(file, 0x8000)))
    file = L"";
  return newcursor(file, packed->position & 0xFFFFF, packed->position >> 20);
}

const CursorTerm* programControl::unpackcursor(const PackedCursorTerm* packed) {
  if (!packed) return newcursor(L"", 0, 0);
  TFullCursor c{packed->packed, packed->fileName};
  return unpackcursor(&c);
}

const CursorTerm* programControl::getlastsavedsourceposition() {
  return unpackcursor(TPrologThreadData::GetCurrentPosition());
}

void programControl::lasterror(int32_t* errorCode, const wchar_t** fileName, int32_t* line,
                               int32_t* column) {
  *errorCode = T::ConvertU2I(D(domains::integer), TPrologThreadData::GetExitCode());
  const CursorTerm* at = getlastsavedsourceposition();
  *fileName = at->fileName;
  *line = T::ConvertU2I(D(domains::integer), at->line);
  *column = T::ConvertU2I(D(domains::integer), at->column);
}

}  // namespace tav
