// Fuzzes the core builders: the input is a program of operations on a small pool of
// expressions and conditions (operands, every operator, subscripts, reductions, conditions,
// constraints, problem additions, printing, analysis, replacement). Any result or error
// value is fine; an internal error, a crash or a sanitizer report is a bug. Walks per
// occurrence (text, replacement) only run on trees of modest size: a program can double a
// tree at every step, and writing a gigabyte of text finds nothing new.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/degree.hpp"
#include "analysis/extract.hpp"
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
#include "print/latex.hpp"
#include "print/printer.hpp"
#include "replace/equality.hpp"
#include "replace/replace.hpp"
#include "fuzz_input.hpp"

using namespace tarvex;
using tarvex::fuzz::check;
using tarvex::fuzz::Input;

namespace {

struct Program : tarvex::fuzz::Pool {
  Problem problem{"p"};

  explicit Program(Input i) : Pool(i, 256, 4) {
    exprs.push_back(make_int(0));
    exprs.push_back(make_int(1));
    exprs.push_back(make_float(2.5));
    exprs.push_back(make_expr(Placeholder{"N", 0, std::nullopt, std::nullopt}));
    exprs.push_back(make_expr(Placeholder{"a", 1, std::nullopt, std::nullopt}));
    exprs.push_back(make_expr(Placeholder{"m", 2, OptString("M"), std::nullopt}));
    conds.push_back(make_comparison(ComparisonKind::LessThan, exprs[3], exprs[1]));
  }

  static bool modest(std::uint64_t paths) { return paths < (1u << 14); }
  std::string name() { return std::string(1, char('a' + in.byte() % 6)); }

  using Pool::keep;
  void keep(Condition c) {
    if (conds.size() < 256) conds.push_back(std::move(c));
  }

  void step() {
    switch (in.byte() % 26) {
      case 0: return keep(make_int(in.small()));
      case 1: return keep(make_float(in.real()));
      case 2: return keep(add(e(), e()));
      case 3: return keep(subtract(e(), e()));
      case 4: return keep(multiply(e(), e()));
      case 5: return keep(divide(e(), e()));
      case 6: return keep(power(e(), e()));
      case 7: return keep(remainder(e(), e()));
      case 8: return keep(unary(UnaryKind(in.byte() % 6), e()));
      case 9: return keep(min_max(in.byte() % 2 ? CommutativeKind::Min : CommutativeKind::Max, some()));
      case 10: return keep(negate(e()));
      case 11: {
        const Expression& v = e();
        return keep(make_subscript(v, some(), in.byte() % 2 ? ItemCheck::AfterCount : ItemCheck::BeforeCount));
      }
      case 12: {
        std::string n = name();
        if (in.byte() % 2) {
          auto r = make_range(e(), e());
          check(r);
          if (r.ok()) keep(make_element(n, std::move(r).value(), std::nullopt, std::nullopt));
        } else {
          auto s = set_of_array(e());
          check(s);
          if (s.ok()) keep(make_element(n, std::move(s).value(), std::nullopt, std::nullopt));
        }
        return;
      }
      case 13: {
        const ReductionKind k = in.byte() % 2 ? ReductionKind::Sum : ReductionKind::Prod;
        const Expression& index = e();
        if (index.kind() != ExprKind::Element) return;
        Condition cond = in.byte() % 2 ? c() : Condition();
        return keep(build_reduction(k, index, std::move(cond), e()));
      }
      case 14: return keep(make_comparison(ComparisonKind(in.byte() % 6), e(), e()));
      case 15: return keep(make_logical(LogicalKind(in.byte() % 3), c(), c()));
      case 16: {
        auto k = make_constraint(name(), c(), forall());
        check(k);
        if (k.ok()) {
          check(problem.add_constraint(k.value()));
          if (modest(saturating_add(k->left.paths(), k->right.paths()))) check(constraint_document(k.value()));
        }
        return;
      }
      case 17: {
        auto t = make_custom_penalty_term(name(), e(), forall());
        check(t);
        if (t.ok()) {
          check(problem.add_custom_penalty_term(t.value()));
          if (modest(t->expression.paths())) check(penalty_document(t.value()));
        }
        return;
      }
      case 18: return check(problem.set_objective(e()));
      case 19: {
        const Expression& x = e();
        const Condition& y = c();
        if (!modest(saturating_add(x.paths(), y.paths()))) return;
        for (PrintMode m : {PrintMode::Text, PrintMode::Repr, PrintMode::Latex}) {
          check(render_node(m, x));
          check(render_expression(m, x));
          check(render_condition(m, y));
        }
        check(notebook_latex(x));
        return;
      }
      case 20: {
        const Expression& x = e();
        check(degree_of(x));
        check(extract_variables(x));
        check(extract_variables(c()));
        (void)equal(x, e(), in.byte() % 2 ? Decorations::Ignore : Decorations::Compare);
        return;
      }
      case 21: {
        const Expression from = e(), to = e(), in = e();
        if (!modest(in.paths())) return;
        return keep(replace(in, [&](const Expression& n) -> Result<Expression> {
          return equal(n, from, Decorations::Ignore) ? to : n;
        }));
      }
      case 22: {
        const VarKind k = VarKind(in.byte() % 5);
        std::vector<Expression> shape = in.byte() % 2 ? some() : std::vector<Expression>{};
        Bound lower = k == VarKind::Binary ? binary_lower_bound() : Bound{BoundKind::Expression, e()};
        Bound upper = k == VarKind::Binary ? binary_upper_bound() : Bound{BoundKind::Expression, e()};
        return keep(make_decision_var(k, name(), std::move(shape), lower, upper, std::nullopt, std::nullopt));
      }
      case 23: return keep(make_array_length(e(), in.byte() % 3, std::nullopt, std::nullopt));
      case 24: return keep(with_latex(e(), OptString(name())));
      case 25: {
        std::uint64_t size = problem.objective().paths();
        for (const auto& [name, k] : problem.constraints())
          size = saturating_add(size, saturating_add(k.left.paths(), k.right.paths()));
        for (const auto& [name, t] : problem.custom_penalty_terms()) size = saturating_add(size, t.expression.paths());
        if (modest(size)) check(problem_document(problem));
        check(shape_of(e()));
        return;
      }
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;
  Program p(Input(data, size));
  for (int steps = 0; steps < 512 && !p.in.done(); ++steps) p.step();
  return 0;
}
