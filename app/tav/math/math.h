// math and math_exception: inverse trigonometric and hyperbolic functions,
// power, square, floor and ceiling over the runtime's elementary functions.
// Domain errors raise math_exception with "argument" = the argument; results
// outside `ureal` (0 up) or `incircle` (-1 to 1) raise 302 from the domain
// conversion; ln of a non-positive value raises 305 from the runtime.  No
// function fails.
#pragma once

#include "core/core.h"

namespace tav {

namespace domains {
extern T::RRealDomain ureal, incircle;
}

class math_exception {
 public:
  static const ClassInfo classInfo;
  static const ExceptionDescriptor asinoutofbounds, acoshoutofbounds, atanhoutofbounds,
      acotanhoutofbounds, cotanhinfinityresult;
  [[noreturn]] static void raise_asinoutofbounds(double x);
  [[noreturn]] static void raise_acoshoutofbounds(double x);
  [[noreturn]] static void raise_atanhoutofbounds(double x);
  [[noreturn]] static void raise_acotanhoutofbounds(double x);
  [[noreturn]] static void raise_cotanhinfinityresult(double x);
};

class math {
 public:
  static const ClassInfo classInfo;
  static constexpr double halfPi = 1.5707963267948966;

  static double arcsin(double x);
  static double arccos(double x);
  static double sinh(double x);
  static double cosh(double x);
  static double tanh(double x);
  static double cotanh(double x);
  static double arcsinh(double x);
  static double arccosh(double x);
  static double arctanh(double x);
  static double arccotanh(double x);
  static double power(double base, double exponent);
  static double sqr(double x);
  static double floor(double x);
  static double ceil(double x);
};

}  // namespace tav
