#include "model/expression/operator/reduction_op/reduction_op.hpp"

namespace tarvex {

Result<Expression> build_reduction(ReductionKind kind, Expression element, Condition condition,
                                   Expression operand) {
  if (condition && condition.contains_decision_var())
    return modeling_error("the condition expression contains a decision variable");
  return make_expr(ReductionOp{kind, std::move(element), std::move(condition), std::move(operand), std::nullopt});
}

Result<Expression> build_reduction(ReductionKind kind, const std::vector<IndexItem>& index,
                                   Expression operand) {
  if (index.empty()) return value_error("the index of a reduction must contain at least one element");
  Expression current = std::move(operand);
  for (auto it = index.rbegin(); it != index.rend(); ++it) {
    TX_TRY(current, build_reduction(kind, it->element, it->condition, std::move(current)));
  }
  return current;
}

}  // namespace tarvex
