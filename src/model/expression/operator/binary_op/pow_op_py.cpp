// PowOp: a power, base ** exponent.
#include "lib/registry_py.hpp"
#include "model/expression/operator/operator_py.hpp"

namespace tarvex::py {
namespace {

Pinned<BinaryOp> node(PyObject* self) { return Pinned<BinaryOp>(expr_holder(self).expr()); }
PyObject* get_base(PyObject* self, void*) { return from_node(node(self)->left); }
PyObject* get_exponent(PyObject* self, void*) { return from_node(node(self)->right); }

PyGetSetDef kGetters[] = {
    TX_GETTER("base", get_base, "The base."),
    TX_GETTER("exponent", get_exponent, "The exponent."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

void register_pow_op(nb::module_& m) {
  register_operator<ClassId::PowOp>(m, "PowOp", "A power: base raised to exponent.", kGetters);
}

}  // namespace tarvex::py
