// Instances: data bound to a problem, checked; evaluation of samples; compilation.
#include "instance/instance.hpp"

#include <cmath>

#include "instance/ground.hpp"
#include "instance/numeric_domain.hpp"
#include "instance/walk.hpp"
#include "lib/interrupt.hpp"

namespace tarvex {
namespace {

// A walk that computes numbers over the instance's data, with a scope of its own; `x`, when
// given, holds the entries of each variable in the current sample.
struct NumberWalk {
  NumberWalk(const Env& env, const Program& prog, const std::vector<const double*>* x = nullptr)
      : scope(prog.elements.size()), dom{&prog, x}, walk(env, scope, dom) {}
  Scope scope;
  NumericDomain dom;
  Walk<NumericDomain> walk;
};

Error prefixed(const std::string& what, Error e) {
  e.message = what + ": " + e.message;
  return e;
}

std::string index_text(std::uint64_t flat, const std::vector<std::uint64_t>& shape) {
  std::vector<std::uint64_t> idx(shape.size());
  for (std::size_t a = shape.size(); a-- > 0;) {
    idx[a] = shape[a] ? flat % shape[a] : 0;
    flat = shape[a] ? flat / shape[a] : 0;
  }
  std::string s = "(";
  for (std::size_t a = 0; a < idx.size(); ++a) s += (a ? ", " : "") + std::to_string(idx[a]);
  return s + (idx.size() == 1 ? ",)" : ")");
}

std::string shape_text(const std::vector<std::uint64_t>& shape) {
  std::string s = "(";
  for (std::size_t a = 0; a < shape.size(); ++a) s += (a ? ", " : "") + std::to_string(shape[a]);
  return s + (shape.size() == 1 ? ",)" : ")");
}

// Shapes agree up to the first zero length (a jagged array of no rows has no inner lengths).
bool same_shape(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k) {
    if (a[k] != b[k]) return false;
    if (a[k] == 0) return true;
  }
  return true;
}

double violation(ConstraintSense s, double v) {
  if (std::isnan(v)) return v;
  switch (s) {
    case ConstraintSense::Equal: return std::fabs(v);
    case ConstraintSense::LessThanEqual: return v > 0 ? v : 0.0;
    case ConstraintSense::GreaterThanEqual: return v < 0 ? -v : 0.0;
  }
  return v;
}

}  // namespace

std::uint8_t column_kind(VarKind k) {
  switch (k) {
    case VarKind::Binary: return 0;
    case VarKind::Integer: return 1;
    case VarKind::Continuous: return 2;
    case VarKind::SemiContinuous: return 3;
    case VarKind::SemiInteger: return 4;
  }
  return 2;
}

Instance::Instance(Problem problem, Program program) : problem_(std::move(problem)), prog_(std::move(program)) {
  env_.prog = &prog_;
}

Instance::~Instance() = default;

Result<std::unique_ptr<Instance>> Instance::create(Problem problem, Program program,
                                                   std::map<std::string, JaggedArray> data) {
  std::unique_ptr<Instance> inst(new Instance(std::move(problem), std::move(program)));
  TX_CHECK(inst->bind_data(std::move(data)));
  TX_CHECK(inst->layout_variables());
  TX_CHECK(inst->check_bounds());
  return inst;
}

Status Instance::bind_data(std::map<std::string, JaggedArray> data) {
  data_.reserve(prog_.placeholders.size());
  for (const PlaceholderSpec& p : prog_.placeholders) {
    auto it = data.find(p.name);
    if (it == data.end()) return value_error("placeholder '" + p.name + "' has no value in data");
    if (it->second.ndim() != p.ndim)
      return value_error("placeholder '" + p.name + "' has " + std::to_string(p.ndim) + " dimensions, but its value has " +
                         std::to_string(it->second.ndim()));
    data_.push_back(std::move(it->second));
  }
  for (const JaggedArray& a : data_) env_.data.push_back(&a);
  return Ok{};
}

Status Instance::layout_variables() {
  NumberWalk numbers(env_, prog_);
  Walk<NumericDomain>& walk = numbers.walk;
  env_.vars.resize(prog_.variables.size());
  for (std::size_t v = 0; v < prog_.variables.size(); ++v) {
    const VariableSpec& spec = prog_.variables[v];
    const std::string what = "decision variable '" + spec.name + "'";
    VarLayout& lay = env_.vars[v];
    lay.size = 1;
    for (std::size_t a = 0; a < spec.shape.size(); ++a) {
      Result<double> n = walk.number(spec.shape[a], "its shape");
      if (!n) return prefixed(what, std::move(n).error());
      const double d = n.value();
      if (!(d >= 0) || d != std::floor(d) || d > double(kMaxElements))
        return value_error(what + ": the length of axis " + std::to_string(a) + " is " + number_text(d) +
                           ", not a non-negative integer");
      lay.shape.push_back(std::uint64_t(d));
      lay.size *= lay.shape.back();
      if (lay.size > kMaxElements) return value_error(what + ": too many entries");
    }
    lay.first = columns_;
    columns_ += lay.size;
    if (columns_ > kMaxElements) return value_error("too many decision variable entries (more than 2^28)");
  }
  return Ok{};
}

Status Instance::check_bounds() {
  NumberWalk numbers(env_, prog_);
  Walk<NumericDomain>& walk = numbers.walk;
  Scope& scope = numbers.scope;
  lower_.assign(columns_, 0.0);
  upper_.assign(columns_, 0.0);
  InterruptPoll poll;
  for (std::size_t v = 0; v < prog_.variables.size(); ++v) {
    const VariableSpec& spec = prog_.variables[v];
    const VarLayout& lay = env_.vars[v];
    const std::string what = "decision variable '" + spec.name + "'";
    // Each bound: one number for every entry, or an array of the variable's shape.
    auto fill = [&](const BoundSpec& b, std::vector<double>& out, const char* which) -> Status {
      double* dst = out.data() + lay.first;
      if (!b.is_array) {
        Result<double> n = walk.number(b.scalar, "a bound");
        if (!n) return prefixed(what, std::move(n).error());
        std::fill(dst, dst + lay.size, n.value());
        return Ok{};
      }
      std::vector<double> subs;
      for (std::uint32_t i : b.array.subscripts) {
        Result<double> n = walk.number(i, "a subscript");
        if (!n) return prefixed(what, std::move(n).error());
        subs.push_back(n.value());
      }
      Result<Position> p = locate(env_, scope, b.array, subs.data(), subs.size());
      if (!p) return prefixed(what, std::move(p).error());
      std::vector<std::uint64_t> shape;
      if (p->kind != Position::DataRow || !rectangular_shape(*env_.data[p->ref], p->level, p->row, shape) ||
          !same_shape(shape, lay.shape))
        return value_error(what + ": the " + which + " bound " + prog_.base_name(b.array) +
                           " does not have the variable's shape " + shape_text(lay.shape));
      if (lay.size == 0) return Ok{};
      const JaggedArray& d = *env_.data[p->ref];
      std::uint64_t first = p->row, last = p->row + 1;
      for (std::size_t l = p->level; l < d.ndim(); ++l) {
        const std::uint64_t f = d.offsets[l][first];
        last = d.offsets[l][last];
        first = f;
      }
      std::copy(d.values.begin() + std::ptrdiff_t(first), d.values.begin() + std::ptrdiff_t(last), dst);
      return Ok{};
    };
    TX_CHECK(fill(spec.lower, lower_, "lower"));
    TX_CHECK(fill(spec.upper, upper_, "upper"));
    for (std::uint64_t k = 0; k < lay.size; ++k) {
      if (poll()) return interrupted();
      const double lo = lower_[lay.first + k], hi = upper_[lay.first + k];
      if (std::isnan(lo) || std::isnan(hi))
        return value_error(what + ": the " + std::string(std::isnan(lo) ? "lower" : "upper") + " bound at index " +
                           index_text(k, lay.shape) + " is NaN, not a number");
      if (lo > hi)
        return value_error(what + ": the lower bound " + number_text(lo) + " is above the upper bound " +
                           number_text(hi) + " at index " + index_text(k, lay.shape));
    }
  }
  return Ok{};
}

Result<const GroundedModel*> Instance::grounded() const {
  if (!grounded_) {
    TX_TRY(grounded_, GroundedModel::build(env_));
  }
  return grounded_.get();
}

Result<Evaluation> Instance::evaluate(const Record& rec) const {
  const std::size_t S = rec.num_occurrences.size();
  const std::size_t V = prog_.variables.size();
  // Checks first: every variable present, one entry per sample, of its shape.
  const auto* dense = std::get_if<DenseSolution>(&rec.solution);
  const auto* sparse = std::get_if<SparseSolution>(&rec.solution);
  for (std::size_t v = 0; v < V; ++v) {
    const std::string& name = prog_.variables[v].name;
    const std::vector<std::uint64_t>& shape = env_.vars[v].shape;
    const std::string what = "decision variable '" + name + "'";
    std::size_t n = 0;
    if (dense) {
      auto it = dense->find(name);
      if (it == dense->end()) return value_error("the solution has no value for the " + what);
      n = it->second.size();
      for (const DenseArray& a : it->second) {
        if (a.shape != shape)
          return value_error(what + ": the solution has shape " + shape_text(a.shape) + ", expected " + shape_text(shape));
        if (a.data.size() != env_.vars[v].size) return value_error(what + ": the solution's data does not fit its shape");
      }
    } else {
      auto it = sparse->find(name);
      if (it == sparse->end()) return value_error("the solution has no value for the " + what);
      n = it->second.size();
      for (const CooFormat& a : it->second)
        if (a.shape != shape)
          return value_error(what + ": the solution has shape " + shape_text(a.shape) + ", expected " + shape_text(shape));
    }
    if (n != S)
      return value_error(what + ": the solution has " + std::to_string(n) + " samples, but num_occurrences has " +
                         std::to_string(S));
  }
  TX_TRY(const GroundedModel* g, grounded());

  Evaluation ev;
  ev.objective.assign(S, 0.0);
  ev.energy.assign(S, 0.0);
  ev.constraint_values.assign(S, ValuesByName{});
  std::vector<std::vector<double>*> violations, penalties;
  for (std::size_t c = 0; c < prog_.constraints.size(); ++c) {
    const std::string& name = prog_.constraints[c].name;
    ev.constraint_forall[name] = g->constraints[c].forall;
    violations.push_back(&(ev.constraint_violations[name] = std::vector<double>(S, 0.0)));
  }
  for (const PenaltySpec& p : prog_.penalties) penalties.push_back(&(ev.penalty[p.name] = std::vector<double>(S, 0.0)));

  std::vector<const double*> x(V, nullptr);
  NumberWalk numbers(env_, prog_, &x);
  Walk<NumericDomain>& walk = numbers.walk;
  Scope& scope = numbers.scope;
  std::vector<std::vector<double>> scratch(sparse ? V : 0);
  InterruptPoll poll;

  // The value of a piece in the current sample: its polynomial, or the walk over its
  // operations with its forall elements bound.
  bool sample_finite = true;
  auto value = [&](const Piece& p) -> Result<double> {
    if (p.fast && sample_finite) return p.compiled(x.data());
    std::vector<Binding> saved;
    saved.reserve(p.bindings.size());
    for (const auto& [slot, b] : p.bindings) saved.push_back(scope.bind(slot, b));
    Result<double> l = walk.run(p.left);
    Result<double> r = 0.0;
    if (l && p.right != kNoOp) r = walk.run(p.right);
    for (std::size_t k = p.bindings.size(); k-- > 0;) scope.restore(p.bindings[k].first, saved[k]);
    if (!l) return std::move(l).error();
    if (!r) return std::move(r).error();
    return l.value() - r.value();
  };

  for (std::size_t s = 0; s < S; ++s) {
    if (poll()) return interrupted();
    walk.next_epoch();
    sample_finite = true;
    for (std::size_t v = 0; v < V; ++v) {
      const std::string& name = prog_.variables[v].name;
      if (dense) {
        x[v] = dense->at(name)[s].data.data();
      } else {
        TX_TRY(DenseArray a, coo_to_dense(sparse->at(name)[s]));
        scratch[v] = std::move(a.data);
        x[v] = scratch[v].data();
      }
      const double* p = x[v];
      for (std::uint64_t k = 0, n = env_.vars[v].size; k < n && sample_finite; ++k) sample_finite = std::isfinite(p[k]);
    }
    TX_TRY(const double obj, value(g->objective));
    ev.objective[s] = obj;
    double energy = prog_.sense == ProblemSense::Maximize ? -obj : obj;
    for (std::size_t c = 0; c < prog_.constraints.size(); ++c) {
      const GroundConstraint& gc = g->constraints[c];
      const ConstraintSense sense = prog_.constraints[c].sense;
      std::vector<double> vals(gc.rows.size());
      double total = 0;
      for (std::size_t r = 0; r < gc.rows.size(); ++r) {
        TX_TRY(vals[r], value(gc.rows[r]));
        total += violation(sense, vals[r]);
      }
      (*violations[c])[s] = total;
      ev.constraint_values[s].emplace(prog_.constraints[c].name, std::move(vals));
    }
    for (std::size_t t = 0; t < prog_.penalties.size(); ++t) {
      const GroundPenalty& gp = g->penalties[t];
      double total = 0;
      if (gp.merged.fast && sample_finite) {
        total = gp.merged.compiled(x.data());
        for (const Piece& p : gp.parts) {
          if (p.fast) continue;
          TX_TRY(const double v, value(p));
          total += v;
        }
      } else {
        for (const Piece& p : gp.parts) {
          TX_TRY(const double v, value(p));
          total += v;
        }
      }
      (*penalties[t])[s] = total;
      energy += total;
    }
    ev.energy[s] = energy;
  }
  return ev;
}

Result<CompiledModel> Instance::compile() const {
  TX_TRY(const GroundedModel* g, grounded());
  CompiledModel m;
  m.col_lower = lower_;
  m.col_upper = upper_;
  m.col_kind.reserve(columns_);
  for (std::size_t v = 0; v < prog_.variables.size(); ++v)
    m.col_kind.insert(m.col_kind.end(), env_.vars[v].size, column_kind(prog_.variables[v].kind));
  if (!g->objective.poly_ok) return value_error("objective: " + g->objective.refusal);
  m.objective = g->objective.poly;
  for (std::size_t t = 0; t < prog_.penalties.size(); ++t) {
    const GroundPenalty& gp = g->penalties[t];
    Polynomial sum = gp.merged.poly;
    for (const Piece& p : gp.parts) {
      if (p.fast) continue;
      if (!p.poly_ok) return value_error("penalty term '" + prog_.penalties[t].name + "': " + p.refusal);
      Polynomial q = p.poly;
      sum.add(std::move(q));
    }
    sum.normalize();
    m.penalties.emplace_back(prog_.penalties[t].name, std::move(sum));
  }
  for (std::size_t c = 0; c < prog_.constraints.size(); ++c) {
    const ConstraintSpec& spec = prog_.constraints[c];
    for (const Piece& p : g->constraints[c].rows) {
      if (!p.poly_ok) return value_error("constraint '" + spec.name + "': " + p.refusal);
      if (p.poly.degree() == 2) return value_error("constraint '" + spec.name + "' is quadratic (degree 2)");
      for (const LinearTerm& t : p.poly.linear) {
        m.row_column.push_back(std::int64_t(t.column));
        m.row_value.push_back(t.value);
      }
      m.row_start.push_back(std::int64_t(m.row_column.size()));
      const double b = -p.poly.constant;
      m.row_lower.push_back(spec.sense == ConstraintSense::LessThanEqual ? -HUGE_VAL : b);
      m.row_upper.push_back(spec.sense == ConstraintSense::GreaterThanEqual ? HUGE_VAL : b);
      m.row_constraint.push_back(std::int64_t(c));
    }
  }
  return m;
}

}  // namespace tarvex
