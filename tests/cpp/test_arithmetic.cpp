// The arithmetic builders: literal folding, flattening and term order of sums and
// products, powers, remainders, unary functions, min/max, and their error values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "model/expression/expression.hpp"
#include "model/expression/operator/arithmetic.hpp"
#include "model/expression/operator/fold.hpp"
#include "print/number_format.hpp"
#include "replace/equality.hpp"

namespace tarvex {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

// ---------------------------------------------------------------------------------------
// Builders. Nothing here is static: trees are built inside each case.

Expression I(std::int64_t v) { return make_int(v); }
Expression F(double v) { return make_float(v); }

Expression ph(const std::string& name, OptString latex = std::nullopt, OptString description = std::nullopt) {
  return make_expr(Placeholder{name, 0, std::move(latex), std::move(description)});
}

Expression dvar(VarKind kind, const std::string& name, std::vector<Expression> shape = {}) {
  return make_expr(DecisionVar{kind, name, std::move(shape), Bound{BoundKind::Expression, I(0)},
                               Bound{BoundKind::Expression, I(1)}, std::nullopt, std::nullopt});
}

// x, y: binary variables; z: a continuous one; xs[i]: a subscripted variable.
Expression x() { return dvar(VarKind::Binary, "x"); }
Expression y() { return dvar(VarKind::Binary, "y"); }
Expression z() { return dvar(VarKind::Continuous, "z"); }
Expression xs_i() {
  Expression n = ph("n");
  Expression i = make_expr(Element{"i", Range{I(0), n}, std::nullopt, std::nullopt});
  return make_expr(Subscript{dvar(VarKind::Integer, "xs", {n}), {i}, std::nullopt});
}
Expression a() { return ph("a"); }
Expression b() { return ph("b"); }
Expression c() { return ph("c"); }
Expression d() { return ph("d"); }

Expression value_or_fail(Result<Expression> r) {
  if (!r) {
    ADD_FAILURE() << "unexpected error: " << r.error().message;
    return Expression();
  }
  return std::move(r).value();
}

Expression operator+(const Expression& l, const Expression& r) { return value_or_fail(add(l, r)); }
Expression operator-(const Expression& l, const Expression& r) { return value_or_fail(subtract(l, r)); }
Expression operator*(const Expression& l, const Expression& r) { return value_or_fail(multiply(l, r)); }
Expression operator/(const Expression& l, const Expression& r) { return value_or_fail(divide(l, r)); }
Expression operator-(const Expression& e) { return negate(e); }
Expression pw(const Expression& l, const Expression& r) { return value_or_fail(power(l, r)); }
Expression latex(const Expression& e, const char* s) { return with_latex(e, s); }
Expression fn(UnaryKind k, const Expression& e) { return value_or_fail(unary(k, e)); }
Expression mn(std::vector<Expression> t) {
  return value_or_fail(min_max(CommutativeKind::Min, std::move(t)));
}
Expression mx(std::vector<Expression> t) {
  return value_or_fail(min_max(CommutativeKind::Max, std::move(t)));
}

// A compact structural form: integer literals in decimal, float literals with a trailing
// "f", operators as Kind(children...), custom LaTeX as a "{...}" suffix.
std::string shape(const Expression& e) {
  if (!e) return "<none>";
  std::string s;
  auto list = [&](const char* head, const std::vector<const Expression*>& kids) {
    s += head;
    s += '(';
    for (std::size_t k = 0; k < kids.size(); ++k) {
      if (k) s += ", ";
      s += shape(*kids[k]);
    }
    s += ')';
  };
  switch (e.kind()) {
    case ExprKind::Number: {
      const NumberLit& n = e.as<NumberLit>();
      s = n.is_integer() ? format_int(n.int_value()) : format_double(n.float_value()) + "f";
      break;
    }
    case ExprKind::Placeholder: s = e.as<Placeholder>().name; break;
    case ExprKind::DecisionVar: s = e.as<DecisionVar>().name; break;
    case ExprKind::Subscript: s = shape(e.as<Subscript>().variable) + "[]"; break;
    case ExprKind::Unary: {
      static const char* names[] = {"Abs", "Ceil", "Floor", "Ln", "Log10", "Log2"};
      const UnaryOp& u = e.as<UnaryOp>();
      list(names[int(u.kind)], {&u.operand});
      break;
    }
    case ExprKind::Binary: {
      const BinaryOp& o = e.as<BinaryOp>();
      list(o.kind == BinaryKind::Pow ? "Pow" : "Mod", {&o.left, &o.right});
      break;
    }
    case ExprKind::Commutative: {
      static const char* names[] = {"Add", "Mul", "Min", "Max"};
      const CommutativeOp& o = e.as<CommutativeOp>();
      std::vector<const Expression*> kids;
      for (std::size_t k = 0; k < o.terms.size(); ++k) kids.push_back(&o.terms[k]);
      list(names[int(o.kind)], kids);
      break;
    }
    default: s = "?"; break;
  }
  if (e.latex()) s += "{" + *e.latex() + "}";
  return s;
}

std::string shape(const Result<Expression>& r) {
  return r ? shape(r.value()) : "<error: " + r.error().message + ">";
}

// ---------------------------------------------------------------------------------------
// Literal folding.

enum class FoldOp { Add, Sub, Mul, Neg };

struct FoldCase {
  const char* name;
  FoldOp op;
  NumberLit lhs;
  NumberLit rhs;  // unused by Neg
  NumberLit expected;
};

class Folding : public ::testing::TestWithParam<FoldCase> {};

TEST_P(Folding, TypeAndValue) {
  const FoldCase& t = GetParam();
  NumberLit got;
  switch (t.op) {
    case FoldOp::Add: got = fold_add(t.lhs, t.rhs); break;
    case FoldOp::Sub: got = fold_sub(t.lhs, t.rhs); break;
    case FoldOp::Mul: got = fold_mul(t.lhs, t.rhs); break;
    case FoldOp::Neg: got = fold_neg(t.lhs); break;
  }
  ASSERT_EQ(got.is_integer(), t.expected.is_integer());
  if (got.is_integer()) {
    EXPECT_EQ(got.int_value(), t.expected.int_value());
  } else {
    // Bit for bit, so that the sign of a zero counts.
    const double g = got.float_value(), w = t.expected.float_value();
    EXPECT_EQ(std::memcmp(&g, &w, sizeof g), 0) << format_double(g) << " vs " << format_double(w);
  }
}

constexpr double kTwo63 = 9223372036854775808.0;

INSTANTIATE_TEST_SUITE_P(
    Literals, Folding,
    ::testing::Values(
        FoldCase{"AddInts", FoldOp::Add, {2}, {3}, {5}},
        FoldCase{"AddIntFloat", FoldOp::Add, {1}, {0.5}, {1.5}},
        FoldCase{"AddMaxPlusOneOverflowsToFloat", FoldOp::Add, {kMax}, {1}, {kTwo63}},
        FoldCase{"AddMinPlusMinOverflowsToFloat", FoldOp::Add, {kMin}, {kMin}, {-2 * kTwo63}},
        FoldCase{"AddAtTheEdgeStaysInt", FoldOp::Add, {kMax - 1}, {1}, {kMax}},
        FoldCase{"SubIsLeftMinusRight", FoldOp::Sub, {5}, {7}, {-2}},
        FoldCase{"SubFloatInt", FoldOp::Sub, {2.5}, {1}, {1.5}},
        FoldCase{"SubMinMinusOneOverflowsToFloat", FoldOp::Sub, {kMin}, {1}, {-kTwo63 - 1.0}},
        FoldCase{"SubZeroMinusMinOverflowsToFloat", FoldOp::Sub, {0}, {kMin}, {kTwo63}},
        FoldCase{"MulInts", FoldOp::Mul, {3}, {-4}, {-12}},
        FoldCase{"MulIntFloat", FoldOp::Mul, {2}, {0.25}, {0.5}},
        FoldCase{"MulOverflowsToFloat", FoldOp::Mul, {kMax}, {2}, {2.0 * 9223372036854775807.0}},
        FoldCase{"MulMinTimesMinusOneOverflows", FoldOp::Mul, {kMin}, {-1}, {kTwo63}},
        FoldCase{"MulMinTimesOneStaysInt", FoldOp::Mul, {kMin}, {1}, {kMin}},
        FoldCase{"MulBigPositiveStaysInt", FoldOp::Mul, {std::int64_t{3037000499}},
                 {std::int64_t{3037000499}}, {std::int64_t{9223372030926249001}}},
        FoldCase{"NegInt", FoldOp::Neg, {5}, {0}, {-5}},
        FoldCase{"NegIntZeroStaysInt", FoldOp::Neg, {0}, {0}, {0}},
        FoldCase{"NegMaxIsMinPlusOne", FoldOp::Neg, {kMax}, {0}, {kMin + 1}},
        FoldCase{"NegMinGivesFloat", FoldOp::Neg, {kMin}, {0}, {kTwo63}},
        FoldCase{"NegFloatZeroFlipsSign", FoldOp::Neg, {0.0}, {0}, {-0.0}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// Shapes of results.

struct ShapeCase {
  const char* name;
  std::function<Expression()> build;
  const char* expected;
};

class ArithmeticShape : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(ArithmeticShape, BuildsExpectedTree) { EXPECT_EQ(shape(GetParam().build()), GetParam().expected); }

std::string case_name(const ::testing::TestParamInfo<ShapeCase>& info) { return info.param.name; }

// S = a + b and M = x * y, each with custom LaTeX.
Expression S() { return latex(a() + b(), "S"); }
Expression M() { return latex(x() * y(), "M"); }

INSTANTIATE_TEST_SUITE_P(
    Add, ArithmeticShape,
    ::testing::Values(
        ShapeCase{"Literals", [] { return I(2) + I(3); }, "5"},
        ShapeCase{"ZeroOnTheRight", [] { return x() + I(0); }, "x"},
        ShapeCase{"ZeroOnTheLeft", [] { return I(0) + x(); }, "x"},
        ShapeCase{"NegativeFloatZero", [] { return F(-0.0) + a(); }, "a"},
        ShapeCase{"LiteralGoesLast", [] { return I(2) + x(); }, "Add(x, 2)"},
        ShapeCase{"LiteralOnTheRight", [] { return x() + I(2); }, "Add(x, 2)"},
        ShapeCase{"TwoLeaves", [] { return a() + b(); }, "Add(a, b)"},
        ShapeCase{"AppendsToLeftSum", [] { return (a() + b()) + c(); }, "Add(a, b, c)"},
        ShapeCase{"AppendsToRightSum", [] { return a() + (b() + c()); }, "Add(b, c, a)"},
        ShapeCase{"InsertsBeforeConstant", [] { return (a() + I(1)) + b(); }, "Add(a, b, 1)"},
        ShapeCase{"InsertsBeforeConstantOfRightSum", [] { return a() + (b() + I(1)); }, "Add(b, a, 1)"},
        ShapeCase{"ProductIsATermNotAConstant", [] { return (a() + I(3) * x()) + y(); },
                  "Add(a, Mul(3, x), y)"},
        ShapeCase{"ConstantFolds", [] { return (a() + I(2)) + F(0.5); }, "Add(a, 2.5f)"},
        ShapeCase{"ConstantFromTheLeft", [] { return I(3) + (x() + I(2)); }, "Add(x, 5)"},
        ShapeCase{"ConstantAppended", [] { return I(1) + (a() + b()); }, "Add(a, b, 1)"},
        ShapeCase{"ConstantCancelsToSingleTerm", [] { return (x() + I(1)) + I(-1); }, "x"},
        ShapeCase{"ConstantCancelsFromTheLeft", [] { return I(-2) + (x() + I(2)); }, "x"},
        ShapeCase{"ConstantOverflowsToFloat", [] { return (a() + I(kMax)) + I(1); },
                  "Add(a, 9223372036854776000f)"},
        ShapeCase{"MergeKeepsOrderAndFoldsConstants", [] { return (x() + I(1)) + (y() + I(2)); },
                  "Add(x, y, 3)"},
        ShapeCase{"MergeConstantCancels", [] { return (x() + I(1)) + (y() + I(-1)); }, "Add(x, y)"},
        ShapeCase{"MergeWithoutConstants", [] { return (a() + b()) + (c() + d()); }, "Add(a, b, c, d)"},
        ShapeCase{"MergeLeftConstantOnly", [] { return (a() + I(1)) + (b() + c()); }, "Add(a, b, c, 1)"},
        ShapeCase{"MergeRightConstantOnly", [] { return (a() + b()) + (c() + F(2.0)); },
                  "Add(a, b, c, 2f)"},
        ShapeCase{"OtherCommutativeKindsAreTerms", [] { return (a() * b()) + (c() + d()); },
                  "Add(c, d, Mul(a, b))"},
        ShapeCase{"LatexSumIsNotFlattened", [] { return S() + c(); }, "Add(Add(a, b){S}, c)"},
        ShapeCase{"LatexSumOnTheRight", [] { return c() + S(); }, "Add(c, Add(a, b){S})"},
        ShapeCase{"LatexSumJoinsOpenSum", [] { return (c() + d()) + S(); }, "Add(c, d, Add(a, b){S})"},
        ShapeCase{"LatexSumJoinsOpenSumOnTheRight", [] { return S() + (c() + d()); },
                  "Add(c, d, Add(a, b){S})"},
        ShapeCase{"LatexSumGoesBeforeConstant", [] { return (c() + I(1)) + S(); },
                  "Add(c, Add(a, b){S}, 1)"},
        ShapeCase{"LiteralWithLatexSum", [] { return I(2) + S(); }, "Add(Add(a, b){S}, 2)"},
        ShapeCase{"TwoLatexSums", [] { return S() + latex(c() + d(), "T"); },
                  "Add(Add(a, b){S}, Add(c, d){T})"},
        ShapeCase{"LatexLeafIsATerm", [] { return (a() + b()) + ph("p", "P"); }, "Add(a, b, p{P})"}),
    case_name);

INSTANTIATE_TEST_SUITE_P(
    Subtract, ArithmeticShape,
    ::testing::Values(
        ShapeCase{"ZeroMinusZero", [] { return I(0) - I(0); }, "0"},
        ShapeCase{"FloatZerosGiveIntZero", [] { return F(0.0) - F(-0.0); }, "0"},
        ShapeCase{"ZeroMinusTerm", [] { return I(0) - x(); }, "Mul(-1, x)"},
        ShapeCase{"ZeroMinusLiteral", [] { return I(0) - F(2.5); }, "-2.5f"},
        ShapeCase{"FloatZeroMinusIntIsInt", [] { return F(0.0) - I(5); }, "-5"},
        ShapeCase{"TermMinusZero", [] { return x() - I(0); }, "x"},
        ShapeCase{"Literals", [] { return I(5) - I(7); }, "-2"},
        ShapeCase{"LiteralsOverflow", [] { return I(kMin) - I(1); }, "-9223372036854776000f"},
        ShapeCase{"Terms", [] { return x() - y(); }, "Add(x, Mul(-1, y))"},
        ShapeCase{"Constant", [] { return x() - I(3); }, "Add(x, -3)"},
        ShapeCase{"ScaledTerm", [] { return x() - I(2) * y(); }, "Add(x, Mul(-2, y))"},
        ShapeCase{"FromSum", [] { return (x() + I(3)) - I(3); }, "x"}),
    case_name);

INSTANTIATE_TEST_SUITE_P(
    Negate, ArithmeticShape,
    ::testing::Values(ShapeCase{"Term", [] { return -x(); }, "Mul(-1, x)"},
                      ShapeCase{"IntLiteral", [] { return -I(5); }, "-5"},
                      ShapeCase{"FloatLiteral", [] { return -F(0.0); }, "-0f"},
                      ShapeCase{"MinIntLiteral", [] { return -I(kMin); }, "9223372036854776000f"},
                      ShapeCase{"ScaledTerm", [] { return -(I(3) * x()); }, "Mul(-3, x)"},
                      ShapeCase{"ProductWithoutConstant", [] { return -(x() * y()); }, "Mul(-1, x, y)"},
                      ShapeCase{"NegatedTwice", [] { return -(-x()); }, "Mul(1, x)"},
                      ShapeCase{"Sum", [] { return -(x() + I(1)); }, "Mul(-1, Add(x, 1))"},
                      ShapeCase{"LatexProduct", [] { return -M(); }, "Mul(-1, Mul(x, y){M})"}),
    case_name);

INSTANTIATE_TEST_SUITE_P(
    Multiply, ArithmeticShape,
    ::testing::Values(
        ShapeCase{"Literals", [] { return I(2) * I(3); }, "6"},
        ShapeCase{"FloatZeroLiterals", [] { return F(0.0) * I(0); }, "0f"},
        ShapeCase{"ZeroAnnihilatesDecisionVariable", [] { return x() * I(0); }, "0"},
        ShapeCase{"FloatZeroGivesIntZero", [] { return F(-0.0) * a(); }, "0"},
        ShapeCase{"OneOnTheRight", [] { return x() * I(1); }, "x"},
        ShapeCase{"FloatOneOnTheLeft", [] { return F(1.0) * x(); }, "x"},
        ShapeCase{"LiteralGoesFirst", [] { return x() * I(3); }, "Mul(3, x)"},
        ShapeCase{"LiteralOnTheLeft", [] { return I(3) * x(); }, "Mul(3, x)"},
        ShapeCase{"TwoLeaves", [] { return x() * y(); }, "Mul(x, y)"},
        ShapeCase{"AppendsToLeftProduct", [] { return (x() * y()) * z(); }, "Mul(x, y, z)"},
        ShapeCase{"AppendsToRightProduct", [] { return a() * (b() * c()); }, "Mul(b, c, a)"},
        ShapeCase{"AppendsAfterConstant", [] { return (I(2) * x()) * y(); }, "Mul(2, x, y)"},
        ShapeCase{"ConstantFoldsFromTheRight", [] { return (I(2) * x()) * I(3); }, "Mul(6, x)"},
        ShapeCase{"ConstantFoldsFromTheLeft", [] { return I(3) * (I(2) * x()); }, "Mul(6, x)"},
        ShapeCase{"ConstantInFront", [] { return (x() * y()) * I(3); }, "Mul(3, x, y)"},
        ShapeCase{"ConstantBecomingOneStays", [] { return (I(2) * x()) * F(0.5); }, "Mul(1f, x)"},
        ShapeCase{"ConstantOverflowsToFloat", [] { return (I(kMax) * x()) * I(2); },
                  "Mul(18446744073709552000f, x)"},
        ShapeCase{"MergeFoldsConstants", [] { return (I(2) * x()) * (I(3) * y()); }, "Mul(6, x, y)"},
        ShapeCase{"MergeRightConstantGoesFront", [] { return (x() * y()) * (I(3) * z()); },
                  "Mul(3, x, y, z)"},
        ShapeCase{"MergeLeftConstant", [] { return (I(2) * x()) * (y() * z()); }, "Mul(2, x, y, z)"},
        ShapeCase{"MergeWithoutConstants", [] { return (a() * b()) * (c() * d()); }, "Mul(a, b, c, d)"},
        ShapeCase{"SumsAreFactors", [] { return (a() + b()) * (c() + d()); },
                  "Mul(Add(a, b), Add(c, d))"},
        ShapeCase{"EqualBasesAddExponents", [] { return pw(x(), I(2)) * pw(x(), I(3)); }, "Pow(x, 5)"},
        ShapeCase{"EqualBasesSymbolicExponents", [] { return pw(a(), I(2)) * pw(a(), b()); },
                  "Pow(a, Add(b, 2))"},
        ShapeCase{"PowerOverItsBase", [] { return pw(a(), I(2)) / a(); }, "Pow(a, 1)"},
        ShapeCase{"DifferentBases", [] { return pw(x(), I(2)) * pw(y(), I(2)); },
                  "Mul(Pow(x, 2), Pow(y, 2))"},
        ShapeCase{"BasesDifferingInLatex", [] { return pw(ph("a", "A"), I(2)) * pw(a(), I(3)); },
                  "Mul(Pow(a{A}, 2), Pow(a, 3))"},
        ShapeCase{"BasesDifferingInDescription",
                  [] { return pw(ph("a", std::nullopt, "size"), I(2)) * pw(a(), I(3)); },
                  "Mul(Pow(a, 2), Pow(a, 3))"},
        ShapeCase{"LatexPowerIsNotMerged", [] { return latex(pw(x(), I(2)), "P") * pw(x(), I(3)); },
                  "Mul(Pow(x, 2){P}, Pow(x, 3))"},
        ShapeCase{"PowerJoinsProduct", [] { return (I(2) * pw(x(), I(2))) * pw(x(), I(3)); },
                  "Mul(2, Pow(x, 2), Pow(x, 3))"},
        ShapeCase{"LatexProductWithLiteral", [] { return M() * I(2); }, "Mul(2, Mul(x, y){M})"},
        ShapeCase{"LiteralWithLatexProduct", [] { return I(2) * M(); }, "Mul(2, Mul(x, y){M})"},
        ShapeCase{"LatexProductJoinsOpenProduct", [] { return (a() * b()) * M(); },
                  "Mul(a, b, Mul(x, y){M})"},
        ShapeCase{"LatexProductJoinsOpenProductOnTheRight", [] { return M() * (a() * b()); },
                  "Mul(a, b, Mul(x, y){M})"},
        ShapeCase{"LatexProductAfterConstant", [] { return (I(2) * a()) * M(); }, "Mul(2, a, Mul(x, y){M})"},
        ShapeCase{"LatexProductWithLeaf", [] { return M() * z(); }, "Mul(Mul(x, y){M}, z)"},
        ShapeCase{"MinIsAFactor", [] { return mn({a(), b()}) * c(); },
                  "Mul(Min(a, b), c)"}),
    case_name);

INSTANTIATE_TEST_SUITE_P(
    DividePowerRemainder, ArithmeticShape,
    ::testing::Values(
        ShapeCase{"OneOverLiteral", [] { return I(1) / I(2); }, "Pow(2, -1)"},
        ShapeCase{"LiteralsAreNotFolded", [] { return I(6) / I(3); }, "Mul(6, Pow(3, -1))"},
        ShapeCase{"VariableOverLiteral", [] { return x() / I(2); }, "Mul(x, Pow(2, -1))"},
        ShapeCase{"ZeroDividend", [] { return I(0) / b(); }, "0"},
        ShapeCase{"ScaledOverLiteral", [] { return (I(3) * x()) / I(2); }, "Mul(3, x, Pow(2, -1))"},
        ShapeCase{"PowerOfLiterals", [] { return pw(I(2), I(3)); }, "Pow(2, 3)"},
        ShapeCase{"FractionalPowerOfVariable", [] { return pw(x(), F(0.5)); }, "Pow(x, 0.5f)"},
        ShapeCase{"InfinitePowerOfVariable", [] { return pw(x(), F(INFINITY)); }, "Pow(x, inff)"},
        ShapeCase{"NegativePowerOfPlaceholder", [] { return pw(a(), I(-1)); }, "Pow(a, -1)"},
        ShapeCase{"ZeroToZero", [] { return pw(I(0), I(0)); }, "Pow(0, 0)"},
        ShapeCase{"ZeroToSymbol", [] { return pw(F(0.0), a()); }, "Pow(0f, a)"},
        ShapeCase{"SubscriptedVariableSquared", [] { return pw(xs_i(), I(2)); }, "Pow(xs[], 2)"},
        ShapeCase{"Remainder", [] { return value_or_fail(remainder(a(), I(3))); }, "Mod(a, 3)"},
        ShapeCase{"RemainderOfLiterals", [] { return value_or_fail(remainder(I(7), I(2))); }, "Mod(7, 2)"}),
    case_name);

INSTANTIATE_TEST_SUITE_P(
    UnaryMinMax, ArithmeticShape,
    ::testing::Values(
        ShapeCase{"AbsIsNotSimplified",
                  [] { return fn(UnaryKind::Abs, fn(UnaryKind::Abs, a())); },
                  "Abs(Abs(a))"},
        ShapeCase{"LnOfLiteral", [] { return fn(UnaryKind::Ln, I(1)); }, "Ln(1)"},
        ShapeCase{"Log2OfSum", [] { return fn(UnaryKind::Log2, a() + I(1)); },
                  "Log2(Add(a, 1))"},
        ShapeCase{"MinOfNothing", [] { return mn({}); }, "Min()"},
        ShapeCase{"MaxOfOne", [] { return mx({a()}); }, "Max(a)"},
        ShapeCase{"MaxKeepsOrderAndRepeats",
                  [] { return mx({b(), a(), b()}); }, "Max(b, a, b)"},
        ShapeCase{"MinNeitherFlattensNorFolds",
                  [] {
                    return mn({mn({a(), b()}), I(1), I(2)});
                  },
                  "Min(Min(a, b), 1, 2)"}),
    case_name);

// ---------------------------------------------------------------------------------------
// Errors.

struct ErrorCase {
  const char* name;
  std::function<Result<Expression>()> build;
  ErrorKind kind;
  const char* message;
};

class ArithmeticError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ArithmeticError, KindAndMessage) {
  const ErrorCase& t = GetParam();
  Result<Expression> r = t.build();
  ASSERT_FALSE(r.ok()) << "built " << shape(r);
  EXPECT_EQ(r.error().kind, t.kind);
  EXPECT_EQ(r.error().message, t.message);
}

constexpr ErrorKind kModeling = ErrorKind::Modeling;
constexpr ErrorKind kZero = ErrorKind::ZeroDivision;
const char* const kPositivePower = "a decision variable can be raised to only a positive power";
const char* const kDvExponent = "the exponent contains a decision variable";
const char* const kZeroNegative = "zero cannot be raised to a negative power";
const char* const kModDv = "the modulo op contains a decision variable";
const char* const kUnaryDv = "the operand of the unary op contains a decision variable";

std::string error_case_name(const ::testing::TestParamInfo<ErrorCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Divide, ArithmeticError,
    ::testing::Values(
        ErrorCase{"ByIntZero", [] { return divide(a(), I(0)); }, kZero, "division by zero"},
        ErrorCase{"ByNegativeFloatZero", [] { return divide(a(), F(-0.0)); }, kZero, "division by zero"},
        ErrorCase{"ZeroByZero", [] { return divide(I(0), I(0)); }, kZero, "division by zero"},
        ErrorCase{"ByDecisionVariable", [] { return divide(a(), x()); }, kModeling, kPositivePower},
        ErrorCase{"ByExpressionWithDecisionVariable", [] { return divide(a(), x() + I(1)); }, kModeling,
                  kPositivePower},
        ErrorCase{"BySubscriptedVariable", [] { return divide(I(1), xs_i()); }, kModeling, kPositivePower},
        ErrorCase{"DecisionVariableByItself", [] { return divide_decision_var(x(), x()); }, kModeling,
                  "Cannot divide a BinaryVar named \"x\" by a decision variable or an expression "
                  "containing a decision variable (right = x)."},
        ErrorCase{"DecisionVariableBySum", [] { return divide_decision_var(z(), a() + I(2) * y()); },
                  kModeling,
                  "Cannot divide a ContinuousVar named \"z\" by a decision variable or an expression "
                  "containing a decision variable (right = a + 2 * y)."},
        ErrorCase{"DecisionVariableByZero", [] { return divide_decision_var(x(), I(0)); }, kZero,
                  "division by zero"},
        ErrorCase{"DecisionVariableAsDivisor",
                  []() -> Result<Expression> { return decision_var_divisor_error(x(), I(2)); }, kModeling,
                  "Cannot use a BinaryVar named \"x\" as a divisor (dividend = 2)."},
        ErrorCase{"SemiContinuousAsDivisor",
                  []() -> Result<Expression> {
                    return decision_var_divisor_error(dvar(VarKind::SemiContinuous, "w"), a() + I(1));
                  },
                  kModeling, "Cannot use a SemiContinuousVar named \"w\" as a divisor (dividend = a + 1)."},
        ErrorCase{"SemiIntegerAsDivisor",
                  []() -> Result<Expression> {
                    return decision_var_divisor_error(dvar(VarKind::SemiInteger, "u"), F(2.5));
                  },
                  kModeling, "Cannot use a SemiIntegerVar named \"u\" as a divisor (dividend = 2.5)."}),
    error_case_name);

INSTANTIATE_TEST_SUITE_P(
    Power, ArithmeticError,
    ::testing::Values(
        ErrorCase{"DecisionVariableExponent", [] { return power(I(2), x()); }, kModeling, kDvExponent},
        ErrorCase{"ExponentCheckedFirst", [] { return power(x(), y()); }, kModeling, kDvExponent},
        ErrorCase{"ExponentBeforeZeroBase", [] { return power(I(0), I(-1) * x()); }, kModeling, kDvExponent},
        ErrorCase{"ZeroExponent", [] { return power(x(), I(0)); }, kModeling, kPositivePower},
        ErrorCase{"FloatZeroExponent", [] { return power(x(), F(0.0)); }, kModeling, kPositivePower},
        ErrorCase{"NegativeFloatZeroExponent", [] { return power(x(), F(-0.0)); }, kModeling, kPositivePower},
        ErrorCase{"NegativeExponent", [] { return power(x(), I(-1)); }, kModeling, kPositivePower},
        ErrorCase{"SymbolicExponent", [] { return power(x(), ph("n")); }, kModeling, kPositivePower},
        ErrorCase{"SumWithVariableBase", [] { return power(a() + x(), F(-0.5)); }, kModeling, kPositivePower},
        ErrorCase{"SubscriptedBase", [] { return power(xs_i(), I(0)); }, kModeling, kPositivePower},
        ErrorCase{"ZeroToNegativeInt", [] { return power(I(0), I(-1)); }, kZero, kZeroNegative},
        ErrorCase{"FloatZeroToNegativeFloat", [] { return power(F(0.0), F(-0.5)); }, kZero, kZeroNegative},
        ErrorCase{"ZeroToNegativeZero", [] { return power(I(0), F(-0.0)); }, kZero, kZeroNegative}),
    error_case_name);

INSTANTIATE_TEST_SUITE_P(
    RemainderUnaryMinMax, ArithmeticError,
    ::testing::Values(
        ErrorCase{"ModuloByZero", [] { return remainder(a(), I(0)); }, kZero, "modulo by zero"},
        ErrorCase{"ModuloByFloatZero", [] { return remainder(I(5), F(0.0)); }, kZero, "modulo by zero"},
        ErrorCase{"ModuloOfVariable", [] { return remainder(x(), ph("n")); }, kModeling, kModDv},
        ErrorCase{"ModuloByVariable", [] { return remainder(I(2), x()); }, kModeling, kModDv},
        ErrorCase{"VariableCheckedBeforeZero", [] { return remainder(x(), I(0)); }, kModeling, kModDv},
        ErrorCase{"AbsOfVariable", [] { return unary(UnaryKind::Abs, x()); }, kModeling, kUnaryDv},
        ErrorCase{"LnOfScaledVariable", [] { return unary(UnaryKind::Ln, I(2) * z()); }, kModeling, kUnaryDv},
        ErrorCase{"FloorOfSubscriptedVariable", [] { return unary(UnaryKind::Floor, xs_i()); }, kModeling,
                  kUnaryDv},
        ErrorCase{"MaxSecondTerm", [] { return min_max(CommutativeKind::Max, {a(), x()}); }, kModeling,
                  "the 1-th term contains a decision variable"},
        ErrorCase{"MinFirstTerm", [] { return min_max(CommutativeKind::Min, {x()}); }, kModeling,
                  "the 0-th term contains a decision variable"},
        ErrorCase{"MinReportsFirstOffender",
                  [] { return min_max(CommutativeKind::Min, {a(), b(), x() + I(1), y()}); },
                  kModeling, "the 2-th term contains a decision variable"}),
    error_case_name);

// ---------------------------------------------------------------------------------------
// Properties of results beyond their shape.

TEST(ArithmeticResults, IdentitiesReturnTheOperandItself) {
  const Expression v = x();
  const Expression s = a() + b();
  EXPECT_EQ((v + I(0)).identity(), v.identity());
  EXPECT_EQ((I(0) + s).identity(), s.identity());
  EXPECT_EQ((s - F(0.0)).identity(), s.identity());
  EXPECT_EQ((v * I(1)).identity(), v.identity());
  EXPECT_EQ((F(1.0) * s).identity(), s.identity());
}

TEST(ArithmeticResults, CachedFactsOfBuiltNodes) {
  const Expression sum = a() + (I(2) * x());
  EXPECT_TRUE(sum.contains_decision_var());
  const std::uint32_t leaf = x().height();  // a variable's bounds are its children
  EXPECT_EQ(sum.height(), leaf + 2);
  const Expression grown = sum + b();
  EXPECT_TRUE(grown.contains_decision_var());
  EXPECT_EQ(grown.height(), leaf + 2);
  const Expression prod = (a() * b()) * (c() + x());
  EXPECT_TRUE(prod.contains_decision_var());
  EXPECT_FALSE((a() * b() + I(1)).contains_decision_var());
  const Expression merged = pw(x(), I(2)) * pw(x(), I(3));
  EXPECT_TRUE(merged.contains_decision_var());
  EXPECT_EQ(merged.height(), leaf + 1);
}

TEST(ArithmeticResults, SumsBranchingFromOneSumStayApart) {
  // The second sum built from `base` must not see the term the first one appended.
  const Expression base = a() + b();
  const Expression left = base + c();
  const Expression right = base + d();
  const Expression merged = base + (c() + d());
  EXPECT_EQ(shape(base), "Add(a, b)");
  EXPECT_EQ(shape(left), "Add(a, b, c)");
  EXPECT_EQ(shape(right), "Add(a, b, d)");
  EXPECT_EQ(shape(merged), "Add(a, b, c, d)");
  EXPECT_EQ(shape(left + x()), "Add(a, b, c, x)");
  EXPECT_EQ(shape(right + y()), "Add(a, b, d, y)");
}

TEST(ArithmeticResults, ProductsBranchingFromOneProductStayApart) {
  const Expression base = a() * b();
  const Expression left = base * c();
  const Expression right = base * d();
  const Expression scaled = base * I(2);
  EXPECT_EQ(shape(left), "Mul(a, b, c)");
  EXPECT_EQ(shape(right), "Mul(a, b, d)");
  EXPECT_EQ(shape(scaled), "Mul(2, a, b)");
  EXPECT_EQ(shape(scaled * x()), "Mul(2, a, b, x)");
  EXPECT_EQ(shape(base), "Mul(a, b)");
}

// Operators rebuilt by replacement keep their terms as given, so a literal may stand
// anywhere. Only a trailing literal of a sum (leading literal of a product) is its
// constant; clean-up still removes every zero literal.
TEST(ArithmeticResults, OperatorsNotBuiltByTheseRules) {
  auto raw = [](CommutativeKind k, std::vector<Expression> t) {
    return make_expr(CommutativeOp{k, TermList(std::move(t)), std::nullopt});
  };
  const CommutativeKind kAdd = CommutativeKind::Add, kMul = CommutativeKind::Mul;
  EXPECT_EQ(shape(raw(kAdd, {I(0), y()}) + I(1)), "Add(y, 1)");
  EXPECT_EQ(shape(raw(kAdd, {a(), I(0), b()}) + (c() + d())), "Add(a, b, c, d)");
  EXPECT_EQ(shape(raw(kAdd, {a(), I(0)}) + (b() + I(3))), "Add(a, b, 3)");
  EXPECT_EQ(shape(raw(kAdd, {I(2), y()}) + I(3)), "Add(2, y, 3)");
  EXPECT_EQ(shape(raw(kAdd, {I(2), y()}) + z()), "Add(2, y, z)");
  EXPECT_EQ(shape(I(1) + raw(kAdd, {a(), I(-1)})), "a");
  EXPECT_EQ(shape(raw(kMul, {x(), I(2)}) * I(3)), "Mul(3, x, 2)");
  EXPECT_EQ(shape(raw(kMul, {I(1), x()}) * (I(5) * y())), "Mul(5, x, y)");
}

// ---------------------------------------------------------------------------------------
// Long sums and products built one term at a time, as a Python loop does.

constexpr std::size_t kLong = 100000;

std::vector<Expression> placeholders(std::size_t n) {
  std::vector<Expression> v;
  v.reserve(n);
  for (std::size_t k = 0; k < n; ++k) {
    std::string name = "p";
    name += std::to_string(k);
    v.push_back(ph(name));
  }
  return v;
}

TEST(LongChains, SumOfDistinctPlaceholders) {
  const std::vector<Expression> p = placeholders(kLong);
  Expression s = p[0];
  Expression early;
  for (std::size_t k = 1; k < kLong; ++k) {
    s = s + p[k];
    if (k == 10) early = s;
  }
  const CommutativeOp* sum = s.get_if<CommutativeOp>();
  ASSERT_NE(sum, nullptr);
  ASSERT_EQ(sum->kind, CommutativeKind::Add);
  ASSERT_EQ(sum->terms.size(), kLong);
  for (std::size_t k = 0; k < kLong; ++k) ASSERT_EQ(sum->terms[k].identity(), p[k].identity()) << k;
  EXPECT_EQ(early.as<CommutativeOp>().terms.size(), 11u);
  EXPECT_EQ(s.height(), 2u);
}

TEST(LongChains, SumOfScaledTermsWithAndWithoutConstant) {
  const std::vector<Expression> p = placeholders(kLong);
  Expression s = I(0);
  for (std::size_t k = 0; k < kLong; ++k) s = s + I(std::int64_t(k) + 2) * p[k];
  const TermList& terms = s.as<CommutativeOp>().terms;
  ASSERT_EQ(terms.size(), kLong);
  EXPECT_EQ(shape(terms[0]), "Mul(2, p0)");
  EXPECT_EQ(shape(terms[kLong - 1]), "Mul(100001, p99999)");
  // A constant goes last and later terms go before it.
  s = s + I(5);
  s = s + p[0];
  const TermList& more = s.as<CommutativeOp>().terms;
  ASSERT_EQ(more.size(), kLong + 2);
  EXPECT_EQ(more[kLong].identity(), p[0].identity());
  EXPECT_EQ(shape(more[kLong + 1]), "5");
}

TEST(LongChains, ProductOfDistinctPlaceholders) {
  const std::vector<Expression> p = placeholders(kLong);
  Expression m = I(3) * p[0];
  for (std::size_t k = 1; k < kLong; ++k) m = m * p[k];
  const TermList& terms = m.as<CommutativeOp>().terms;
  ASSERT_EQ(terms.size(), kLong + 1);
  EXPECT_EQ(shape(terms[0]), "3");
  for (std::size_t k = 0; k < kLong; ++k) ASSERT_EQ(terms[k + 1].identity(), p[k].identity()) << k;
}

// Merging: the terms of each right-hand sum are appended to the growing left one.
TEST(LongChains, SumGrownBySmallSums) {
  const std::vector<Expression> p = placeholders(kLong);
  Expression s = p[0] + p[1];
  for (std::size_t k = 2; k + 1 < kLong; k += 2) s = s + (p[k] + p[k + 1]);
  const TermList& terms = s.as<CommutativeOp>().terms;
  ASSERT_EQ(terms.size(), kLong);
  for (std::size_t k = 0; k < kLong; ++k) ASSERT_EQ(terms[k].identity(), p[k].identity()) << k;
}

}  // namespace
}  // namespace tarvex
