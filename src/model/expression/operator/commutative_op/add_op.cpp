// Addition, subtraction and negation.
//
// A sum keeps at most one literal term, always the last one and never zero, held apart
// from the shared buffer of the other terms. Terms are added through TermList, which
// extends that buffer when the sum being extended is its newest view, so `s = s + x[k]` in
// a loop costs O(1) per step, with or without a constant.
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "model/expression/operator/arithmetic.hpp"
#include "model/expression/operator/fold.hpp"

namespace tarvex {
namespace {

const NumberLit* literal(const Expression& e) { return e.get_if<NumberLit>(); }

bool is_zero_literal(const Expression& e) {
  const NumberLit* l = literal(e);
  return l && l->is_zero();
}

bool has_latex(const Expression& e) { return e.latex().has_value(); }

// The sum `e` when it can absorb other terms: an AddOp without custom LaTeX.
const CommutativeOp* open_sum(const Expression& e) {
  const CommutativeOp* c = e.get_if<CommutativeOp>();
  return c && c->kind == CommutativeKind::Add && !c->latex ? c : nullptr;
}

Expression sum_node(TermList terms) {
  return make_commutative(CommutativeKind::Add, std::move(terms));
}

bool ends_with_literal(const TermList& t) { return !t.empty() && t.back().kind() == ExprKind::Number; }

// The terms with the constant `c` added: folded into a trailing literal, or appended.
TermList add_constant(const TermList& terms, const Expression& c) {
  if (!ends_with_literal(terms)) return terms.appended_apart(c);
  return terms.with_last(make_expr(fold_add(terms.back().as<NumberLit>(), c.as<NumberLit>())));
}

// The terms with `t` added: a literal goes into the constant; any other term goes just
// before a trailing literal, or at the end.
TermList append_term(const TermList& terms, const Expression& t) {
  if (literal(t)) return add_constant(terms, t);
  if (!ends_with_literal(terms)) return terms.appended(t);
  return terms.inserted_before_last(t);
}

// Removes zero literal terms; a single remaining term stands for the whole sum.
Expression clean_up(TermList terms) {
  if (terms.any_zero_literal()) {
    std::vector<Expression> v;
    v.reserve(terms.size());
    for (std::size_t i = 0; i < terms.size(); ++i)
      if (!is_zero_literal(terms[i])) v.push_back(terms[i]);
    terms = TermList(std::move(v));
  }
  if (terms.size() == 1) return terms[0];
  return sum_node(std::move(terms));
}

// A new sum of the given operands: the literals are folded into one last term, which is
// dropped when it is zero.
Expression build_sum(const Expression& a, const Expression& b) {
  const NumberLit* al = literal(a);
  const NumberLit* bl = literal(b);
  if (!al && !bl) return make_pair_op(CommutativeKind::Add, a, b);
  if (al && bl) {
    const NumberLit total = fold_add(fold_add(NumberLit{std::int64_t{0}}, *al), *bl);
    return sum_node(total.is_zero() ? TermList() : TermList(make_expr(total)));
  }
  // One literal: it goes last, unless it is zero.
  const Expression& lit = al ? a : b;
  const Expression& other = al ? b : a;
  if (literal(lit)->is_zero()) return sum_node(TermList(other));
  return make_pair_op(CommutativeKind::Add, other, lit);
}

// Two sums become one: the non-literal terms of lhs, then those of rhs, then the folded
// constant of both. Each step extends lhs's buffer when lhs is its newest view.
Expression merge(const TermList& a, const TermList& b) {
  const bool a_lit = ends_with_literal(a);
  const bool b_lit = ends_with_literal(b);
  const std::size_t bn = b.size() - (b_lit ? 1 : 0);
  TermList out = a;
  for (std::size_t i = 0; i < bn; ++i) out = a_lit ? out.inserted_before_last(b[i]) : out.appended(b[i]);
  if (a_lit && b_lit) {
    out = out.with_last(make_expr(fold_add(a.back().as<NumberLit>(), b.back().as<NumberLit>())));
  } else if (b_lit) {
    out = out.appended_apart(b.back());
  }
  return clean_up(std::move(out));
}

}  // namespace

Expression sum_step(const Expression& lhs, const Expression& rhs) {
  const CommutativeOp* ls = open_sum(lhs);
  if (!ls || literal(rhs) || open_sum(rhs) || !ls->terms.appends_at_once(rhs)) return Expression();
  // The term goes before a constant held apart as the tail, or last when there is none (see
  // append_term). A literal last among the buffered terms, or a tail that is no literal,
  // takes the general way.
  if (ends_with_literal(ls->terms) != ls->terms.has_tail()) return Expression();
  return make_commutative(CommutativeKind::Add, ls->terms, rhs, TermList::AtOnce());
}

Result<Expression> add(const Expression& lhs, const Expression& rhs) {
  // The step of a loop sum first: a term that is neither a literal nor an open sum joins an
  // open sum on the left, whatever its LaTeX (the general rules below give the same), in
  // place when it can.
  if (Expression e = sum_step(lhs, rhs)) return e;
  if (const CommutativeOp* ls = open_sum(lhs); ls && !literal(rhs) && !open_sum(rhs))
    return sum_node(append_term(ls->terms, rhs));

  const NumberLit* ll = literal(lhs);
  const NumberLit* rl = literal(rhs);
  if (ll && rl) return make_expr(fold_add(*ll, *rl));
  if (ll && ll->is_zero()) return rhs;
  if (rl && rl->is_zero()) return lhs;

  // A node with custom LaTeX stays one term: it is never opened, though it may join an
  // open sum on the other side.
  const bool lx = has_latex(lhs);
  const bool rx = has_latex(rhs);
  const CommutativeOp* ls = open_sum(lhs);
  const CommutativeOp* rs = open_sum(rhs);
  if (ll && rx) return build_sum(lhs, rhs);
  if (ls && rx) return sum_node(append_term(ls->terms, rhs));
  if (rs && lx) return sum_node(append_term(rs->terms, lhs));
  if (lx || rx) return build_sum(lhs, rhs);

  if (ll && rs) return clean_up(add_constant(rs->terms, lhs));
  if (ls) {
    if (rl) return clean_up(add_constant(ls->terms, rhs));
    if (rs) return merge(ls->terms, rs->terms);
    return sum_node(append_term(ls->terms, rhs));
  }
  if (rs) return sum_node(append_term(rs->terms, lhs));
  return build_sum(lhs, rhs);
}

Result<Expression> subtract(const Expression& lhs, const Expression& rhs) {
  const NumberLit* ll = literal(lhs);
  const NumberLit* rl = literal(rhs);
  const bool lz = ll && ll->is_zero();
  const bool rz = rl && rl->is_zero();
  if (lz && rz) return make_int(0);
  if (lz) return multiply(make_int(-1), rhs);
  if (rz) return lhs;
  if (ll && rl) return make_expr(fold_sub(*ll, *rl));
  TX_TRY(Expression negated, multiply(make_int(-1), rhs));
  return add(lhs, negated);
}

Expression negate(const Expression& e) {
  if (const NumberLit* l = literal(e)) return make_expr(fold_neg(*l));
  // Multiplying by a non-zero literal cannot fail.
  return multiply(make_int(-1), e).value();
}

}  // namespace tarvex
