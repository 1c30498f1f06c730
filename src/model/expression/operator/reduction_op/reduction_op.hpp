// Reductions: sums and products of an operand over an element.
#pragma once

#include "model/expression/expression.hpp"

namespace tarvex {

// One level: the reduction of `operand` over `element` (an element node), restricted by
// `condition` when it is set. The condition must not contain a decision variable.
Result<Expression> build_reduction(ReductionKind kind, Expression element, Condition condition,
                                   Expression operand);

struct IndexItem {
  Expression element;
  Condition condition;  // empty when absent
};

// Nested reductions over several items; the first item is the outermost reduction.
Result<Expression> build_reduction(ReductionKind kind, const std::vector<IndexItem>& index,
                                   Expression operand);

}  // namespace tarvex
