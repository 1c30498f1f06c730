// Grounding the quantities of an instance: forall enumeration, the polynomial walk with the
// numeric walk as the fallback's check, and the evaluation layout of the polynomials.
#include "instance/ground.hpp"

#include <algorithm>
#include <cmath>

#include "instance/numeric_domain.hpp"
#include "instance/walk.hpp"

namespace tarvex {
namespace {

Error prefixed(const std::string& what, Error e) {
  e.message = what + ": " + e.message;
  return e;
}

bool finite(const Polynomial& p) {
  if (!std::isfinite(p.constant)) return false;
  for (const LinearTerm& t : p.linear)
    if (!std::isfinite(t.value)) return false;
  for (const QuadraticTerm& t : p.quadratic)
    if (!std::isfinite(t.value)) return false;
  return true;
}

class Grounder {
 public:
  explicit Grounder(const Env& env)
      : env_(env),
        prog_(*env.prog),
        scope_(prog_.elements.size()),
        poly_(env),
        poly_walk_(env, scope_, poly_),
        data_walk_(env, scope_, numeric_),
        zero_walk_(env, scope_, zero_) {
    numeric_.prog = &prog_;
    zero_.prog = &prog_;
    zero_.x = &zero_x_;
  }

  Result<std::unique_ptr<GroundedModel>> run() {
    auto g = std::make_unique<GroundedModel>();
    {
      auto p = piece(prog_.objective, kNoOp, {});
      if (!p) return prefixed("objective", std::move(p).error());
      g->objective = std::move(p).value();
    }
    for (const ConstraintSpec& c : prog_.constraints) {
      const std::string what = "constraint '" + c.name + "'";
      GroundConstraint gc;
      Status s = enumerate(c.forall, what, [&](const std::vector<std::uint64_t>& index, const Bindings& b) -> Status {
        TX_TRY(Piece p, piece(c.left, c.right, b));
        gc.forall.push_back(index);
        gc.rows.push_back(std::move(p));
        return Ok{};
      });
      if (!s) return prefixed(what, std::move(s).error());
      g->constraints.push_back(std::move(gc));
    }
    for (const PenaltySpec& t : prog_.penalties) {
      const std::string what = "penalty term '" + t.name + "'";
      GroundPenalty gp;
      gp.merged.poly_ok = true;
      Status s = enumerate(t.forall, what, [&](const std::vector<std::uint64_t>&, const Bindings& b) -> Status {
        TX_TRY(Piece p, piece(t.expression, kNoOp, b));
        if (p.fast) {
          gp.merged.poly.add(std::move(p.poly));
          p.poly = Polynomial{};
          p.compiled = FastPolynomial{};
        }
        gp.parts.push_back(std::move(p));
        return Ok{};
      });
      if (!s) return prefixed(what, std::move(s).error());
      gp.merged.poly.normalize();
      // Finite parts whose sum overflows are evaluated part by part.
      gp.merged.fast = finite(gp.merged.poly);
      if (gp.merged.fast) gp.merged.compiled = FastPolynomial(gp.merged.poly, env_.vars);
      g->penalties.push_back(std::move(gp));
    }
    return g;
  }

 private:
  using Bindings = std::vector<std::pair<std::uint32_t, Binding>>;

  // The quantity left (- right) under the bindings in scope.
  Result<Piece> piece(std::uint32_t left, std::uint32_t right, const Bindings& b) {
    Piece p;
    p.left = left;
    p.right = right;
    poly_.reset();
    Result<Polynomial> l = poly_walk_.run(left);
    Result<Polynomial> r = Polynomial{};
    if (l && right != kNoOp) r = poly_walk_.run(right);
    if (l && r) {
      p.poly = std::move(l).value();
      Polynomial rv = std::move(r).value();
      rv.scale(-1);
      p.poly.add(std::move(rv));
      p.poly.normalize();
      p.poly_ok = true;
      p.fast = finite(p.poly);
      if (p.fast) p.compiled = FastPolynomial(p.poly, env_.vars);
    } else {
      const Error& e = l ? r.error() : l.error();
      if (!poly_.refused()) return e;
      p.refusal = e.message;
      // Evaluated per sample; a walk over the data alone reports the errors of the data
      // now rather than at the first sample.
      TX_CHECK(check_data(left));
      if (right != kNoOp) TX_CHECK(check_data(right));
    }
    p.bindings = b;
    return p;
  }

  // A numeric walk with every decision variable read as 0: fails exactly on the errors of
  // the data (subscripts, sets, lengths), which do not depend on the solution.
  Status check_data(std::uint32_t op) {
    if (zeros_.empty()) {
      std::uint64_t largest = 0;
      for (const VarLayout& v : env_.vars) largest = std::max(largest, v.size);
      zeros_.assign(largest + 1, 0.0);
      zero_x_.assign(env_.vars.size(), zeros_.data());
    }
    Result<double> r = zero_walk_.run(op);
    if (!r) return std::move(r).error();
    return Ok{};
  }

  // Calls `emit` for each assignment of the forall list, in order, the last item varying
  // fastest; the elements stay bound during the call.
  template <class Emit>
  Status enumerate(const std::vector<ForallSpec>& items, const std::string& what, Emit&& emit) {
    const std::size_t m = items.size();
    if (m == 0) return emit(std::vector<std::uint64_t>{}, Bindings{});
    std::vector<SetCursor> cur(m);
    std::vector<std::uint64_t> k(m, 0);
    std::vector<Binding> saved(m);
    std::vector<std::uint64_t> index(m);
    Bindings bound(m);
    std::size_t level = 0;
    auto open = [&](std::size_t l) -> Status {
      const SetSpec& s = items[l].set;
      std::vector<double> vals;
      if (s.is_range) {
        TX_TRY(const double a, data_walk_.number(s.start, "the set of an element"));
        TX_TRY(const double b, data_walk_.number(s.end, "the set of an element"));
        vals = {a, b};
      } else {
        for (std::uint32_t i : s.array.subscripts) {
          TX_TRY(const double v, data_walk_.number(i, "a subscript"));
          vals.push_back(v);
        }
      }
      TX_TRY(cur[l], open_set(env_, scope_, s, vals.data()));
      k[l] = 0;
      saved[l] = scope_[s.slot];
      return Ok{};
    };
    Status st = open(0);
    while (st) {
      if (poll_()) {
        st = interrupted();
        break;
      }
      const ForallSpec& item = items[level];
      if (k[level] == cur[level].n) {
        scope_.restore(item.set.slot, saved[level]);
        if (level == 0) break;
        --level;
        ++k[level];
        continue;
      }
      const Binding b = cur[level].member(env_, k[level]);
      scope_.bind(item.set.slot, b);
      if (item.cond >= 0) {
        Result<bool> h = data_walk_.holds(std::uint32_t(item.cond));
        if (!h) {
          st = std::move(h).error();
          break;
        }
        if (!h.value()) {
          ++k[level];
          continue;
        }
      }
      if (b.is_array || !(b.scalar >= 0) || b.scalar != std::floor(b.scalar) || b.scalar >= 18446744073709551616.0) {
        st = value_error("the forall element " + prog_.elements[item.set.slot] + " takes the value " +
                         (b.is_array ? std::string("of an array") : number_text(b.scalar)) +
                         ", not a non-negative integer");
        break;
      }
      index[level] = std::uint64_t(b.scalar);
      bound[level] = {item.set.slot, b};
      if (level + 1 == m) {
        st = emit(index, bound);
        ++k[level];
        continue;
      }
      ++level;
      st = open(level);
    }
    // Restore whatever is still bound (after an error).
    for (std::size_t l = level + 1; l-- > 0;) scope_.restore(items[l].set.slot, saved[l]);
    (void)what;
    return st;
  }

  const Env& env_;
  const Program& prog_;
  Scope scope_;
  PolynomialDomain poly_;
  NumericDomain numeric_;
  Walk<PolynomialDomain> poly_walk_;
  Walk<NumericDomain> data_walk_;
  // Every decision variable read as 0.
  std::vector<double> zeros_;
  std::vector<const double*> zero_x_;
  NumericDomain zero_;
  Walk<NumericDomain> zero_walk_;
  InterruptPoll poll_;
};

}  // namespace

FastPolynomial::FastPolynomial(const Polynomial& p, const std::vector<VarLayout>& vars) {
  constant = p.constant;
  auto locate = [&](std::uint64_t column, std::uint32_t& var, std::uint32_t& flat) {
    // The last variable whose first column is <= column (variables with no entries skipped).
    std::size_t lo = 0, hi = vars.size();
    while (hi - lo > 1) {
      const std::size_t mid = (lo + hi) / 2;
      if (vars[mid].first <= column) {
        lo = mid;
      } else {
        hi = mid;
      }
    }
    while (lo + 1 < vars.size() && vars[lo + 1].first <= column) ++lo;
    var = std::uint32_t(lo);
    flat = std::uint32_t(column - vars[lo].first);
  };
  for (const LinearTerm& t : p.linear) {
    std::uint32_t v = 0, f = 0;
    locate(t.column, v, f);
    if (runs.empty() || runs.back().var != v) runs.push_back(Run{v, std::uint32_t(flat.size()), std::uint32_t(flat.size())});
    flat.push_back(f);
    value.push_back(t.value);
    runs.back().end = std::uint32_t(flat.size());
  }
  for (const QuadraticTerm& t : p.quadratic) {
    std::uint32_t v1 = 0, f1 = 0, v2 = 0, f2 = 0;
    locate(t.row, v1, f1);
    locate(t.column, v2, f2);
    q_var1.push_back(v1);
    q_flat1.push_back(f1);
    q_var2.push_back(v2);
    q_flat2.push_back(f2);
    q_value.push_back(t.value);
  }
}

Result<std::unique_ptr<GroundedModel>> GroundedModel::build(const Env& env) { return Grounder(env).run(); }

}  // namespace tarvex
