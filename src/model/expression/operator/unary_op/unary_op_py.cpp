// The six unary operator classes and the module functions abs, ceil, floor, log2, log10, ln.
#include "lib/registry_py.hpp"
#include "model/expression/operator/arithmetic.hpp"
#include "model/expression/operator/operator_py.hpp"

namespace tarvex::py {
namespace {

PyObject* get_operand(PyObject* self, void*) { return from_node(expr_holder(self).expr().as<UnaryOp>().operand); }

PyGetSetDef kGetters[] = {
    TX_GETTER("operand", get_operand, "The operand."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

template <UnaryKind K>
PyObject* unary_function(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

template <UnaryKind K>
struct Names;
template <>
struct Names<UnaryKind::Abs> {
  static constexpr const char* fn = "abs";
  static constexpr const char* doc = "abs(operand)\n--\n\nThe absolute value of an expression, an AbsOp.";
};
template <>
struct Names<UnaryKind::Ceil> {
  static constexpr const char* fn = "ceil";
  static constexpr const char* doc = "ceil(operand)\n--\n\nThe ceiling of an expression, a CeilOp.";
};
template <>
struct Names<UnaryKind::Floor> {
  static constexpr const char* fn = "floor";
  static constexpr const char* doc = "floor(operand)\n--\n\nThe floor of an expression, a FloorOp.";
};
template <>
struct Names<UnaryKind::Log2> {
  static constexpr const char* fn = "log2";
  static constexpr const char* doc = "log2(operand)\n--\n\nThe base 2 logarithm of an expression, a Log2Op.";
};
template <>
struct Names<UnaryKind::Log10> {
  static constexpr const char* fn = "log10";
  static constexpr const char* doc = "log10(operand)\n--\n\nThe base 10 logarithm of an expression, a Log10Op.";
};
template <>
struct Names<UnaryKind::Ln> {
  static constexpr const char* fn = "ln";
  static constexpr const char* doc = "ln(operand)\n--\n\nThe natural logarithm of an expression, a LnOp.";
};

template <UnaryKind K>
PyObject* unary_function(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    Expression operand;
    if (!operand_argument(Names<K>::fn, args, nargs, kwnames, operand)) return nullptr;
    return result_object(unary(K, operand));
  });
}

template <UnaryKind K>
PyMethodDef* function_def() {
  static PyMethodDef def = TX_FUNCTION(Names<K>::fn, &unary_function<K>, Names<K>::doc);
  return &def;
}

}  // namespace

PyMethodDef* abs_function() { return function_def<UnaryKind::Abs>(); }
PyMethodDef* ceil_function() { return function_def<UnaryKind::Ceil>(); }
PyMethodDef* floor_function() { return function_def<UnaryKind::Floor>(); }
PyMethodDef* log2_function() { return function_def<UnaryKind::Log2>(); }
PyMethodDef* log10_function() { return function_def<UnaryKind::Log10>(); }
PyMethodDef* ln_function() { return function_def<UnaryKind::Ln>(); }

void register_abs_op(nb::module_& m) {
  register_operator<ClassId::AbsOp>(m, "AbsOp", "The absolute value of an expression.", kGetters);
}
void register_ceil_op(nb::module_& m) {
  register_operator<ClassId::CeilOp>(m, "CeilOp", "The ceiling of an expression.", kGetters);
}
void register_floor_op(nb::module_& m) {
  register_operator<ClassId::FloorOp>(m, "FloorOp", "The floor of an expression.", kGetters);
}
void register_log2_op(nb::module_& m) {
  register_operator<ClassId::Log2Op>(m, "Log2Op", "The base 2 logarithm of an expression.", kGetters);
}
void register_log10_op(nb::module_& m) {
  register_operator<ClassId::Log10Op>(m, "Log10Op", "The base 10 logarithm of an expression.", kGetters);
}
void register_ln_op(nb::module_& m) {
  register_operator<ClassId::LnOp>(m, "LnOp", "The natural logarithm of an expression.", kGetters);
}

}  // namespace tarvex::py
