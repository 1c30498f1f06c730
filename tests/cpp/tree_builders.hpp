// Short builders of raw trees for the core tests. They call make_expr/make_cond directly:
// no folding, no flattening, no checks, so a test gets exactly the tree it writes.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "model/expression/expression.hpp"
#include "print/printer.hpp"

namespace tarvex::test_util {

inline Expression num(std::int64_t v) { return make_int(v); }
inline Expression flt(double v) { return make_float(v); }

inline Expression ph(std::string name, std::uint64_t ndim = 0, OptString latex = std::nullopt,
                     OptString description = std::nullopt) {
  return make_expr(Placeholder{std::move(name), ndim, std::move(latex), std::move(description)});
}

inline Expression elem(std::string name, Expression start, Expression end) {
  return make_expr(Element{std::move(name), Range{std::move(start), std::move(end)}, std::nullopt, std::nullopt});
}

// A binary variable with literal bounds 0 and 1.
inline Expression bin(std::string name, std::vector<Expression> shape = {}) {
  return make_expr(DecisionVar{VarKind::Binary, std::move(name), std::move(shape),
                               Bound{BoundKind::Expression, make_int(0)},
                               Bound{BoundKind::Expression, make_int(1)}, std::nullopt, std::nullopt});
}

inline Expression sub(Expression v, std::vector<Expression> idx) {
  return make_expr(Subscript{std::move(v), std::move(idx), std::nullopt});
}

inline Expression comm(CommutativeKind k, std::vector<Expression> terms) {
  return make_commutative(k, TermList(std::move(terms)));
}
inline Expression add(std::vector<Expression> t) { return comm(CommutativeKind::Add, std::move(t)); }
inline Expression mul(std::vector<Expression> t) { return comm(CommutativeKind::Mul, std::move(t)); }

inline Expression un(UnaryKind k, Expression e) { return make_expr(UnaryOp{k, std::move(e), std::nullopt}); }
inline Expression pow(Expression a, Expression b) {
  return make_expr(BinaryOp{BinaryKind::Pow, std::move(a), std::move(b), std::nullopt});
}
inline Expression mod(Expression a, Expression b) {
  return make_expr(BinaryOp{BinaryKind::Mod, std::move(a), std::move(b), std::nullopt});
}

inline Expression reduce(ReductionKind k, Expression index, Expression operand, Condition cond = Condition()) {
  return make_expr(ReductionOp{k, std::move(index), std::move(cond), std::move(operand), std::nullopt});
}
inline Expression sum(Expression index, Expression operand, Condition cond = Condition()) {
  return reduce(ReductionKind::Sum, std::move(index), std::move(operand), std::move(cond));
}

inline Condition cmp(ComparisonKind k, Expression l, Expression r) {
  return make_cond(Comparison{k, std::move(l), std::move(r), std::nullopt});
}
inline Condition logic(LogicalKind k, std::vector<Condition> terms) {
  return make_cond(Logical{k, std::move(terms), std::nullopt});
}

// The rendered text of a node, or a marker that makes a failing comparison readable.
inline std::string node_str(PrintMode m, const Expression& e) {
  const Result<std::string> r = render_node(m, e);
  return r ? r.value() : "<error: " + r.error().message + ">";
}

}  // namespace tarvex::test_util
