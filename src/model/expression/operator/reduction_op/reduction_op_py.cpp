// SumOp and ProdOp: a sum or product of an operand over an element.
#include "lib/registry_py.hpp"
#include "model/expression/operator/operator_py.hpp"
#include "model/expression/operator/reduction_op/reduction_op.hpp"

namespace tarvex::py {
namespace {

Pinned<ReductionOp> node(PyObject* self) { return Pinned<ReductionOp>(expr_holder(self).expr()); }
PyObject* get_index(PyObject* self, void*) { return from_node(node(self)->index); }
PyObject* get_condition(PyObject* self, void*) {
  if (!node(self)->condition) Py_RETURN_NONE;
  return from_node(node(self)->condition);
}
PyObject* get_operand(PyObject* self, void*) { return from_node(node(self)->operand); }

PyGetSetDef kGetters[] = {
    TX_GETTER("index", get_index, "The element the reduction runs over."),
    TX_GETTER("condition", get_condition, "The condition restricting the element, or None."),
    TX_GETTER("operand", get_operand, "The operand."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

// An index item: an Element, or a pair (Element, condition).
Result<IndexItem> to_index_item(PyObject* o) {
  if (is_instance(o, ClassId::Element)) return IndexItem{expr_holder(o).expr(), Condition()};
  if (PyTuple_Check(o) && PyTuple_GET_SIZE(o) == 2 && is_instance(PyTuple_GET_ITEM(o, 0), ClassId::Element)) {
    auto c = to_condition(PyTuple_GET_ITEM(o, 1));
    if (c) return IndexItem{expr_holder(PyTuple_GET_ITEM(o, 0)).expr(), std::move(c).value()};
    return type_error("failed to extract enum IndexItem ('Element | ConditionalElement')\n"
                      "- variant Element (Element): the value is not an Element\n"
                      "- variant ConditionalElement (ConditionalElement): " + c.error().message);
  }
  return type_error("failed to extract enum IndexItem ('Element | ConditionalElement')\n"
                    "- variant Element (Element): the value is not an Element\n"
                    "- variant ConditionalElement (ConditionalElement): the value is not a pair of an Element "
                    "and a condition");
}

// The index of sum/prod: one item, or a sequence (not a str) of items.
Result<std::vector<IndexItem>> to_index(PyObject* o) {
  auto single = to_index_item(o);
  if (single) return std::vector<IndexItem>{std::move(single).value()};
  std::vector<IndexItem> items;
  Status seq = PyUnicode_Check(o) || !PySequence_Check(o)
                   ? Status(type_error("the value is not a sequence of index items"))
                   : for_each_item(o, [&](PyObject* item) -> Status {
                       TX_TRY(IndexItem i, to_index_item(item));
                       items.push_back(std::move(i));
                       return Ok{};
                     });
  if (seq) {
    if (items.empty()) return value_error("the index sequence is empty: give at least one element");
    return items;
  }
  return type_error("failed to extract enum Index ('Single | Sequence')\n- variant Single (Single): " +
                    single.error().message + "\n- variant Sequence (Sequence): " + seq.error().message);
}

template <ReductionKind K>
PyObject* reduction_function(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kw[] = {"index", "operand", nullptr};
    PyObject *index = nullptr, *operand = nullptr;
    if (nargs == 2 && !kwnames) {
      index = args[0];
      operand = args[1];
    } else if (!parse_fast_args(args, nargs, kwnames, K == ReductionKind::Sum ? "OO:sum" : "OO:prod", kw, &index,
                                &operand)) {
      return nullptr;
    }
    auto items = to_index(index);
    if (!items) return raise_argument("index", items.error().kind, items.error().message);
    Expression e;
    if (!argument_expression(operand, "operand", e)) return nullptr;
    return result_object(build_reduction(K, *items, std::move(e)));
  });
}

}  // namespace

PyMethodDef* sum_function() {
  static PyMethodDef def = TX_FUNCTION("sum", &reduction_function<ReductionKind::Sum>,
                                         "sum(index, operand)\n--\n\n"
      "The sum of `operand` over `index`: an Element, a pair (Element, condition), or a sequence of "
      "these (nested sums, the first outermost).");
  return &def;
}

PyMethodDef* prod_function() {
  static PyMethodDef def = TX_FUNCTION("prod", &reduction_function<ReductionKind::Prod>,
                                         "prod(index, operand)\n--\n\n"
      "The product of `operand` over `index`: an Element, a pair (Element, condition), or a sequence "
      "of these (nested products, the first outermost).");
  return &def;
}

void register_sum_op(nb::module_& m) {
  register_operator<ClassId::SumOp>(m, "SumOp", "A sum of an operand over an element.", kGetters);
}
void register_prod_op(nb::module_& m) {
  register_operator<ClassId::ProdOp>(m, "ProdOp", "A product of an operand over an element.", kGetters);
}

}  // namespace tarvex::py
