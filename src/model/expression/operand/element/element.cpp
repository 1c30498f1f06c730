#include "model/expression/operand/element/element.hpp"

#include "print/number_format.hpp"

namespace tarvex {
namespace {

std::string literal_text(const NumberLit& n) {
  return n.is_integer() ? format_int(n.int_value()) : format_double(n.float_value());
}

// -1, 0 or 1 as start is below, equal to or above end; NaN start counts as above.
int compare(const NumberLit& a, const NumberLit& b) {
  if (a.is_integer() && b.is_integer())
    return a.int_value() < b.int_value() ? -1 : a.int_value() > b.int_value() ? 1 : 0;
  const double x = a.as_double(), y = b.as_double();
  if (x != x) return 1;
  return x < y ? -1 : x > y ? 1 : 0;
}

}  // namespace

Result<Range> make_range(Expression start, Expression end) {
  const NumberLit* s = start.get_if<NumberLit>();
  const NumberLit* e = end.get_if<NumberLit>();
  if (s && e) {
    const int c = compare(*s, *e);
    if (c > 0)
      return value_error("`Range.start` (= " + literal_text(*s) + ") is larger than `Range.end` (= " +
                         literal_text(*e) + ")");
    if (c == 0)
      return value_error("`Range.start` (= " + literal_text(*s) + ") is equal to `Range.end` (= " +
                         literal_text(*e) + ")");
  }
  if (start.contains_decision_var()) return modeling_error("the lower bound contains a decision variable");
  if (end.contains_decision_var()) return modeling_error("the upper bound contains a decision variable");
  return Range{std::move(start), std::move(end)};
}

Result<ElementSet> set_of_array(const Expression& a) {
  if (a.ndim() >= 1) return ElementSet(a);
  TX_TRY(Range r, make_range(make_int(0), a));
  return ElementSet(std::move(r));
}

Expression make_element(std::string name, ElementSet set, OptString latex, OptString description) {
  return make_expr(Element{std::move(name), std::move(set), std::move(latex), std::move(description)});
}

}  // namespace tarvex
