#include "analysis/degree.hpp"

#include "lib/interrupt.hpp"

#include <cmath>
#include <limits>
#include <unordered_map>
#include <vector>

namespace tarvex {
namespace {

constexpr double kMinusInf = -std::numeric_limits<double>::infinity();

// The larger of two degrees; a NaN never wins.
double larger(double a, double b) {
  if (std::isnan(b)) return a;
  if (std::isnan(a)) return b;
  return a < b ? b : a;
}

// The state after walking one node: its degree, the highest degree seen inside it, and
// whether some degree inside it depends on the data.
struct State {
  double degree = 0.0;
  double highest = kMinusInf;
  bool dynamic = false;
};

State leaf(double degree) { return State{degree, larger(kMinusInf, degree), false}; }

// The nodes whose degree the walk takes from children. Everything else is a leaf here: a
// unary operator cannot hold a decision variable, and a subscript is decided by its
// subscripted operand alone.
bool has_degree_children(const Expression& e) {
  switch (e.kind()) {
    case ExprKind::Binary:
    case ExprKind::Commutative:
    case ExprKind::Reduction: return true;
    default: return false;
  }
}

State leaf_state(const Expression& e) {
  switch (e.kind()) {
    case ExprKind::DecisionVar: return leaf(1.0);
    case ExprKind::Subscript: {
      const Expression* v = &e.as<Subscript>().variable;
      while (const auto* s = v->get_if<Subscript>()) v = &s->variable;
      return leaf(v->kind() == ExprKind::DecisionVar ? 1.0 : 0.0);
    }
    default: return leaf(0.0);
  }
}

// A node whose children are being walked. `degree` accumulates the children's degrees
// the way the node combines them; `highest` and `dynamic` merge theirs.
struct Frame {
  const Expression* node;
  std::size_t next = 0;  // the next child to walk
  double degree = 0.0;
  double highest = kMinusInf;
  bool dynamic = false;
};

std::size_t child_count(const Expression& e) {
  switch (e.kind()) {
    case ExprKind::Binary: return e.as<BinaryOp>().kind == BinaryKind::Mod ? 2 : 1;  // a power walks its base
    case ExprKind::Commutative: return e.as<CommutativeOp>().terms.size();
    case ExprKind::Reduction: return 1;
    default: return 0;
  }
}

const Expression& child(const Expression& e, std::size_t i) {
  switch (e.kind()) {
    case ExprKind::Binary: return i == 0 ? e.as<BinaryOp>().left : e.as<BinaryOp>().right;
    case ExprKind::Commutative: return e.as<CommutativeOp>().terms[i];
    default: return e.as<ReductionOp>().operand;
  }
}

Frame open(const Expression& e) {
  Frame f{&e};
  if (const auto* c = e.get_if<CommutativeOp>()) {
    // A product adds the degrees of its factors (0 for none); the others take the largest.
    f.degree = c->kind == CommutativeKind::Mul ? 0.0 : kMinusInf;
  }
  return f;
}

void absorb(Frame& f, const State& s) {
  f.highest = larger(f.highest, s.highest);
  f.dynamic = f.dynamic || s.dynamic;
  if (const auto* c = f.node->get_if<CommutativeOp>()) {
    f.degree = c->kind == CommutativeKind::Mul ? f.degree + s.degree : larger(f.degree, s.degree);
  } else {
    f.degree = s.degree;  // a remainder keeps its right side's degree
  }
}

// The number of values an index ranges over, when its range has two literal ends.
bool literal_range_length(const Expression& index, double& length) {
  const auto* el = index.get_if<Element>();
  const Range* r = el ? std::get_if<Range>(&el->belong_to) : nullptr;
  if (!r) return false;
  const auto* start = r->start.get_if<NumberLit>();
  const auto* end = r->end.get_if<NumberLit>();
  if (!start || !end) return false;
  length = end->as_double() - start->as_double();
  return true;
}

State close(const Frame& f) {
  State s{f.degree, f.highest, f.dynamic};
  const Expression& e = *f.node;
  if (const auto* b = e.get_if<BinaryOp>(); b && b->kind == BinaryKind::Pow) {
    if (const auto* exponent = b->right.get_if<NumberLit>()) {
      s.degree *= exponent->as_double();
    } else {
      s.dynamic = true;
    }
  } else if (const auto* r = e.get_if<ReductionOp>(); r && r->kind == ReductionKind::Prod) {
    double length = 0.0;
    if (literal_range_length(r->index, length)) {
      s.degree *= length;
    } else {
      s.dynamic = true;
    }
  }
  s.highest = larger(s.highest, s.degree);
  return s;
}

}  // namespace

Result<Degree> degree_of(const Expression& e) {
  if (!e) return Degree{kMinusInf, false};
  if (!has_degree_children(e)) {
    const State s = leaf_state(e);
    return Degree{s.highest, s.dynamic};
  }
  // The state of a node depends on its subtree alone, so each distinct node is walked once:
  // a shared subtree reached again takes its remembered state.
  std::unordered_map<const void*, State> closed;
  InterruptPoll poll;
  std::vector<Frame> stack;
  stack.push_back(open(e));
  State done;
  while (true) {
    if (poll()) return interrupted();
    Frame& top = stack.back();
    if (top.next < child_count(*top.node)) {
      const Expression& c = child(*top.node, top.next++);
      if (!has_degree_children(c)) {
        absorb(top, leaf_state(c));
      } else if (auto known = closed.find(c.identity()); known != closed.end()) {
        absorb(top, known->second);
      } else {
        stack.push_back(open(c));  // `top` is not used past this point
      }
      continue;
    }
    done = close(top);
    closed.emplace(top.node->identity(), done);
    stack.pop_back();
    if (stack.empty()) break;
    absorb(stack.back(), done);
  }
  return Degree{done.highest, done.dynamic};
}

Result<bool> is_linear(const Expression& e) {
  TX_TRY(const Degree d, degree_of(e));
  return !d.dynamic && d.highest == 1.0;
}

Result<bool> is_quadratic(const Expression& e) {
  TX_TRY(const Degree d, degree_of(e));
  return !d.dynamic && d.highest == 2.0;
}

Result<bool> is_higher_order(const Expression& e) {
  TX_TRY(const Degree d, degree_of(e));
  return !d.dynamic && d.highest > 2.0;
}

Result<bool> is_dynamic_degree(const Expression& e) {
  TX_TRY(const Degree d, degree_of(e));
  return d.dynamic;
}

}  // namespace tarvex
