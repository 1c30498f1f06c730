#include <set>
#include "model/expression/expression.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "print/printer.hpp"
#include "replace/equality.hpp"
#include "tree_builders.hpp"

namespace tarvex::test_util {
namespace {

TEST(CachedFacts, NdimHeightAndDecisionVariables) {
  const Expression N = ph("N");
  const Expression a3 = ph("a", 3), E2 = ph("E", 2);
  const Expression i = elem("i", num(0), N);
  const Expression e = elem_of("e", E2);
  const Expression x = bin("x"), x2 = bin("x", {N, N});
  const Expression x2_ij = sub(x2, {i, i});
  const struct {
    const char* label;
    Expression e;
    std::uint64_t ndim;
    std::uint32_t height;
    bool has_dv;
  } cases[] = {
      {"literal", num(3), 0, 1, false},
      {"placeholder", a3, 3, 1, false},
      {"element of a range", i, 0, 2, false},
      {"element of a 1-dim placeholder", elem_of("f", ph("F", 1)), 0, 2, false},
      {"element of a 2-dim placeholder", e, 1, 2, false},
      {"element of an element", elem_of("g", e), 0, 3, false},
      {"element of a subscript", elem_of("h", sub(a3, {i})), 1, 4, false},
      {"scalar decision variable", x, 0, 2, true},
      {"2-dim decision variable", x2, 2, 2, true},
      {"partial subscript", sub(a3, {i}), 2, 3, false},
      {"full subscript", sub(a3, {i, i, i}), 0, 3, false},
      {"subscript of an element", sub(e, {num(0)}), 0, 3, false},
      {"subscript of a decision variable", x2_ij, 0, 3, true},
      {"subscript of a subscript of a decision variable", sub(sub(x2, {i}), {i}), 0, 4, true},
      {"placeholder indexed by a decision variable", sub(ph("p", 1), {x}), 0, 3, false},
      {"array length", make_expr(ArrayLength{a3, 2, std::nullopt, std::nullopt}), 0, 2, false},
      {"unary operator never holds one", un(UnaryKind::Abs, x), 0, 3, false},
      {"power, left", pow(x, num(2)), 0, 3, true},
      {"power, right", pow(num(2), x2_ij), 0, 4, true},
      {"modulo without", mod(N, num(2)), 0, 2, false},
      {"sum with one", add({N, mul({num(2), x2_ij})}), 0, 5, true},
      {"min without", comm(CommutativeKind::Min, {N, num(1)}), 0, 2, false},
      {"reduction, operand", sum(i, x2_ij), 0, 4, true},
      {"reduction, condition only", sum(i, N, cmp(ComparisonKind::Equal, x, num(1))), 0, 4, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(c.e.ndim(), c.ndim);
    EXPECT_EQ(c.e.height(), c.height);
    EXPECT_EQ(c.e.contains_decision_var(), c.has_dv);
  }
  EXPECT_EQ(logic(LogicalKind::And, {cmp(ComparisonKind::Equal, x2_ij, N)}).height(), 5u);
}

TEST(WithLatex, SharesChildrenAndLeavesTheOriginal) {
  const Expression x = bin("x", {ph("N")});
  const Expression t = sub(x, {num(1)});
  const Expression s = add({t, num(2)});
  const Expression named = with_latex(s, "S");
  EXPECT_NE(named.identity(), s.identity());
  EXPECT_EQ(named.latex(), OptString("S"));
  EXPECT_FALSE(s.latex().has_value());
  EXPECT_EQ(named.as<CommutativeOp>().terms[0].identity(), t.identity());
  EXPECT_EQ(named.height(), s.height());
  EXPECT_TRUE(named.contains_decision_var());
  EXPECT_FALSE(with_latex(named, std::nullopt).latex().has_value());
  EXPECT_EQ(named.latex(), OptString("S"));

  const Expression named_var = with_latex(x, "\\mathbf{x}");
  EXPECT_EQ(named_var.ndim(), 1u);
  EXPECT_EQ(named_var.as<DecisionVar>().shape[0].identity(), x.as<DecisionVar>().shape[0].identity());
  EXPECT_FALSE(x.as<DecisionVar>().latex.has_value());

  const Expression lit = num(4);
  EXPECT_EQ(with_latex(lit, "four").identity(), lit.identity());
  EXPECT_FALSE(lit.latex().has_value());

  const Condition c = cmp(ComparisonKind::LessThanEqual, t, num(1));
  const Condition named_c = with_latex(c, "C");
  EXPECT_EQ(named_c.latex(), OptString("C"));
  EXPECT_FALSE(c.latex().has_value());
  EXPECT_EQ(named_c.as<Comparison>().left.identity(), t.identity());
}

// Identity of the first element tells whether two lists use one buffer.
bool same_buffer(const TermList& a, const TermList& b) { return &a[0] == &b[0]; }

TEST(TermListAppend, SharesOnlyAFullViewAndKeepsOlderViewsShort) {
  const Expression p = ph("p"), q = ph("q"), r = ph("r"), s = ph("s");
  const TermList a = TermList().appended(p);  // a grown list has room to append in place
  const TermList b = a.appended(q);
  EXPECT_TRUE(same_buffer(a, b));
  EXPECT_EQ(a.size(), 1u);
  EXPECT_EQ(a.to_vector().size(), 1u);

  // `a` no longer covers its buffer: appending to it copies and leaves `b` intact.
  const TermList c = a.appended(r);
  EXPECT_FALSE(same_buffer(b, c));
  ASSERT_EQ(b.size(), 2u);
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(b[1].identity(), q.identity());
  EXPECT_EQ(c[1].identity(), r.identity());
  EXPECT_EQ(c[0].identity(), p.identity());

  // Two appends to the same view: the first extends in place, the second copies.
  const TermList d1 = b.appended(r);
  const TermList d2 = b.appended(s);
  EXPECT_TRUE(same_buffer(b, d1));
  EXPECT_FALSE(same_buffer(d1, d2));
  EXPECT_EQ(d1.back().identity(), r.identity());
  EXPECT_EQ(d2.back().identity(), s.identity());
  EXPECT_EQ(b.back().identity(), q.identity());
  EXPECT_EQ(b.size(), 2u);
}

TEST(TermListAppend, LoopReusesOneBufferAndTracksFactsPerView) {
  const TermList empty;
  TermList s = empty.appended(ph("N"));
  std::vector<TermList> views;
  for (int k = 0; k < 1000; ++k) {
    views.push_back(s);
    s = s.appended(k == 500 ? bin("x") : pow(ph("p"), num(k)));
  }
  ASSERT_EQ(s.size(), 1001u);
  EXPECT_TRUE(empty.empty());
  // The buffer grows by doubling, so a loop of n appends uses O(log n) buffers.
  std::set<const Expression*> buffers;
  for (const TermList& v : views) buffers.insert(&v[0]);
  EXPECT_LE(buffers.size(), 12u);
  EXPECT_TRUE(same_buffer(views.back(), s));
  for (std::size_t k = 0; k < views.size(); k += 97) {
    SCOPED_TRACE(k);
    EXPECT_EQ(views[k].size(), k + 1);
    EXPECT_EQ(views[k].back().identity(), s[k].identity());
    EXPECT_EQ(views[k].max_height(), k == 0 ? 1u : 2u);
    EXPECT_EQ(views[k].any_decision_var(), k > 500);
  }
  EXPECT_TRUE(s.any_decision_var());
}

struct EqualityCase {
  const char* label;
  Expression a, b;
  bool equal_compare, equal_ignore;
};

TEST(StructuralEquality, Expressions) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Expression N = ph("N");
  const Expression i = elem("i", num(0), N);
  const Expression x = bin("x"), y = bin("y");
  auto affine = [] { return add({mul({num(2), bin("x")}), bin("y"), num(1)}); };
  const Condition ne = cmp(ComparisonKind::NotEqual, i, num(1));
  const std::vector<EqualityCase> cases = {
      {"independently built trees", affine(), affine(), true, true},
      {"int 1 and float 1.0", num(1), flt(1.0), false, false},
      {"0.0 and -0.0", flt(0.0), flt(-0.0), false, false},
      {"NaN and NaN", flt(nan), flt(nan), true, true},
      {"NaN and -NaN", flt(nan), flt(-nan), true, true},
      {"NaN and 0.0", flt(nan), flt(0.0), false, false},
      {"placeholder latex", ph("a", 0, "p"), ph("a", 0, "q"), false, true},
      {"placeholder description", ph("a", 0, std::nullopt, "d"), ph("a"), false, true},
      {"placeholder ndim", ph("a"), ph("a", 2), false, false},
      {"placeholder and variable of one name", ph("x"), x, false, false},
      {"term order", add({x, y}), add({y, x}), false, false},
      {"operator kind", add({x, y}), mul({x, y}), false, false},
      {"term count", add({x, y}), add({x, y, N}), false, false},
      {"latex deep inside", add({x, with_latex(mul({num(2), y}), "Y")}), add({x, mul({num(2), y})}), false, true},
      {"element range", i, elem("i", num(0), ph("M")), false, false},
      {"element range and set", elem("e", num(0), N), elem_of("e", ph("N", 1)), false, false},
      {"variable kind", var(VarKind::Integer, "n"), var(VarKind::Continuous, "n"), false, false},
      {"variable bound", var(VarKind::Integer, "n", {}, bexpr(num(0)), bexpr(num(5))),
       var(VarKind::Integer, "n", {}, bexpr(num(0)), bexpr(num(6))), false, false},
      {"variable bound kind", var(VarKind::Integer, "n", {}, Bound{BoundKind::Placeholder, ph("l", 1)}),
       var(VarKind::Integer, "n", {}, bexpr(ph("l", 1))), false, false},
      {"variable shape", bin("x", {N}), bin("x", {N, N}), false, false},
      {"unary kind", un(UnaryKind::Ceil, N), un(UnaryKind::Floor, N), false, false},
      {"binary kind", pow(N, num(2)), mod(N, num(2)), false, false},
      {"subscript index", sub(ph("a", 1), {num(0)}), sub(ph("a", 1), {num(1)}), false, false},
      {"array length axis", make_expr(ArrayLength{ph("a", 2), 0, std::nullopt, std::nullopt}),
       make_expr(ArrayLength{ph("a", 2), 1, std::nullopt, std::nullopt}), false, false},
      {"reduction kind", sum(i, N), reduce(ReductionKind::Prod, i, N), false, false},
      {"reduction with and without condition", sum(i, N, ne), sum(i, N), false, false},
      {"reduction conditions", sum(i, N, ne), sum(i, N, cmp(ComparisonKind::Equal, i, num(1))), false, false},
      {"reduction condition latex", sum(i, N, ne), sum(i, N, with_latex(ne, "c")), false, true},
      {"reduction index latex", sum(i, N), sum(elem("i", num(0), N, "\\iota"), N), false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(equal(c.a, c.b, Decorations::Compare), c.equal_compare);
    EXPECT_EQ(equal(c.b, c.a, Decorations::Compare), c.equal_compare);
    EXPECT_EQ(equal(c.a, c.b, Decorations::Ignore), c.equal_ignore);
  }
}

TEST(StructuralEquality, Conditions) {
  const Expression N = ph("N");
  const Condition c1 = cmp(ComparisonKind::LessThan, N, num(1));
  const Condition c2 = cmp(ComparisonKind::GreaterThan, N, num(1));
  EXPECT_TRUE(equal(logic(LogicalKind::Or, {c1, c2}), logic(LogicalKind::Or, {c1, cmp(ComparisonKind::GreaterThan, ph("N"), num(1))})));
  EXPECT_FALSE(equal(c1, c2));
  EXPECT_FALSE(equal(c1, cmp(ComparisonKind::LessThan, N, num(2))));
  EXPECT_FALSE(equal(logic(LogicalKind::Or, {c1, c2}), logic(LogicalKind::And, {c1, c2})));
  EXPECT_FALSE(equal(logic(LogicalKind::Or, {c1, c2}), logic(LogicalKind::Or, {c2, c1})));
  EXPECT_FALSE(equal(logic(LogicalKind::Or, {c1, c2}), logic(LogicalKind::Or, {c1, c2, c1})));
  EXPECT_FALSE(equal(with_latex(c1, "L"), c1));
  EXPECT_TRUE(equal(with_latex(c1, "L"), c1, Decorations::Ignore));
}

// Chains far deeper than any recursion could survive: freeing and comparing must iterate.
using Wrap = std::function<Expression(const Expression&)>;

Expression chain(const Wrap& wrap, Expression leaf, int depth) {
  Expression e = std::move(leaf);
  for (int k = 0; k < depth; ++k) e = wrap(e);
  return e;
}

TEST(DeepTrees, MillionLevelChainsCompareAndFreeIteratively) {
  constexpr int kDepth = 1'000'000;
  const Wrap abs_of = [](const Expression& e) { return un(UnaryKind::Abs, e); };
  const Expression a = chain(abs_of, ph("N"), kDepth);
  EXPECT_EQ(a.height(), std::uint32_t(kDepth) + 1);
  EXPECT_TRUE(equal(a, chain(abs_of, ph("N"), kDepth)));
  EXPECT_FALSE(equal(a, chain(abs_of, ph("M"), kDepth)));
  EXPECT_FALSE(equal(a, chain(abs_of, ph("N"), kDepth - 1)));
  EXPECT_EQ(render_node(PrintMode::Text, a).error().kind, ErrorKind::Recursion);
  EXPECT_EQ(text_of(a), "...");
}

TEST(DeepTrees, NestedTermListsAndConditionsFreeIteratively) {
  constexpr int kDepth = 300'000;
  const Expression one = num(1);
  const Wrap nested_sum = [&one](const Expression& e) { return add({e, one}); };
  {
    const Expression a = chain(nested_sum, bin("x"), kDepth);
    EXPECT_TRUE(a.contains_decision_var());
    EXPECT_TRUE(equal(a, chain(nested_sum, bin("x"), kDepth)));
    EXPECT_FALSE(equal(a, chain(nested_sum, bin("y"), kDepth)));
  }
  Condition c = cmp(ComparisonKind::Equal, ph("N"), one);
  for (int k = 0; k < kDepth; ++k) c = logic(LogicalKind::And, {c});
  EXPECT_EQ(c.height(), std::uint32_t(kDepth) + 2);
  EXPECT_EQ(render_condition(PrintMode::Text, c).error().kind, ErrorKind::Recursion);
}

// The printer walks recursively and refuses trees above kMaxPrintHeight; every tree up to
// that height must print within the normal stack, whatever its kind and the mode.
struct ChainKind {
  const char* name;
  Wrap wrap;
};

std::vector<ChainKind> chain_kinds() {
  return {
      {"abs", [](const Expression& e) { return un(UnaryKind::Abs, e); }},
      {"ln", [](const Expression& e) { return un(UnaryKind::Ln, e); }},
      {"power base", [](const Expression& e) { return pow(e, num(2)); }},
      {"negation in a sum", [](const Expression& e) { return add({ph("y"), mul({num(-2), e})}); }},
      {"subscript index", [](const Expression& e) { return sub(ph("a", 1), {e}); }},
      {"reduction operand",
       [](const Expression& e) { return sum(elem("i", num(0), ph("N")), e); }},
      {"range end of a reduction",
       [](const Expression& e) { return sum(elem("i", num(0), e), ph("N")); }},
  };
}

std::string chain_test_name(const ::testing::TestParamInfo<std::tuple<int, PrintMode>>& info) {
  static const char* const kModes[] = {"Text", "Repr", "Latex"};
  std::string name = chain_kinds()[std::get<0>(info.param)].name;
  for (char& ch : name)
    if (ch == ' ') ch = '_';
  return name + "_" + kModes[int(std::get<1>(info.param))];
}

class PrintHeightLimit : public ::testing::TestWithParam<std::tuple<int, PrintMode>> {};

TEST_P(PrintHeightLimit, PrintsUpToTheLimitAndRefusesAbove) {
  const ChainKind kind = chain_kinds()[std::get<0>(GetParam())];
  const PrintMode mode = std::get<1>(GetParam());
  SCOPED_TRACE(kind.name);
  Expression e = ph("N");
  while (e.height() < kMaxPrintHeight) {
    Expression next = kind.wrap(e);
    e = next.height() <= kMaxPrintHeight ? next : un(UnaryKind::Floor, e);
  }
  ASSERT_EQ(e.height(), kMaxPrintHeight);
  const Result<std::string> at_limit = render_expression(mode, e);
  ASSERT_TRUE(at_limit.ok()) << at_limit.error().message;
  EXPECT_FALSE(at_limit.value().empty());
  EXPECT_TRUE(render_node(mode, e).ok());

  const Expression above = un(UnaryKind::Abs, e);
  ASSERT_EQ(above.height(), kMaxPrintHeight + 1);
  for (const auto& r : {render_node(mode, above), render_expression(mode, above)}) {
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().kind, ErrorKind::Recursion);
  }
  const Condition cond = cmp(ComparisonKind::Equal, above, num(0));
  EXPECT_EQ(render_condition(mode, cond).error().kind, ErrorKind::Recursion);
  EXPECT_TRUE(render_condition(mode, cmp(ComparisonKind::Equal, kind.wrap(ph("N")), num(0))).ok());
}

INSTANTIATE_TEST_SUITE_P(Chains, PrintHeightLimit,
                         ::testing::Combine(::testing::Range(0, 7),
                                            ::testing::Values(PrintMode::Text, PrintMode::Repr,
                                                              PrintMode::Latex)),
                         chain_test_name);

TEST(PrintHeightLimitConditions, NestedLogicalOperatorsAtTheLimit) {
  Condition c = cmp(ComparisonKind::Equal, ph("N"), num(0));
  while (c.height() < kMaxPrintHeight) c = logic(LogicalKind::Or, {c, cmp(ComparisonKind::Equal, ph("M"), num(1))});
  for (PrintMode mode : {PrintMode::Text, PrintMode::Repr, PrintMode::Latex}) {
    EXPECT_TRUE(render_condition(mode, c).ok());
    EXPECT_EQ(render_condition(mode, logic(LogicalKind::And, {c})).error().kind, ErrorKind::Recursion);
  }
}

}  // namespace
}  // namespace tarvex::test_util
