// Fuzzes instances: the input builds a small problem from a pool of operands and operators
// (elements over ranges, arrays and jagged rows, subscripts, reductions, conditions,
// constraints with forall lists, penalty terms), data for its placeholders (jagged rows,
// NaN, infinities) and a record of a few samples, then makes the instance, evaluates the
// record and compiles. Any error value is fine; an internal error, a crash or a sanitizer
// report is a bug. A walk that runs long is stopped through the interrupt hook.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "instance/instance.hpp"
#include "lib/interrupt.hpp"
#include "model/constraint.hpp"
#include "model/custom_penalty_term.hpp"
#include "model/expression/operand/array_length.hpp"
#include "model/expression/operand/decision_var/decision_var.hpp"
#include "model/expression/operand/element/element.hpp"
#include "model/expression/operand/subscript.hpp"
#include "model/expression/operator/arithmetic.hpp"
#include "model/expression/operator/comparison_op/comparison_op.hpp"
#include "model/expression/operator/logical_op/logical_op.hpp"
#include "model/expression/operator/reduction_op/reduction_op.hpp"
#include "model/forall.hpp"
#include "model/problem.hpp"
#include "fuzz_input.hpp"

using namespace tarvex;
using tarvex::fuzz::check;
using tarvex::fuzz::Input;

namespace {

// Polls left before a walk is stopped (each poll is 4096 steps).
int g_budget = 0;
bool out_of_budget() { return --g_budget < 0; }

struct Model : tarvex::fuzz::Pool {
  Problem problem{"p"};

  explicit Model(Input i) : Pool(i, 64, 3) {
    const Expression N = make_expr(Placeholder{"N", 0, std::nullopt, std::nullopt});
    const Expression a = make_expr(Placeholder{"a", 1, std::nullopt, std::nullopt});
    const Expression w = make_expr(Placeholder{"w", 2, std::nullopt, std::nullopt});
    exprs = {make_int(0), make_int(1), make_float(2.5), N, a, w};
    auto x = make_decision_var(VarKind::Binary, "x", {N}, binary_lower_bound(), binary_upper_bound(), std::nullopt,
                               std::nullopt);
    if (x.ok()) exprs.push_back(x.value());
    // Bounded by the data: an array upper bound of the variable's shape.
    auto len = make_array_length(a, 0, std::nullopt, std::nullopt);
    if (len.ok()) {
      auto z = make_decision_var(VarKind::Integer, "z", {len.value()}, Bound{BoundKind::Expression, make_int(0)},
                                 Bound{BoundKind::Placeholder, a}, std::nullopt, std::nullopt);
      if (z.ok()) exprs.push_back(z.value());
    }
    conds.push_back(make_comparison(ComparisonKind::LessThan, N, make_int(3)));
  }

  std::string name() { return std::string(1, char('b' + in.byte() % 5)); }

  void step() {
    switch (in.byte() % 16) {
      case 0: return keep(make_int(std::int8_t(in.byte()) % 5));
      case 1: return keep(add(e(), e()));
      case 2: return keep(multiply(e(), e()));
      case 3: return keep(divide(e(), e()));
      case 4: return keep(power(e(), e()));
      case 5: return keep(remainder(e(), e()));
      case 6: return keep(unary(UnaryKind(in.byte() % 6), e()));
      case 7: return keep(min_max(in.byte() % 2 ? CommutativeKind::Min : CommutativeKind::Max, some()));
      case 8: {
        const Expression& v = e();
        return keep(make_subscript(v, some(), ItemCheck::BeforeCount));
      }
      case 9: {
        std::string n = name();
        if (in.byte() % 2) {
          auto r = make_range(e(), e());
          if (r.ok()) keep(make_element(n, std::move(r).value(), std::nullopt, std::nullopt));
        } else {
          auto s = set_of_array(e());
          if (s.ok()) keep(make_element(n, std::move(s).value(), std::nullopt, std::nullopt));
        }
        return;
      }
      case 10: {
        const ReductionKind k = in.byte() % 2 ? ReductionKind::Sum : ReductionKind::Prod;
        const Expression& index = e();
        if (index.kind() != ExprKind::Element) return;
        Condition cond = in.byte() % 2 ? c() : Condition();
        return keep(build_reduction(k, index, std::move(cond), e()));
      }
      case 11: {
        Condition k = make_comparison(ComparisonKind(in.byte() % 6), e(), e());
        if (in.byte() % 2) k = make_logical(LogicalKind(in.byte() % 3), k, c());
        if (conds.size() < 32) conds.push_back(std::move(k));
        return;
      }
      case 12: {
        auto k = make_constraint(name(), c(), forall());
        if (k.ok()) check(problem.add_constraint(k.value()));
        return;
      }
      case 13: {
        auto t = make_custom_penalty_term(name(), e(), forall());
        if (t.ok()) check(problem.add_custom_penalty_term(t.value()));
        return;
      }
      case 14: return check(problem.set_objective(e()));
      case 15: return keep(make_array_length(e(), in.byte() % 2, std::nullopt, std::nullopt));
    }
  }

  std::map<std::string, JaggedArray> data() {
    std::map<std::string, JaggedArray> d;
    d.emplace("N", JaggedArray::scalar(double(in.byte() % 4)));
    std::vector<double> a;
    for (int k = in.byte() % 4; k > 0; --k) a.push_back(in.value());
    d.emplace("a", JaggedArray::rectangular({a.size()}, a));
    JaggedBuilder b(2);
    const int rows = in.byte() % 4;
    b.add_row(0, std::uint64_t(rows));
    std::vector<double> vals;
    for (int r = 0; r < rows; ++r) {
      const int n = in.byte() % 4;
      b.add_row(1, std::uint64_t(n));
      for (int k = 0; k < n; ++k) vals.push_back(in.value());
    }
    JaggedArray w = std::move(b).finish();
    w.values = std::move(vals);
    d.emplace("w", std::move(w));
    return d;
  }

  // Dense samples of every variable of the instance, values from the input.
  Record record(const Instance& inst) {
    DenseSolution s;
    const int samples = 1 + in.byte() % 3;
    for (std::size_t v = 0; v < inst.program().variables.size(); ++v) {
      std::vector<DenseArray>& list = s[inst.program().variables[v].name];
      for (int k = 0; k < samples; ++k) {
        DenseArray arr{inst.layout()[v].shape, std::vector<double>(inst.layout()[v].size, 0.0)};
        for (double& x : arr.data) x = in.value();
        list.push_back(std::move(arr));
      }
    }
    return Record{std::move(s), std::vector<std::uint64_t>(std::size_t(samples), 1)};
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 2048) return 0;
  set_interrupt_hook(&out_of_budget);
  Model m(Input(data, size));
  for (int steps = 0; steps < 128 && !m.in.done(); ++steps) m.step();
  g_budget = 64;
  auto prog = build_program(m.problem);
  check(prog);
  if (!prog.ok()) return 0;
  auto inst = Instance::create(m.problem, std::move(prog).value(), m.data());
  check(inst);
  if (!inst.ok() || inst.value()->num_variables() > 4096) return 0;
  g_budget = 64;
  check(inst.value()->evaluate(m.record(*inst.value())));
  g_budget = 64;
  check(inst.value()->compile());
  return 0;
}
