// Remainders. Nothing is folded, and neither side may hold a decision variable.
#include <optional>

#include "model/expression/operator/arithmetic.hpp"

namespace tarvex {

Result<Expression> remainder(const Expression& lhs, const Expression& rhs) {
  if (lhs.contains_decision_var() || rhs.contains_decision_var())
    return modeling_error("the modulo op contains a decision variable");
  const NumberLit* divisor = rhs.get_if<NumberLit>();
  if (divisor && divisor->is_zero()) return Error{ErrorKind::ZeroDivision, "modulo by zero"};
  return make_expr(BinaryOp{BinaryKind::Mod, lhs, rhs, std::nullopt});
}

}  // namespace tarvex
