#include "model/expression/operator/fold.hpp"

#include <cstdint>

namespace tarvex {

// Integer pairs use the checked builtins; an overflow falls back to the double result.
// Mixed and float pairs convert the integer side to double first.

NumberLit fold_add(const NumberLit& a, const NumberLit& b) {
  if (a.is_integer() && b.is_integer()) {
    std::int64_t r;
    if (!__builtin_add_overflow(a.int_value(), b.int_value(), &r)) return NumberLit{r};
  }
  return NumberLit{a.as_double() + b.as_double()};
}

NumberLit fold_sub(const NumberLit& a, const NumberLit& b) {
  if (a.is_integer() && b.is_integer()) {
    std::int64_t r;
    if (!__builtin_sub_overflow(a.int_value(), b.int_value(), &r)) return NumberLit{r};
  }
  return NumberLit{a.as_double() - b.as_double()};
}

NumberLit fold_mul(const NumberLit& a, const NumberLit& b) {
  if (a.is_integer() && b.is_integer()) {
    std::int64_t r;
    if (!__builtin_mul_overflow(a.int_value(), b.int_value(), &r)) return NumberLit{r};
  }
  return NumberLit{a.as_double() * b.as_double()};
}

NumberLit fold_neg(const NumberLit& a) {
  if (a.is_integer()) {
    std::int64_t r;
    if (!__builtin_sub_overflow(std::int64_t{0}, a.int_value(), &r)) return NumberLit{r};
    return NumberLit{-a.as_double()};  // -(-2**63) = 2**63, exact in double
  }
  return NumberLit{-a.float_value()};
}

}  // namespace tarvex
