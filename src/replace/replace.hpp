// Rewriting an expression top-down with a callback that proposes a substitute per node.
#pragma once

#include <functional>

#include "lib/result.hpp"
#include "model/expression/expression.hpp"

namespace tarvex {

// Proposes the substitute of a node; returning the node itself keeps it.
using Replacer = std::function<Result<Expression>(const Expression&)>;

// Replaces the nodes of `e` top-down:
// - a literal, placeholder, element or decision variable becomes the replacer's result;
// - any other node N becomes the replacer's result when that differs from N (all fields
//   compared); otherwise N's children are replaced in stored order (terms; left, right;
//   operand; a subscript's variable then its subscripts; a reduction's operand; an array
//   length's array) and N is rebuilt from them: sums and products directly, in the same
//   term order, without folding; every other kind through its validating builder. A
//   reduction keeps its index and condition. A node whose children all come back
//   unchanged is kept as it is, custom LaTeX included; a rebuilt node has none.
// The first error, from the replacer or from a builder, ends the replacement. A result
// standing where a scalar stood must be a scalar. The walk is iterative.
Result<Expression> replace(const Expression& e, const Replacer& r);

}  // namespace tarvex
