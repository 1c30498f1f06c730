// The polynomial degree of an expression in its decision variables.
#pragma once

#include "model/expression/expression.hpp"

namespace tarvex {

// The outcome of the degree walk: the highest degree met anywhere in the tree (minus
// infinity for an empty sum, 0 for a tree without decision variables) and whether some
// degree depends on the data (a power with a non-literal exponent, a product over an
// index whose range is not known).
struct Degree {
  double highest;
  bool dynamic;
};

// Walks the tree iteratively, so any height is fine, and each distinct node once, so a
// shared subtree costs once. Fails only when interrupted.
Result<Degree> degree_of(const Expression& e);

Result<bool> is_linear(const Expression& e);        // highest 1, not dynamic
Result<bool> is_quadratic(const Expression& e);     // highest 2, not dynamic
Result<bool> is_higher_order(const Expression& e);  // highest above 2, not dynamic
Result<bool> is_dynamic_degree(const Expression& e);

}  // namespace tarvex
