#include "model/expression/operand/dummy_indexed_var.hpp"

#include "model/expression/operand/element/element.hpp"
#include "model/expression/operand/subscript.hpp"
#include "model/expression/operator/reduction_op/reduction_op.hpp"
#include "print/printer.hpp"

namespace tarvex {

Result<DummyIndexedVar> make_dummy_indexed_var(const Expression& variable, std::vector<SubscriptItem> items) {
  const auto& var = variable.as<DecisionVar>();
  DummyIndexedVar out{variable, {}, {}};
  out.subscripts.reserve(items.size());
  for (std::size_t k = 0; k < items.size(); ++k) {
    if (Expression* e = std::get_if<Expression>(&items[k])) {
      out.subscripts.push_back(std::move(*e));
      continue;
    }
    SliceItem& s = std::get<SliceItem>(items[k]);
    const std::string pos = std::to_string(k);
    if (s.step)
      return modeling_error("The " + pos + "-th subscript of the " + kind_word(var.kind) + "Var named '" +
                            var.name + "' uses a slice with a step `" + text_of(s.step) +
                            "`. However, the slice with a step is not supported.");
    if (!s.stop && k >= var.shape.size()) return too_many_subscripts(variable, items.size());
    Expression start = s.start ? std::move(s.start) : make_int(0);
    Expression stop = s.stop ? std::move(s.stop) : var.shape[k];
    TX_TRY(Range range, make_range(std::move(start), std::move(stop)));
    Expression element = make_element("__dummy_" + var.name + "_" + pos, std::move(range),
                                      "\\ast_{" + pos + "}", "dummy index at " + pos + " for " + var.name);
    out.subscripts.push_back(element);
    out.elements.push_back(std::move(element));
  }
  if (out.subscripts.empty()) return modeling_error("the number of subscripts is zero");
  for (const Expression& e : out.subscripts)
    if (e.contains_decision_var()) return modeling_error("a subscript contains a decision variable");
  return out;
}

Result<Expression> reduce(const DummyIndexedVar& d, ReductionKind kind) {
  TX_TRY(Expression operand, make_subscript(d.variable, d.subscripts, ItemCheck::BeforeCount));
  TX_CHECK(require_scalar(operand));
  std::vector<IndexItem> index;
  index.reserve(d.elements.size());
  for (const Expression& e : d.elements) index.push_back({e, Condition()});
  return build_reduction(kind, index, std::move(operand));
}

}  // namespace tarvex
