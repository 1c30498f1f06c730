#include "replace/equality.hpp"

#include <bit>
#include <cmath>
#include <cstdint>
#include <unordered_set>
#include <vector>

namespace tarvex {
namespace {

class Comparer {
 public:
  explicit Comparer(Decorations d) : compare_decorations_(d == Decorations::Compare) {}

  bool run() {
    while (!work_.empty()) {
      Item it = work_.back();
      work_.pop_back();
      const bool same = it.expr ? expr(*it.ea, *it.eb) : cond(*it.ca, *it.cb);
      if (!same) return false;
    }
    return true;
  }

  bool push(const Expression& a, const Expression& b) {
    if (a.identity() == b.identity()) return true;
    if (!a || !b) return false;
    if (!first_time(a.identity(), b.identity())) return true;
    work_.push_back({true, &a, &b, nullptr, nullptr});
    return true;
  }
  bool push(const Condition& a, const Condition& b) {
    if (a.identity() == b.identity()) return true;
    if (!a || !b) return false;
    if (!first_time(a.identity(), b.identity())) return true;
    work_.push_back({false, nullptr, nullptr, &a, &b});
    return true;
  }


 private:
  struct Item {
    bool expr;
    const Expression* ea;
    const Expression* eb;
    const Condition* ca;
    const Condition* cb;
  };

  bool decor(const OptString& a, const OptString& b) const { return !compare_decorations_ || a == b; }

  bool list(std::span<const Expression> a, std::span<const Expression> b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
      if (!push(a[i], b[i])) return false;
    return true;
  }

  bool set(const ElementSet& a, const ElementSet& b) {
    if (a.index() != b.index()) return false;
    if (const Range* ra = std::get_if<Range>(&a)) {
      const Range& rb = std::get<Range>(b);
      return push(ra->start, rb.start) && push(ra->end, rb.end);
    }
    return push(std::get<Expression>(a), std::get<Expression>(b));
  }

  bool expr(const Expression& a, const Expression& b) {
    if (a.kind() != b.kind()) return false;
    if (!decor(a.latex(), b.latex())) return false;
    switch (a.kind()) {
      case ExprKind::Number: return same_literal(a.as<NumberLit>(), b.as<NumberLit>());
      case ExprKind::Placeholder: {
        const auto &x = a.as<Placeholder>(), &y = b.as<Placeholder>();
        return x.name == y.name && x.ndim == y.ndim && decor(x.description, y.description);
      }
      case ExprKind::Element: {
        const auto &x = a.as<Element>(), &y = b.as<Element>();
        return x.name == y.name && decor(x.description, y.description) && set(x.belong_to, y.belong_to);
      }
      case ExprKind::DecisionVar: {
        const auto &x = a.as<DecisionVar>(), &y = b.as<DecisionVar>();
        return x.kind == y.kind && x.name == y.name && decor(x.description, y.description) &&
               x.lower_bound.kind == y.lower_bound.kind && x.upper_bound.kind == y.upper_bound.kind &&
               list(x.shape, y.shape) && push(x.lower_bound.value, y.lower_bound.value) &&
               push(x.upper_bound.value, y.upper_bound.value);
      }
      case ExprKind::Subscript: {
        const auto &x = a.as<Subscript>(), &y = b.as<Subscript>();
        return push(x.variable, y.variable) && list(x.subscripts, y.subscripts);
      }
      case ExprKind::ArrayLength: {
        const auto &x = a.as<ArrayLength>(), &y = b.as<ArrayLength>();
        return x.axis == y.axis && decor(x.description, y.description) && push(x.array, y.array);
      }
      case ExprKind::Unary: {
        const auto &x = a.as<UnaryOp>(), &y = b.as<UnaryOp>();
        return x.kind == y.kind && push(x.operand, y.operand);
      }
      case ExprKind::Binary: {
        const auto &x = a.as<BinaryOp>(), &y = b.as<BinaryOp>();
        return x.kind == y.kind && push(x.left, y.left) && push(x.right, y.right);
      }
      case ExprKind::Commutative: {
        const auto &x = a.as<CommutativeOp>(), &y = b.as<CommutativeOp>();
        if (x.kind != y.kind || x.terms.size() != y.terms.size()) return false;
        for (std::size_t i = 0; i < x.terms.size(); ++i)
          if (!push(x.terms[i], y.terms[i])) return false;
        return true;
      }
      case ExprKind::Reduction: {
        const auto &x = a.as<ReductionOp>(), &y = b.as<ReductionOp>();
        if (x.kind != y.kind || bool(x.condition) != bool(y.condition)) return false;
        if (x.condition && !push(x.condition, y.condition)) return false;
        return push(x.index, y.index) && push(x.operand, y.operand);
      }
    }
    return false;
  }

  // The type is part of a literal's value. Floats compare by their bits, so 0.0 and -0.0
  // differ (they print differently), and any two NaNs are the same literal.
  static bool same_literal(const NumberLit& a, const NumberLit& b) {
    if (a.is_integer() != b.is_integer()) return false;
    if (a.is_integer()) return a.int_value() == b.int_value();
    const double x = a.float_value(), y = b.float_value();
    if (std::isnan(x) || std::isnan(y)) return std::isnan(x) && std::isnan(y);
    return std::bit_cast<std::uint64_t>(x) == std::bit_cast<std::uint64_t>(y);
  }

  bool cond(const Condition& a, const Condition& b) {
    if (a.kind() != b.kind() || !decor(a.latex(), b.latex())) return false;
    if (const auto* x = a.get_if<Comparison>()) {
      const auto& y = b.as<Comparison>();
      return x->kind == y.kind && push(x->left, y.left) && push(x->right, y.right);
    }
    const auto &x = a.as<Logical>(), &y = b.as<Logical>();
    if (x.kind != y.kind || x.terms.size() != y.terms.size()) return false;
    for (std::size_t i = 0; i < x.terms.size(); ++i)
      if (!push(x.terms[i], y.terms[i])) return false;
    return true;
  }

  // The result is a conjunction over pairs of nodes: a pair already queued is either
  // equal or will fail the comparison when its turn comes, so it is never queued twice.
  // Shared subtrees (2^n paths in n nodes) thus cost once. Small comparisons, the common
  // case, skip the table.
  bool first_time(const void* a, const void* b) {
    if (++pushed_ <= kUnrememberedPairs) return true;
    return seen_.insert(Pair{a, b}).second;
  }
  static constexpr std::size_t kUnrememberedPairs = 64;
  struct Pair {
    const void* a;
    const void* b;
    bool operator==(const Pair&) const = default;
  };
  struct PairHash {
    std::size_t operator()(const Pair& p) const noexcept {
      const auto x = reinterpret_cast<std::uintptr_t>(p.a), y = reinterpret_cast<std::uintptr_t>(p.b);
      return std::hash<std::uintptr_t>()(x * 0x9E3779B97F4A7C15ull ^ (y + (x << 6) + (x >> 2)));
    }
  };

  bool compare_decorations_;
  std::vector<Item> work_;
  std::size_t pushed_ = 0;
  std::unordered_set<Pair, PairHash> seen_;  // both trees are held by the caller: stable keys
};

}  // namespace

bool equal(const Expression& a, const Expression& b, Decorations d) {
  Comparer c(d);
  return c.push(a, b) && c.run();
}

bool equal(const Condition& a, const Condition& b, Decorations d) {
  Comparer c(d);
  return c.push(a, b) && c.run();
}

}  // namespace tarvex
