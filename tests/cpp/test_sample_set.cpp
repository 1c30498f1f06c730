// The float style of the sample-set texts, dense/sparse conversions with their index checks,
// and the JSON reader's positions on hostile text.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "print/number_format.hpp"
#include "sample_set/evaluation.hpp"
#include "sample_set/measuring_time.hpp"
#include "sample_set/record.hpp"

namespace tarvex {
namespace {

TEST(FormatFloat, FractionOrExponent) {
  const struct {
    double v;
    const char* text;
  } cases[] = {
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {1.0, "1.0"},
      {2.5, "2.5"},
      {-123.0, "-123.0"},
      {0.0001, "0.0001"},
      {0.00001, "1e-5"},
      {1.5e-7, "1.5e-7"},
      {1e16, "1e16"},
      {1.5e20, "1.5e20"},
      {9999999999999998.0, "9999999999999998.0"},
      {5e-324, "5e-324"},
      {1.7976931348623157e308, "1.7976931348623157e308"},
      {std::numeric_limits<double>::infinity(), "inf"},
      {std::nan(""), "NaN"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(format_float(c.v), c.text);
  }
}

TEST(FormatFloat, ReadsBackForRandomBits) {
  std::mt19937_64 rng(7);
  for (int i = 0; i < 200000; ++i) {
    const double v = std::bit_cast<double>(rng());
    if (!std::isfinite(v)) continue;
    const std::string s = format_float(v);
    ASSERT_EQ(std::strtod(s.c_str(), nullptr), v) << s;
    ASSERT_TRUE(s.find('.') != std::string::npos || s.find('e') != std::string::npos) << s;
  }
}

TEST(DenseSparse, Conversions) {
  const struct {
    const char* label;
    CooFormat coo;
    ErrorKind error;  // Internal: no error expected
  } cases[] = {
      {"fits", {{{0, 1, 1}, {1, 0, 2}}, {1, 2, 3}, {2, 3}}, ErrorKind::Internal},
      {"0-d", {{}, {4}, {}}, ErrorKind::Internal},
      {"no values, axes differ", {{}, {}, {2, 3}}, ErrorKind::Internal},
      {"outside", {{{0}, {3}}, {1}, {2, 3}}, ErrorKind::Index},
      {"too few axes", {{{0}}, {1}, {2, 3}}, ErrorKind::Index},
      {"too many axes", {{{0}, {0}}, {1}, {2}}, ErrorKind::Index},
      {"short axis list", {{{0, 1}, {0}}, {1, 2}, {2, 3}}, ErrorKind::Index},
      {"size overflows", {{}, {}, {1ull << 32, 1ull << 32}}, ErrorKind::Value},
      {"too large", {{}, {}, {1ull << 20, 1ull << 20}}, ErrorKind::Value},
      {"zero extent beside huge", {{}, {}, {0, 1ull << 62, 1ull << 62}}, ErrorKind::Internal},
      {"too many axes for an array", {{}, {}, std::vector<std::uint64_t>(65, 1)}, ErrorKind::Value},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    auto dense = coo_to_dense(c.coo);
    if (c.error != ErrorKind::Internal) {
      ASSERT_FALSE(dense.ok());
      EXPECT_EQ(dense.error().kind, c.error);
      continue;
    }
    ASSERT_TRUE(dense.ok()) << dense.error().message;
    // Back to sparse and dense again gives the same array.
    auto again = coo_to_dense(dense_to_coo(*dense));
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(*again, *dense);
  }
}

TEST(DenseSparse, RowMajorOrderAndZeros) {
  const DenseArray a{{2, 2, 2}, {0, 1, -0.0, 0, 5, 0, 0, std::nan("")}};
  const CooFormat c = dense_to_coo(a);
  EXPECT_EQ(c.non_zero_indices, (std::vector<std::vector<std::uint64_t>>{{0, 1, 1}, {0, 0, 1}, {1, 0, 1}}));
  ASSERT_EQ(c.non_zero_values.size(), 3u);
  EXPECT_EQ(c.non_zero_values[1], 5.0);
  EXPECT_TRUE(std::isnan(c.non_zero_values[2]));
}

TEST(JsonReader, PositionsOnLinesAndColumns) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"{\n  \"solve\": {},\n  \"system\": {\"request_queue\": true}\n}",
       "expected a number or null at line 3, column 31"},
      {"{\"solve\": {}, \"system\": {}, \"total\": 1}\n\n  x",
       "unexpected text after the end of the document at line 3, column 3"},
      {"{\"solve\": {}, \"system\": {}, \"solve\": {}}", "duplicate key \"solve\" at line 1, column 29"},
      {"{\"solve\": [1, 2, 3, 4]}", "too many values for an object of 3 fields at line 1, column 21"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    auto t = measuring_time_from_json(c.text);
    ASSERT_FALSE(t.ok());
    EXPECT_EQ(t.error().kind, ErrorKind::Value);
    EXPECT_EQ(t.error().message, c.message);
  }
}

TEST(JsonReader, DeepNestingIsRefused) {
  for (std::size_t depth : {65u, 1000u, 1000000u}) {
    const std::string open(depth, '['), close(depth, ']');
    for (const std::string& text : {open + close, "{\"zz\":" + open + close + "}", open}) {
      auto r = record_from_json(text);
      ASSERT_FALSE(r.ok());
      EXPECT_EQ(r.error().kind, ErrorKind::Value);
    }
  }
}

TEST(Evaluation, ExprValuesNeedForallEntries) {
  Evaluation e;
  e.constraint_forall["c"] = {{0}, {1}, {2}};
  e.constraint_values = {{{"c", {1.0, 2.0}}}};
  auto v = constraint_expr_values(e);
  ASSERT_TRUE(v.ok());
  ASSERT_EQ((*v)[0].size(), 2u);  // the shorter list decides
  e.constraint_values[0]["d"] = {1.0};
  auto missing = constraint_expr_values(e);
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error().kind, ErrorKind::Key);
}

}  // namespace
}  // namespace tarvex
