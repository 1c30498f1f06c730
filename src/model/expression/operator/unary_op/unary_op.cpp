// abs, ceil, floor, ln, log10 and log2: one node over the operand, which may not hold a
// decision variable. No folding and no simplification (abs(abs(a)) stays nested).
#include <optional>

#include "model/expression/operator/arithmetic.hpp"

namespace tarvex {

Result<Expression> unary(UnaryKind kind, const Expression& operand) {
  if (operand.contains_decision_var())
    return modeling_error("the operand of the unary op contains a decision variable");
  return make_expr(UnaryOp{kind, operand, std::nullopt});
}

}  // namespace tarvex
