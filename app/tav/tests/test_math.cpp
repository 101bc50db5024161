// math: every function against the C library over a table of arguments,
// the exact values at the cut-offs, the domain errors with their argument
// and the run-time errors of the bounded domains and of ln.
#include "math/math.h"
#include "tav_test.h"

#include <cmath>

using namespace tavtest;

namespace {

class Math : public Library {};

// The run-time error number of a trace, 0 when it is not one.
uint32_t ErrorCode(uint32_t traceId) {
  for (const TraceEntry* e : Entries())
    if (e->traceId == traceId) {
      const ValueTerm* v = exception::trygetextrainfo(e, L"error code");
      return v ? Unsigned(v) : 0;
    }
  return 0;
}

void ExpectClose(double got, double want) {
  EXPECT_LE(std::fabs(got - want), 1e-12 * std::fabs(want) + 1e-15) << got << " vs " << want;
}

TEST_F(Math, MatchesTheCLibrary) {
  const double inCircle[] = {-1, -0.999999, -0.5, -1e-9, 0, 1e-12, 0.3, 0.9999999, 1};
  for (double x : inCircle) {
    SCOPED_TRACE(x);
    ExpectClose(math::arcsin(x), std::asin(x));
    ExpectClose(math::arccos(x), std::acos(x));
  }
  const double any[] = {-30, -22.9, -5, -1, -1e-8, 1e-10, 0.5, 1, 7.25, 22.9, 30, 300};
  for (double x : any) {
    SCOPED_TRACE(x);
    ExpectClose(math::sinh(x), std::sinh(x));
    ExpectClose(math::cosh(x), std::cosh(x));
    ExpectClose(math::tanh(x), std::tanh(x));
    ExpectClose(math::cotanh(x), 1 / std::tanh(x));
    ExpectClose(math::arcsinh(x), std::asinh(x));
  }
  for (double x : {-1e12, -1e8, -1e-300, 1e-20, 3.0, 1e11, 1e300}) {
    SCOPED_TRACE(x);
    ExpectClose(math::arcsinh(x), std::asinh(x));
  }
  for (double x : {1.0, 1 + 1e-15, 1 + 1e-11, 1 + 1e-9, 1.5, 10.0, 1e9, 2e10, 1e300}) {
    SCOPED_TRACE(x);
    ExpectClose(math::arccosh(x), std::acosh(x));
  }
  for (double x : {-0.999, -0.5, -1e-10, 0.0, 0.5, 0.9999}) {
    SCOPED_TRACE(x);
    ExpectClose(math::arctanh(x), std::atanh(x));
  }
  ExpectClose(math::arctanh(0.5), 0.5493061443340548);
  for (double x : {-1e6, -1.5, 1.0001, 2.0, 1e12}) {
    SCOPED_TRACE(x);
    ExpectClose(math::arccotanh(x), std::atanh(1 / x));
  }
  const double powers[][2] = {{2, 10}, {2, 0.5}, {10, -3}, {0.5, 7.5}, {1e10, 2.5}, {3, -0.25}};
  for (auto& p : powers) {
    SCOPED_TRACE(p[0]);
    ExpectClose(math::power(p[0], p[1]), std::pow(p[0], p[1]));
  }
  ExpectClose(math::sqr(-3e100), 9e200);
}

TEST_F(Math, ExactValues) {
  EXPECT_EQ(math::arcsin(1.0), math::halfPi);
  EXPECT_EQ(math::arcsin(-1.0), -math::halfPi);
  EXPECT_EQ(math::arcsin(0.0), 0.0);
  EXPECT_EQ(math::arccos(0.0), math::halfPi);
  EXPECT_EQ(math::tanh(30.0), 1.0);
  EXPECT_EQ(math::tanh(-30.0), -1.0);
  EXPECT_EQ(math::cotanh(-23.0), -1.0);
  EXPECT_EQ(math::arccosh(1.0), 0.0);
  EXPECT_EQ(math::power(0.0, 0.0), 1.0);
  EXPECT_EQ(math::power(-7.0, 0.0), 1.0);
  EXPECT_EQ(math::power(0.0, 5.0), 0.0);
  EXPECT_EQ(math::power(1.0, -1e300), 1.0);
  EXPECT_EQ(math::power(-2.0, 1.0), -2.0);
  struct {
    double x, ceil, floor;
  } rounding[] = {{-1.5, -1, -2}, {2.0, 2, 2}, {2.1, 3, 2}, {1.5, 2, 1}, {-2.0, -2, -2}, {0, 0, 0}};
  for (auto& r : rounding) {
    SCOPED_TRACE(r.x);
    EXPECT_EQ(math::ceil(r.x), r.ceil);
    EXPECT_EQ(math::floor(r.x), r.floor);
  }
}

TEST_F(Math, DomainErrorsCarryTheArgument) {
  struct {
    std::function<void()> call;
    const ExceptionDescriptor* e;
    double argument;
  } cases[] = {
      {[] { math::arcsin(1.0000001); }, &math_exception::asinoutofbounds, 1.0000001},
      {[] { math::arccos(-2.0); }, &math_exception::asinoutofbounds, -2.0},
      {[] { math::arccosh(0.999); }, &math_exception::acoshoutofbounds, 0.999},
      {[] { math::arctanh(1.0); }, &math_exception::atanhoutofbounds, 1.0},
      {[] { math::arctanh(-1.5); }, &math_exception::atanhoutofbounds, -1.5},
      {[] { math::arccotanh(1.0); }, &math_exception::acotanhoutofbounds, 1.0},
      {[] { math::arccotanh(0.0); }, &math_exception::acotanhoutofbounds, 0.0},
      {[] { math::cotanh(0.0); }, &math_exception::cotanhinfinityresult, 0.0},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(Narrow(c.e->name));
    uint32_t id = RunTrapped([&] { c.call(); });
    const TraceEntry* e = exception::trygetdescriptor(id, c.e);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->classInfo, &math::classInfo);
    EXPECT_EQ(Names(e), std::vector<std::wstring>{L"argument"});
    const ValueTerm* v = exception::trygetextrainfo(e, L"argument");
    ASSERT_EQ(v->Kind(), ValueKind::real);
    EXPECT_EQ(v->As<double>(), c.argument);
  }
}

TEST_F(Math, RunTimeErrors) {
  struct {
    std::function<void()> call;
    uint32_t code;
  } cases[] = {
      {[] { math::power(0.0, -1.0); }, 305},  // like ln 0
      {[] { math::power(-2.0, 0.5); }, 305},
      {[] { math::sqr(1e200); }, 302},
      {[] { math::sqr(-1e155); }, 302},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.code);
    uint32_t id = RunTrapped([&] { c.call(); });
    ASSERT_NE(id, 0u);
    EXPECT_EQ(ErrorCode(id), c.code);
  }
}

}  // namespace
