// Shortest round-trip digits written in plain positional form, for every finite double.
#include "print/number_format.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

namespace tarvex {
namespace {

TEST(FormatDouble, ShortestPlainPositional) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    double v;
    std::string text;
  } cases[] = {
      {0.0, "0"},
      {-0.0, "-0"},
      {-3.0, "-3"},
      {-0.25, "-0.25"},
      {0.1, "0.1"},
      {1.0 / 3.0, "0.3333333333333333"},
      {1e-7, "0.0000001"},
      {1e21, "1000000000000000000000"},
      // Large values: the shortest digits padded with zeros, not the exact binary value.
      {123456789012345680000.0, "123456789012345680000"},
      {1e23, "100000000000000000000000"},
      {0x1p70, "1180591620717411300000"},
      {DBL_MAX, "17976931348623157" + std::string(292, '0')},
      {-DBL_MAX, "-17976931348623157" + std::string(292, '0')},
      {5e-324, "0." + std::string(323, '0') + "5"},
      {-5e-324, "-0." + std::string(323, '0') + "5"},
      {DBL_MIN, "0." + std::string(307, '0') + "22250738585072014"},
      {inf, "inf"},
      {-inf, "-inf"},
      {nan, "NaN"},
      {-nan, "NaN"},
      {std::bit_cast<double>(std::uint64_t{0x7ff0000000000001}), "NaN"},  // signalling
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 40));
    EXPECT_EQ(format_double(c.v), c.text);
  }
}

// The significant digits of a decimal text: no sign, no point, no leading or trailing zeros.
std::string significant_digits(const std::string& s) {
  std::string d;
  for (char c : s)
    if (c >= '0' && c <= '9') d += c;
  const auto first = d.find_first_not_of('0');
  if (first == std::string::npos) return "0";
  d.erase(0, first);
  d.erase(d.find_last_not_of('0') + 1);
  return d;
}

// Reference for the shortest digits: the smallest printf precision that reads back exactly.
std::string shortest_digits_reference(double v) {
  char buf[64];
  for (int p = 0; p <= 16; ++p) {
    std::snprintf(buf, sizeof buf, "%.*e", p, v);
    if (std::strtod(buf, nullptr) == v) break;
  }
  std::string mantissa(buf, std::string(buf).find('e'));
  return significant_digits(mantissa);
}

// Plain positional: [-]digits[.digits], no exponent, no redundant zeros.
bool is_plain_positional(const std::string& s) {
  std::size_t i = s.size() > 0 && s[0] == '-' ? 1 : 0;
  const std::size_t int_begin = i;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
  const std::size_t int_len = i - int_begin;
  if (int_len == 0 || (int_len > 1 && s[int_begin] == '0')) return false;
  if (i == s.size()) return true;
  if (s[i] != '.') return false;
  const std::size_t frac_begin = ++i;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
  return i == s.size() && i > frac_begin && s.back() != '0';
}

TEST(FormatDoubleRandom, RoundTripsShortestAndPositional) {
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> moderate(-1e6, 1e6);
  for (int k = 0; k < 30000; ++k) {
    // Alternate arbitrary bit patterns (all magnitudes, subnormals included) and values of
    // everyday size with few digits.
    double v;
    if (k % 3 == 0) {
      v = std::round(moderate(rng) * 1000.0) / 1000.0;
    } else if (k % 3 == 1) {
      v = moderate(rng);
    } else {
      v = std::bit_cast<double>(rng());
      if (!std::isfinite(v)) continue;
    }
    const std::string s = format_double(v);
    SCOPED_TRACE(s);
    ASSERT_TRUE(is_plain_positional(s));
    const double back = std::strtod(s.c_str(), nullptr);
    ASSERT_EQ(std::bit_cast<std::uint64_t>(back), std::bit_cast<std::uint64_t>(v));
    ASSERT_EQ(significant_digits(s), shortest_digits_reference(v));
  }
}

}  // namespace
}  // namespace tarvex
