#include "model/expression/operator/logical_op/logical_op.hpp"

namespace tarvex {

Condition make_logical(LogicalKind kind, Condition left, Condition right) {
  std::vector<Condition> terms;
  terms.reserve(2);
  terms.push_back(std::move(left));
  terms.push_back(std::move(right));
  return make_cond(Logical{kind, std::move(terms), std::nullopt});
}

}  // namespace tarvex
