// Literal folding with its 64-bit overflow rule, and the shared term lists that let a
// loop append to a sum in amortised constant time without one sum seeing another's terms.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <functional>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "model/expression/operator/arithmetic.hpp"
#include "model/expression/operator/fold.hpp"
#include "print/number_format.hpp"
#include "replace/equality.hpp"
#include "tree_builders.hpp"

namespace tarvex::test_util {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr double kTwo63 = 9223372036854775808.0;

std::string str(const NumberLit& n) {
  return n.is_integer() ? format_int(n.int_value()) : format_double(n.float_value()) + "f";
}

TEST(Folding, TypeAndValue) {
  const struct {
    char op;  // '~' negates lhs
    NumberLit lhs, rhs, expected;
  } cases[] = {
      {'+', {2}, {3}, {5}},
      {'+', {1}, {0.5}, {1.5}},
      {'+', {kMax - 1}, {1}, {kMax}},
      {'+', {kMax}, {1}, {kTwo63}},
      {'+', {kMin}, {kMin}, {-2 * kTwo63}},
      {'-', {5}, {7}, {-2}},
      {'-', {kMin}, {1}, {-kTwo63 - 1.0}},
      {'-', {0}, {kMin}, {kTwo63}},
      {'*', {2}, {0.25}, {0.5}},
      {'*', {std::int64_t{3037000499}}, {std::int64_t{3037000499}}, {std::int64_t{9223372030926249001}}},
      {'*', {kMax}, {2}, {2.0 * 9223372036854775807.0}},
      {'*', {kMin}, {1}, {kMin}},
      {'*', {kMin}, {-1}, {kTwo63}},
      {'~', {0}, {0}, {0}},
      {'~', {kMax}, {0}, {kMin + 1}},
      {'~', {kMin}, {0}, {kTwo63}},
      {'~', {0.0}, {0}, {-0.0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(str(c.lhs) + " " + c.op + " " + str(c.rhs));
    const NumberLit got = c.op == '+'   ? fold_add(c.lhs, c.rhs)
                          : c.op == '-' ? fold_sub(c.lhs, c.rhs)
                          : c.op == '*' ? fold_mul(c.lhs, c.rhs)
                                        : fold_neg(c.lhs);
    ASSERT_EQ(got.is_integer(), c.expected.is_integer()) << str(got);
    if (got.is_integer()) {
      EXPECT_EQ(got.int_value(), c.expected.int_value());
    } else {  // bit for bit, so that the sign of a zero counts
      EXPECT_EQ(std::bit_cast<std::uint64_t>(got.float_value()),
                std::bit_cast<std::uint64_t>(c.expected.float_value()))
          << str(got);
    }
  }
}

// "Add(t1, t2, ...)" with each term in text form, or the text of any other result.
std::string terms_of(const Result<Expression>& r) {
  if (!r) return "<error: " + r.error().message + ">";
  const auto* op = r.value().get_if<CommutativeOp>();
  if (!op) return node_str(PrintMode::Text, r.value());
  std::string s = op->kind == CommutativeKind::Add ? "Add(" : "Mul(";
  for (std::size_t k = 0; k < op->terms.size(); ++k) s += (k ? ", " : "") + node_str(PrintMode::Text, op->terms[k]);
  return s + ")";
}

// Operators rebuilt by replacement keep their terms as given, so a literal may stand
// anywhere. Only a trailing literal of a sum (a leading one of a product) is its constant,
// and every zero literal is still cleaned away.
TEST(Arithmetic, OperatorsNotBuiltByTheseRules) {
  const Expression a = ph("a"), b = ph("b"), x = bin("x"), y = bin("y"), z = bin("z");
  const struct {
    Result<Expression> got;
    const char* expected;
  } cases[] = {
      {tarvex::add(add({num(0), y}), num(1)), "Add(y, 1)"},
      {tarvex::add(add({a, num(0), b}), tarvex::add(ph("c"), ph("d")).value()), "Add(a, b, c, d)"},
      {tarvex::add(add({a, num(0)}), tarvex::add(b, num(3)).value()), "Add(a, b, 3)"},
      {tarvex::add(add({num(2), y}), num(3)), "Add(2, y, 3)"},
      {tarvex::add(add({num(2), y}), z), "Add(2, y, z)"},
      {tarvex::add(num(1), add({a, num(-1)})), "a"},
      {tarvex::multiply(mul({x, num(2)}), num(3)), "Mul(3, x, 2)"},
      {tarvex::multiply(mul({num(1), x}), tarvex::multiply(num(5), y).value()), "Mul(5, x, y)"},
  };
  for (const auto& c : cases) EXPECT_EQ(terms_of(c.got), c.expected);
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

// A term that holds, at any depth, a node viewing the buffer would make the buffer own
// itself (found by the builder fuzzer as a leak): such a term is appended to a copy.
TEST(TermListAppend, TermThatHoldsTheListGoesToACopy) {
  struct Case {
    const char* label;
    Expression (*term)(const Expression& sum);
    bool in_place;
  };
  const Case cases[] = {
      {"the sum itself", [](const Expression& s) { return s; }, false},
      {"its LaTeX clone", [](const Expression& s) { return with_latex(s, OptString("S")); }, false},
      {"a function of it", [](const Expression& s) { return un(UnaryKind::Abs, s); }, false},
      {"a reduction whose condition holds it",
       [](const Expression& s) {
         return sum(elem("i", num(0), num(3)), ph("r"), cmp(ComparisonKind::Equal, s, num(1)));
       },
       false},
      {"an unrelated new term", [](const Expression&) { return mul({ph("c"), bin("x")}); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const TermList base = TermList().appended(ph("p")).appended(ph("q"));  // room for more
    const Expression s = make_commutative(CommutativeKind::Add, base);
    const Expression term = c.term(s);
    const TermList grown = base.appended(term);
    EXPECT_EQ(same_buffer(base, grown), c.in_place);
    EXPECT_EQ(grown.back().identity(), term.identity());
  }
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
  // The buffer grows in place: every view of the loop reads the one array of terms.
  std::set<const Expression*> buffers;
  for (const TermList& v : views) buffers.insert(&v[0]);
  EXPECT_EQ(buffers.size(), 1u);
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

// The one-step extension of a loop sum is taken only where the general addition would
// extend the buffer in place, and then builds the very sum that addition builds.
TEST(SumStep, TakenOnlyForTheLoopStepAndEqualToAdd) {
  const Expression p = ph("p"), q = ph("q"), c = ph("c");
  auto loop_sum = [&] { return tarvex::add(tarvex::add(p, q).value(), ph("r")).value(); };
  struct Lhs {
    const char* label;
    std::function<Expression()> make;
    bool open;  // whether a plain term is appended in place
  };
  std::vector<Expression> keep;  // sums extended elsewhere stay alive
  const Lhs lhss[] = {
      {"a loop sum", loop_sum, true},
      {"a view extended elsewhere",
       [&] {
         const Expression s = loop_sum();
         keep.push_back(tarvex::add(s, ph("other")).value());
         return s;
       },
       false},
      {"a pair", [&] { return tarvex::add(p, q).value(); }, false},
      {"a constant held apart", [&] { return tarvex::add(loop_sum(), num(2)).value(); }, true},
      {"a constant apart, extended elsewhere",
       [&] {
         const Expression s = tarvex::add(loop_sum(), num(2)).value();
         keep.push_back(tarvex::add(s, ph("other")).value());
         return s;
       },
       false},
      {"a literal last in the buffer", [&] { return add({p, q, num(2)}); }, false},
      {"custom LaTeX", [&] { return with_latex(loop_sum(), OptString("S")); }, false},
      {"a product", [&] { return mul({c, bin("x")}); }, false},
  };
  struct Rhs {
    const char* label;
    std::function<Expression(const Expression&)> make;
    bool plain;
  };
  const Rhs rhss[] = {
      {"a placeholder", [](const Expression&) { return ph("t"); }, true},
      {"a product", [&](const Expression&) { return mul({c, bin("x")}); }, true},
      {"a product with LaTeX", [&](const Expression&) { return with_latex(mul({c, bin("x")}), OptString("T")); }, true},
      {"a literal", [](const Expression&) { return num(3); }, false},
      {"an open sum", [&](const Expression&) { return loop_sum(); }, false},
      {"a function of the sum", [](const Expression& s) { return un(UnaryKind::Abs, s); }, false},
      {"a function of another sum", [&](const Expression&) { return un(UnaryKind::Abs, loop_sum()); }, false},
  };
  for (const Lhs& l : lhss) {
    for (const Rhs& r : rhss) {
      SCOPED_TRACE(std::string(l.label) + " + " + r.label);
      const Expression lhs = l.make();
      const Expression rhs = r.make(lhs);
      const Expression step = sum_step(lhs, rhs);
      ASSERT_EQ(bool(step), l.open && r.plain);
      if (!step) continue;
      const Expression general = tarvex::add(lhs, rhs).value();  // a copy now: lhs is a stale view
      EXPECT_TRUE(equal(step, general, Decorations::Compare));
      EXPECT_EQ(step.height(), general.height());
      EXPECT_EQ(step.paths(), general.paths());
      EXPECT_EQ(step.contains_decision_var(), general.contains_decision_var());
      EXPECT_EQ(step.node().has_buffer, general.node().has_buffer);
      const TermList& before = lhs.as<CommutativeOp>().terms;
      const TermList& terms = step.as<CommutativeOp>().terms;
      EXPECT_TRUE(same_buffer(before, terms));
      ASSERT_EQ(before.size() + 1, terms.size());
      // The new term comes last, or just before a constant held apart.
      const std::size_t at = before.size() - (before.has_tail() ? 1 : 0);
      EXPECT_EQ(terms[at].identity(), rhs.identity());
      if (before.has_tail()) {
        EXPECT_EQ(terms.back().identity(), before.back().identity());
      }
    }
  }
}

// A sum built one term at a time, as a Python loop does: one flat node, terms in order.
TEST(LongSum, HundredThousandTermsInOrder) {
  constexpr std::size_t kTerms = 100000;
  std::vector<Expression> p;
  for (std::size_t k = 0; k < kTerms; ++k) {
    std::string name = "p";
    p.push_back(ph(name += std::to_string(k)));
  }
  Expression s = p[0];
  Expression early;
  for (std::size_t k = 1; k < kTerms; ++k) {
    s = tarvex::add(s, p[k]).value();
    if (k == 10) early = s;
  }
  const TermList& terms = s.as<CommutativeOp>().terms;
  ASSERT_EQ(terms.size(), kTerms);
  for (std::size_t k = 0; k < kTerms; ++k) ASSERT_EQ(terms[k].identity(), p[k].identity()) << k;
  EXPECT_EQ(s.height(), 2u);
  // A branch from an earlier sum neither sees the later terms nor overwrites them.
  const Expression branch = tarvex::add(early, ph("q")).value();
  EXPECT_EQ(branch.as<CommutativeOp>().terms.size(), 12u);
  EXPECT_EQ(early.as<CommutativeOp>().terms.size(), 11u);
  EXPECT_EQ(terms[11].identity(), p[11].identity());
}

}  // namespace
}  // namespace tarvex::test_util
