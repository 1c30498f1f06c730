// Element: a bound index ranging over a range or an array.
#include "lib/convert_py.hpp"
#include "lib/registry_py.hpp"
#include "model/expression/operand/array_length_py.hpp"
#include "model/expression/operand/element/element.hpp"
#include "model/expression/operand/element/range_py.hpp"
#include "model/expression/operand/subscript_py.hpp"

namespace tarvex::py {
namespace {

// belong_to: an integer n (the range [0, n)), a pair (start, end), or an array operand.
Result<ElementSet> to_set(PyObject* o) {
  if (auto n = as_int64(o)) {
    TX_TRY(Range r, make_range(make_int(0), make_int(*n)));
    return ElementSet(std::move(r));
  }
  if (PyTuple_Check(o) && PyTuple_GET_SIZE(o) == 2) {
    auto start = to_expression(PyTuple_GET_ITEM(o, 0));
    auto end = start ? to_expression(PyTuple_GET_ITEM(o, 1)) : Result<Expression>(start.error());
    if (start && end) {
      TX_TRY(Range r, make_range(std::move(start).value(), std::move(end).value()));
      return ElementSet(std::move(r));
    }
  }
  if (is_instance(o, ClassId::Placeholder) || is_instance(o, ClassId::Element) ||
      is_instance(o, ClassId::Subscript))
    return set_of_array(expr_holder(o).expr());
  return type_error("failed to convert into a set");
}

PyObject* element_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kw[] = {"name", "belong_to", "latex", "description", nullptr};
    PyObject *name = nullptr, *belong_to = nullptr, *latex = nullptr, *description = nullptr;
    if (!parse_args(args, kwargs, "OO|$OO:Element", kw, &name, &belong_to, &latex, &description))
      return nullptr;
    std::string n;
    OptString lx, desc;
    if (!extract_str(name, "name", n) || !extract_opt_str(latex, "latex", lx) ||
        !extract_opt_str(description, "description", desc))
      return nullptr;
    auto set = to_set(belong_to);
    if (!set) return raise(set.error());
    return wrap(ClassId::Element, make_element(std::move(n), std::move(set).value(), std::move(lx), std::move(desc)),
                type);
  });
}

Pinned<Element> node(PyObject* self) { return Pinned<Element>(expr_holder(self).expr()); }

PyObject* get_name(PyObject* self, void*) { return to_str(node(self)->name); }
PyObject* get_ndim(PyObject* self, void*) { return PyLong_FromUnsignedLongLong(expr_holder(self).expr().ndim()); }
PyObject* get_description(PyObject* self, void*) { return str_or_none(node(self)->description); }
PyObject* get_belong_to(PyObject* self, void*) {
  const auto el = node(self);
  const ElementSet& s = el->belong_to;
  if (const Range* r = std::get_if<Range>(&s)) return wrap_range(*r);
  return from_node(std::get<Expression>(s));
}

PyGetSetDef kGetters[] = {
    TX_GETTER("name", get_name, "The name of the element."),
    TX_GETTER("ndim", get_ndim, "The number of dimensions: that of its set minus one."),
    TX_GETTER("belong_to", get_belong_to, "The set the element ranges over: a Range or an array."),
    TX_GETTER("description", get_description, "The description, or None."),
    TX_GETTER("shape", shape_getter, "The lengths of the element's axes, as ArrayLength objects."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

void register_element(nb::module_& m) {
  static Slots slots;
  slots.constructor(&element_new).add(Py_tp_getset, kGetters);
  add_array_operand_slots(slots);
  expr_class<ClassId::Element>(
      m, "Element",
      "Element(name, belong_to, *, latex=None, description=None)\n--\n\n"
      "A class for creating an element: a bound index ranging over a set.\n\n"
      "Args:\n"
      "    name (str): the name.\n"
      "    belong_to: the set: an int n for the range [0, n), a pair (start, end) for the range "
      "[start, end), or a Placeholder, Element or Subscript (an array, whose first axis the element "
      "ranges over; a scalar one gives the range from 0 to it).\n"
      "    latex (str | None): the LaTeX form; the name when None.\n"
      "    description (str | None): a description.",
      slots);
}

}  // namespace tarvex::py
