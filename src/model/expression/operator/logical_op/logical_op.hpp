// The logical connectives of conditions: &, |, ^.
#pragma once

#include "model/expression/expression.hpp"

namespace tarvex {

// A logical condition with exactly the two terms [left, right]; never flattened, so
// (a & b) & c holds an AndOp as its first term.
Condition make_logical(LogicalKind kind, Condition left, Condition right);

}  // namespace tarvex
