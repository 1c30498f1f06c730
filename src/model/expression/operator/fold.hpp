// Folding of two number literals. Integer with integer stays an integer when the exact
// result fits 64 bits; on overflow the result is the float computed in double arithmetic
// (a wrapped integer would be a wrong value). Any other pair gives a float.
#pragma once

#include "model/expression/expression.hpp"

namespace tarvex {

NumberLit fold_add(const NumberLit& a, const NumberLit& b);
NumberLit fold_sub(const NumberLit& a, const NumberLit& b);
NumberLit fold_mul(const NumberLit& a, const NumberLit& b);
NumberLit fold_neg(const NumberLit& a);

}  // namespace tarvex
