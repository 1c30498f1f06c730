#include "print/printer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tree_builders.hpp"

namespace tarvex::test_util {
namespace {

constexpr PrintMode kText = PrintMode::Text;
constexpr PrintMode kRepr = PrintMode::Repr;
constexpr PrintMode kLatex = PrintMode::Latex;

struct Case {
  PrintMode mode;
  Expression e;
  std::string expected;
};

// Every case goes through the node entry (Python str / repr of the node object).
void check_nodes(const std::vector<Case>& cases) {
  for (std::size_t k = 0; k < cases.size(); ++k) {
    SCOPED_TRACE("case " + std::to_string(k));
    EXPECT_EQ(node_str(cases[k].mode, cases[k].e), cases[k].expected);
  }
}

// Shared operands: scalar binary variables x, y, z; placeholder N; element i in [0, N).
struct PrinterTest : ::testing::Test {
  Expression x = bin("x"), y = bin("y"), z = bin("z");
  Expression N = ph("N");
  Expression i = elem("i", num(0), N), j = elem("j", num(0), N);
  Expression a = ph("a", 1);
  const std::string xr = "BinaryVar(name='x', shape=[])";
  const std::string yr = "BinaryVar(name='y', shape=[])";
};

TEST_F(PrinterTest, NumberLiterals) {
  check_nodes({
      {kText, num(-5), "-5"},
      {kText, flt(3.0), "3"},
      {kRepr, flt(3.0), "NumberLit(value=3)"},
      {kRepr, num(-1), "NumberLit(value=-1)"},
      {kRepr, flt(std::nan("")), "NumberLit(value=NaN)"},
      {kText, flt(-0.0), "-0"},
      {kLatex, num(-2), "(-2)"},
      {kLatex, flt(-0.0), "(-0)"},
      {kLatex, flt(2.5), "2.5"},
  });
}

// The parenthesization table: every child kind under every parent kind, text mode.
TEST_F(PrinterTest, ParenthesizationTable) {
  struct Child {
    const char* name;
    Expression e;
    std::string text;
  };
  const std::vector<Child> children = {
      {"add", add({x, y}), "x + y"},
      {"mul", mul({x, y}), "x * y"},
      {"pow", pow(x, num(2)), "x ** 2"},
      {"mod", mod(N, num(3)), "N % 3"},
      {"min", comm(CommutativeKind::Min, {x, y}), "min(x, y)"},
      {"abs", un(UnaryKind::Abs, N), "|N|"},
      {"sum", sum(i, sub(a, {i})), "sum(i in [0..N), a[i])"},
      {"leaf", N, "N"},
  };
  struct Parent {
    const char* name;
    Expression (*wrap)(const Expression& c, const Expression& z, const Expression& i);
    std::string before, after;
  };
  const std::vector<Parent> parents = {
      {"pow base", [](auto& c, auto&, auto&) { return pow(c, num(2)); }, "", " ** 2"},
      {"pow exponent", [](auto& c, auto&, auto&) { return pow(num(2), c); }, "2 ** ", ""},
      {"mod", [](auto& c, auto&, auto&) { return mod(c, num(2)); }, "", " % 2"},
      {"mul", [](auto& c, auto& z, auto&) { return mul({c, z}); }, "", " * z"},
      {"add", [](auto& c, auto& z, auto&) { return add({c, z}); }, "", " + z"},
      {"sum", [](auto& c, auto&, auto& i) { return sum(i, c); }, "sum(i in [0..N), ", ")"},
      {"max", [](auto& c, auto& z, auto&) { return comm(CommutativeKind::Max, {c, z}); }, "max(", ", z)"},
      {"abs", [](auto& c, auto&, auto&) { return un(UnaryKind::Abs, c); }, "|", "|"},
      {"ln", [](auto& c, auto&, auto&) { return un(UnaryKind::Ln, c); }, "ln(", ")"},
  };
  // Rows: children in the order above; columns: parents in the order above.
  const bool wrapped[][9] = {
      //     pow  pow^  mod    mul    add    sum    max    abs    ln
      /*add*/ {1, 1, 1, 1, 0, 1, 0, 0, 0},
      /*mul*/ {1, 1, 1, 0, 0, 0, 0, 0, 0},
      /*pow*/ {1, 1, 0, 0, 0, 1, 0, 0, 0},
      /*mod*/ {1, 1, 1, 1, 0, 1, 0, 0, 0},
      /*min*/ {0, 0, 0, 0, 0, 0, 0, 0, 0},
      /*abs*/ {0, 0, 0, 0, 0, 0, 0, 0, 0},
      /*sum*/ {1, 1, 0, 0, 0, 0, 0, 0, 0},
      /*leaf*/ {0, 0, 0, 0, 0, 0, 0, 0, 0},
  };
  for (std::size_t r = 0; r < children.size(); ++r) {
    for (std::size_t c = 0; c < parents.size(); ++c) {
      const Child& ch = children[r];
      const Parent& p = parents[c];
      SCOPED_TRACE(std::string(ch.name) + " under " + p.name);
      const std::string inner = wrapped[r][c] ? "(" + ch.text + ")" : ch.text;
      EXPECT_EQ(node_str(kText, p.wrap(ch.e, z, i)), p.before + inner + p.after);
    }
  }
}

TEST_F(PrinterTest, LatexParenthesesAndOperators) {
  const Expression s = add({x, y});
  check_nodes({
      {kLatex, un(UnaryKind::Ln, s), "\\ln \\left(x + y\\right)"},
      {kLatex, un(UnaryKind::Log10, mul({x, y})), "\\log_{10} \\left(x \\cdot y\\right)"},
      {kLatex, un(UnaryKind::Log2, pow(x, num(2))), "\\log_{2} \\left(x^{2}\\right)"},
      {kLatex, un(UnaryKind::Ln, sum(i, sub(a, {i}))), "\\ln \\left(\\sum_{i = 0}^{N - 1} a_{i}\\right)"},
      {kLatex, un(UnaryKind::Ln, un(UnaryKind::Abs, s)), "\\ln \\left| x + y \\right|"},
      {kLatex, un(UnaryKind::Abs, s), "\\left| x + y \\right|"},
      {kLatex, pow(s, num(2)), "\\left(x + y\\right)^{2}"},
      {kLatex, pow(x, s), "x^{x + y}"},
      {kLatex, pow(pow(x, num(2)), num(3)), "\\left(x^{2}\\right)^{3}"},
      {kLatex, mod(s, num(3)), "\\left(x + y\\right) \\bmod 3"},
      {kLatex, comm(CommutativeKind::Min, {s, z}), "\\min\\left(x + y, z\\right)"},
      {kRepr, pow(s, num(2)), "(" + xr + " + " + yr + ") ** NumberLit(value=2)"},
      {kText, pow(x, add({N, num(1)})), "x ** (N + 1)"},
      {kText, pow(pow(x, num(2)), num(3)), "(x ** 2) ** 3"},
  });
}

TEST_F(PrinterTest, GenericEntryWrapsRootPowerAndModulo) {
  const struct {
    PrintMode mode;
    Expression e;
    std::string node, generic;
  } cases[] = {
      {kText, pow(x, num(2)), "x ** 2", "(x ** 2)"},
      {kText, mod(N, num(2)), "N % 2", "(N % 2)"},
      {kText, add({x, y}), "x + y", "x + y"},
      {kText, mul({x, y}), "x * y", "x * y"},
      {kText, sum(i, sub(a, {i})), "sum(i in [0..N), a[i])", "sum(i in [0..N), a[i])"},
      {kLatex, pow(x, num(2)), "x^{2}", "\\left(x^{2}\\right)"},
      {kRepr, mod(N, num(2)), "Placeholder(name='N', ndim=0) % NumberLit(value=2)",
       "(Placeholder(name='N', ndim=0) % NumberLit(value=2))"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.node);
    EXPECT_EQ(node_str(c.mode, c.e), c.node);
    EXPECT_EQ(expr_str(c.mode, c.e), c.generic);
  }
  // A penalty of the form (sum - 1) ** 2 as it is embedded in larger texts.
  const Expression x1 = bin("x", {N});
  const Expression penalty = pow(add({sum(i, sub(x1, {i})), num(-1)}), num(2));
  EXPECT_EQ(expr_str(kText, penalty), "((sum(i in [0..N), x[i]) - 1) ** 2)");
}

TEST_F(PrinterTest, SignsInSumsAndProducts) {
  const Expression neg_x = mul({num(-1), x});
  const Expression neg_y = mul({num(-1), y});
  check_nodes({
      {kText, neg_x, "- x"},
      {kLatex, neg_x, "- x"},
      {kRepr, neg_x, "- " + xr},
      {kText, mul({num(-1), x, y}), "- x * y"},
      {kText, mul({flt(-1.0), x}), "- x"},
      {kText, mul({num(-2), x}), "-2 * x"},
      {kText, add({x, num(-1)}), "x - 1"},
      {kRepr, add({x, num(-1)}), xr + " + NumberLit(value=-1)"},
      {kText, add({x, num(-2)}), "x - 2"},
      {kLatex, add({x, num(-2)}), "x - 2"},
      {kText, add({x, flt(-0.0)}), "x - 0"},
      {kText, add({x, flt(-2.5)}), "x - 2.5"},
      {kText, add({mul({num(2), x}), mul({num(-3), y})}), "2 * x - 3 * y"},
      {kLatex, add({mul({num(2), x}), mul({num(-3), y})}), "2 \\cdot x - 3 \\cdot y"},
      {kText, add({x, mul({flt(-2.5), y})}), "x - 2.5 * y"},
      {kText, add({neg_x, y}), "- x + y"},
      {kText, add({x, neg_y}), "x - y"},
      {kText, add({x, neg_y, z}), "x - y + z"},
      {kText, add({num(-1), x}), "- 1 + x"},
      {kRepr, add({x, neg_y}), xr + " - " + yr},
      {kRepr, add({neg_x, y}), "- " + xr + " + " + yr},
      {kRepr, add({x, mul({num(-3), y})}), xr + " + NumberLit(value=-3) * " + yr},
      // The remaining factors are written under the product: a sum among them is wrapped.
      {kText, add({x, mul({num(-3), add({y, z})})}), "x - 3 * (y + z)"},
      {kText, add({x, mul({num(-1), add({y, z})})}), "x - (y + z)"},
      {kText, mul({num(-1), add({y, z})}), "- (y + z)"},
      {kText, pow(neg_x, num(2)), "(- x) ** 2"},
      // A negative NaN has no minus sign of its own to detach.
      {kText, add({x, flt(-std::nan(""))}), "x + NaN"},
      {kText, add({x, mul({flt(-std::nan("")), y})}), "x + NaN * y"},
      {kLatex, flt(-std::nan("")), "NaN"},
  });
}

TEST_F(PrinterTest, LeavesInReprMode) {
  const Expression lb_ph = ph("l", 1);
  const Expression ub_sub = sub(ph("u", 1), {num(0)});
  check_nodes({
      {kRepr, ph("a", 2), "Placeholder(name='a', ndim=2)"},
      {kRepr, ph("a", 0, "\\alpha", "data"), "Placeholder(name='a', ndim=0, latex='\\alpha', description='data')"},
      {kRepr, ph("a", 0, std::nullopt, "it's"), "Placeholder(name='a', ndim=0, description='it's')"},
      {kRepr, bin("x", {num(124)}), "BinaryVar(name='x', shape=[NumberLit(value=124)])"},
      {kRepr, var(VarKind::SemiInteger, "x", {num(124)}, bexpr(num(0)), bexpr(num(2))),
       "SemiIntegerVar(name='x', shape=[NumberLit(value=124)], lower_bound=NumberLit(value=0), "
       "upper_bound=NumberLit(value=2))"},
      {kRepr, var(VarKind::Continuous, "c", {}, bexpr(flt(-1.5)), bexpr(add({N, num(1)}))),
       "ContinuousVar(name='c', shape=[], lower_bound=NumberLit(value=-1.5), "
       "upper_bound=Placeholder(name='N', ndim=0) + NumberLit(value=1))"},
      {kRepr, var(VarKind::Integer, "n", {N, num(2)}, Bound{BoundKind::Placeholder, lb_ph},
                  Bound{BoundKind::Subscript, ub_sub}),
       "IntegerVar(name='n', shape=[Placeholder(name='N', ndim=0), NumberLit(value=2)], "
       "lower_bound=Placeholder(name='l', ndim=1), "
       "upper_bound=Placeholder(name='u', ndim=1)[NumberLit(value=0)])"},
      {kRepr, var(VarKind::SemiContinuous, "s", {}, bexpr(num(0)), bexpr(num(5)), "S", "d"),
       "SemiContinuousVar(name='s', shape=[], lower_bound=NumberLit(value=0), "
       "upper_bound=NumberLit(value=5), latex='S', description='d')"},
      {kRepr, var(VarKind::Binary, "b", {}, bexpr(num(0)), bexpr(num(1)), "B"),
       "BinaryVar(name='b', shape=[], latex='B')"},
      {kRepr, i, "Element(name='i', belong_to=(NumberLit(value=0), Placeholder(name='N', ndim=0)))"},
      {kRepr, elem_of("e", ph("E", 1)), "Element(name='e', belong_to=Placeholder(name='E', ndim=1))"},
      {kRepr, elem_of("f", elem_of("e", ph("E", 2))),
       "Element(name='f', belong_to=Element(name='e', belong_to=Placeholder(name='E', ndim=2)))"},
      {kRepr, elem("k", num(1), add({N, num(1)}), "\\kappa"),
       "Element(name='k', belong_to=(NumberLit(value=1), Placeholder(name='N', ndim=0) + "
       "NumberLit(value=1)), latex='\\kappa')"},
      {kText, var(VarKind::Integer, "n", {}), "n"},
      {kLatex, var(VarKind::Integer, "n", {}), "n"},
      {kText, elem("k", num(0), N, "\\kappa"), "k"},
      {kLatex, elem("k", num(0), N, "\\kappa"), "\\kappa"},
  });
}

TEST_F(PrinterTest, SubscriptsAndArrayLengths) {
  const Expression a2 = ph("a", 2);
  const Expression x_arr = bin("x", {num(124)});
  const Expression x_latex = var(VarKind::Binary, "x", {N}, bexpr(num(0)), bexpr(num(1)), "\\mathbf{x}");
  const Expression iota = elem("i", num(0), N, "\\iota");
  const Expression len = make_expr(ArrayLength{a, 0, std::nullopt, std::nullopt});
  const Expression len_d = make_expr(ArrayLength{a2, 1, std::nullopt, "rows"});
  const Expression len_latex = make_expr(ArrayLength{ph("a", 1, "A"), 0, std::nullopt, std::nullopt});
  check_nodes({
      {kText, sub(a2, {i, j}), "a[i, j]"},
      {kLatex, sub(a2, {i, j}), "a_{i, j}"},
      {kRepr, sub(x_arr, {num(123)}), "BinaryVar(name='x', shape=[NumberLit(value=124)])[NumberLit(value=123)]"},
      {kText, sub(sub(a2, {i}), {j}), "a[i][j]"},
      {kText, sub(a, {add({i, num(1)})}), "a[i + 1]"},
      {kLatex, sub(a, {add({i, num(1)})}), "a_{i + 1}"},
      // The array part is written by name; an index keeps its own LaTeX.
      {kLatex, sub(x_latex, {iota}), "x_{\\iota}"},
      {kText, len, "len(a, 0)"},
      {kRepr, len, "ArrayLength(array=Placeholder(name='a', ndim=1), axis=0)"},
      {kLatex, len, "\\mathrm{len}\\left(a, 0\\right)"},
      {kRepr, len_d, "ArrayLength(array=Placeholder(name='a', ndim=2), axis=1, description='rows')"},
      {kLatex, len_latex, "\\mathrm{len}\\left(a, 0\\right)"},
      {kText, make_expr(ArrayLength{sub(a2, {i}), 0, std::nullopt, std::nullopt}), "len(a[i], 0)"},
  });
}

TEST_F(PrinterTest, UnaryOperatorsInEveryMode) {
  const std::string nr = "Placeholder(name='N', ndim=0)";
  const struct {
    UnaryKind kind;
    std::string text, repr, latex;
  } cases[] = {
      {UnaryKind::Abs, "|N|", "abs(" + nr + ")", "\\left| N \\right|"},
      {UnaryKind::Ceil, "ceil(N)", "ceil(" + nr + ")", "\\left\\lceil N \\right\\rceil"},
      {UnaryKind::Floor, "floor(N)", "floor(" + nr + ")", "\\left\\lfloor N \\right\\rfloor"},
      {UnaryKind::Ln, "ln(N)", "ln(" + nr + ")", "\\ln N"},
      {UnaryKind::Log10, "log10(N)", "log10(" + nr + ")", "\\log_{10} N"},
      {UnaryKind::Log2, "log2(N)", "log2(" + nr + ")", "\\log_{2} N"},
  };
  for (const auto& c : cases) {
    const Expression e = un(c.kind, N);
    EXPECT_EQ(node_str(kText, e), c.text);
    EXPECT_EQ(node_str(kRepr, e), c.repr);
    EXPECT_EQ(node_str(kLatex, e), c.latex);
  }
  // In text and repr mode a unary parent never wraps its operand.
  EXPECT_EQ(node_str(kText, un(UnaryKind::Ln, pow(N, num(2)))), "ln(N ** 2)");
  EXPECT_EQ(node_str(kRepr, un(UnaryKind::Abs, add({N, num(1)}))), "abs(" + nr + " + NumberLit(value=1))");
}

TEST_F(PrinterTest, MinAndMax) {
  check_nodes({
      {kText, comm(CommutativeKind::Min, {x, y, num(1)}), "min(x, y, 1)"},
      {kText, comm(CommutativeKind::Max, {add({x, num(1)}), mul({num(-1), y})}), "max(x + 1, - y)"},
      {kRepr, comm(CommutativeKind::Max, {x, y}), "max(" + xr + ", " + yr + ")"},
      {kLatex, comm(CommutativeKind::Max, {x, num(-1)}), "\\max\\left(x, (-1)\\right)"},
  });
}

TEST_F(PrinterTest, Reductions) {
  const Expression x1 = bin("x", {N});
  const Expression x2 = bin("x", {N, N});
  const Expression E = ph("E", 1), S = ph("S", 2);
  const Expression e = elem_of("e", E);
  const Expression k = elem_of("k", sub(S, {i}));
  const Condition i_ne_j = cmp(ComparisonKind::NotEqual, i, j);
  const std::string ir = "Element(name='i', belong_to=(NumberLit(value=0), Placeholder(name='N', ndim=0)))";
  const std::string jr = "Element(name='j', belong_to=(NumberLit(value=0), Placeholder(name='N', ndim=0)))";
  const std::string x1r = "BinaryVar(name='x', shape=[Placeholder(name='N', ndim=0)])";
  check_nodes({
      {kText, sum(i, sub(x1, {i})), "sum(i in [0..N), x[i])"},
      {kText, reduce(ReductionKind::Prod, i, sub(x1, {i})), "prod(i in [0..N), x[i])"},
      {kText, sum(i, sub(x2, {i, j}), i_ne_j), "sum(i in [0..N) s.t. i != j, x[i, j])"},
      {kText, sum(e, sub(a, {e})), "sum(e in E, a[e])"},
      {kText, sum(k, sub(a, {k})), "sum(k in S[i], a[k])"},
      {kText, sum(elem_of("f", elem_of("e", S)), N), "sum(f in e, N)"},
      // Range bounds are embedded through the generic entry.
      {kText, sum(elem("i", num(1), add({N, num(1)})), N), "sum(i in [1..N + 1), N)"},
      {kText, sum(elem("i", num(0), pow(N, num(2))), N), "sum(i in [0..(N ** 2)), N)"},
      // The reduction is the parent of its operand and of the sides of its condition.
      {kText, sum(i, add({sub(x1, {i}), num(1)})), "sum(i in [0..N), (x[i] + 1))"},
      {kText, sum(i, sub(x1, {i}), cmp(ComparisonKind::NotEqual, add({i, num(1)}), j)),
       "sum(i in [0..N) s.t. (i + 1) != j, x[i])"},
      {kRepr, sum(i, sub(x1, {i})), "sum(" + ir + ", " + x1r + "[" + ir + "])"},
      {kRepr, reduce(ReductionKind::Prod, i, N, i_ne_j),
       "prod(" + ir + ", " + ir + " != " + jr + ", Placeholder(name='N', ndim=0))"},
      {kLatex, sum(i, sub(x1, {i})), "\\sum_{i = 0}^{N - 1} x_{i}"},
      // The upper bound is the end minus one, folded by the subtraction rule.
      {kLatex, sum(elem("i", num(0), add({N, num(2)})), N), "\\sum_{i = 0}^{N + 1} N"},
      {kLatex, sum(elem("i", num(0), add({N, num(1)})), N), "\\sum_{i = 0}^{N} N"},
      {kLatex, sum(elem("i", num(0), num(10)), N), "\\sum_{i = 0}^{9} N"},
      {kLatex, sum(i, sub(x2, {i, j}), i_ne_j), "\\sum_{\\substack{i = 0\\\\i \\neq j}}^{N - 1} x_{i, j}"},
      {kLatex, reduce(ReductionKind::Prod, e, sub(a, {e})), "\\prod_{e \\in E} a_{e}"},
      {kLatex, reduce(ReductionKind::Prod, e, sub(a, {e}), i_ne_j),
       "\\prod_{\\substack{e \\in E\\\\i \\neq j}} a_{e}"},
      {kLatex, sum(elem("i", num(0), num(10)), N), "\\sum_{i = 0}^{9} N"},
      {kLatex, sum(elem("i", num(0), N, "\\iota"), N), "\\sum_{\\iota = 0}^{N - 1} N"},
  });
}

TEST_F(PrinterTest, ComparisonsAndLogicalOperators) {
  const std::string nr = "Placeholder(name='N', ndim=0)";
  const struct {
    ComparisonKind kind;
    const char *text, *latex;
  } ops[] = {
      {ComparisonKind::Equal, " == ", " = "},        {ComparisonKind::NotEqual, " != ", " \\neq "},
      {ComparisonKind::LessThan, " < ", " < "},      {ComparisonKind::LessThanEqual, " <= ", " \\leq "},
      {ComparisonKind::GreaterThan, " > ", " > "},   {ComparisonKind::GreaterThanEqual, " >= ", " \\geq "},
  };
  for (const auto& op : ops) {
    const Condition c = cmp(op.kind, N, num(1));
    EXPECT_EQ(cond_str(kText, c), std::string("N") + op.text + "1");
    EXPECT_EQ(cond_str(kRepr, c), nr + op.text + "NumberLit(value=1)");
    EXPECT_EQ(cond_str(kLatex, c), std::string("N") + op.latex + "1");
  }
  // A comparison never wraps its sides.
  EXPECT_EQ(cond_str(kText, cmp(ComparisonKind::Equal, mod(N, num(2)), pow(N, num(2)))), "N % 2 == N ** 2");

  const Condition c1 = cmp(ComparisonKind::Equal, ph("a"), num(1));
  const Condition c2 = cmp(ComparisonKind::Equal, ph("b"), num(2));
  const Condition c3 = cmp(ComparisonKind::Equal, ph("c"), num(3));
  const Condition tree = logic(LogicalKind::And, {logic(LogicalKind::Or, {c1, c2}), c3});
  EXPECT_EQ(cond_str(kText, tree), "a == 1 or b == 2 and c == 3");
  EXPECT_EQ(cond_str(kLatex, tree), "a = 1 \\lor b = 2 \\land c = 3");
  EXPECT_EQ(cond_str(kRepr, tree),
            "Placeholder(name='a', ndim=0) == NumberLit(value=1) | Placeholder(name='b', ndim=0) == "
            "NumberLit(value=2) & Placeholder(name='c', ndim=0) == NumberLit(value=3)");
  const Condition x3 = logic(LogicalKind::Xor, {c1, logic(LogicalKind::And, {c2, c3})});
  EXPECT_EQ(cond_str(kText, x3), "a == 1 xor b == 2 and c == 3");
  EXPECT_EQ(cond_str(kLatex, x3), "a = 1 \\oplus b = 2 \\land c = 3");
  EXPECT_EQ(cond_str(kRepr, logic(LogicalKind::Xor, {c1, c2})),
            "Placeholder(name='a', ndim=0) == NumberLit(value=1) ^ Placeholder(name='b', ndim=0) == "
            "NumberLit(value=2)");
}

TEST_F(PrinterTest, CustomLatexIsWrittenVerbatimWithoutParentheses) {
  const Expression s = add({x, y});
  const Expression s_named = with_latex(s, "S");
  check_nodes({
      {kLatex, pow(s_named, num(2)), "S^{2}"},
      {kLatex, pow(with_latex(s_named, std::nullopt), num(2)), "\\left(x + y\\right)^{2}"},
      {kText, pow(s_named, num(2)), "(x + y) ** 2"},
      {kRepr, mul({x, with_latex(y, "Y")}), xr + " * BinaryVar(name='y', shape=[], latex='Y')"},
      // A negative product with its own string is not split into sign and factors.
      {kLatex, add({x, with_latex(mul({num(-3), y}), "T")}), "x + T"},
      {kLatex, un(UnaryKind::Ln, with_latex(s, "\\sigma")), "\\ln \\sigma"},
      {kLatex, sub(a, {with_latex(add({i, num(1)}), "i'")}), "a_{i'}"},
  });
  // The generic entry honours the root's string; the node entry leaves it to the caller.
  EXPECT_EQ(expr_str(kLatex, with_latex(pow(x, num(2)), "P")), "P");
  EXPECT_EQ(node_str(kLatex, with_latex(pow(x, num(2)), "P")), "x^{2}");
  // Number literals carry no string.
  EXPECT_EQ(expr_str(kLatex, with_latex(num(-2), "m")), "(-2)");
}

}  // namespace
}  // namespace tarvex::test_util
