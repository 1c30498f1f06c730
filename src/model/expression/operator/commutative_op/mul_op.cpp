// Multiplication and division.
//
// A product keeps at most one literal factor, always the first one. Products are never
// cleaned up: a constant that becomes 0 or 1 stays, and a product never collapses to its
// single remaining factor. Factors go at the end through TermList::appended, so growing
// a product in a loop costs O(1) per step; a constant in front costs one copy.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/expression/operator/arithmetic.hpp"
#include "model/expression/operator/fold.hpp"
#include "print/printer.hpp"
#include "replace/equality.hpp"

namespace tarvex {
namespace {

const NumberLit* literal(const Expression& e) { return e.get_if<NumberLit>(); }

bool has_latex(const Expression& e) { return e.latex().has_value(); }

// The product `e` when it can absorb other factors: a MulOp without custom LaTeX.
const CommutativeOp* open_product(const Expression& e) {
  const CommutativeOp* c = e.get_if<CommutativeOp>();
  return c && c->kind == CommutativeKind::Mul && !c->latex ? c : nullptr;
}

const BinaryOp* power_node(const Expression& e) {
  const BinaryOp* b = e.get_if<BinaryOp>();
  return b && b->kind == BinaryKind::Pow ? b : nullptr;
}

Expression product_node(TermList terms) {
  return make_commutative(CommutativeKind::Mul, std::move(terms));
}

// A new product of two operands, a literal one first.
Expression build_product(const Expression& a, const Expression& b) {
  if (literal(b) && !literal(a)) return make_pair_op(CommutativeKind::Mul, b, a);
  return make_pair_op(CommutativeKind::Mul, a, b);
}

bool starts_with_literal(const TermList& t) { return !t.empty() && t.front().kind() == ExprKind::Number; }

// The factors with the constant `c` multiplied in: folded into a leading literal, or put
// in front.
TermList multiply_constant(const TermList& terms, const Expression& c) {
  std::vector<Expression> v;
  v.reserve(terms.size() + 1);
  std::size_t rest = 0;
  if (starts_with_literal(terms)) {
    v.push_back(make_expr(fold_mul(terms.front().as<NumberLit>(), c.as<NumberLit>())));
    rest = 1;
  } else {
    v.push_back(c);
  }
  for (std::size_t i = rest; i < terms.size(); ++i) v.push_back(terms[i]);
  return TermList(std::move(v));
}

// Two products become one: rhs's constant goes into lhs's, rhs's other factors follow
// lhs's factors.
Expression merge(const TermList& a, const TermList& b) {
  TermList out = a;
  std::size_t from = 0;
  if (starts_with_literal(b)) {
    out = multiply_constant(a, b.front());
    from = 1;
  }
  for (std::size_t i = from; i < b.size(); ++i) out = out.appended(b[i]);
  return product_node(std::move(out));
}

Error zero_division(const char* message) { return Error{ErrorKind::ZeroDivision, message}; }

}  // namespace

Result<Expression> multiply(const Expression& lhs, const Expression& rhs) {
  const NumberLit* ll = literal(lhs);
  const NumberLit* rl = literal(rhs);
  if (ll && rl) return make_expr(fold_mul(*ll, *rl));
  if ((ll && ll->is_zero()) || (rl && rl->is_zero())) return make_int(0);
  if (rl && rl->is_one()) return lhs;
  if (ll && ll->is_one()) return rhs;

  // A node with custom LaTeX stays one factor: it is never opened, though it may join an
  // open product on the other side.
  const bool lx = has_latex(lhs);
  const bool rx = has_latex(rhs);
  const CommutativeOp* lp = open_product(lhs);
  const CommutativeOp* rp = open_product(rhs);
  if (rl && lx) return build_product(lhs, rhs);
  if (lp && rx) return product_node(lp->terms.appended(rhs));
  if (rp && lx) return product_node(rp->terms.appended(lhs));
  if (lx || rx) return build_product(lhs, rhs);

  if (ll) {
    if (rp) return product_node(multiply_constant(rp->terms, lhs));
    return build_product(lhs, rhs);
  }
  const BinaryOp* lpow = power_node(lhs);
  const BinaryOp* rpow = power_node(rhs);
  if (lpow && rpow && equal(lpow->left, rpow->left, Decorations::Compare)) {
    // b**m * b**n = b**(m + n), built directly: the operands passed power's checks already.
    TX_TRY(Expression exponent, add(lpow->right, rpow->right));
    return make_expr(BinaryOp{BinaryKind::Pow, lpow->left, std::move(exponent), std::nullopt});
  }
  if (lp) {
    if (rl) return product_node(multiply_constant(lp->terms, rhs));
    if (rp) return merge(lp->terms, rp->terms);
    return product_node(lp->terms.appended(rhs));
  }
  if (rp) return product_node(rp->terms.appended(lhs));
  return build_product(lhs, rhs);
}

Result<Expression> divide(const Expression& lhs, const Expression& rhs) {
  const NumberLit* rl = literal(rhs);
  if (rl && rl->is_zero()) return zero_division("division by zero");
  TX_TRY(Expression reciprocal, power(rhs, make_int(-1)));
  return multiply(lhs, reciprocal);
}

Result<Expression> divide_decision_var(const Expression& var, const Expression& other) {
  const DecisionVar* v = var.get_if<DecisionVar>();
  if (!v) return internal_error("divide_decision_var: the dividend is not a decision variable");
  if (other.contains_decision_var()) {
    return modeling_error(std::string("Cannot divide a ") + kind_word(v->kind) + "Var named \"" +
                          v->name +
                          "\" by a decision variable or an expression containing a decision "
                          "variable (right = " +
                          text_of(other) + ").");
  }
  return divide(var, other);
}

Error decision_var_divisor_error(const Expression& var, const Expression& dividend) {
  const DecisionVar* v = var.get_if<DecisionVar>();
  if (!v) return internal_error("decision_var_divisor_error: the divisor is not a decision variable");
  return modeling_error(std::string("Cannot use a ") + kind_word(v->kind) + "Var named \"" + v->name +
                        "\" as a divisor (dividend = " + text_of(dividend) + ").");
}

}  // namespace tarvex
