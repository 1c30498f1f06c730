// Structural equality of trees: same kinds and same fields, children compared in order.
// Shared subtrees compare equal at once by identity. The walk is iterative, so trees of
// any height compare without deep recursion.
#pragma once

#include "model/expression/expression.hpp"

namespace tarvex {

enum class Decorations : bool {
  Ignore,   // custom LaTeX strings and descriptions do not matter (is_same)
  Compare,  // every field matters
};

bool equal(const Expression& a, const Expression& b, Decorations d = Decorations::Compare);
bool equal(const Condition& a, const Condition& b, Decorations d = Decorations::Compare);

}  // namespace tarvex
