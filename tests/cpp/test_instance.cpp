// Instances below Python: jagged arrays and their lengths, polynomials, and the evaluator
// on hand-built trees against values worked out by hand (NaN, empty sets, jagged rows,
// shared subtrees, a million levels).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "instance/instance.hpp"
#include "tree_builders.hpp"

namespace tarvex::test_util {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

JaggedArray jagged(const std::vector<std::vector<double>>& rows) {
  JaggedBuilder b(2);
  b.add_row(0, rows.size());
  for (const auto& r : rows) b.add_row(1, r.size());
  JaggedArray a = std::move(b).finish();
  for (const auto& r : rows) a.values.insert(a.values.end(), r.begin(), r.end());
  return a;
}

TEST(JaggedArray, ShapesAndLengths) {
  const struct {
    const char* label;
    JaggedArray a;
    bool rectangular;
    std::vector<std::uint64_t> shape;
  } cases[] = {
      {"scalar", JaggedArray::scalar(3), true, {}},
      {"rectangular 2x3", JaggedArray::rectangular({2, 3}, std::vector<double>(6, 1.0)), true, {2, 3}},
      {"jagged rows", jagged({{1, 2, 3}, {4}}), false, {}},
      {"no rows", jagged({}), true, {0, 0}},
      {"empty rows alike", jagged({{}, {}}), true, {2, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<std::uint64_t> shape;
    EXPECT_EQ(rectangular_shape(c.a, 0, 0, shape), c.rectangular);
    if (c.rectangular) {
      EXPECT_EQ(shape, c.shape);
    }
  }
  const JaggedArray a = jagged({{1, 2, 3}, {4}});
  EXPECT_EQ(a.length(1, 0), 3u);
  EXPECT_EQ(a.length(1, 1), 1u);
  EXPECT_EQ(a.values[a.child(1, 1, 0)], 4);
}

TEST(Polynomial, NormalizeAndProducts) {
  Env env;
  env.vars = {VarLayout{{2}, 2, 0}};
  PolynomialDomain d(env);
  auto var = [&](std::uint64_t k) { return d.variable(0, k).value(); };
  Polynomial p = var(1);
  ASSERT_TRUE(d.add(p, var(0)));
  ASSERT_TRUE(d.add(p, var(1)));
  Polynomial minus = var(0);
  minus.scale(-1);
  ASSERT_TRUE(d.add(p, std::move(minus)));
  p.normalize();
  ASSERT_EQ(p.linear.size(), 1u);  // x1 + x0 + x1 - x0 = 2 x1
  EXPECT_EQ(p.linear[0].column, 1u);
  EXPECT_EQ(p.linear[0].value, 2.0);
  Polynomial q = var(0);
  ASSERT_TRUE(d.add(q, d.constant(3)));
  ASSERT_TRUE(d.mul(q, std::move(p)));  // (x0 + 3) * 2 x1 = 2 x0 x1 + 6 x1
  q.normalize();
  ASSERT_EQ(q.quadratic.size(), 1u);
  EXPECT_EQ(q.quadratic[0].row, 0u);
  EXPECT_EQ(q.quadratic[0].column, 1u);
  EXPECT_EQ(q.quadratic[0].value, 2.0);
  ASSERT_EQ(q.linear.size(), 1u);
  EXPECT_EQ(q.linear[0].value, 6.0);
  EXPECT_FALSE(d.mul(q, var(0)));
  EXPECT_TRUE(d.refused());
}

// The objective `e` of a problem over x (binary, 3 entries), with data a = [1, 2, 3] and
// jagged w = [[1, 2, 3], [4]], evaluated at x = [1, 0, 1].
double objective_of(const Expression& e) {
  Problem p("p");
  EXPECT_TRUE(p.set_objective(e));
  Result<Program> prog = build_program(p);
  EXPECT_TRUE(prog) << (prog ? "" : prog.error().message);
  std::map<std::string, JaggedArray> data;
  data.emplace("a", JaggedArray::rectangular({3}, {1, 2, 3}));
  data.emplace("w", jagged({{1, 2, 3}, {4}}));
  data.emplace("N", JaggedArray::scalar(3));
  auto inst = Instance::create(p, std::move(prog).value(), std::move(data));
  EXPECT_TRUE(inst) << (inst ? "" : inst.error().message);
  Record r{DenseSolution{{"x", {DenseArray{{3}, {1, 0, 1}}}}}, {1}};
  auto ev = inst.value()->evaluate(r);
  EXPECT_TRUE(ev) << (ev ? "" : ev.error().message);
  return ev ? ev->objective.at(0) : kNaN;
}

TEST(Evaluator, Values) {
  const Expression N = ph("N"), a = ph("a", 1), w = ph("w", 2);
  const Expression x = bin("x", {N});
  const Expression i = elem("i", num(0), N);
  const Expression r = make_expr(Element{"r", w, std::nullopt, std::nullopt});
  const Expression k = make_expr(Element{"k", r, std::nullopt, std::nullopt});
  const Expression odd = elem("o", flt(0.5), flt(3.0));
  const struct {
    const char* label;
    Expression e;
    double expected;
  } cases[] = {
      {"linear sum", sum(i, mul({sub(a, {i}), sub(x, {i})})), 1 + 3},
      {"conditional sum", sum(i, sub(x, {i}), cmp(ComparisonKind::NotEqual, i, num(0))), 1},
      {"empty sum", sum(i, sub(x, {i}), cmp(ComparisonKind::LessThan, i, num(0))), 0},
      {"empty product", reduce(ReductionKind::Prod, i, sub(a, {i}), cmp(ComparisonKind::LessThan, i, num(0))), 1},
      {"jagged rows", sum(r, sum(k, k)), 10},
      {"row lengths", sum(r, make_expr(ArrayLength{r, 0, std::nullopt, std::nullopt})), 4},
      {"float range", sum(odd, odd), 0.5 + 1.5 + 2.5},
      {"modulo takes the divisor's sign", mod(num(-7), num(3)), 2},
      {"negative divisor", mod(num(7), num(-3)), -2},
      {"division", mul({sub(a, {num(0)}), pow(num(3), num(-1))}), 1.0 / 3.0},
      {"square of a sum", pow(add({sub(x, {num(0)}), sub(x, {num(2)})}), num(2)), 4},
      {"log of zero", un(UnaryKind::Ln, num(0)), -HUGE_VAL},
      {"min of nothing", comm(CommutativeKind::Min, {}), HUGE_VAL},
      {"and short-circuits",
       sum(i, num(1),
           logic(LogicalKind::And, {cmp(ComparisonKind::GreaterThan, i, num(0)),
                                    cmp(ComparisonKind::GreaterThan, sub(a, {add({i, num(-1)})}), num(1))})),
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(objective_of(c.e), c.expected);
  }
  EXPECT_TRUE(std::isnan(objective_of(un(UnaryKind::Ln, num(-1)))));
  EXPECT_TRUE(std::isnan(objective_of(comm(CommutativeKind::Max, {num(1), flt(kNaN)}))));
}

TEST(Evaluator, SharedAndDeep) {
  // 2^70 paths, 140 distinct nodes, inside a sum so that the memo is keyed by i.
  const Expression N = ph("N"), a = ph("a", 1), x = bin("x", {N});
  const Expression i = elem("i", num(0), N);
  Expression e = sub(a, {i});
  for (int k = 0; k < 70; ++k) e = add({un(UnaryKind::Abs, e), un(UnaryKind::Abs, e)});
  EXPECT_EQ(objective_of(sum(i, mul({e, sub(x, {i})}))), std::ldexp(1.0 + 3.0, 70));
  // A million nested absolute values: no recursion on the C stack.
  Expression d = sub(a, {num(1)});
  for (int k = 0; k < 1'000'000; ++k) d = un(UnaryKind::Abs, d);
  EXPECT_EQ(objective_of(add({d, sub(x, {num(0)})})), 3);
}

TEST(Evaluator, DataErrors) {
  const Expression N = ph("N"), a = ph("a", 1), w = ph("w", 2), x = bin("x", {N});
  const struct {
    const char* label;
    Expression e;
    ErrorKind kind;
    const char* message;
  } cases[] = {
      {"out of range", mul({sub(a, {num(3)}), sub(x, {num(0)})}), ErrorKind::Index,
       "objective: index 3 is out of range for axis 0 of a (length 3)"},
      {"not an integer", mul({sub(a, {flt(0.5)}), sub(x, {num(0)})}), ErrorKind::Index,
       "objective: index 0.5 of a on axis 0 is not an integer"},
      {"jagged axis length", mul({make_expr(ArrayLength{w, 1, std::nullopt, std::nullopt}), sub(x, {num(0)})}),
       ErrorKind::Value, "objective: the length of w along axis 1 differs from row to row (jagged data)"},
      {"variable in a subscript", sub(x, {sub(x, {num(0)})}), ErrorKind::Value,
       "objective: a subscript depends on the decision variable x: only data is allowed there"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    Problem p("p");
    ASSERT_TRUE(p.set_objective(c.e));
    Result<Program> prog = build_program(p);
    ASSERT_TRUE(prog);
    std::map<std::string, JaggedArray> data;
    data.emplace("a", JaggedArray::rectangular({3}, {1, 2, 3}));
    data.emplace("w", jagged({{1, 2, 3}, {4}}));
    data.emplace("N", JaggedArray::scalar(3));
    auto inst = Instance::create(p, std::move(prog).value(), std::move(data));
    ASSERT_TRUE(inst);
    auto ev = inst.value()->evaluate(Record{DenseSolution{{"x", {DenseArray{{3}, {1, 0, 1}}}}}, {1}});
    ASSERT_FALSE(ev);
    EXPECT_EQ(ev.error().kind, c.kind);
    EXPECT_EQ(ev.error().message, c.message);
  }
}

}  // namespace
}  // namespace tarvex::test_util
