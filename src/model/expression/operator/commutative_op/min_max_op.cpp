// Minimum and maximum: the operands in the given order, none holding a decision variable.
// No flattening, no folding and no lower limit on the number of operands.
#include <optional>
#include <string>
#include <utility>

#include "model/expression/operator/arithmetic.hpp"

namespace tarvex {

Result<Expression> min_max(CommutativeKind kind, std::vector<Expression> operands) {
  if (kind != CommutativeKind::Min && kind != CommutativeKind::Max)
    return internal_error("min_max: the kind is neither Min nor Max");
  for (std::size_t i = 0; i < operands.size(); ++i) {
    if (operands[i].contains_decision_var())
      return modeling_error("the " + std::to_string(i) + "-th term contains a decision variable");
  }
  return make_commutative(kind, TermList(std::move(operands)));
}

}  // namespace tarvex
