// Powers. Nothing is folded, not even two literals: `2 ** 3` stays a PowOp.
#include <cmath>
#include <optional>
#include <utility>

#include "model/expression/operator/arithmetic.hpp"

namespace tarvex {
namespace {

// An integer of at least 1, or a float with a clear sign bit that is not zero.
bool is_positive_literal(const Expression& e) {
  const NumberLit* l = e.get_if<NumberLit>();
  if (!l) return false;
  if (l->is_integer()) return l->int_value() >= 1;
  return !std::signbit(l->float_value()) && l->float_value() != 0.0;
}

bool is_negative_literal(const Expression& e) {
  const NumberLit* l = e.get_if<NumberLit>();
  return l && l->is_negative();
}

bool is_zero_literal(const Expression& e) {
  const NumberLit* l = e.get_if<NumberLit>();
  return l && l->is_zero();
}

}  // namespace

Result<Expression> power(const Expression& base, const Expression& exponent) {
  if (exponent.contains_decision_var()) return modeling_error("the exponent contains a decision variable");
  if (base.contains_decision_var() && !is_positive_literal(exponent))
    return modeling_error("a decision variable can be raised to only a positive power");
  if (is_zero_literal(base) && is_negative_literal(exponent))
    return Error{ErrorKind::ZeroDivision, "zero cannot be raised to a negative power"};
  return make_expr(BinaryOp{BinaryKind::Pow, base, exponent, std::nullopt});
}

}  // namespace tarvex
