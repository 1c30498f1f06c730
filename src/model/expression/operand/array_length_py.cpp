// ArrayLength: the length of an array operand along one axis.
#include "model/expression/operand/array_length_py.hpp"

#include "lib/arithmetic_py.hpp"
#include "lib/convert_py.hpp"
#include "lib/registry_py.hpp"
#include "model/expression/operand/array_length.hpp"

namespace tarvex::py {
namespace {

PyObject* build(PyTypeObject* type, const Expression& array, PyObject* axis, PyObject* latex,
                PyObject* description) {
  std::uint64_t ax = 0;
  OptString lx, desc;
  if (!extract_uint(axis, "axis", ax) || !extract_opt_str(latex, "latex", lx) ||
      !extract_opt_str(description, "description", desc))
    return nullptr;
  auto r = make_array_length(array, ax, std::move(lx), std::move(desc));
  if (!r) return raise(r.error());
  return wrap(ClassId::ArrayLength, std::move(r).value(), type);
}

PyObject* array_length_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kw[] = {"array", "axis", "latex", "description", nullptr};
    PyObject *array = nullptr, *axis = nullptr, *latex = nullptr, *description = nullptr;
    if (!parse_args(args, kwargs, "OO|$OO:ArrayLength", kw, &array, &axis, &latex, &description))
      return nullptr;
    if (!is_instance(array, ClassId::Placeholder) && !is_instance(array, ClassId::Element) &&
        !is_instance(array, ClassId::Subscript))
      return raise_argument("array", ErrorKind::Type, "unsupported type");
    return build(type, expr_holder(array).expr(), axis, latex, description);
  });
}

Pinned<ArrayLength> node(PyObject* self) { return Pinned<ArrayLength>(expr_holder(self).expr()); }

PyObject* get_array(PyObject* self, void*) { return from_node(node(self)->array); }
PyObject* get_axis(PyObject* self, void*) { return PyLong_FromUnsignedLongLong(node(self)->axis); }
PyObject* get_description(PyObject* self, void*) { return str_or_none(node(self)->description); }

PyGetSetDef kGetters[] = {
    TX_GETTER("array", get_array, "The array whose length this is."),
    TX_GETTER("axis", get_axis, "The axis."),
    TX_GETTER("description", get_description, "The description, or None."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef kMethods[] = {
    TX_METHOD("set_latex", expr_set_latex, kSetLatexDoc),
    TX_REPR_LATEX(expr_repr_latex),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

const char* const kLenAtDoc =
    "len_at($self, axis, *, latex=None, description=None)\n--\n\n"
    "The length of this array along `axis`, as an ArrayLength.";

PyObject* len_at_method(PyObject* self, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kw[] = {"axis", "latex", "description", nullptr};
    PyObject *axis = nullptr, *latex = nullptr, *description = nullptr;
    if (!parse_args(args, kwargs, "O|$OO:len_at", kw, &axis, &latex, &description)) return nullptr;
    const Expression array = expr_holder(self).expr();
    if (array.kind() == ExprKind::Subscript && array.ndim() == 0)
      return raise(modeling_error("Can't get length of a scalar"));
    return build(nullptr, array, axis, latex, description);
  });
}

PyObject* shape_getter(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    auto shape = shape_of(expr_holder(self).expr());
    if (!shape) return raise(shape.error());
    return tuple_of(*shape);
  });
}

void register_array_length(nb::module_& m) {
  static Slots slots;
  slots.constructor(&array_length_new).expr_printing().add(Py_tp_getset, kGetters).methods(kMethods);
  add_arithmetic_slots(slots, false);
  expr_class<ClassId::ArrayLength>(
      m, "ArrayLength",
      "ArrayLength(array, axis, *, latex=None, description=None)\n--\n\n"
      "A class for the length of an array (a placeholder, an element or a subscript) along an axis.\n\n"
      "Args:\n"
      "    array (Placeholder | Element | Subscript): the array.\n"
      "    axis (int): the axis, less than the array's number of dimensions.\n"
      "    latex (str | None): the LaTeX form.\n"
      "    description (str | None): a description.",
      slots);
}

}  // namespace tarvex::py
