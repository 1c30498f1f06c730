// Subscript: an entry, or a lower-dimensional part, of an array operand.
#include "model/expression/operand/subscript_py.hpp"

#include "lib/arithmetic_py.hpp"
#include "lib/convert_py.hpp"
#include "lib/registry_py.hpp"
#include "model/expression/operand/array_length_py.hpp"
#include "model/expression/operand/subscript.hpp"

namespace tarvex::py {
namespace {

Pinned<Subscript> node(PyObject* self) { return Pinned<Subscript>(expr_holder(self).expr()); }

PyObject* get_variable(PyObject* self, void*) { return from_node(node(self)->variable); }
PyObject* get_ndim(PyObject* self, void*) { return PyLong_FromUnsignedLongLong(expr_holder(self).expr().ndim()); }
PyObject* get_subscripts(PyObject* self, void*) { return list_of(node(self)->subscripts); }

PyGetSetDef kGetters[] = {
    TX_GETTER("variable", get_variable, "The subscripted array."),
    TX_GETTER("subscripts", get_subscripts, "The subscripts, in order."),
    TX_GETTER("ndim", get_ndim, "The number of dimensions left after subscripting."),
    TX_GETTER("shape", shape_getter, "The lengths of the remaining axes, as ArrayLength objects."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef kArrayMethods[] = {
    TX_METHOD("len_at", len_at_method, kLenAtDoc),
    TX_METHOD("set_latex", expr_set_latex, kSetLatexDoc),
    TX_REPR_LATEX(expr_repr_latex),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

void add_array_operand_slots(Slots& slots) {
  slots.expr_printing().methods(kArrayMethods).add(Py_mp_subscript, reinterpret_cast<void*>(&array_getitem));
  add_arithmetic_slots(slots, false);
}

PyObject* array_getitem(PyObject* self, PyObject* index) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const Expression receiver = expr_holder(self).expr();
    ExprList items;
    ItemCheck when = ItemCheck::AfterCount;
    if (PyTuple_CheckExact(index)) {
      // `x[i, j]`: a tuple is never an expression (converting it fails without side
      // effects), so its items are read directly, as the sequence path would.
      const Py_ssize_t n = PyTuple_GET_SIZE(index);
      items.reserve(std::size_t(n));
      for (Py_ssize_t k = 0; k < n; ++k) {
        auto item = to_expression(PyTuple_GET_ITEM(index, k));
        if (!item) return raise(item.error());
        items.push_back(std::move(item).value());
      }
      when = ItemCheck::BeforeCount;
    } else if (auto single = to_expression(index)) {
      items.push_back(std::move(single).value());
    } else {
      auto list = to_expression_list(index);
      if (!list) return raise(list.error());
      items = std::move(list).value();
      when = ItemCheck::BeforeCount;
    }
    if (receiver.ndim() == 0) {
      auto failed = make_subscript(receiver, {}, when);
      return raise(type_error("ModelingError: " + failed.error().message));
    }
    return result_object(make_subscript(receiver, std::move(items), when), ClassId::Subscript);
  });
}

void register_subscript(nb::module_& m) {
  static Slots slots;
  slots.no_constructor().add(Py_tp_getset, kGetters);
  add_array_operand_slots(slots);
  expr_class<ClassId::Subscript>(m, "Subscript",
                                 "A subscripted array: an entry, or a lower-dimensional part, of a "
                                 "placeholder, an element or a decision variable.",
                                 slots);
}

}  // namespace tarvex::py
