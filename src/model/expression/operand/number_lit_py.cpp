// NumberLit: an integer or float constant of a model.
#include "lib/arithmetic_py.hpp"
#include "lib/convert_py.hpp"
#include "lib/registry_py.hpp"
#include "model/expression/operand/data_type_py.hpp"

namespace tarvex::py {
namespace {

Pinned<NumberLit> lit(PyObject* self) { return Pinned<NumberLit>(expr_holder(self).expr()); }

PyObject* number_lit_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kw[] = {"value", nullptr};
    PyObject* value = nullptr;
    if (!parse_args(args, kwargs, "O:NumberLit", kw, &value)) return nullptr;
    Expression e;
    if (auto i = as_int64(value)) {
      e = make_int(*i);
    } else if (auto d = as_double(value)) {
      e = make_float(*d);
    } else {
      return raise_argument("value", ErrorKind::Type,
                            std::string("'") + Py_TYPE(value)->tp_name +
                                "' object cannot be converted to either Integer or Float");
    }
    return wrap(ClassId::NumberLit, std::move(e), type);
  });
}

PyObject* get_value(PyObject* self, void*) {
  const auto n = lit(self);
  return n->is_integer() ? PyLong_FromLongLong(n->int_value()) : PyFloat_FromDouble(n->float_value());
}

PyObject* get_dtype(PyObject* self, void*) {
  return data_type_member(lit(self)->is_integer());
}

PyGetSetDef kGetters[] = {
    TX_GETTER("value", get_value, "The number held: an int or a float."),
    TX_GETTER("dtype", get_dtype, "DataType.INTEGER for an integer literal, DataType.FLOAT for a float one."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef kMethods[] = {
    TX_REPR_LATEX(expr_repr_latex),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

void register_number_lit(nb::module_& m) {
  static Slots slots;
  slots.constructor(&number_lit_new).expr_printing().add(Py_tp_getset, kGetters).methods(kMethods);
  add_arithmetic_slots(slots, false);
  expr_class<ClassId::NumberLit>(m, "NumberLit",
                                 "NumberLit(value)\n--\n\n"
                                 "A class for creating a number literal.\n\n"
                                 "Args:\n"
                                 "    value (int | float): the number; an integer that fits 64 bits "
                                 "stays an integer, anything else with __float__ becomes a float.",
                                 slots);
}

}  // namespace tarvex::py
