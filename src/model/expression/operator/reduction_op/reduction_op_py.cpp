// SumOp and ProdOp: a sum or product of an operand over an element.
#include "lib/registry_py.hpp"
#include "model/expression/operator/operator_py.hpp"

namespace tarvex::py {
namespace {

const ReductionOp& node(PyObject* self) { return expr_holder(self).expr.as<ReductionOp>(); }
PyObject* get_index(PyObject* self, void*) { return from_node(node(self).index); }
PyObject* get_condition(PyObject* self, void*) {
  if (!node(self).condition) Py_RETURN_NONE;
  return from_node(node(self).condition);
}
PyObject* get_operand(PyObject* self, void*) { return from_node(node(self).operand); }

PyGetSetDef kGetters[] = {
    TX_GETTER("index", get_index, "The element the reduction runs over."),
    TX_GETTER("condition", get_condition, "The condition restricting the element, or None."),
    TX_GETTER("operand", get_operand, "The operand."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

void register_sum_op(nb::module_& m) {
  register_operator<ClassId::SumOp>(m, "SumOp", "A sum of an operand over an element.", kGetters);
}
void register_prod_op(nb::module_& m) {
  register_operator<ClassId::ProdOp>(m, "ProdOp", "A product of an operand over an element.", kGetters);
}

}  // namespace tarvex::py
