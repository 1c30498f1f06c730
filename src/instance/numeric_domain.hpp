// The domain of numbers: float64 evaluation of one sample, or of data alone.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "instance/program.hpp"

namespace tarvex {

// Python's float remainder: the sign of the divisor, NaN for a zero divisor.
inline double python_mod(double a, double b) {
  double m = std::fmod(a, b);
  if (m != 0) {
    if ((b < 0) != (m < 0)) m += b;
  } else {
    m = std::copysign(0.0, b);
  }
  return m;
}

inline double unary_value(UnaryKind k, double v) {
  switch (k) {
    case UnaryKind::Abs: return std::fabs(v);
    case UnaryKind::Ceil: return std::ceil(v);
    case UnaryKind::Floor: return std::floor(v);
    case UnaryKind::Ln: return std::log(v);
    case UnaryKind::Log10: return std::log10(v);
    case UnaryKind::Log2: return std::log2(v);
  }
  return v;
}

// min and max that propagate NaN.
inline double min_value(double a, double b) { return std::isnan(a) || std::isnan(b) ? NAN : (b < a ? b : a); }
inline double max_value(double a, double b) { return std::isnan(a) || std::isnan(b) ? NAN : (b > a ? b : a); }

struct NumericDomain {
  using T = double;
  const Program* prog = nullptr;
  // The entries of each variable in the current sample; null for data alone.
  const std::vector<const double*>* x = nullptr;

  double constant(double v) { return v; }
  Result<double> variable(std::uint32_t var, std::uint64_t flat) {
    if (!x) return value_error("the decision variable " + prog->variables[var].name + " is used where only data is allowed");
    return (*x)[var][flat];
  }
  bool number(double v, double& out) {
    out = v;
    return true;
  }
  Status add(double& a, double v) { return a += v, Status(Ok{}); }
  Status mul(double& a, double v) { return a *= v, Status(Ok{}); }
  Status div(double& a, double v) { return a /= v, Status(Ok{}); }
  Status min(double& a, double v) { return a = min_value(a, v), Status(Ok{}); }
  Status max(double& a, double v) { return a = max_value(a, v), Status(Ok{}); }
  Result<double> unary(UnaryKind k, double v) { return unary_value(k, v); }
  Result<double> pow(double a, double b) { return std::pow(a, b); }
  Result<double> mod(double a, double b) { return python_mod(a, b); }
};

}  // namespace tarvex
