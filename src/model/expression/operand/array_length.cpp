#include "model/expression/operand/array_length.hpp"

#include "print/printer.hpp"

namespace tarvex {
namespace {

// How messages name the array: its name, or the text of a subscript.
std::string array_text(const Expression& a) {
  if (const auto* p = a.get_if<Placeholder>()) return p->name;
  if (const auto* e = a.get_if<Element>()) return e->name;
  return text_of(a);
}

}  // namespace

Status check_array_operand(const Expression& a) {
  switch (a.kind()) {
    case ExprKind::Placeholder:
      if (a.ndim() == 0) return modeling_error("the placeholder " + a.as<Placeholder>().name + " is a scalar");
      return Ok{};
    case ExprKind::Element:
      if (a.ndim() == 0) return modeling_error("the element " + a.as<Element>().name + " is a scalar");
      return Ok{};
    case ExprKind::Subscript:
      if (a.as<Subscript>().variable.contains_decision_var())
        return modeling_error("the subscripted variable " + text_of(a) + " is a decision variable");
      if (a.ndim() == 0) return modeling_error("the subscripted variable " + text_of(a) + " is a scalar");
      return Ok{};
    default: return type_error("unsupported type");
  }
}

Result<Expression> make_array_length(Expression array, std::uint64_t axis, OptString latex,
                                     OptString description) {
  TX_CHECK(check_array_operand(array));
  if (axis >= array.ndim())
    return modeling_error("axis " + std::to_string(axis) + " is out of bounds for the axis of the array " +
                          array_text(array));
  return make_expr(ArrayLength{std::move(array), axis, std::move(latex), std::move(description)});
}

Result<std::vector<Expression>> shape_of(const Expression& array) {
  std::vector<Expression> out;
  const std::uint64_t n = array.ndim();
  if (n > kMaxListedAxes)
    return value_error("cannot list the lengths of " + std::to_string(n) + " axes (at most " +
                       std::to_string(kMaxListedAxes) + ")");
  out.reserve(n);
  for (std::uint64_t axis = 0; axis < n; ++axis) {
    TX_TRY(Expression len, make_array_length(array, axis, std::nullopt, std::nullopt));
    out.push_back(std::move(len));
  }
  return out;
}

}  // namespace tarvex
