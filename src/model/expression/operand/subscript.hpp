// Subscripts: one entry, or a lower-dimensional part, of an array operand.
#pragma once

#include "model/expression/expression.hpp"

namespace tarvex {

// When the subscript items are checked for emptiness and decision variables: before the
// count check (decision-variable receivers, a sequence index) or after it.
enum class ItemCheck : bool { AfterCount, BeforeCount };

// Subscripts `v` by `items`. Subscripting a subscript appends to its list instead of
// nesting. A scalar `v` fails with a ModelingError naming it.
Result<Expression> make_subscript(const Expression& v, ExprList items, ItemCheck when);

// "the number of subscripts (= n) is greater than the dimensionality of the variable `v` (= d)"
Error too_many_subscripts(const Expression& v, std::size_t n);

}  // namespace tarvex
