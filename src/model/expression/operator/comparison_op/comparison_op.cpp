#include "model/expression/operator/comparison_op/comparison_op.hpp"

namespace tarvex {

Condition make_comparison(ComparisonKind kind, Expression left, Expression right) {
  return make_cond(Comparison{kind, std::move(left), std::move(right), std::nullopt});
}

}  // namespace tarvex
