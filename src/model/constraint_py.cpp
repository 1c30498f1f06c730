// Constraint and ConstraintSense.
#include "lib/convert_py.hpp"
#include "lib/enum_py.hpp"
#include "lib/registry_py.hpp"
#include "model/model_py.hpp"
#include "print/latex.hpp"
#include "print/printer.hpp"

namespace tarvex::py {
namespace {

struct ConstraintObject {
  Constraint value;
};

const Constraint& node(PyObject* self) { return nb::inst_ptr<ConstraintObject>(self)->value; }

PyObject* constraint_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kw[] = {"name", "expression", "forall", nullptr};
    PyObject *name = nullptr, *expression = nullptr, *forall = nullptr;
    if (!parse_args(args, kwargs, "OO|$O:Constraint", kw, &name, &expression, &forall)) return nullptr;
    std::string n;
    if (!extract_str(name, "name", n)) return nullptr;
    auto cond = to_condition(expression);
    if (!cond) return raise_argument("expression", cond.error().kind, cond.error().message);
    auto list = to_forall_list(forall);
    if (!list) {
      const Error& e = list.error();
      return e.kind == ErrorKind::Type ? raise_argument("forall", e.kind, e.message) : raise(e);
    }
    auto c = make_constraint(std::move(n), *cond, std::move(list).value());
    if (!c) return raise(c.error());
    return new_instance<ConstraintObject>(type, std::move(c).value());
  });
}

PyObject* constraint_text(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const Constraint& c = node(self);
    auto cond = render_condition(PrintMode::Text, c.expression());
    if (!cond) return raise(cond.error());
    std::string out = "Constraint(name=\"" + c.name + "\", expression=" + *cond;
    if (!c.forall.empty()) out += ", forall=" + forall_text(c.forall);
    return to_str(out + ")");
  });
}

PyObject* get_name(PyObject* self, void*) { return to_str(node(self).name); }
PyObject* get_sense(PyObject* self, void*) { return enum_member(ClassId::ConstraintSense, int(node(self).sense)); }
PyObject* get_left(PyObject* self, void*) { return from_node(node(self).left); }
PyObject* get_right(PyObject* self, void*) { return from_node(node(self).right); }
PyObject* get_forall(PyObject* self, void*) { return forall_list_object(node(self).forall); }
PyObject* get_expression(PyObject* self, void*) { return from_node(node(self).expression()); }

PyObject* is_equality(PyObject* self, PyObject*) { return PyBool_FromLong(node(self).sense == ConstraintSense::Equal); }
PyObject* is_inequality(PyObject* self, PyObject*) {
  return PyBool_FromLong(node(self).sense != ConstraintSense::Equal);
}

PyObject* repr_latex(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    auto s = constraint_document(node(self));
    if (!s) return raise(s.error());
    return to_str(*s);
  });
}

PyGetSetDef kGetters[] = {
    TX_GETTER("name", get_name, "The name of the constraint."),
    TX_GETTER("sense", get_sense, "EQUAL, LESS_THAN_EQUAL or GREATER_THAN_EQUAL."),
    TX_GETTER("left", get_left, "The left side."),
    TX_GETTER("right", get_right, "The right side."),
    TX_GETTER("forall", get_forall, "The forall list: Elements, and (Element, condition) pairs."),
    TX_GETTER("expression", get_expression, "The comparison of left and right."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef kMethods[] = {
    TX_REPR_LATEX(repr_latex),
    {"is_equality", is_equality, METH_NOARGS, "is_equality($self)\n--\n\nWhether the sense is EQUAL."},
    {"is_inequality", is_inequality, METH_NOARGS, "is_inequality($self)\n--\n\nWhether the sense is not EQUAL."},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

const Constraint* as_constraint(PyObject* o) {
  return is_instance(o, ClassId::Constraint) ? &node(o) : nullptr;
}

PyObject* wrap_constraint(Constraint c) {
  return new_instance<ConstraintObject>(type_of(ClassId::Constraint), std::move(c));
}

void register_constraint(nb::module_& m) {
  static Slots slots;
  slots.constructor(&constraint_new)
      .add(Py_tp_getset, kGetters)
      .methods(kMethods)
      .add(Py_tp_str, reinterpret_cast<void*>(&constraint_text))
      .add(Py_tp_repr, reinterpret_cast<void*>(&constraint_text));
  nb::class_<ConstraintObject> cls(
      m, "Constraint",
      "Constraint(name, expression, *, forall=None)\n--\n\n"
      "A class for creating a constraint: a named equality or non-strict inequality.\n\n"
      "Args:\n"
      "    name (str): the name.\n"
      "    expression: a comparison with ==, <= or >= that involves a decision variable.\n"
      "    forall: None, an Element, a pair (Element, condition), or a sequence of these; it must "
      "quantify exactly the elements the expression leaves free.",
      nb::type_slots(slots.finish()));
  class_info(ClassId::Constraint).type = reinterpret_cast<PyTypeObject*>(cls.ptr());
}

void register_constraint_sense(nb::module_& m) {
  register_enum<ClassId::ConstraintSense>(m, "ConstraintSense",
                                          "The sense of a constraint: EQUAL, LESS_THAN_EQUAL or GREATER_THAN_EQUAL.",
                                          {"EQUAL", "LESS_THAN_EQUAL", "GREATER_THAN_EQUAL"});
}

}  // namespace tarvex::py
