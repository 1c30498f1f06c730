// The one walk over the operation table, generic over a value domain: numbers for the
// evaluation of a sample, polynomials over the columns to ground a quantity once.
//
// A domain D provides:
//   using T;                                   the value type
//   T constant(double);
//   Result<T> variable(uint32 var, uint64 flat);  an entry of a decision variable
//   bool number(T&, double&);                  the value when it is a constant
//   Status add/mul/div/min/max(T& acc, T&& v); folds
//   Result<T> unary(UnaryKind, T&&), pow(T&&, T&&), mod(T&&, T&&)
// Conditions, subscripts, sets and array lengths are data only: their values must be
// constants of the domain, and an operation that depends on a decision variable there is
// refused before it is evaluated.
//
// The walk keeps its own stack. A node reached from several places keeps its last value
// with the serials of the bindings of its free elements; while none has been bound again
// (and, for a value that depends on the solution, within one epoch) it is reused, so a
// shared subtree costs once per distinct binding rather than once per path.
#pragma once

#include <cmath>
#include <utility>
#include <vector>

#include "instance/scope.hpp"
#include "lib/interrupt.hpp"

namespace tarvex {

template <class D>
class Walk {
 public:
  using T = typename D::T;

  Walk(const Env& env, Scope& scope, D& dom) : env_(env), prog_(*env.prog), scope_(scope), dom_(dom) {
    memo_.resize(prog_.ops.size());
  }

  // A new epoch: memos of values that depend on the solution are stale.
  void next_epoch() { ++epoch_; }

  Result<T> run(std::uint32_t root) {
    frames_.clear();
    values_.clear();
    Status s = push(root);
    while (s && !frames_.empty()) s = poll_() ? Status(interrupted()) : step();
    if (!s) {
      // Elements bound by the reductions still open go back to their outer bindings.
      for (auto l = loops_.rbegin(); l != loops_.rend(); ++l) scope_.restore(l->slot, l->saved);
      loops_.clear();
      frames_.clear();
      return std::move(s).error();
    }
    return std::move(values_.back());
  }

  // A data-only value: the number, or ValueError naming `what` when it depends on the
  // solution.
  Result<double> number(std::uint32_t root, const char* what) {
    if (prog_.ops[root].has_dv) return dv_error(root, what);
    TX_TRY(T v, run(root));
    double out = 0;
    if (!dom_.number(v, out)) return dv_error(what);
    return out;
  }

  // True when the condition holds.
  Result<bool> holds(std::uint32_t cond) {
    TX_TRY(const double v, number(cond, "a condition"));
    return v != 0;
  }

 private:
  struct Memo {
    T value{};
    std::uint64_t stamp = 0;
    std::uint64_t epoch = 0;
    bool valid = false;
  };
  // 24 bytes, so that a million nested operations stay small: a fold keeps its running
  // value on the value stack at `base`, a reduction its set and the outer binding of its
  // element in loops_.
  struct Frame {
    std::uint32_t op = 0;
    std::uint32_t stage = 0;
    std::uint64_t base = 0;  // the size of the value stack when the frame started
    std::uint64_t k = 0;
  };
  struct Loop {
    SetCursor set;
    Binding saved;
    std::uint32_t slot = 0;
  };
  enum : std::uint32_t { kLoop = 1u << 30, kCond, kOperand };

  static Error dv_error(const char* what) {
    return value_error(std::string(what) + " depends on a decision variable: only data is allowed there");
  }
  // The same, naming the variable that op i depends on.
  Error dv_error(std::uint32_t i, const char* what) const {
    std::string name = prog_.variable_in(i);
    if (name.empty()) return dv_error(what);
    return value_error(std::string(what) + " depends on the decision variable " + name + ": only data is allowed there");
  }

  bool memo_valid(std::uint32_t i) const {
    const Op& op = prog_.ops[i];
    const Memo& m = memo_[i];
    return m.valid && (!op.has_dv || m.epoch == epoch_) &&
           m.stamp == scope_.stamp(prog_.deps.data() + op.deps_first, op.deps_count);
  }

  // Starts op i: a leaf or a valid memo gives its value at once, anything else a frame.
  Status push(std::uint32_t i) {
    const Op& op = prog_.ops[i];
    switch (op.kind) {
      case OpKind::Const: values_.push_back(dom_.constant(op.value)); return Ok{};
      case OpKind::Data: {
        const JaggedArray& d = *env_.data[op.ref];
        if (d.ndim() != 0)
          return value_error("the placeholder " + prog_.placeholders[op.ref].name + " is an array where a number is expected");
        values_.push_back(dom_.constant(d.values[0]));
        return Ok{};
      }
      case OpKind::Elem: {
        const Binding& b = scope_[op.ref];
        if (!b.bound)
          return value_error("the element " + prog_.elements[op.ref] +
                             " is used outside the sum, product or forall that binds it");
        if (b.is_array) return value_error("the element " + prog_.elements[op.ref] + " is an array where a number is expected");
        values_.push_back(dom_.constant(b.scalar));
        return Ok{};
      }
      case OpKind::Var: {
        if (!env_.vars[op.ref].shape.empty())
          return value_error("the decision variable " + prog_.variables[op.ref].name +
                             " is an array where a number is expected");
        TX_TRY(T v, dom_.variable(op.ref, 0));
        values_.push_back(std::move(v));
        return Ok{};
      }
      default: break;
    }
    if (op.memo && memo_valid(i)) {
      values_.push_back(memo_[i].value);
      return Ok{};
    }
    Frame f;
    f.op = i;
    f.base = values_.size();
    frames_.push_back(std::move(f));
    return Ok{};
  }

  // Pushes a data-only child: refused when it depends on the solution.
  Status push_data(std::uint32_t i, const char* what) {
    if (prog_.ops[i].has_dv) return dv_error(i, what);
    return push(i);
  }

  Result<double> pop_number(const char* what) {
    T v = std::move(values_.back());
    values_.pop_back();
    double out = 0;
    if (!dom_.number(v, out)) return dv_error(what);
    return out;
  }

  // Ends the top frame with its value.
  void finish(T v) {
    const std::uint32_t i = frames_.back().op;
    values_.resize(frames_.back().base);
    frames_.pop_back();
    const Op& op = prog_.ops[i];
    if (op.memo) {
      Memo& m = memo_[i];
      m.value = v;
      m.valid = true;
      m.epoch = epoch_;
      m.stamp = scope_.stamp(prog_.deps.data() + op.deps_first, op.deps_count);
    }
    values_.push_back(std::move(v));
  }

  std::uint32_t child(const Op& op, std::uint32_t k) const { return prog_.children[op.first + k]; }

  // The children's values as numbers, in scratch_.
  Status numbers(const Frame& f, std::size_t n, const char* what) {
    scratch_.resize(n);
    for (std::size_t k = 0; k < n; ++k)
      if (!dom_.number(values_[f.base + k], scratch_[k])) return dv_error(what);
    return Ok{};
  }

  Status step() {
    Frame& f = frames_.back();
    const Op& op = prog_.ops[f.op];
    switch (op.kind) {
      case OpKind::Sub:
      case OpKind::Len: {
        if (f.stage < op.count) return push_data(child(op, f.stage++), "a subscript");
        TX_CHECK(numbers(f, op.count, "a subscript"));
        const ArraySpec& a = prog_.arrays[op.array];
        TX_TRY(const Position p, locate(env_, scope_, a, scratch_.data(), op.count));
        if (op.kind == OpKind::Len) {
          TX_TRY(const std::uint64_t n, length_at(env_, p, op.aux, prog_.base_name(a)));
          finish(dom_.constant(double(n)));
          return Ok{};
        }
        if (p.kind == Position::Number) {
          finish(dom_.constant(p.value));
          return Ok{};
        }
        if (p.kind == Position::VarEntry && p.level == env_.vars[p.ref].shape.size()) {
          TX_TRY(T v, dom_.variable(p.ref, p.row));
          finish(std::move(v));
          return Ok{};
        }
        return value_error("the subscripted " + prog_.base_name(a) + " is an array where a number is expected");
      }
      case OpKind::Unary:
      case OpKind::Pow:
      case OpKind::Mod: {
        if (f.stage < op.count) return push(child(op, f.stage++));
        Result<T> r = op.kind == OpKind::Unary ? dom_.unary(UnaryKind(op.aux), std::move(values_[f.base]))
                      : op.kind == OpKind::Pow
                          ? dom_.pow(std::move(values_[f.base]), std::move(values_[f.base + 1]))
                          : dom_.mod(std::move(values_[f.base]), std::move(values_[f.base + 1]));
        if (!r) return std::move(r).error();
        finish(std::move(r).value());
        return Ok{};
      }
      case OpKind::Add:
      case OpKind::Mul:
      case OpKind::Min:
      case OpKind::Max: {
        if (f.stage == 0) {
          values_.push_back(dom_.constant(op.kind == OpKind::Add ? 0.0
                                          : op.kind == OpKind::Mul ? 1.0
                                          : op.kind == OpKind::Min ? HUGE_VAL
                                                                   : -HUGE_VAL));
        } else {
          T v = std::move(values_.back());
          values_.pop_back();
          T& acc = values_[f.base];
          const std::uint32_t k = f.stage - 1;
          Status s = op.kind == OpKind::Add ? dom_.add(acc, std::move(v))
                     : op.kind == OpKind::Mul
                         ? (prog_.divides[op.first + k] ? dom_.div(acc, std::move(v)) : dom_.mul(acc, std::move(v)))
                     : op.kind == OpKind::Min ? dom_.min(acc, std::move(v))
                                              : dom_.max(acc, std::move(v));
          TX_CHECK(s);
        }
        if (f.stage < op.count) return push(child(op, f.stage++));
        finish(std::move(values_[f.base]));
        return Ok{};
      }
      case OpKind::Cmp: {
        if (f.stage < 2) return push_data(child(op, f.stage++), "a condition");
        TX_CHECK(numbers(f, 2, "a condition"));
        const double a = scratch_[0], b = scratch_[1];
        bool r = false;
        switch (ComparisonKind(op.aux)) {
          case ComparisonKind::Equal: r = a == b; break;
          case ComparisonKind::NotEqual: r = a != b; break;
          case ComparisonKind::LessThan: r = a < b; break;
          case ComparisonKind::LessThanEqual: r = a <= b; break;
          case ComparisonKind::GreaterThan: r = a > b; break;
          case ComparisonKind::GreaterThanEqual: r = a >= b; break;
        }
        finish(dom_.constant(r ? 1.0 : 0.0));
        return Ok{};
      }
      case OpKind::And:
      case OpKind::Or:
      case OpKind::Xor: {
        // And and Or stop at the first term that decides (so `(i > 0) & (a[i - 1] > 0)`
        // never reads a[-1]); the value is kept in k.
        if (f.stage == 0) {
          f.k = op.kind == OpKind::And ? 1 : 0;
        } else {
          TX_TRY(const double v, pop_number("a condition"));
          const bool t = v != 0;
          if (op.kind == OpKind::And) f.k = f.k && t;
          if (op.kind == OpKind::Or) f.k = f.k || t;
          if (op.kind == OpKind::Xor) f.k = f.k != std::uint64_t(t);
          if ((op.kind == OpKind::And && !f.k) || (op.kind == OpKind::Or && f.k)) f.stage = op.count;
        }
        if (f.stage < op.count) return push_data(child(op, f.stage++), "a condition");
        finish(dom_.constant(f.k ? 1.0 : 0.0));
        return Ok{};
      }
      case OpKind::Sum:
      case OpKind::Prod: return reduction(f, op);
      default: return internal_error("a leaf operation reached the frame loop");
    }
  }

  Status reduction(Frame& f, const Op& op) {
    const SetSpec& s = prog_.sets[op.aux];
    const std::size_t nset = s.is_range ? 2 : s.array.subscripts.size();
    const bool sum = op.kind == OpKind::Sum;
    if (f.stage < nset) {
      const std::uint32_t c = s.is_range ? (f.stage == 0 ? s.start : s.end) : s.array.subscripts[f.stage];
      ++f.stage;
      return push_data(c, "the set of an element");
    }
    if (f.stage == nset) {
      TX_CHECK(numbers(f, nset, "the set of an element"));
      TX_TRY(SetCursor set, open_set(env_, scope_, s, scratch_.data()));
      values_.resize(f.base);
      values_.push_back(dom_.constant(sum ? 0.0 : 1.0));
      loops_.push_back(Loop{set, scope_[op.ref], op.ref});
      f.k = 0;
      f.stage = kLoop;
    } else if (f.stage == kCond) {
      TX_TRY(const double v, pop_number("a condition"));
      if (v != 0) {
        f.stage = kOperand;
        return push(child(op, 0));
      }
      ++f.k;
      f.stage = kLoop;
    } else if (f.stage == kOperand) {
      T v = std::move(values_.back());
      values_.pop_back();
      T& acc = values_[f.base];
      TX_CHECK(sum ? dom_.add(acc, std::move(v)) : dom_.mul(acc, std::move(v)));
      ++f.k;
      f.stage = kLoop;
    }
    // kLoop: the next member, or the end.
    const Loop& loop = loops_.back();
    if (f.k == loop.set.n) {
      scope_.restore(op.ref, loop.saved);
      loops_.pop_back();
      finish(std::move(values_[f.base]));
      return Ok{};
    }
    scope_.bind(op.ref, loop.set.member(env_, f.k));
    if (op.cond >= 0) {
      f.stage = kCond;
      return push_data(std::uint32_t(op.cond), "a condition");
    }
    f.stage = kOperand;
    return push(child(op, 0));
  }

  const Env& env_;
  const Program& prog_;
  Scope& scope_;
  D& dom_;
  std::vector<Memo> memo_;
  std::vector<Frame> frames_;
  std::vector<Loop> loops_;
  std::vector<T> values_;
  std::vector<double> scratch_;
  std::uint64_t epoch_ = 1;
  InterruptPoll poll_;
};

}  // namespace tarvex
