// The printer's parenthesization rules, the signs it detaches from negative numbers, and its
// height limit.
#include "print/printer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "tree_builders.hpp"

namespace tarvex::test_util {
namespace {

// Every child kind under every parent kind, text mode.
TEST(Printer, ParenthesizationTable) {
  const Expression x = bin("x"), y = bin("y"), z = bin("z"), N = ph("N"), a = ph("a", 1);
  const Expression i = elem("i", num(0), N);
  const struct {
    const char* name;
    Expression e;
    std::string text;
  } children[] = {
      {"add", add({x, y}), "x + y"},
      {"mul", mul({x, y}), "x * y"},
      {"pow", pow(x, num(2)), "x ** 2"},
      {"mod", mod(N, num(3)), "N % 3"},
      {"min", comm(CommutativeKind::Min, {x, y}), "min(x, y)"},
      {"abs", un(UnaryKind::Abs, N), "|N|"},
      {"sum", sum(i, sub(a, {i})), "sum(i in [0..N), a[i])"},
      {"leaf", N, "N"},
  };
  const struct {
    const char* name;
    std::function<Expression(const Expression&)> wrap;
    std::string before, after;
  } parents[] = {
      {"pow base", [](auto& c) { return pow(c, num(2)); }, "", " ** 2"},
      {"pow exponent", [](auto& c) { return pow(num(2), c); }, "2 ** ", ""},
      {"mod", [](auto& c) { return mod(c, num(2)); }, "", " % 2"},
      {"mul", [&](auto& c) { return mul({c, z}); }, "", " * z"},
      {"add", [&](auto& c) { return add({c, z}); }, "", " + z"},
      {"sum", [&](auto& c) { return sum(i, c); }, "sum(i in [0..N), ", ")"},
      {"max", [&](auto& c) { return comm(CommutativeKind::Max, {c, z}); }, "max(", ", z)"},
      {"abs", [](auto& c) { return un(UnaryKind::Abs, c); }, "|", "|"},
      {"ln", [](auto& c) { return un(UnaryKind::Ln, c); }, "ln(", ")"},
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
  for (std::size_t r = 0; r < std::size(children); ++r) {
    for (std::size_t c = 0; c < std::size(parents); ++c) {
      const auto& ch = children[r];
      const auto& p = parents[c];
      SCOPED_TRACE(std::string(ch.name) + " under " + p.name);
      const std::string inner = wrapped[r][c] ? "(" + ch.text + ")" : ch.text;
      EXPECT_EQ(node_str(PrintMode::Text, p.wrap(ch.e)), p.before + inner + p.after);
    }
  }
}

// A minus sign is detached from a negative zero, but a negative NaN has none to give.
TEST(Printer, SignsOfNegativeZeroAndNaN) {
  const Expression x = bin("x"), y = bin("y");
  EXPECT_EQ(node_str(PrintMode::Text, add({x, flt(-0.0)})), "x - 0");
  EXPECT_EQ(node_str(PrintMode::Text, add({x, flt(-NAN)})), "x + NaN");
  EXPECT_EQ(node_str(PrintMode::Text, add({x, mul({flt(-NAN), y})})), "x + NaN * y");
  EXPECT_EQ(node_str(PrintMode::Latex, flt(-NAN)), "NaN");
}

// The printer recurses and refuses trees above kMaxPrintHeight; every tree up to that
// height must print within the normal stack, in every mode.
struct ChainKind {
  const char* name;
  std::function<Expression(const Expression&)> wrap;
};

TEST(Printer, HeightLimit) {
  const ChainKind kinds[] = {
      {"negation in a sum", [](const Expression& e) { return add({ph("y"), mul({num(-2), e})}); }},
      {"range end of a reduction", [](const Expression& e) { return sum(elem("i", num(0), e), ph("N")); }},
  };
  for (const ChainKind& kind : kinds) {
    Expression e = ph("N");
    while (e.height() < kMaxPrintHeight) {
      Expression next = kind.wrap(e);
      e = next.height() <= kMaxPrintHeight ? next : un(UnaryKind::Floor, e);
    }
    ASSERT_EQ(e.height(), kMaxPrintHeight);
    const Expression above = un(UnaryKind::Abs, e);
    for (PrintMode mode : {PrintMode::Text, PrintMode::Repr, PrintMode::Latex}) {
      SCOPED_TRACE(std::string(kind.name) + ", mode " + std::to_string(int(mode)));
      const Result<std::string> at_limit = render_expression(mode, e);
      ASSERT_TRUE(at_limit.ok()) << at_limit.error().message;
      EXPECT_FALSE(at_limit.value().empty());
      EXPECT_TRUE(render_node(mode, e).ok());
      for (const auto& r : {render_node(mode, above), render_expression(mode, above),
                            render_condition(mode, cmp(ComparisonKind::Equal, above, num(0)))}) {
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.error().kind, ErrorKind::Recursion);
      }
    }
  }
}

}  // namespace
}  // namespace tarvex::test_util
