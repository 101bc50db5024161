// The exported term operations: thin entries over the domain's slots.
#include "numeric.h"
#include "streams.h"

namespace Qel::RunTime::Terms {

using namespace detail;

uint32_t SizeOfTerm(const IDomainDefinition* d, term t) { return d->SizeOfTerm(t); }

wchar_t* ToString(const IDomainDefinition* d, term t) { return TermToString(d, t, true); }

term FromString(const IDomainDefinition* d, const wchar_t* text) {
  const wchar_t* cursor = text;
  term t = d->LowLevelFromString(&cursor);
  while (*cursor && OSInterface::IsCharWhiteSpace(*cursor)) ++cursor;
  if (*cursor) Raise(303, d->QualifiedName(), text);
  return t;
}

void IsEqualTerms(const IDomainDefinition* d, term a, term b) { d->IsEqualTerms(b, a); }
int CompareTerms(const IDomainDefinition* d, term a, term b) { return d->CompareTerms(b, a); }
void CopyTermToGStack(const IDomainDefinition* d, term t, term* out) {
  *out = d->CopyTermToGStack(t);
}
term CopyTermFromGStack(const IDomainDefinition* d, term t) { return d->CopyTermFromGStack(t); }

void Check_II_Range(const TIntegralDomainDefinition* d, int32_t v) { d->Check_II_Range(v); }
void Check_IU_Range(const TIntegralDomainDefinition* d, uint32_t v) { d->Check_IU_Range(v); }
void Check_UI_Range(const TIntegralDomainDefinition* d, int32_t v) { d->Check_UI_Range(v); }
void Check_UU_Range(const TIntegralDomainDefinition* d, uint32_t v) { d->Check_UU_Range(v); }
void CheckRealRange(const TRealDomainDefinition* d, double v) { d->CheckRealRange(v); }

int32_t ConvertI2I(const IDomainDefinition* d, int32_t v) { return d->ConvertI2I(v); }
int32_t ConvertU2I(const IDomainDefinition* d, uint32_t v) { return d->ConvertU2I(v); }
int32_t ConvertR2I(const IDomainDefinition* d, double v) { return d->ConvertR2I(v); }
uint32_t ConvertI2U(const IDomainDefinition* d, int32_t v) { return d->ConvertI2U(v); }
uint32_t ConvertU2U(const IDomainDefinition* d, uint32_t v) { return d->ConvertU2U(v); }
uint32_t ConvertR2U(const IDomainDefinition* d, double v) { return d->ConvertR2U(v); }
double ConvertI2R(const IDomainDefinition* d, int32_t v) { return d->ConvertI2R(v); }
double ConvertU2R(const IDomainDefinition* d, uint32_t v) { return d->ConvertU2R(v); }
double ConvertR2R(const IDomainDefinition* d, double v) { return d->ConvertR2R(v); }

void Validate(const IDomainDefinition* d, term t) {
  if (!d->Validate(t)) Raise(301, d->QualifiedName(), Errors::PrepareBinaryForErrorMessage(t, 20));
}

bool IsTermBoxedForAnonymousTypePosition(const IDomainDefinition* d) {
  return d->IsTermBoxedForAnonymousTypePosition();
}

void Error_FreeVariable() { Raise(328); }

}  // namespace Qel::RunTime::Terms
