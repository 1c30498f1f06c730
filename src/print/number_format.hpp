// Number formatting shared by everything that writes numbers as text.
#pragma once

#include <cstddef>
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

// The float style of the sample-set texts and JSON: the shortest round-trip digits, always
// with a fractional part or an exponent (2.0 -> "2.0", -0.0 -> "-0.0"), in exponent form
// when the magnitude is nonzero and below 1e-4 or at least 1e16 ("1e-5", "1.5e20", no "+"
// and no leading exponent zeros). Infinities are "inf" and "-inf", any NaN is "NaN".
// write_float writes into `out` (at least kFloatBufferSize bytes) and returns the end.
inline constexpr std::size_t kFloatBufferSize = 32;
char* write_float(char* out, double v);
std::string format_float(double v);

}  // namespace tarvex
