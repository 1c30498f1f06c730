// The core arithmetic operations. Every Python operator and module function goes through
// these; each validates its operands, folds literals, flattens sums and products, and
// returns a new tree without touching its operands. The shape of the result (node kind,
// term order) is observable and follows fixed rules, kept in one unit per operator kind.
#pragma once

#include <vector>

#include "lib/result.hpp"
#include "model/expression/expression.hpp"

namespace tarvex {

// commutative_op/add_op.cpp
Result<Expression> add(const Expression& lhs, const Expression& rhs);
// add(lhs, rhs) for the step of a loop sum when it takes no search and no copy: lhs an open
// sum (no custom LaTeX) whose terms are the newest view of their buffer, and rhs a term with
// no shared buffer that is neither a literal nor an open sum. An empty expression otherwise.
Expression sum_step(const Expression& lhs, const Expression& rhs);
Result<Expression> subtract(const Expression& lhs, const Expression& rhs);
Expression negate(const Expression& e);

// commutative_op/mul_op.cpp
Result<Expression> multiply(const Expression& lhs, const Expression& rhs);
Result<Expression> divide(const Expression& lhs, const Expression& rhs);

// binary_op/pow_op.cpp
Result<Expression> power(const Expression& base, const Expression& exponent);

// binary_op/mod_op.cpp
Result<Expression> remainder(const Expression& lhs, const Expression& rhs);

// unary_op/unary_op.cpp: abs, ceil, floor, ln, log10, log2.
Result<Expression> unary(UnaryKind kind, const Expression& operand);

// commutative_op/min_max_op.cpp: kind is Min or Max.
Result<Expression> min_max(CommutativeKind kind, std::vector<Expression> operands);

// Division with a decision variable on one side (the Python operators of the decision-
// variable classes): `var / other` refuses a divisor with a decision variable, and a
// decision variable is never a divisor.
Result<Expression> divide_decision_var(const Expression& var, const Expression& other);
Error decision_var_divisor_error(const Expression& var, const Expression& dividend);

}  // namespace tarvex
