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
  // The shortest round-trip digits come in scientific form, "-d.ddde+XX"; lay them out
  // positionally. (Fixed notation would print every exact digit of large values.)
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  if (ec != std::errc()) return std::to_string(v);
  const char* p = buf;
  std::string out;
  if (*p == '-') {
    out += '-';
    ++p;
  }
  std::string digits;
  while (p != end && *p != 'e') {
    if (*p != '.') digits += *p;
    ++p;
  }
  int exponent = 0;
  if (p != end) std::from_chars(p + 1 + (p[1] == '+'), end, exponent);
  // Digits before the decimal point.
  const long point = long(exponent) + 1;
  const long n = long(digits.size());
  if (point <= 0) {
    out += "0.";
    out.append(std::size_t(-point), '0');
    out += digits;
  } else if (point >= n) {
    out += digits;
    out.append(std::size_t(point - n), '0');
  } else {
    out.append(digits, 0, std::size_t(point));
    out += '.';
    out.append(digits, std::size_t(point), std::string::npos);
  }
  return out;
}

}  // namespace tarvex
