// Elements (bound indices) and the ranges they range over.
#pragma once

#include "model/expression/expression.hpp"

namespace tarvex {

// The half-open range [start, end) with its checks: literal ends in increasing order,
// no decision variable in either end.
Result<Range> make_range(Expression start, Expression end);

// The set of an array operand: itself when it has dimensions, else the range [0, a).
Result<ElementSet> set_of_array(const Expression& a);

Expression make_element(std::string name, ElementSet set, OptString latex, OptString description);

}  // namespace tarvex
