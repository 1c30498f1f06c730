// Comparisons (==, !=, <, <=, >, >=) of two expressions. Nothing is folded, reordered or
// validated: comparing two literals gives a comparison, not a truth value.
#pragma once

#include "model/expression/expression.hpp"

namespace tarvex {

Condition make_comparison(ComparisonKind kind, Expression left, Expression right);

}  // namespace tarvex
