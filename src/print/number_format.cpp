#include "print/number_format.hpp"

#include <charconv>
#include <cmath>
#include <system_error>

namespace tarvex {

std::string format_int(std::int64_t v) { return std::to_string(v); }

std::string format_uint(std::uint64_t v) { return std::to_string(v); }

std::string format_double(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  // Fixed notation without a precision gives the shortest digits that round-trip; the
  // longest such text (5e-324 and DBL_MAX) stays far below this buffer.
  char buf[400];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
  if (ec != std::errc()) return std::to_string(v);
  return std::string(buf, end);
}

}  // namespace tarvex
