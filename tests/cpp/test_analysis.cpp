// The walks over trees: pre-order node visits, variable collection, the degree walk, and
// top-down replacement, including trees a million levels deep.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "analysis/degree.hpp"
#include "analysis/extract.hpp"
#include "replace/equality.hpp"
#include "replace/replace.hpp"
#include "tree_builders.hpp"

namespace tarvex::test_util {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

Expression prod(Expression index, Expression operand) {
  return reduce(ReductionKind::Prod, std::move(index), std::move(operand));
}
Expression alen(Expression array, std::uint64_t axis, OptString description = std::nullopt) {
  return make_expr(ArrayLength{std::move(array), axis, std::nullopt, std::move(description)});
}
Expression mn(std::vector<Expression> t) { return comm(CommutativeKind::Min, std::move(t)); }
Expression mx(std::vector<Expression> t) { return comm(CommutativeKind::Max, std::move(t)); }

// A short tag per node: names, literal values and operator symbols.
std::string tag(const Expression& e) {
  switch (e.kind()) {
    case ExprKind::Number: {
      const auto& n = e.as<NumberLit>();
      return n.is_integer() ? std::to_string(n.int_value()) : std::to_string(n.float_value());
    }
    case ExprKind::Placeholder:
    case ExprKind::Element:
    case ExprKind::DecisionVar: return variable_name(e);
    case ExprKind::Subscript: return "[]";
    case ExprKind::ArrayLength: return "len";
    case ExprKind::Unary: return "abs";
    case ExprKind::Binary: return e.as<BinaryOp>().kind == BinaryKind::Pow ? "**" : "%";
    case ExprKind::Commutative: {
      static const char* const names[] = {"+", "*", "min", "max"};
      return names[int(e.as<CommutativeOp>().kind)];
    }
    case ExprKind::Reduction: return e.as<ReductionOp>().kind == ReductionKind::Sum ? "sum" : "prod";
  }
  return "?";
}

std::string tag(const Condition& c) {
  if (const auto* cmp = c.get_if<Comparison>()) {
    static const char* const names[] = {"==", "!=", "<", "<=", ">", ">="};
    return names[int(cmp->kind)];
  }
  static const char* const names[] = {"&", "|", "^"};
  return names[int(c.as<Logical>().kind)];
}

template <class T>
std::vector<std::string> visits(const T& x) {
  std::vector<std::string> out;
  walk(x, NodeVisitor{[&](const Expression& e) { out.push_back(tag(e)); },
                      [&](const Condition& c) { out.push_back(tag(c)); }});
  return out;
}

template <class T>
std::vector<std::string> variable_tags(const T& x) {
  std::vector<std::string> out;
  for (const Expression& v : extract_variables(x)) out.push_back(tag(v));
  return out;
}

using Tags = std::vector<std::string>;

// ---------------------------------------------------------------------------------------
// Pre-order walk.

TEST(PreOrderWalk, NodeBeforeChildrenInStoredOrder) {
  const Expression N = ph("N"), A = ph("A", 1), i = elem("i", num(0), N), x = bin("x", {N});
  const Condition cond = logic(LogicalKind::And, {cmp(ComparisonKind::NotEqual, i, num(0)),
                                                  cmp(ComparisonKind::LessThan, sub(A, {i}), alen(A, 0))});
  const Expression operand =
      add({mul({sub(x, {i}), un(UnaryKind::Abs, ph("b"))}), mod(pow(ph("c"), num(2)), ph("d"))});
  EXPECT_EQ(visits(sum(i, operand, cond)),
            (Tags{"sum", "i", "0", "N",                                        // index and its range
                  "&", "!=", "i", "0", "N", "0", "<", "[]", "A", "i", "0", "N", "len", "A",  // condition
                  "+", "*", "[]", "x", "i", "0", "N", "abs", "b", "%", "**", "c", "2", "d"}));
}

TEST(PreOrderWalk, ElementSetsAndDecisionVariableFields) {
  const Expression A2 = ph("A", 2), i = elem("i", num(1), ph("n"));
  const struct {
    const char* label;
    Expression e;
    Tags expected;
  } cases[] = {
      {"element of a placeholder", elem_of("j", A2), {"j", "A"}},
      {"element of an element", elem_of("k", elem_of("j", A2)), {"k", "j", "A"}},
      {"element of a subscript", elem_of("k", sub(A2, {i})), {"k", "[]", "A", "i", "1", "n"}},
      {"shape and bounds are not walked", var(VarKind::Integer, "y", {ph("n")}, bexpr(ph("lo")), bexpr(ph("hi"))),
       {"y"}},
      {"array length of a subscript", alen(sub(A2, {i}), 0), {"len", "[]", "A", "i", "1", "n"}},
      {"empty sum", add({}), {"+"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(visits(c.e), c.expected);
  }
}

TEST(PreOrderWalk, ConstraintsPenaltiesAndProblemsInNameOrder) {
  const Expression N = ph("N"), i = elem("i", num(0), N), j = elem("j", num(0), N), x = bin("x", {N, N});
  const ForallList forall = {{i, Condition()}, {j, cmp(ComparisonKind::NotEqual, j, i)}};
  const Constraint c{"b", sub(x, {i, j}), num(1), forall, ConstraintSense::LessThanEqual};
  const Tags constraint_tags = {"[]", "x", "i", "0", "N", "j", "0", "N",  // left
                                "1",                                      // right
                                "i", "0", "N", "j", "0", "N",             // forall elements
                                "!=", "j", "0", "N", "i", "0", "N"};      // and condition
  EXPECT_EQ(visits(c), constraint_tags);

  const CustomPenaltyTerm p{"q", sub(x, {i, i}), {{i, Condition()}}};
  EXPECT_EQ(visits(p), (Tags{"[]", "x", "i", "0", "N", "i", "0", "N", "i", "0", "N"}));

  Problem problem("p");
  ASSERT_TRUE(problem.set_objective(bin("z")).ok());
  ASSERT_TRUE(problem.add_constraint(c).ok());
  ASSERT_TRUE(problem.add_constraint(Constraint{"a", bin("w"), num(2), {}, ConstraintSense::Equal}).ok());
  ASSERT_TRUE(problem.add_custom_penalty_term(p).ok());
  Tags expected = {"z", "w", "2"};
  expected.insert(expected.end(), constraint_tags.begin(), constraint_tags.end());
  const Tags penalty = visits(p);
  expected.insert(expected.end(), penalty.begin(), penalty.end());
  EXPECT_EQ(visits(problem), expected);
}

// ---------------------------------------------------------------------------------------
// Variables.

TEST(Variables, DistinctInOrderOfFirstAppearance) {
  const Expression n = ph("n"), i = elem("i", num(0), n);
  const Expression x = bin("x", {n}), y = bin("y", {n}), z = bin("z", {n});
  Problem problem("p");
  ASSERT_TRUE(problem.set_objective(sum(i, sub(x, {i}))).ok());
  ASSERT_TRUE(problem.add_constraint(Constraint{"c", sub(y, {i}), num(1), {{i, Condition()}},
                                                ConstraintSense::LessThanEqual}).ok());
  ASSERT_TRUE(problem.add_custom_penalty_term(CustomPenaltyTerm{"q", sub(z, {i}), {{i, Condition()}}}).ok());
  EXPECT_EQ(variable_tags(problem), (Tags{"i", "n", "x", "y", "z"}));
}

TEST(Variables, SameValueCountsOnceWhateverItsDecorations) {
  const Expression A = ph("A", 2), i = elem("i", num(0), ph("n"));
  const struct {
    const char* label;
    Expression e;
    Tags expected;
  } cases[] = {
      {"independently built placeholders", add({ph("a"), ph("a")}), {"a"}},
      {"latex and description ignored", add({ph("a", 0, "p"), ph("a", 0, "q", "d")}), {"a"}},
      {"different ndim", add({ph("a"), sub(ph("a", 1), {num(0)})}), {"a", "a"}},
      {"placeholder and variable of one name", add({ph("x"), bin("x")}), {"x", "x"}},
      {"elements of one name over different sets", add({elem("k", num(0), ph("n")), elem("k", num(1), ph("n"))}),
       {"k", "n", "k"}},
      {"equal array lengths", add({alen(A, 0), alen(ph("A", 2), 0, "len")}), {"len", "A"}},
      {"array lengths of different axes", add({alen(A, 0), alen(A, 1)}), {"len", "A", "len"}},
      {"array lengths of different arrays", add({alen(A, 0), alen(ph("B", 2), 0)}), {"len", "A", "len", "B"}},
      {"element followed by its set", elem_of("j", sub(A, {i})), {"j", "A", "i", "n"}},
      {"literals, subscripts and operators are not variables", mul({num(2), sub(A, {num(0), num(1)})}), {"A"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(variable_tags(c.e), c.expected);
  }
}

TEST(Variables, CollectorAccumulatesAcrossCalls) {
  VariableCollector c;
  c.add(add({ph("a"), bin("x")}));
  c.add(cmp(ComparisonKind::Equal, bin("x"), ph("b")));
  c.add(ForallList{{elem("i", num(0), ph("a")), Condition()}});
  Tags got;
  for (const Expression& v : c.variables()) got.push_back(tag(v));
  EXPECT_EQ(got, (Tags{"a", "x", "b", "i"}));
}

// ---------------------------------------------------------------------------------------
// Degree.

TEST(Degree, Table) {
  const Expression x = bin("x"), y = bin("y"), z = bin("z"), w = bin("w"), a = ph("a"), n = ph("n");
  const Expression xs = bin("xs", {n});
  const Expression r03 = elem("r", num(0), num(3)), rf = elem("r", flt(0.5), flt(3.0));
  const Expression rn = elem("r", num(0), n), re = elem_of("e", ph("E", 1));
  const double nan = std::nan("");
  const struct {
    const char* label;
    Expression e;
    double highest;
    bool dynamic;
  } cases[] = {
      {"literal", num(1), 0, false},
      {"placeholder", a, 0, false},
      {"element", r03, 0, false},
      {"array length", alen(ph("A", 1), 0), 0, false},
      {"decision variable", x, 1, false},
      {"subscripted decision variable", sub(xs, {r03}), 1, false},
      {"subscripted placeholder", sub(ph("A", 1), {r03}), 0, false},
      {"unary operator is not opened", un(UnaryKind::Abs, mul({x, y})), 0, false},
      {"sum of variables", add({x, y}), 1, false},
      {"affine", add({mul({num(2), x}), num(1)}), 1, false},
      {"product of two", mul({x, y}), 2, false},
      {"square", pow(x, num(2)), 2, false},
      {"product of three", mul({x, y, z}), 3, false},
      {"float exponent", pow(x, flt(1.5)), 1.5, false},
      {"inner degree survives an outer root", pow(pow(x, num(2)), flt(0.5)), 2, false},
      {"inner degree of a factor", mul({pow(mul({x, y, z}), flt(0.5)), w}), 3, false},
      {"power of a sum", pow(add({x, num(1)}), num(3)), 3, false},
      {"remainder keeps the left side's highest", mod(x, a), 1, false},
      {"min and max take the largest", mx({x, mn({a, mul({x, y})})}), 2, false},
      {"empty sum", add({}), -kInf, false},
      {"empty product", mul({}), 0, false},
      {"NaN exponent is ignored", pow(x, flt(nan)), 1, false},
      {"non-literal exponent", pow(a, n), 0, true},
      {"non-literal exponent in one term", add({x, pow(a, n)}), 1, true},
      {"sum over a range", sum(rn, mul({sub(xs, {rn}), sub(xs, {rn})})), 2, false},
      {"product over a literal range", prod(r03, sub(xs, {r03})), 3, false},
      {"product over a float range", prod(rf, sub(xs, {rf})), 2.5, false},
      {"product over a range to a placeholder", prod(rn, sub(xs, {rn})), 1, true},
      {"product over an element of a placeholder", prod(re, sub(xs, {re})), 1, true},
      {"product of data only is still dynamic", prod(rn, a), 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const Degree d = degree_of(c.e);
    EXPECT_EQ(d.highest, c.highest);
    EXPECT_EQ(d.dynamic, c.dynamic);
  }
}

TEST(Degree, Predicates) {
  const Expression x = bin("x"), y = bin("y"), n = ph("n"), xs = bin("xs", {n});
  const Expression rn = elem("r", num(0), n);
  const struct {
    const char* label;
    Expression e;
    bool linear, quadratic, higher, dynamic;
  } cases[] = {
      {"constant", num(1), false, false, false, false},
      {"linear", add({x, y}), true, false, false, false},
      {"quadratic", mul({x, y}), false, true, false, false},
      {"cubic", pow(x, num(3)), false, false, true, false},
      {"between linear and quadratic", pow(x, flt(1.5)), false, false, false, false},
      {"dynamic linear operand", prod(rn, add({sub(xs, {rn}), num(1)})), false, false, false, true},
      {"dynamic quadratic", add({mul({x, y}), pow(ph("a"), n)}), false, false, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(is_linear(c.e), c.linear);
    EXPECT_EQ(is_quadratic(c.e), c.quadratic);
    EXPECT_EQ(is_higher_order(c.e), c.higher);
    EXPECT_EQ(is_dynamic_degree(c.e), c.dynamic);
  }
}

// ---------------------------------------------------------------------------------------
// Trees a million levels deep. (The rules of replacement are tested at the Python surface.)

Replacer mapping(const Expression& from, const Expression& to) {
  return [from, to](const Expression& n) -> Result<Expression> { return equal(n, from) ? to : n; };
}

TEST(DeepTrees, MillionLevelChainIsWalkedIteratively) {
  constexpr int kLevels = 1'000'000;
  const Expression x = bin("x");
  Expression e = x;
  for (int k = 0; k < kLevels; ++k) e = pow(e, num(1));

  std::size_t nodes = 0;
  walk(e, NodeVisitor{[&](const Expression&) { ++nodes; }, nullptr});
  EXPECT_EQ(nodes, 2u * kLevels + 1);

  EXPECT_EQ(variable_tags(e), (Tags{"x"}));
  EXPECT_TRUE(is_linear(e));

  auto same = replace(e, [](const Expression& n) -> Result<Expression> { return n; });
  ASSERT_TRUE(same.ok());
  EXPECT_EQ(same->identity(), e.identity());

  const Expression y = bin("y");
  auto swapped = replace(e, mapping(x, y));
  ASSERT_TRUE(swapped.ok());
  Expression expected = y;
  for (int k = 0; k < kLevels; ++k) expected = pow(expected, num(1));
  EXPECT_TRUE(equal(*swapped, expected));
}

TEST(DeepTrees, MillionLevelChainOfSumsAndProducts) {
  constexpr int kLevels = 1'000'000;
  Expression e = bin("x");
  for (int k = 0; k < kLevels; ++k) e = k % 2 ? add({e, num(k)}) : mul({num(2), e});
  EXPECT_TRUE(is_linear(e));
  EXPECT_EQ(variable_tags(e), (Tags{"x"}));
  std::size_t nodes = 0;
  walk(cmp(ComparisonKind::Equal, e, num(0)), NodeVisitor{[&](const Expression&) { ++nodes; }, nullptr});
  EXPECT_EQ(nodes, 2u * kLevels + 2);
}

}  // namespace
}  // namespace tarvex::test_util
