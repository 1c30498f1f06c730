#include "model/forall.hpp"

#include <unordered_set>
#include <variant>

#include "replace/equality.hpp"

namespace tarvex {
namespace {

using ElementSetList = std::vector<Expression>;

bool contains(const ElementSetList& s, const Expression& e) {
  for (const Expression& x : s)
    if (equal(x, e, Decorations::Ignore)) return true;
  return false;
}

void insert(ElementSetList& s, const Expression& e) {
  if (!contains(s, e)) s.push_back(e);
}

std::string names(const ElementSetList& s) {
  std::string out;
  for (const Expression& e : s) {
    if (!out.empty()) out += ", ";
    out += e.as<Element>().name;
  }
  return out;
}

// Bound and free elements of a tree, by a depth-first walk: an element occurrence is free
// unless a reduction met earlier bound it; every element's set is walked as well. The lists
// only grow, so a node reached again through a shared sub-tree adds nothing: each distinct
// node is visited once.
class ElementAnalysis {
 public:
  ElementSetList bound, free;

  void run(const Expression& e) {
    push(e);
    drain();
  }
  void run(const Condition& c) {
    push(c);
    drain();
  }

 private:
  using Item = std::variant<Expression, Condition>;

  void push(const Expression& e) {
    if (e) stack_.emplace_back(e);
  }
  void push(const Condition& c) {
    if (c) stack_.emplace_back(c);
  }
  // Children are pushed in reverse, so that they are visited in order.
  void push_set(const ElementSet& s) {
    if (const Range* r = std::get_if<Range>(&s)) {
      push(r->end);
      push(r->start);
    } else {
      push(std::get<Expression>(s));
    }
  }

  void drain() {
    while (!stack_.empty()) {
      Item it = std::move(stack_.back());
      stack_.pop_back();
      if (!visited_.insert(std::visit([](const auto& n) { return n.identity(); }, it)).second) continue;
      if (const Expression* e = std::get_if<Expression>(&it)) {
        visit(*e);
      } else {
        visit(std::get<Condition>(it));
      }
    }
  }

  void visit(const Condition& c) {
    if (const auto* cmp = c.get_if<Comparison>()) {
      push(cmp->right);
      push(cmp->left);
      return;
    }
    const auto& terms = c.as<Logical>().terms;
    for (auto t = terms.rbegin(); t != terms.rend(); ++t) push(*t);
  }

  void visit(const Expression& e) {
    switch (e.kind()) {
      case ExprKind::Element: {
        if (!contains(bound, e)) insert(free, e);
        push_set(e.as<Element>().belong_to);
        return;
      }
      case ExprKind::Reduction: {
        const auto& r = e.as<ReductionOp>();
        insert(bound, r.index);
        push(r.operand);
        push(r.condition);
        push_set(r.index.as<Element>().belong_to);
        return;
      }
      case ExprKind::Subscript: {
        const auto& s = e.as<Subscript>();
        for (auto t = s.subscripts.rbegin(); t != s.subscripts.rend(); ++t) push(*t);
        if (s.variable.kind() == ExprKind::Element || s.variable.kind() == ExprKind::Subscript) push(s.variable);
        return;
      }
      case ExprKind::ArrayLength: push(e.as<ArrayLength>().array); return;
      case ExprKind::Unary: push(e.as<UnaryOp>().operand); return;
      case ExprKind::Binary:
        push(e.as<BinaryOp>().right);
        push(e.as<BinaryOp>().left);
        return;
      case ExprKind::Commutative: {
        const TermList& t = e.as<CommutativeOp>().terms;
        for (std::size_t i = t.size(); i-- > 0;) push(t[i]);
        return;
      }
      default: return;  // literals, placeholders, decision variables
    }
  }

  std::vector<Item> stack_;
  std::unordered_set<const void*> visited_;
};

template <class Tree>
Status validate(const ForallList& forall, const Tree& tree) {
  ElementAnalysis a;
  a.run(tree);
  ElementSetList quantified;
  for (const ForallItem& item : forall) quantified.push_back(item.element);

  ElementSetList shared;
  for (const Expression& e : quantified)
    if (contains(a.bound, e)) shared.push_back(e);
  if (!shared.empty())
    return modeling_error(
        "Invalid forall -- Elements in forall list are already associated with operators in the expression: " +
        names(shared));

  ElementSetList unquantified, unused;
  for (const Expression& e : a.free)
    if (!contains(quantified, e)) unquantified.push_back(e);
  for (const Expression& e : quantified)
    if (!contains(a.free, e)) unused.push_back(e);
  if (unquantified.empty() && unused.empty()) return Ok{};
  std::string msg = "Invalid forall:";
  if (!unquantified.empty())
    msg += "\nExpression contained elements not used in the forall list or any operator: " + names(unquantified);
  if (!unused.empty())
    msg += "\nForall list contained elements not in expression or already associated with operators: " +
           names(unused);
  return modeling_error(std::move(msg));
}

}  // namespace

Result<ForallList> make_forall_list(std::vector<ForallItem> items) {
  ElementSetList seen;
  for (const ForallItem& item : items) {
    if (contains(seen, item.element)) return modeling_error("forall has duplicated indices");
    seen.push_back(item.element);
    if (item.condition) {
      ElementAnalysis a;
      a.run(item.condition);
      for (const Expression& e : a.free)
        if (!contains(seen, e)) return modeling_error("forall scope error");
    }
  }
  return items;
}

Status validate_forall(const ForallList& forall, const Expression& e) { return validate(forall, e); }
Status validate_forall(const ForallList& forall, const Condition& c) { return validate(forall, c); }

}  // namespace tarvex
