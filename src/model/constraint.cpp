#include "model/constraint.hpp"

namespace tarvex {

Condition Constraint::expression() const {
  const ComparisonKind kind = sense == ConstraintSense::Equal           ? ComparisonKind::Equal
                              : sense == ConstraintSense::LessThanEqual ? ComparisonKind::LessThanEqual
                                                                        : ComparisonKind::GreaterThanEqual;
  return make_cond(Comparison{kind, left, right, std::nullopt});
}

Result<Constraint> make_constraint(std::string name, const Condition& condition, ForallList forall) {
  TX_CHECK(validate_forall(forall, condition));
  const auto* cmp = condition.get_if<Comparison>();
  ConstraintSense sense;
  if (cmp && cmp->kind == ComparisonKind::Equal) {
    sense = ConstraintSense::Equal;
  } else if (cmp && cmp->kind == ComparisonKind::LessThanEqual) {
    sense = ConstraintSense::LessThanEqual;
  } else if (cmp && cmp->kind == ComparisonKind::GreaterThanEqual) {
    sense = ConstraintSense::GreaterThanEqual;
  } else {
    return modeling_error(
        "Invalid constraint -- conditional must be a valid equality or non-strict inequality (==, >=, or <= only)");
  }
  if (!cmp->left.contains_decision_var() && !cmp->right.contains_decision_var())
    return modeling_error("expression does not contain a decision variable");
  return Constraint{std::move(name), cmp->left, cmp->right, std::move(forall), sense};
}

}  // namespace tarvex
