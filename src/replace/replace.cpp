#include "replace/replace.hpp"

#include <optional>
#include <utility>
#include <vector>

#include "model/expression/operand/array_length.hpp"
#include "model/expression/operand/subscript.hpp"
#include "model/expression/operator/arithmetic.hpp"
#include "model/expression/operator/reduction_op/reduction_op.hpp"
#include "replace/equality.hpp"

namespace tarvex {
namespace {

bool is_leaf(const Expression& e) {
  switch (e.kind()) {
    case ExprKind::Number:
    case ExprKind::Placeholder:
    case ExprKind::Element:
    case ExprKind::DecisionVar: return true;
    default: return false;
  }
}

// The children that replacement visits, in stored order.
std::vector<Expression> children(const Expression& e) {
  switch (e.kind()) {
    case ExprKind::Subscript: {
      const auto& s = e.as<Subscript>();
      std::vector<Expression> out;
      out.reserve(s.subscripts.size() + 1);
      out.push_back(s.variable);
      out.insert(out.end(), s.subscripts.begin(), s.subscripts.end());
      return out;
    }
    case ExprKind::ArrayLength: return {e.as<ArrayLength>().array};
    case ExprKind::Unary: return {e.as<UnaryOp>().operand};
    case ExprKind::Binary: return {e.as<BinaryOp>().left, e.as<BinaryOp>().right};
    case ExprKind::Commutative: return e.as<CommutativeOp>().terms.to_vector();
    case ExprKind::Reduction: return {e.as<ReductionOp>().operand};
    default: return {};
  }
}

// A node whose children are being replaced.
struct Frame {
  Expression node;
  std::vector<Expression> kids;  // the original children
  std::vector<Expression> done;  // the replaced ones so far
};

Frame open(Expression node) {
  Frame f{std::move(node), {}, {}};
  f.kids = children(f.node);
  f.done.reserve(f.kids.size());
  return f;
}

// Whether a subscript of `v` takes the checks of a decision-variable receiver.
ItemCheck item_check_for(const Expression& v) {
  const Expression* root = &v;
  while (const auto* s = root->get_if<Subscript>()) root = &s->variable;
  return root->kind() == ExprKind::DecisionVar ? ItemCheck::BeforeCount : ItemCheck::AfterCount;
}

// A node of f.node's kind over the replaced children.
Result<Expression> rebuild(Frame& f) {
  bool same = true;
  for (std::size_t i = 0; i < f.kids.size() && same; ++i) same = f.kids[i].identity() == f.done[i].identity();
  if (same) return f.node;

  std::vector<Expression>& c = f.done;
  const Expression& e = f.node;
  switch (e.kind()) {
    case ExprKind::Subscript: {
      Expression variable = std::move(c.front());
      c.erase(c.begin());
      const ItemCheck when = item_check_for(variable);
      return make_subscript(variable, std::move(c), when);
    }
    case ExprKind::ArrayLength: {
      const auto& a = e.as<ArrayLength>();
      return make_array_length(std::move(c[0]), a.axis, std::nullopt, a.description);
    }
    case ExprKind::Unary: return unary(e.as<UnaryOp>().kind, c[0]);
    case ExprKind::Binary:
      if (e.as<BinaryOp>().kind == BinaryKind::Pow) return power(c[0], c[1]);
      return remainder(c[0], c[1]);
    case ExprKind::Commutative: {
      const CommutativeKind kind = e.as<CommutativeOp>().kind;
      if (kind == CommutativeKind::Min || kind == CommutativeKind::Max) return min_max(kind, std::move(c));
      return make_commutative(kind, TermList(std::move(c)));
    }
    case ExprKind::Reduction: {
      const auto& r = e.as<ReductionOp>();
      return build_reduction(r.kind, r.index, r.condition, std::move(c[0]));
    }
    default: return internal_error("replace: a leaf node was opened");
  }
}

class Replacement {
 public:
  explicit Replacement(const Replacer& r) : replacer_(r) {}

  Result<Expression> run(const Expression& root) {
    {
      TX_TRY(std::optional<Expression> taken, offer(root));
      if (taken) return std::move(*taken);
    }
    std::vector<Frame> stack;
    stack.push_back(open(root));
    while (true) {
      Frame& top = stack.back();
      if (top.done.size() < top.kids.size()) {
        const Expression& kid = top.kids[top.done.size()];
        TX_TRY(std::optional<Expression> taken, offer(kid));
        if (taken) {
          top.done.push_back(std::move(*taken));
        } else {
          Expression opened = kid;
          stack.push_back(open(std::move(opened)));  // invalidates `top`
        }
        continue;
      }
      TX_TRY(Expression built, rebuild(top));
      stack.pop_back();
      if (stack.empty()) return built;
      stack.back().done.push_back(std::move(built));
    }
  }

 private:
  // The replacer's result for `n` when it is taken as it is; nothing when `n` is to be
  // opened and rebuilt from its replaced children.
  Result<std::optional<Expression>> offer(const Expression& n) {
    TX_TRY(Expression proposed, replacer_(n));
    if (!proposed) return internal_error("replace: the replacer returned no expression");
    if (!is_leaf(n) && equal(proposed, n, Decorations::Compare)) return std::optional<Expression>();
    if (n.ndim() == 0) TX_CHECK(require_scalar(proposed));
    return std::optional<Expression>(std::move(proposed));
  }

  const Replacer& replacer_;
};

}  // namespace

Result<Expression> replace(const Expression& e, const Replacer& r) {
  if (!e) return internal_error("replace: no expression");
  return Replacement(r).run(e);
}

}  // namespace tarvex
