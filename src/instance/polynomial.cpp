// Polynomials over the columns and the grounding domain.
#include "instance/polynomial.hpp"

#include <algorithm>
#include <cmath>

#include "instance/numeric_domain.hpp"

namespace tarvex {

void Polynomial::normalize() {
  if (normal) return;
  normal = true;
  std::sort(linear.begin(), linear.end(), [](const LinearTerm& a, const LinearTerm& b) { return a.column < b.column; });
  std::size_t out = 0;
  for (std::size_t i = 0; i < linear.size();) {
    LinearTerm t = linear[i++];
    while (i < linear.size() && linear[i].column == t.column) t.value += linear[i++].value;
    if (t.value != 0) linear[out++] = t;
  }
  linear.resize(out);
  std::sort(quadratic.begin(), quadratic.end(), [](const QuadraticTerm& a, const QuadraticTerm& b) {
    return a.row != b.row ? a.row < b.row : a.column < b.column;
  });
  out = 0;
  for (std::size_t i = 0; i < quadratic.size();) {
    QuadraticTerm t = quadratic[i++];
    while (i < quadratic.size() && quadratic[i].row == t.row && quadratic[i].column == t.column)
      t.value += quadratic[i++].value;
    if (t.value != 0) quadratic[out++] = t;
  }
  quadratic.resize(out);
}

void Polynomial::scale(double k) {
  constant *= k;
  for (LinearTerm& t : linear) t.value *= k;
  for (QuadraticTerm& t : quadratic) t.value *= k;
  if (k == 0 || std::isnan(k)) normal = false;  // zeros to drop
}

void Polynomial::add(Polynomial&& o) {
  constant += o.constant;
  if (linear.empty() && quadratic.empty()) {
    linear = std::move(o.linear);
    quadratic = std::move(o.quadratic);
    normal = o.normal;
    return;
  }
  if (o.linear.empty() && o.quadratic.empty()) return;
  linear.insert(linear.end(), o.linear.begin(), o.linear.end());
  quadratic.insert(quadratic.end(), o.quadratic.begin(), o.quadratic.end());
  normal = false;
}

Result<Polynomial> PolynomialDomain::variable(std::uint32_t var, std::uint64_t flat) {
  Polynomial p;
  p.linear.push_back(LinearTerm{env_.vars[var].first + flat, 1.0});
  return p;
}

bool PolynomialDomain::number(Polynomial& p, double& out) {
  p.normalize();
  if (p.degree() != 0) return false;
  out = p.constant;
  return true;
}

Status PolynomialDomain::add(Polynomial& a, Polynomial&& b) {
  a.add(std::move(b));
  return Ok{};
}

Status PolynomialDomain::mul(Polynomial& a, Polynomial&& b) {
  double k = 0;
  if (number(b, k)) {
    a.scale(k);
    return Ok{};
  }
  if (number(a, k)) {
    b.scale(k);
    a = std::move(b);
    return Ok{};
  }
  if (a.degree() + b.degree() > 2) return refuse("a product of degree above 2");
  // Both of degree 1: (c + l) * (d + m) = cd + c m + d l + l m.
  Polynomial r;
  r.normal = false;
  r.constant = a.constant * b.constant;
  for (const LinearTerm& t : b.linear) r.linear.push_back(LinearTerm{t.column, a.constant * t.value});
  for (const LinearTerm& t : a.linear) r.linear.push_back(LinearTerm{t.column, b.constant * t.value});
  r.quadratic.reserve(a.linear.size() * b.linear.size());
  for (const LinearTerm& s : a.linear)
    for (const LinearTerm& t : b.linear)
      r.quadratic.push_back(QuadraticTerm{std::min(s.column, t.column), std::max(s.column, t.column), s.value * t.value});
  a = std::move(r);
  return Ok{};
}

Status PolynomialDomain::div(Polynomial& a, Polynomial&& b) {
  double k = 0;
  if (!number(b, k)) return refuse("a division by an expression with a decision variable");
  a.constant /= k;
  for (LinearTerm& t : a.linear) t.value /= k;
  for (QuadraticTerm& t : a.quadratic) t.value /= k;
  a.normal = false;
  return Ok{};
}

Status PolynomialDomain::min(Polynomial& a, Polynomial&& b) {
  double x = 0, y = 0;
  if (!number(a, x) || !number(b, y)) return refuse("min applied to a decision variable");
  a.constant = min_value(x, y);
  return Ok{};
}

Status PolynomialDomain::max(Polynomial& a, Polynomial&& b) {
  double x = 0, y = 0;
  if (!number(a, x) || !number(b, y)) return refuse("max applied to a decision variable");
  a.constant = max_value(x, y);
  return Ok{};
}

Result<Polynomial> PolynomialDomain::unary(UnaryKind k, Polynomial&& v) {
  static const char* const names[] = {"abs", "ceil", "floor", "ln", "log10", "log2"};
  double x = 0;
  if (!number(v, x)) return refuse(std::string(names[int(k)]) + " applied to a decision variable");
  return constant(unary_value(k, x));
}

Result<Polynomial> PolynomialDomain::pow(Polynomial&& a, Polynomial&& b) {
  double e = 0, x = 0;
  if (!number(b, e)) return refuse("a power whose exponent depends on a decision variable");
  if (number(a, x)) return constant(std::pow(x, e));
  if (e == 0) return constant(1);
  if (e == 1) return std::move(a);
  if (e == 2) {
    Polynomial c = a;
    TX_CHECK(mul(a, std::move(c)));
    return std::move(a);
  }
  if (e == std::floor(e) && e > 2) return refuse("a product of degree above 2");
  return refuse("a power of a decision variable with an exponent other than 1 or 2");
}

Result<Polynomial> PolynomialDomain::mod(Polynomial&& a, Polynomial&& b) {
  double x = 0, y = 0;
  if (!number(a, x) || !number(b, y)) return refuse("% applied to a decision variable");
  return constant(python_mod(x, y));
}

}  // namespace tarvex
