// Decision variables: the five kinds share one node and one construction procedure.
#pragma once

#include "model/expression/expression.hpp"

namespace tarvex {

// Assembles a decision variable, checking that each bound has 0 dimensions or as many as
// the variable. Binary variables take the fixed bounds from binary_bounds().
Result<Expression> make_decision_var(VarKind kind, std::string name, std::vector<Expression> shape,
                                     Bound lower, Bound upper, OptString latex, OptString description);

// The bounds of a binary variable: the integer literals 0 and 1.
Bound binary_lower_bound();
Bound binary_upper_bound();

}  // namespace tarvex
