#include "model/expression/operand/subscript.hpp"

#include "print/printer.hpp"

namespace tarvex {
namespace {

std::string operand_text(const Expression& v) {
  switch (v.kind()) {
    case ExprKind::Placeholder: return v.as<Placeholder>().name;
    case ExprKind::Element: return v.as<Element>().name;
    case ExprKind::DecisionVar: return v.as<DecisionVar>().name;
    default: return text_of(v);
  }
}

Error not_subscriptable(const Expression& v) {
  std::string what;
  switch (v.kind()) {
    case ExprKind::Placeholder: what = "Placeholder { name: " + v.as<Placeholder>().name + " }"; break;
    case ExprKind::Element: what = "Element { name: " + v.as<Element>().name + " }"; break;
    case ExprKind::DecisionVar: {
      const auto& d = v.as<DecisionVar>();
      what = std::string(kind_word(d.kind)) + "Var { name: " + d.name + " }";
      break;
    }
    default: what = text_of(v);
  }
  return modeling_error("the scalar `" + what + "` is not subscriptable");
}

Status check_items(const ExprList& items) {
  if (items.empty()) return modeling_error("the number of subscripts is zero");
  for (const Expression& e : items)
    if (e.contains_decision_var()) return modeling_error("a subscript contains a decision variable");
  return Ok{};
}

}  // namespace

Error too_many_subscripts(const Expression& v, std::size_t n) {
  return modeling_error("the number of subscripts (= " + std::to_string(n) +
                        ") is greater than the dimensionality of the variable `" + operand_text(v) +
                        "` (= " + std::to_string(v.ndim()) + ")");
}

Result<Expression> make_subscript(const Expression& v, ExprList items, ItemCheck when) {
  if (v.ndim() == 0) return not_subscriptable(v);
  const std::size_t count = items.size();
  Expression operand = v;
  if (const auto* inner = v.get_if<Subscript>()) {
    operand = inner->variable;
    ExprList combined;
    combined.reserve(inner->subscripts.size() + count);
    for (const Expression& e : inner->subscripts) combined.push_back(e);
    for (const Expression& e : items) combined.push_back(e);
    items = std::move(combined);
  }
  if (when == ItemCheck::BeforeCount) TX_CHECK(check_items(items));
  if (count > v.ndim()) return too_many_subscripts(v, count);
  if (when == ItemCheck::AfterCount) TX_CHECK(check_items(items));
  return make_expr(Subscript{std::move(operand), std::move(items), std::nullopt});
}

}  // namespace tarvex
