#include "analysis/extract.hpp"

#include <utility>

#include "replace/equality.hpp"

namespace tarvex {
namespace {

// The walk keeps its own stack of pending nodes, so a tree of any height is walked in
// constant C stack. Pending nodes are held by value (a reference-count increment each):
// a visitor may run code that builds other trees, and a term list may move its buffer
// when a view that covers it is appended to.
class PreOrder {
 public:
  explicit PreOrder(const NodeVisitor& v) : v_(v) {}

  void run(const Expression& e) {
    if (e) stack_.push_back(Item{e, Condition()});
    drain();
  }
  void run(const Condition& c) {
    if (c) stack_.push_back(Item{Expression(), c});
    drain();
  }

 private:
  struct Item {
    Expression expr;  // set for an expression node
    Condition cond;   // set for a condition node
  };

  void drain() {
    while (!stack_.empty()) {
      Item it = std::move(stack_.back());
      stack_.pop_back();
      if (it.expr) {
        if (v_.on_expression) v_.on_expression(it.expr);
        push_children(it.expr);
      } else {
        if (v_.on_condition) v_.on_condition(it.cond);
        push_children(it.cond);
      }
    }
  }

  // Children are pushed last to first, so they come off the stack in stored order.
  void push(const Expression& e) {
    if (e) stack_.push_back(Item{e, Condition()});
  }
  void push(const Condition& c) {
    if (c) stack_.push_back(Item{Expression(), c});
  }
  void push_reversed(const std::vector<Expression>& list) {
    for (auto it = list.rbegin(); it != list.rend(); ++it) push(*it);
  }

  void push_children(const Expression& e) {
    switch (e.kind()) {
      case ExprKind::Number:
      case ExprKind::Placeholder:
      case ExprKind::DecisionVar: return;
      case ExprKind::Element: {
        const ElementSet& set = e.as<Element>().belong_to;
        if (const Range* r = std::get_if<Range>(&set)) {
          push(r->end);
          push(r->start);
        } else {
          push(std::get<Expression>(set));
        }
        return;
      }
      case ExprKind::Subscript: {
        const auto& s = e.as<Subscript>();
        push_reversed(s.subscripts);
        push(s.variable);
        return;
      }
      case ExprKind::ArrayLength: push(e.as<ArrayLength>().array); return;
      case ExprKind::Unary: push(e.as<UnaryOp>().operand); return;
      case ExprKind::Binary: {
        const auto& b = e.as<BinaryOp>();
        push(b.right);
        push(b.left);
        return;
      }
      case ExprKind::Commutative: {
        const TermList& terms = e.as<CommutativeOp>().terms;
        for (std::size_t i = terms.size(); i-- > 0;) push(terms[i]);
        return;
      }
      case ExprKind::Reduction: {
        const auto& r = e.as<ReductionOp>();
        push(r.operand);
        push(r.condition);
        push(r.index);
        return;
      }
    }
  }

  void push_children(const Condition& c) {
    if (const auto* cmp = c.get_if<Comparison>()) {
      push(cmp->right);
      push(cmp->left);
      return;
    }
    const auto& terms = c.as<Logical>().terms;
    for (auto it = terms.rbegin(); it != terms.rend(); ++it) push(*it);
  }

  const NodeVisitor& v_;
  std::vector<Item> stack_;
};

const std::string kNoName;

// The bucket a variable is looked up in: its name, or for an array length the name of the
// array it measures behind a prefix no name starts with in practice. Any two variables
// that are equal land in the same bucket; the bucket only narrows the comparisons.
std::string bucket_of(const Expression& e) {
  if (e.kind() != ExprKind::ArrayLength) return variable_name(e);
  const Expression* a = &e.as<ArrayLength>().array;
  while (const auto* s = a->get_if<Subscript>()) a = &s->variable;
  return std::string(1, '\0') + variable_name(*a);
}

}  // namespace

void walk(const Expression& e, const NodeVisitor& v) { PreOrder(v).run(e); }

void walk(const Condition& c, const NodeVisitor& v) { PreOrder(v).run(c); }

void walk(const ForallList& f, const NodeVisitor& v) {
  for (const ForallItem& item : f) {
    walk(item.element, v);
    walk(item.condition, v);
  }
}

void walk(const Constraint& c, const NodeVisitor& v) {
  walk(c.left, v);
  walk(c.right, v);
  walk(c.forall, v);
}

void walk(const CustomPenaltyTerm& p, const NodeVisitor& v) {
  walk(p.expression, v);
  walk(p.forall, v);
}

void walk(const Problem& p, const NodeVisitor& v) {
  walk(p.objective(), v);
  for (const auto& [name, c] : p.constraints()) walk(c, v);
  for (const auto& [name, t] : p.custom_penalty_terms()) walk(t, v);
}

bool is_variable(const Expression& e) {
  switch (e.kind()) {
    case ExprKind::Placeholder:
    case ExprKind::Element:
    case ExprKind::DecisionVar:
    case ExprKind::ArrayLength: return true;
    default: return false;
  }
}

const std::string& variable_name(const Expression& e) {
  switch (e.kind()) {
    case ExprKind::Placeholder: return e.as<Placeholder>().name;
    case ExprKind::Element: return e.as<Element>().name;
    case ExprKind::DecisionVar: return e.as<DecisionVar>().name;
    default: return kNoName;
  }
}

void VariableCollector::visit(const Expression& e) {
  if (!is_variable(e)) return;
  std::string key = bucket_of(e);
  auto [first, last] = by_name_.equal_range(key);
  for (auto it = first; it != last; ++it)
    if (equal(vars_[it->second], e, Decorations::Ignore)) return;
  by_name_.emplace(std::move(key), vars_.size());
  vars_.push_back(e);
}

void VariableCollector::add(const Expression& x) {
  walk(x, NodeVisitor{[this](const Expression& e) { visit(e); }, nullptr});
}
void VariableCollector::add(const Condition& x) {
  walk(x, NodeVisitor{[this](const Expression& e) { visit(e); }, nullptr});
}
void VariableCollector::add(const Constraint& x) {
  walk(x, NodeVisitor{[this](const Expression& e) { visit(e); }, nullptr});
}
void VariableCollector::add(const CustomPenaltyTerm& x) {
  walk(x, NodeVisitor{[this](const Expression& e) { visit(e); }, nullptr});
}
void VariableCollector::add(const ForallList& x) {
  walk(x, NodeVisitor{[this](const Expression& e) { visit(e); }, nullptr});
}
void VariableCollector::add(const Problem& x) {
  walk(x, NodeVisitor{[this](const Expression& e) { visit(e); }, nullptr});
}

}  // namespace tarvex
