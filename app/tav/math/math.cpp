// math: the elementary steps are the runtime's (exp, ln, sqrt, arctan,
// trunc), so their errors are the runtime's; every value that must lie in
// `ureal` or `incircle` goes through that domain's conversion first.
#include "math/math.h"

#include <cmath>

#include "exception/exception.h"
#include "qel6run_lib.h"

namespace tav {

const ClassInfo math::classInfo{L"com/corvane/Math/math", TAV_CLASS_VERSION};
const ClassInfo math_exception::classInfo{L"com/corvane/Math/math_exception", TAV_CLASS_VERSION};

const ExceptionDescriptor math_exception::asinoutofbounds{
    &classInfo, L"asinoutofbounds", L"arcsin/1 : argument is outside of [-1.0 ..1.0]"};
const ExceptionDescriptor math_exception::acoshoutofbounds{
    &classInfo, L"acoshoutofbounds", L"arccosh/1 : argument is outside of [1.0 .. )"};
const ExceptionDescriptor math_exception::atanhoutofbounds{
    &classInfo, L"atanhoutofbounds", L"arcTanh/1 : argument is outside of (-1.0 ..1.0)"};
const ExceptionDescriptor math_exception::acotanhoutofbounds{
    &classInfo, L"acotanhoutofbounds", L"arccoTanh/1 : argument is outside of (-1.0 ..1.0)"};
const ExceptionDescriptor math_exception::cotanhinfinityresult{
    &classInfo, L"cotanhinfinityresult", L"coTanh/1 : infinity result"};

[[noreturn]] static void Raise(const ExceptionDescriptor* e, double x) {
  exception::raise_withpos(&math::classInfo, programControl::getlastsavedsourceposition(), e,
                           Values({{L"argument", value::real(x)}}));
}
void math_exception::raise_asinoutofbounds(double x) { Raise(&asinoutofbounds, x); }
void math_exception::raise_acoshoutofbounds(double x) { Raise(&acoshoutofbounds, x); }
void math_exception::raise_atanhoutofbounds(double x) { Raise(&atanhoutofbounds, x); }
void math_exception::raise_acotanhoutofbounds(double x) { Raise(&acotanhoutofbounds, x); }
void math_exception::raise_cotanhinfinityresult(double x) { Raise(&cotanhinfinityresult, x); }

static double Ureal(double v) { return T::ConvertR2R(D(domains::ureal), v); }
static double Incircle(double v) { return T::ConvertR2R(D(domains::incircle), v); }

double math::arcsin(double x) {
  if (QelMath::abs_r(x) > 1) {
    TAV_AT();
    math_exception::raise_asinoutofbounds(x);
  }
  if (x == 0) return 0;
  if (1 - x * x < 1e-20) return x > 0 ? halfPi : -halfPi;
  return QelMath::arctan(x / QelMath::sqrt(Ureal((1 - x) * (1 + x))));
}

double math::arccos(double x) { return halfPi - arcsin(x); }

double math::sinh(double x) {
  // Near 0 the difference of the two exponentials cancels: take it from
  // exp(x) - 1, which keeps cotanh accurate there.
  if (QelMath::abs_r(x) < 1) return (std::expm1(x) - std::expm1(0 - x)) * 0.5;
  return (QelMath::exp(x) - QelMath::exp(0 - x)) * 0.5;
}

double math::cosh(double x) { return Ureal((QelMath::exp(x) + QelMath::exp(-x)) * 0.5); }

double math::tanh(double x) {
  if (QelMath::abs_r(x) < 23) return Incircle(sinh(x) / cosh(x));
  return x > 0 ? 1.0 : -1.0;
}

double math::cotanh(double x) {
  if (x == 0) {
    TAV_AT();
    math_exception::raise_cotanhinfinityresult(0.0);
  }
  if (QelMath::abs_r(x) < 23) return cosh(x) / sinh(x);
  return x > 0 ? 1.0 : -1.0;
}

// ln(1 + t) for t >= 0, exact also where 1 + t rounds to 1.
static double LnOnePlus(double t) { return std::log1p(t); }

double math::arcsinh(double x) {
  // Odd: the large negative arguments take the same path as the positive.
  if (x < 0) return -arcsinh(-x);
  if (x > 1e10) return QelMath::ln(Ureal(2 * x));
  return LnOnePlus(Ureal(x + x * x / (1 + QelMath::sqrt(Ureal(x * x + 1)))));
}

double math::arccosh(double x) {
  if (x < 1) {
    TAV_AT();
    math_exception::raise_acoshoutofbounds(x);
  }
  if (x > 1e10) return QelMath::ln(Ureal(2 * x));
  double above = x - 1;
  return LnOnePlus(Ureal(above + QelMath::sqrt(Ureal(above * (x + 1)))));
}

double math::arctanh(double x) {
  if (QelMath::abs_r(x) >= 1) {
    TAV_AT();
    math_exception::raise_atanhoutofbounds(x);
  }
  return 0.5 * QelMath::ln(Ureal((x + 1) / (1 - x)));
}

double math::arccotanh(double x) {
  if (QelMath::abs_r(x) <= 1) {
    TAV_AT();
    math_exception::raise_acotanhoutofbounds(x);
  }
  return 0.5 * QelMath::ln(Ureal((x + 1) / (x - 1)));
}

double math::power(double base, double exponent) {
  if (exponent == 0) return 1.0;
  // 0 to a negative power is ln 0's error (305), like any base <= 0.
  if (base == 0 && exponent > 0) return 0.0;
  if (base == 1) return 1.0;
  if (exponent == 1) return base;
  return QelMath::exp(QelMath::ln(base) * exponent);
}

double math::sqr(double x) { return Ureal(x * x); }

double math::ceil(double x) {
  double t = QelMath::trunc(x);
  if (x < 0 || t == x) return t;
  return t + 1;
}

double math::floor(double x) { return 0 - ceil(0 - x); }

}  // namespace tav
