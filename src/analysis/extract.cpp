#include "analysis/extract.hpp"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "lib/interrupt.hpp"
#include "replace/equality.hpp"

namespace tarvex {

// The walk keeps its own stack of pending nodes, so a tree of any height is walked in
// constant C stack. Pending nodes are held by value (a reference-count increment each):
// a visitor may run code that builds other trees, and a term list may move its buffer
// when a view that covers it is appended to. Variables are leaves here: the walk does not
// enter a decision variable's shape or bounds.
//
// Walked per occurrence, a shared subtree is visited each time it is reached (2^n times in
// a chain of n levels of `e = e - e`); the long walk polls for interrupts. Walked per
// distinct node, each node is visited once, at its first occurrence, so the order of
// first appearances is the same.
class PreOrder {
 public:
  PreOrder(const NodeVisitor& v, Visits visits) : v_(v), distinct_(visits == Visits::Distinct) {}

  Status run(const Expression& e) {
    push(e);
    return drain();
  }
  Status run(const Condition& c) {
    push(c);
    return drain();
  }

 private:
  struct Item {
    Expression expr;  // set for an expression node
    Condition cond;   // set for a condition node
  };

  Status drain() {
    while (!stack_.empty()) {
      if (poll_()) return interrupted();
      if (v_.stop && *v_.stop) return Ok{};
      Item it = std::move(stack_.back());
      stack_.pop_back();
      if (distinct_ && !seen_.insert(it.expr ? it.expr.identity() : it.cond.identity()).second) continue;
      const std::size_t mark = stack_.size();
      auto child = [this](const auto& c) { push(c); };
      if (it.expr) {
        if (v_.on_expression) v_.on_expression(it.expr);
        if (it.expr.kind() != ExprKind::DecisionVar) for_each_child(it.expr, child, child);
      } else {
        if (v_.on_condition) v_.on_condition(it.cond);
        for_each_child(it.cond, child, child);
      }
      // Children were pushed in stored order; reversed, they come off the stack in order.
      std::reverse(stack_.begin() + std::ptrdiff_t(mark), stack_.end());
    }
    return Ok{};
  }

  void push(const Expression& e) {
    if (e) stack_.push_back(Item{e, Condition()});
  }
  void push(const Condition& c) {
    if (c) stack_.push_back(Item{Expression(), c});
  }

  const NodeVisitor& v_;
  const bool distinct_;
  std::vector<Item> stack_;
  std::unordered_set<const void*> seen_;
  InterruptPoll poll_;
};

namespace {

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

Status Walker::walk(const Expression& e) { return e ? pre_order_->run(e) : Status(Ok{}); }

Status Walker::walk(const Condition& c) { return c ? pre_order_->run(c) : Status(Ok{}); }

Status Walker::walk(const ForallList& f) {
  for (const ForallItem& item : f) {
    TX_CHECK(walk(item.element));
    TX_CHECK(walk(item.condition));
  }
  return Ok{};
}

Status Walker::walk(const Constraint& c) {
  TX_CHECK(walk(c.left));
  TX_CHECK(walk(c.right));
  return walk(c.forall);
}

Status Walker::walk(const CustomPenaltyTerm& p) {
  TX_CHECK(walk(p.expression));
  return walk(p.forall);
}

Status Walker::walk(const Problem& p) {
  TX_CHECK(walk(p.objective()));
  for (const auto& [name, c] : p.constraints()) TX_CHECK(walk(c));
  for (const auto& [name, t] : p.custom_penalty_terms()) TX_CHECK(walk(t));
  return Ok{};
}

Walker::Walker(const NodeVisitor& v, Visits visits) : pre_order_(std::make_unique<PreOrder>(v, visits)) {}
Walker::~Walker() = default;

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

VariableCollector::VariableCollector()
    : visitor_{[this](const Expression& e) { visit(e); }, nullptr}, walker_(visitor_, Visits::Distinct) {}

}  // namespace tarvex
