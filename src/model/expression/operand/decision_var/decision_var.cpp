#include "model/expression/operand/decision_var/decision_var.hpp"

namespace tarvex {
namespace {

std::uint64_t bound_ndim(const Bound& b) { return b.kind == BoundKind::Expression ? 0 : b.value.ndim(); }

// The text between the bound's and the variable's number of dimensions.
const char* tail(VarKind kind, bool upper) {
  switch (kind) {
    case VarKind::Integer: return ") must be equal to zero or the number of an integer variable (= ";
    case VarKind::Continuous: return ") must be equal to zero or the number of a continuous variable (= ";
    case VarKind::SemiInteger:
      return upper ? ") must be equal to zero or the number of a semi-integer integer variable (= "
                   : ") must be equal to zero or the number of a semi-integer variable (= ";
    case VarKind::SemiContinuous:
      return ") must be equal to zero or the number of a semi-continuous variable (= ";
    case VarKind::Binary: break;
  }
  return "";
}

Status check_bound(VarKind kind, const Bound& b, std::size_t n, bool upper) {
  const std::uint64_t d = bound_ndim(b);
  if (d == 0 || d == n) return Ok{};
  return modeling_error(std::string(upper ? "the number of dimensions of a upper bound (= "
                                          : "the number of dimensions of a lower bound (= ") +
                        std::to_string(d) + tail(kind, upper) + std::to_string(n) + ")");
}

}  // namespace

Bound binary_lower_bound() { return {BoundKind::Expression, make_int(0)}; }
Bound binary_upper_bound() { return {BoundKind::Expression, make_int(1)}; }

Result<Expression> make_decision_var(VarKind kind, std::string name, std::vector<Expression> shape,
                                     Bound lower, Bound upper, OptString latex, OptString description) {
  if (kind == VarKind::Binary) {
    lower = binary_lower_bound();
    upper = binary_upper_bound();
  } else {
    TX_CHECK(check_bound(kind, lower, shape.size(), false));
    TX_CHECK(check_bound(kind, upper, shape.size(), true));
  }
  return make_expr(DecisionVar{kind, std::move(name), std::move(shape), std::move(lower),
                               std::move(upper), std::move(latex), std::move(description)});
}

}  // namespace tarvex
