#include "model/custom_penalty_term.hpp"

namespace tarvex {

Result<CustomPenaltyTerm> make_custom_penalty_term(std::string name, Expression expression, ForallList forall) {
  TX_CHECK(validate_forall(forall, expression));
  if (!expression.contains_decision_var())
    return modeling_error("the custom penalty term does not contain a decision variable");
  return CustomPenaltyTerm{std::move(name), std::move(expression), std::move(forall)};
}

}  // namespace tarvex
