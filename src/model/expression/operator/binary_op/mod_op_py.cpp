// ModOp: a remainder, left % right.
#include "lib/registry_py.hpp"
#include "model/expression/operator/operator_py.hpp"

namespace tarvex::py {
namespace {

Pinned<BinaryOp> node(PyObject* self) { return Pinned<BinaryOp>(expr_holder(self).expr()); }
PyObject* get_left(PyObject* self, void*) { return from_node(node(self)->left); }
PyObject* get_right(PyObject* self, void*) { return from_node(node(self)->right); }

PyGetSetDef kGetters[] = {
    TX_GETTER("left", get_left, "The dividend."),
    TX_GETTER("right", get_right, "The divisor."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

void register_mod_op(nb::module_& m) {
  register_operator<ClassId::ModOp>(m, "ModOp", "A remainder: left modulo right.", kGetters);
}

}  // namespace tarvex::py
