// The bases of the numeric kinds: integral and real domains with their
// bounds and range checks (the slots after the common ones).  The numeric
// family builds on the domain classes; nothing below it names these.
#pragma once

#include "domains.h"

namespace Qel::RunTime::Terms {

class TIntegralDomainDefinition : public TDomainDefinition {
 public:
  const RIntegralDomain& I() const { return *reinterpret_cast<const RIntegralDomain*>(this); }
  bool Signed() const;
  virtual uint32_t Word30() const;                  // 58
  virtual uint32_t DeclaredBits() const;            // 59
  virtual uint32_t StorageBits() const;             // 60
  virtual int64_t LowBound() const;                 // 61
  virtual int64_t HighBound() const;                // 62
  virtual bool IsInRange(int64_t v) const;          // 63
  virtual void CheckRange(int64_t v) const;         // 64
  virtual void Check_II_Range(int32_t v) const;     // 65
  virtual void Check_IU_Range(uint32_t v) const;    // 66
  virtual void Check_UI_Range(int32_t v) const;     // 67
  virtual void Check_UU_Range(uint32_t v) const;    // 68
  [[noreturn]] void RangeError(const char* value) const;
};

class TRealDomainDefinition : public TDomainDefinition {
 public:
  const RRealDomain& D() const { return *reinterpret_cast<const RRealDomain*>(this); }
  virtual uint32_t Word38() const;                  // 58
  virtual double LowBound() const;                  // 59
  virtual double HighBound() const;                 // 60
  virtual bool IsInRange(double v) const;           // 61
  virtual void CheckRealRange(double v) const;      // 62
  virtual uint32_t Digits() const;                  // 63
  virtual uint32_t Word34() const;                  // 64
};

}  // namespace Qel::RunTime::Terms

namespace Qel::RunTime::detail {
// Text of a double with the given significant digits (8-bit, for messages).
void RealText(double v, int digits, char* out, size_t size);
}  // namespace Qel::RunTime::detail
