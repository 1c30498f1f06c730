// AddOp, MulOp, MinOp and MaxOp, and the module functions min and max.
#include "lib/registry_py.hpp"
#include "model/expression/operator/arithmetic.hpp"
#include "model/expression/operator/operator_py.hpp"

namespace tarvex::py {
namespace {

PyObject* get_terms(PyObject* self, void*) { return terms_list(expr_holder(self).expr().as<CommutativeOp>().terms); }

PyGetSetDef kGetters[] = {
    TX_GETTER("terms", get_terms, "The terms, in order."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

template <CommutativeKind K>
PyObject* min_max_function(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const char* name = K == CommutativeKind::Min ? "min" : "max";
    if (kwnames && PyTuple_GET_SIZE(kwnames) > 0) {
      PyErr_Format(PyExc_TypeError, "%s() takes no keyword arguments", name);
      return nullptr;
    }
    std::vector<Expression> operands(static_cast<std::size_t>(nargs));
    for (Py_ssize_t i = 0; i < nargs; ++i)
      if (!argument_expression(args[i], "operands", operands[std::size_t(i)])) return nullptr;
    return result_object(min_max(K, std::move(operands)));
  });
}

}  // namespace

PyMethodDef* min_function() {
  static PyMethodDef def = TX_FUNCTION("min", &min_max_function<CommutativeKind::Min>,
                                         "min(*operands)\n--\n\nThe minimum of the operands, a MinOp.");
  return &def;
}

PyMethodDef* max_function() {
  static PyMethodDef def = TX_FUNCTION("max", &min_max_function<CommutativeKind::Max>,
                                         "max(*operands)\n--\n\nThe maximum of the operands, a MaxOp.");
  return &def;
}

void register_add_op(nb::module_& m) {
  register_operator<ClassId::AddOp>(m, "AddOp", "A sum of any number of terms.", kGetters);
}
void register_mul_op(nb::module_& m) {
  register_operator<ClassId::MulOp>(m, "MulOp", "A product of any number of factors.", kGetters);
}
void register_min_op(nb::module_& m) {
  register_operator<ClassId::MinOp>(m, "MinOp", "The minimum of its terms.", kGetters);
}
void register_max_op(nb::module_& m) {
  register_operator<ClassId::MaxOp>(m, "MaxOp", "The maximum of its terms.", kGetters);
}

}  // namespace tarvex::py
