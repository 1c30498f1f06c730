#include "print/number_format.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
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

namespace {

// Writes the decimal digits of 0 < n < 10^16.
char* write_digits(char* out, std::uint64_t n) {
  char buf[20];
  char* p = buf + sizeof buf;
  do {
    *--p = char('0' + n % 10);
    n /= 10;
  } while (n);
  const std::size_t len = std::size_t(buf + sizeof buf - p);
  std::memcpy(out, p, len);
  return out + len;
}

}  // namespace

char* write_float(char* out, double v) {
  if (std::isnan(v)) return std::copy_n("NaN", 3, out);
  if (std::isinf(v)) return v > 0 ? std::copy_n("inf", 3, out) : std::copy_n("-inf", 4, out);
  if (v == 0.0) return std::signbit(v) ? std::copy_n("-0.0", 4, out) : std::copy_n("0.0", 3, out);
  // Integral values below 10^16 (solver output is mostly such): their digits, then ".0".
  const double magnitude = std::fabs(v);
  if (magnitude < 1e16 && magnitude >= 1.0 && magnitude == double(std::uint64_t(magnitude))) {
    if (v < 0) *out++ = '-';
    out = write_digits(out, std::uint64_t(magnitude));
    *out++ = '.';
    *out++ = '0';
    return out;
  }
  // Shortest round-trip digits in scientific form: "-d.ddde+XX" or "-de-XXX".
  char buf[kFloatBufferSize];
  const char* end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific).ptr;
  const char* p = buf;
  if (*p == '-') *out++ = *p++;
  // Digits: the first one, then those after the point.
  char digits[20];
  int n = 0;
  digits[n++] = *p++;
  if (*p == '.') {
    ++p;
    while (*p != 'e') digits[n++] = *p++;
  }
  ++p;  // 'e'
  const bool negative = *p++ == '-';
  int exponent = 0;
  while (p != end) exponent = exponent * 10 + (*p++ - '0');
  if (negative) exponent = -exponent;
  if (exponent < -4 || exponent >= 16) {
    *out++ = digits[0];
    if (n > 1) {
      *out++ = '.';
      std::memcpy(out, digits + 1, std::size_t(n - 1));
      out += n - 1;
    }
    *out++ = 'e';
    if (exponent < 0) *out++ = '-';
    return write_digits(out, std::uint64_t(exponent < 0 ? -exponent : exponent));
  }
  if (exponent < 0) {
    *out++ = '0';
    *out++ = '.';
    out = std::fill_n(out, -exponent - 1, '0');
    std::memcpy(out, digits, std::size_t(n));
    return out + n;
  }
  const int point = exponent + 1;
  if (point >= n) {
    std::memcpy(out, digits, std::size_t(n));
    out = std::fill_n(out + n, point - n, '0');
    *out++ = '.';
    *out++ = '0';
    return out;
  }
  std::memcpy(out, digits, std::size_t(point));
  out += point;
  *out++ = '.';
  std::memcpy(out, digits + point, std::size_t(n - point));
  return out + (n - point);
}

std::string format_float(double v) {
  char buf[kFloatBufferSize];
  return std::string(buf, write_float(buf, v));
}

}  // namespace tarvex
