// Array lengths: the length of a placeholder, element or subscript along one axis.
#pragma once

#include "model/expression/expression.hpp"

namespace tarvex {

// The checks on the array of an array length: it has dimensions and is not a subscripted
// decision variable.
Status check_array_operand(const Expression& array);

// The array length of `array` at `axis`, with the array checks and the axis check.
Result<Expression> make_array_length(Expression array, std::uint64_t axis, OptString latex,
                                     OptString description);

// The array lengths of every axis of `array`, without custom LaTeX or description. An
// array with more axes than this is refused rather than listed (a mistyped ndim would
// otherwise exhaust the memory).
inline constexpr std::uint64_t kMaxListedAxes = 1u << 20;
Result<std::vector<Expression>> shape_of(const Expression& array);

}  // namespace tarvex
