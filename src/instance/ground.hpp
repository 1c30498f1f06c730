// Grounding: every quantity of an instance (the objective, each constraint assignment's
// left - right, each penalty assignment) expanded once into a polynomial over the columns,
// or, where it is not one of degree <= 2, kept as the operations and element bindings to
// evaluate per sample.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "instance/polynomial.hpp"
#include "instance/scope.hpp"
#include "sample_set/evaluation.hpp"

namespace tarvex {

// A polynomial laid out for evaluation over the entries of each variable: linear terms in
// runs of one variable, quadratic terms with both ends resolved.
struct FastPolynomial {
  struct Run {
    std::uint32_t var, begin, end;
  };
  double constant = 0;
  std::vector<Run> runs;
  std::vector<std::uint32_t> flat;
  std::vector<double> value;
  std::vector<std::uint32_t> q_var1, q_flat1, q_var2, q_flat2;
  std::vector<double> q_value;

  FastPolynomial() = default;
  FastPolynomial(const Polynomial& p, const std::vector<VarLayout>& vars);
  // x[v]: the entries of variable v in the sample.
  double operator()(const double* const* x) const {
    double acc = constant;
    for (const Run& r : runs) {
      const double* p = x[r.var];
      for (std::uint32_t t = r.begin; t < r.end; ++t) acc += value[t] * p[flat[t]];
    }
    for (std::size_t t = 0; t < q_value.size(); ++t) acc += q_value[t] * x[q_var1[t]][q_flat1[t]] * x[q_var2[t]][q_flat2[t]];
    return acc;
  }
};

inline constexpr std::uint32_t kNoOp = UINT32_MAX;

// One quantity at one assignment.
struct Piece {
  bool poly_ok = false;  // a polynomial of degree <= 2
  bool fast = false;     // poly_ok with every coefficient finite: evaluated from `compiled`
  Polynomial poly;
  FastPolynomial compiled;
  std::string refusal;  // why it is not a polynomial
  std::uint32_t left = kNoOp, right = kNoOp;               // the value is left (- right)
  std::vector<std::pair<std::uint32_t, Binding>> bindings;  // the forall elements
};

struct GroundConstraint {
  IndexLists forall;
  std::vector<Piece> rows;
};

// The sum of a penalty term over its assignments: the polynomials of the fast parts merged
// into one; every part keeps its operations and bindings (a sample with a value that is not
// finite is evaluated part by part), the others their polynomials too.
struct GroundPenalty {
  Piece merged;
  std::vector<Piece> parts;
};

class GroundedModel {
 public:
  // IndexError and ValueError of the data, prefixed with the quantity they belong to.
  static Result<std::unique_ptr<GroundedModel>> build(const Env& env);

  Piece objective;
  std::vector<GroundConstraint> constraints;
  std::vector<GroundPenalty> penalties;
};

}  // namespace tarvex
