// Module init: the version, the exception types, the module functions and the classes,
// each added to the module and to __all__ in one fixed order, kept here.
#include <nanobind/nanobind.h>

#include "lib/classes_py.hpp"
#include "lib/registry_py.hpp"

#include <vector>

namespace nb = nanobind;

namespace tarvex::py {
namespace {

constexpr const char* kVersion = "1.0.0-rc6";

PyModuleDef g_module_def = {
    PyModuleDef_HEAD_INIT,
    "tarvex",
    "Symbolic modeling of mathematical optimization problems and their solver results.",
    -1,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

// Module functions, in registration order.
using FunctionDef = PyMethodDef* (*)();
const std::vector<FunctionDef>& functions() {
  static const std::vector<FunctionDef> defs = {
      is_linear_function,      is_quadratic_function,      is_higher_order_function,
      is_dynamic_degree_function, extract_nodes_function, extract_variables_function,
      is_same_function,        abs_function,               ceil_function,
      floor_function,          log2_function,              log10_function,
      ln_function,             min_function,               max_function,
      sum_function,            prod_function,              to_protobuf_function,
      from_protobuf_function,  replace_function,           concatenate_function,
  };
  return defs;
}

// Classes, in registration order.
struct ClassEntry {
  const char* name;
  void (*register_class)(nb::module_&);
};
const ClassEntry kClasses[] = {
    {"DataType", register_data_type},
    {"NumberLit", register_number_lit},
    {"Placeholder", register_placeholder},
    {"Range", register_range},
    {"Element", register_element},
    {"Subscript", register_subscript},
    {"ArrayLength", register_array_length},
    {"DummyIndexedVar", register_dummy_indexed_var},
    {"BinaryVar", register_binary_var},
    {"IntegerVar", register_integer_var},
    {"ContinuousVar", register_continuous_var},
    {"SemiIntegerVar", register_semi_integer_var},
    {"SemiContinuousVar", register_semi_continuous_var},
    {"AbsOp", register_abs_op},
    {"CeilOp", register_ceil_op},
    {"FloorOp", register_floor_op},
    {"Log2Op", register_log2_op},
    {"Log10Op", register_log10_op},
    {"LnOp", register_ln_op},
    {"AddOp", register_add_op},
    {"MulOp", register_mul_op},
    {"ModOp", register_mod_op},
    {"MinOp", register_min_op},
    {"MaxOp", register_max_op},
    {"PowOp", register_pow_op},
    {"SumOp", register_sum_op},
    {"ProdOp", register_prod_op},
    {"AndOp", register_and_op},
    {"OrOp", register_or_op},
    {"XorOp", register_xor_op},
    {"EqualOp", register_equal_op},
    {"NotEqualOp", register_not_equal_op},
    {"LessThanOp", register_less_than_op},
    {"LessThanEqualOp", register_less_than_equal_op},
    {"GreaterThanOp", register_greater_than_op},
    {"GreaterThanEqualOp", register_greater_than_equal_op},
    {"Problem", register_problem},
    {"ProblemSense", register_problem_sense},
    {"Constraint", register_constraint},
    {"ConstraintSense", register_constraint_sense},
    {"CustomPenaltyTerm", register_custom_penalty_term},
    {"Evaluation", register_evaluation},
    {"Record", register_record},
    {"SolvingTime", register_solving_time},
    {"SystemTime", register_system_time},
    {"MeasuringTime", register_measuring_time},
    {"SampleSet", register_sample_set},
};

bool append_all(PyObject* all, const char* name) {
  PyObject* s = PyUnicode_FromString(name);
  if (!s) return false;
  const int rc = PyList_Append(all, s);
  Py_DECREF(s);
  return rc == 0;
}

bool add(PyObject* m, PyObject* all, const char* name, PyObject* value) {
  if (!value) return false;
  if (PyModule_AddObjectRef(m, name, value) < 0) return false;
  return append_all(all, name);
}

PyObject* init(PyObject* m) {
  install_interrupt_hook();
  PyObject* all = PyObject_GetAttrString(m, "__all__");
  if (!all) {
    PyErr_Clear();
    all = PyList_New(0);
    if (!all || PyModule_AddObjectRef(m, "__all__", all) < 0) return nullptr;
  }
  nb::object all_ref = nb::steal(all);

  PyObject* version = PyUnicode_FromString(kVersion);
  const bool version_ok = add(m, all, "__version__", version);
  Py_XDECREF(version);
  if (!version_ok) return nullptr;

  if (!add(m, all, "ModelingError", modeling_error_type()) ||
      !add(m, all, "ProtobufSerializationError", serialization_error_type()) ||
      !add(m, all, "ProtobufDeserializationError", deserialization_error_type()))
    return nullptr;

  for (FunctionDef def : functions()) {
    PyMethodDef* md = def();
    PyObject* name = PyUnicode_FromString("tarvex");
    if (!name) return nullptr;
    PyObject* fn = PyCFunction_NewEx(md, nullptr, name);
    Py_DECREF(name);
    const bool ok = add(m, all, md->ml_name, fn);
    Py_XDECREF(fn);
    if (!ok) return nullptr;
  }

  nb::module_ mod = nb::borrow<nb::module_>(m);
  for (const ClassEntry& c : kClasses) {
    c.register_class(mod);
    if (!append_all(all, c.name)) return nullptr;
  }
  register_instance(mod);
  return m;
}

bool g_initialised = false;

}  // namespace
}  // namespace tarvex::py

extern "C" NB_EXPORT PyObject* PyInit_tarvex();

extern "C" PyObject* PyInit_tarvex() {
  using namespace tarvex::py;
  if (g_initialised) {
    PyErr_SetString(PyExc_ImportError,
                    "tarvex is already initialised in this process and cannot be initialised again");
    return nullptr;
  }
  PyObject* m = PyModule_Create(&g_module_def);
  if (!m) return nullptr;
  if (!nb::register_module(m)) {
    Py_DECREF(m);
    return nullptr;
  }
  // Type objects and the enumeration members live for the life of the process by design.
  nb::set_leak_warnings(false);
  PyObject* result = guarded<PyObject*>(nullptr, [&] { return init(m); });
  if (!result) {
    if (!PyErr_Occurred()) PyErr_SetString(PyExc_ImportError, "tarvex failed to initialise");
    Py_DECREF(m);
    return nullptr;
  }
  g_initialised = true;
  return m;
}
