// Number formatting shared by everything that writes numbers as text.
#pragma once

#include <cstdint>
#include <string>

namespace tarvex {

// Decimal, with a leading "-" when negative.
std::string format_int(std::int64_t v);
std::string format_uint(std::uint64_t v);

// The shortest decimal form that reads back to the same double, in plain positional
// notation without exponent and without a trailing ".0": 2.0 -> "2", 1e-7 -> "0.0000001",
// 1e21 -> "1000000000000000000000", -0.0 -> "-0". Infinities are "inf" and "-inf", any
// NaN is "NaN".
std::string format_double(double v);

}  // namespace tarvex
