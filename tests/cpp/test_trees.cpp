// Structural equality, the degree values behind the degree predicates, and trees a million
// levels deep: freed, compared, walked, searched, measured and rebuilt without recursion.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "analysis/degree.hpp"
#include "analysis/extract.hpp"
#include "replace/equality.hpp"
#include "replace/replace.hpp"
#include "tree_builders.hpp"

namespace tarvex::test_util {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(StructuralEquality, DecorationsAndSpecialFloats) {
  const Expression N = ph("N"), i = elem("i", num(0), N), x = bin("x"), y = bin("y");
  auto affine = [] { return add({mul({num(2), bin("x")}), bin("y"), num(1)}); };
  const Condition ne = cmp(ComparisonKind::NotEqual, i, num(1));
  const struct {
    const char* label;
    Expression a, b;
    bool equal_compare, equal_ignore;
  } cases[] = {
      {"independently built trees", affine(), affine(), true, true},
      {"term order", add({x, y}), add({y, x}), false, false},
      {"0.0 and -0.0", flt(0.0), flt(-0.0), false, false},
      {"NaN and NaN", flt(kNaN), flt(kNaN), true, true},
      {"NaN and -NaN", flt(kNaN), flt(-kNaN), true, true},
      {"NaN and 0.0", flt(kNaN), flt(0.0), false, false},
      {"placeholder latex", ph("a", 0, "p"), ph("a", 0, "q"), false, true},
      {"placeholder description", ph("a", 0, std::nullopt, "d"), ph("a"), false, true},
      {"latex deep inside", add({x, with_latex(mul({num(2), y}), "Y")}), add({x, mul({num(2), y})}), false, true},
      {"reduction condition latex", sum(i, N, ne), sum(i, N, with_latex(ne, "c")), false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(equal(c.a, c.b, Decorations::Compare), c.equal_compare);
    EXPECT_EQ(equal(c.b, c.a, Decorations::Compare), c.equal_compare);
    EXPECT_EQ(equal(c.a, c.b, Decorations::Ignore), c.equal_ignore);
  }
  EXPECT_FALSE(equal(with_latex(ne, "L"), ne));
  EXPECT_TRUE(equal(with_latex(ne, "L"), ne, Decorations::Ignore));
}

// The highest degree itself, which the predicates only see as 1, 2 or above 2.
TEST(Degree, HighestValue) {
  const Expression x = bin("x"), y = bin("y"), xs = bin("xs", {ph("n")});
  const Expression r = elem("r", flt(0.5), flt(3.0));
  const struct {
    const char* label;
    Expression e;
    double highest;
  } cases[] = {
      {"float exponent", pow(x, flt(1.5)), 1.5},
      {"product over a float range", reduce(ReductionKind::Prod, r, sub(xs, {r})), 2.5},
      {"NaN exponent keeps the inner degree", pow(mul({x, y}), flt(kNaN)), 2},
      {"empty sum", add({}), -kInf},
      {"empty product", mul({}), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const Degree d = degree_of(c.e).value();
    EXPECT_EQ(d.highest, c.highest);
    EXPECT_FALSE(d.dynamic);
  }
}

// ---------------------------------------------------------------------------------------
// Trees far deeper than any recursion could survive.

constexpr int kLevels = 1'000'000;

// A chain over `leaf` that cycles through the ways a node holds its child: directly, in a
// term list, and through a condition (alone or inside a logical operator).
Expression mixed_chain(const Expression& leaf, int levels) {
  const Expression one = num(1), N = ph("N"), i = elem("i", num(0), N);
  Expression e = leaf;
  for (int k = 0; k < levels; ++k) {
    switch (k % 5) {
      case 0: e = un(UnaryKind::Abs, e); break;
      case 1: e = add({e, one}); break;
      case 2: e = pow(e, one); break;
      case 3: e = sum(i, N, cmp(ComparisonKind::Equal, e, one)); break;
      default: e = sum(i, N, logic(LogicalKind::And, {cmp(ComparisonKind::Equal, e, one)})); break;
    }
  }
  return e;
}

TEST(DeepTrees, MillionLevelChainsCompareAndFreeIteratively) {
  const Expression a = mixed_chain(ph("N"), kLevels);
  EXPECT_TRUE(equal(a, mixed_chain(ph("N"), kLevels)));
  EXPECT_FALSE(equal(a, mixed_chain(ph("N", 0, "n"), kLevels)));  // differs at the bottom only
  EXPECT_TRUE(equal(a, mixed_chain(ph("N", 0, "n"), kLevels), Decorations::Ignore));
  EXPECT_FALSE(equal(a, mixed_chain(ph("N"), kLevels - 5)));
}  // every chain is freed on leaving its scope

// A chain through the nodes that every walk opens: sums, products and powers.
Expression arithmetic_chain(const Expression& leaf) {
  const Expression one = num(1), two = num(2);
  Expression e = leaf;
  for (int k = 0; k < kLevels; ++k) e = k % 3 == 0 ? add({e, two}) : k % 3 == 1 ? mul({two, e}) : pow(e, one);
  return e;
}

TEST(DeepTrees, PreOrderWalk) {
  const Expression e = arithmetic_chain(bin("x"));
  std::vector<const void*> seen;
  const NodeVisitor visitor{[&](const Expression& n) { seen.push_back(n.identity()); }, nullptr};
  ASSERT_TRUE(Walker(visitor, Visits::EachOccurrence).walk(cmp(ComparisonKind::Equal, e, num(0))).ok());
  ASSERT_EQ(seen.size(), 2u * kLevels + 2);  // each level adds an operator and a literal
  EXPECT_EQ(seen.front(), e.identity());
}

TEST(DeepTrees, ExtractVariables) {
  const Expression x = bin("x");
  const std::vector<Expression> vars = extract_variables(arithmetic_chain(add({x, ph("a"), x}))).value();
  ASSERT_EQ(vars.size(), 2u);
  EXPECT_TRUE(equal(vars[0], x));
  EXPECT_TRUE(equal(vars[1], ph("a")));
}

TEST(DeepTrees, Degree) {
  const Degree linear = degree_of(arithmetic_chain(bin("x"))).value();
  EXPECT_EQ(linear.highest, 1.0);
  EXPECT_FALSE(linear.dynamic);
  EXPECT_TRUE(degree_of(arithmetic_chain(pow(ph("a"), ph("n")))).value().dynamic);  // from the bottom up
}

TEST(DeepTrees, Replace) {
  const Expression x = bin("x"), y = bin("y");
  const Expression e = arithmetic_chain(x);
  const Result<Expression> same = replace(e, [](const Expression& n) -> Result<Expression> { return n; });
  ASSERT_TRUE(same.ok());
  EXPECT_EQ(same->identity(), e.identity());
  const Result<Expression> swapped =
      replace(e, [&](const Expression& n) -> Result<Expression> { return equal(n, x) ? y : n; });
  ASSERT_TRUE(swapped.ok());
  EXPECT_TRUE(equal(*swapped, arithmetic_chain(y)));
  EXPECT_FALSE(equal(*swapped, e));
}

// Shared subtrees: `e = abs(e) + e * x` sixty times is a few hundred nodes but some 2^60
// paths. Walks that do not depend on how often a node is reached take time in proportion
// to the distinct nodes (a per-path walk would not finish).
constexpr int kSharedLevels = 60;
Expression shared_chain(const Expression& x, const Expression& leaf) {
  Expression e = leaf;
  for (int k = 0; k < kSharedLevels; ++k) e = add({un(UnaryKind::Abs, e), mul({e, x})});
  return e;
}

TEST(SharedTrees, PathsAreCountedAndSaturate) {
  Expression e = ph("a");
  for (int k = 0; k < 3; ++k) e = add({e, e});
  EXPECT_EQ(e.paths(), 15u);  // 1 + 2 * (1 + 2 * (1 + 2 * 1))
  for (int k = 3; k < 30; ++k) e = add({e, e});
  EXPECT_EQ(e.paths(), (std::uint64_t{1} << 31) - 1);
  e = add({e, e});  // 2^32 - 1 paths: past what a node counts exactly
  EXPECT_EQ(e.paths(), UINT64_MAX);
  for (int k = 31; k < 70; ++k) e = add({e, e});
  EXPECT_EQ(e.paths(), UINT64_MAX);
}

TEST(SharedTrees, WalksPerDistinctNode) {
  const Expression x = bin("x");
  const Expression e = shared_chain(x, ph("a"));
  const Degree d = degree_of(e).value();
  EXPECT_EQ(d.highest, double(kSharedLevels));  // each level multiplies by x once more
  const std::vector<Expression> vars = extract_variables(e).value();
  ASSERT_EQ(vars.size(), 2u);
  EXPECT_TRUE(equal(vars[0], ph("a")));
  EXPECT_TRUE(equal(vars[1], x));
  std::size_t visited = 0;
  const NodeVisitor count{[&](const Expression&) { ++visited; }, nullptr};
  ASSERT_TRUE(Walker(count, Visits::Distinct).walk(e).ok());
  EXPECT_EQ(visited, 3u * kSharedLevels + 2);  // per level: a sum, an abs, a product
}

TEST(SharedTrees, EqualityOfSeparatelyBuiltCopies) {
  const Expression x = bin("x");
  EXPECT_TRUE(equal(shared_chain(x, ph("a")), shared_chain(bin("x"), ph("a"))));
  EXPECT_FALSE(equal(shared_chain(x, ph("a")), shared_chain(x, ph("b"))));
}

TEST(SharedTrees, TextTooLongIsRefusedAtOnce) {
  const auto text = render_node(PrintMode::Text, shared_chain(bin("x"), ph("a")));
  ASSERT_FALSE(text.ok());
  EXPECT_EQ(text.error().kind, ErrorKind::Memory);
}

}  // namespace
}  // namespace tarvex::test_util
