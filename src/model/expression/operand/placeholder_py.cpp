// Placeholder: named input data with a fixed number of dimensions.
#include "lib/convert_py.hpp"
#include "model/expression/operand/array_length_py.hpp"
#include "model/expression/operand/subscript_py.hpp"
#include "lib/registry_py.hpp"

namespace tarvex::py {
namespace {

Pinned<Placeholder> ph(PyObject* self) { return Pinned<Placeholder>(expr_holder(self).expr()); }

PyObject* placeholder_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kw[] = {"name", "ndim", "latex", "description", nullptr};
    PyObject *name = nullptr, *ndim = nullptr, *latex = nullptr, *description = nullptr;
    if (!parse_args(args, kwargs, "O|$OOO:Placeholder", kw, &name, &ndim, &latex, &description))
      return nullptr;
    Placeholder p;
    if (!extract_str(name, "name", p.name)) return nullptr;
    if (ndim && !extract_uint(ndim, "ndim", p.ndim)) return nullptr;
    if (!extract_opt_str(latex, "latex", p.latex)) return nullptr;
    if (!extract_opt_str(description, "description", p.description)) return nullptr;
    return wrap(ClassId::Placeholder, make_expr(std::move(p)), type);
  });
}

PyObject* get_name(PyObject* self, void*) { return to_str(ph(self)->name); }
PyObject* get_ndim(PyObject* self, void*) { return PyLong_FromUnsignedLongLong(ph(self)->ndim); }
PyObject* get_description(PyObject* self, void*) { return str_or_none(ph(self)->description); }

PyGetSetDef kGetters[] = {
    TX_GETTER("name", get_name, "The name of the placeholder."),
    TX_GETTER("ndim", get_ndim, "The number of dimensions; 0 for a scalar."),
    TX_GETTER("description", get_description, "The description, or None."),
    TX_GETTER("shape", shape_getter, "The length of each axis, as ArrayLength objects."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

void register_placeholder(nb::module_& m) {
  static Slots slots;
  slots.constructor(&placeholder_new).add(Py_tp_getset, kGetters);
  add_array_operand_slots(slots);
  expr_class<ClassId::Placeholder>(
      m, "Placeholder",
      "Placeholder(name, *, ndim=0, latex=None, description=None)\n--\n\n"
      "A class for creating a placeholder: named input data whose values are given only when "
      "the model is solved.\n\n"
      "Args:\n"
      "    name (str): the name.\n"
      "    ndim (int): the number of dimensions; 0 for a scalar.\n"
      "    latex (str | None): the LaTeX form; the name when None.\n"
      "    description (str | None): a description.",
      slots);
}

}  // namespace tarvex::py
