#include "print/number_format.hpp"

#include <algorithm>
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

char* write_float(char* out, double v) {
  if (std::isnan(v)) return std::copy_n("NaN", 3, out);
  if (std::isinf(v)) return v > 0 ? std::copy_n("inf", 3, out) : std::copy_n("-inf", 4, out);
  char buf[kFloatBufferSize];
  // Shortest round-trip digits in scientific form: "-d.ddde+XX".
  const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  const char* p = buf;
  const char* end = res.ptr;
  if (*p == '-') *out++ = *p++;
  char digits[24];
  int n = 0;
  while (p != end && *p != 'e') {
    if (*p != '.') digits[n++] = *p;
    ++p;
  }
  int exponent = 0;
  if (p != end) std::from_chars(p + 1 + (p[1] == '+'), end, exponent);
  if (v == 0.0) return std::copy_n("0.0", 3, out);
  if (exponent < -4 || exponent >= 16) {
    *out++ = digits[0];
    if (n > 1) {
      *out++ = '.';
      out = std::copy_n(digits + 1, n - 1, out);
    }
    *out++ = 'e';
    return std::to_chars(out, out + 8, exponent).ptr;
  }
  if (exponent < 0) {
    *out++ = '0';
    *out++ = '.';
    out = std::fill_n(out, -exponent - 1, '0');
    return std::copy_n(digits, n, out);
  }
  const int point = exponent + 1;
  if (point >= n) {
    out = std::copy_n(digits, n, out);
    out = std::fill_n(out, point - n, '0');
    *out++ = '.';
    *out++ = '0';
    return out;
  }
  out = std::copy_n(digits, point, out);
  *out++ = '.';
  return std::copy_n(digits + point, n - point, out);
}

std::string format_float(double v) {
  char buf[kFloatBufferSize];
  return std::string(buf, write_float(buf, v));
}

}  // namespace tarvex
