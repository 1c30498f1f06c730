// Polynomials of degree at most 2 over the columns of the decision variables, and the
// domain that grounds a quantity into one: constants fold, anything else that is not a
// polynomial of degree <= 2 is refused with the reason.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "instance/scope.hpp"

namespace tarvex {

struct LinearTerm {
  std::uint64_t column;
  double value;
};
struct QuadraticTerm {
  std::uint64_t row, column;  // row <= column
  double value;
};

// constant + sum value * x[column] + sum value * x[row] * x[column]. Terms may be unsorted
// and repeated until normalize() sorts them, merges repeats and drops zero coefficients.
struct Polynomial {
  double constant = 0;
  std::vector<LinearTerm> linear;
  std::vector<QuadraticTerm> quadratic;
  bool normal = true;

  void normalize();
  // After normalize(): 0 for a constant, 1 or 2.
  int degree() const { return !quadratic.empty() ? 2 : !linear.empty() ? 1 : 0; }
  void scale(double k);
  void add(Polynomial&& o);
};

class PolynomialDomain {
 public:
  using T = Polynomial;
  explicit PolynomialDomain(const Env& env) : env_(env) {}

  // Whether the last failure was a refusal (not a polynomial of degree <= 2) rather than
  // an error of the data.
  bool refused() const { return refused_; }
  void reset() { refused_ = false; }

  Polynomial constant(double v) {
    Polynomial p;
    p.constant = v;
    return p;
  }
  Result<Polynomial> variable(std::uint32_t var, std::uint64_t flat);
  bool number(Polynomial& p, double& out);
  Status add(Polynomial& a, Polynomial&& b);
  Status mul(Polynomial& a, Polynomial&& b);
  Status div(Polynomial& a, Polynomial&& b);
  Status min(Polynomial& a, Polynomial&& b);
  Status max(Polynomial& a, Polynomial&& b);
  Result<Polynomial> unary(UnaryKind k, Polynomial&& v);
  Result<Polynomial> pow(Polynomial&& a, Polynomial&& b);
  Result<Polynomial> mod(Polynomial&& a, Polynomial&& b);

 private:
  Error refuse(std::string why) {
    refused_ = true;
    return value_error(std::move(why));
  }
  const Env& env_;
  bool refused_ = false;
};

}  // namespace tarvex
