// CustomPenaltyTerm: a named expression that a solver adds to the objective as a penalty.
#include "lib/convert_py.hpp"
#include "lib/registry_py.hpp"
#include "model/model_py.hpp"
#include "print/latex.hpp"
#include "print/printer.hpp"

namespace tarvex::py {

namespace {

struct PenaltyObject {
  CustomPenaltyTerm value;
};

const CustomPenaltyTerm& node(PyObject* self) { return nb::inst_ptr<PenaltyObject>(self)->value; }

PyObject* penalty_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kw[] = {"name", "expression", "forall", nullptr};
    PyObject *name = nullptr, *expression = nullptr, *forall = nullptr;
    if (!parse_args(args, kwargs, "OO|$O:CustomPenaltyTerm", kw, &name, &expression, &forall)) return nullptr;
    std::string n;
    if (!extract_str(name, "name", n)) return nullptr;
    auto e = to_expression(expression);
    if (!e) {
      const Error& err = e.error();
      return err.kind == ErrorKind::Type ? raise_argument("expression", err.kind, err.message) : raise(err);
    }
    auto list = to_forall_list(forall);
    if (!list) {
      const Error& err = list.error();
      return err.kind == ErrorKind::Type ? raise_argument("forall", err.kind, err.message) : raise(err);
    }
    auto p = make_custom_penalty_term(std::move(n), std::move(e).value(), std::move(list).value());
    if (!p) return raise(p.error());
    return new_instance<PenaltyObject>(type, std::move(p).value());
  });
}

PyObject* penalty_text(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const CustomPenaltyTerm& p = node(self);
    auto e = render_expression(PrintMode::Text, p.expression);
    if (!e) return raise(e.error());
    std::string out = "CustomPenaltyTerm(name=\"" + p.name + "\", expression=" + *e;
    if (!p.forall.empty()) out += ", forall=" + forall_text(p.forall);
    return to_str(out + ")");
  });
}

PyObject* get_name(PyObject* self, void*) { return to_str(node(self).name); }
PyObject* get_expression(PyObject* self, void*) { return from_node(node(self).expression); }
PyObject* get_forall(PyObject* self, void*) { return forall_list_object(node(self).forall); }

PyObject* repr_latex(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    auto s = penalty_document(node(self));
    if (!s) return raise(s.error());
    return to_str(*s);
  });
}

PyGetSetDef kGetters[] = {
    TX_GETTER("name", get_name, "The name of the penalty term."),
    TX_GETTER("expression", get_expression, "The penalty expression."),
    TX_GETTER("forall", get_forall, "The forall list: Elements, and (Element, condition) pairs."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef kMethods[] = {
    TX_REPR_LATEX(repr_latex),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

const CustomPenaltyTerm* as_custom_penalty_term(PyObject* o) {
  return is_instance(o, ClassId::CustomPenaltyTerm) ? &node(o) : nullptr;
}

PyObject* wrap_custom_penalty_term(CustomPenaltyTerm p) {
  return new_instance<PenaltyObject>(type_of(ClassId::CustomPenaltyTerm), std::move(p));
}

void register_custom_penalty_term(nb::module_& m) {
  static Slots slots;
  slots.methods(kMethods).constructor(&penalty_new)
      .add(Py_tp_getset, kGetters)
      .add(Py_tp_str, reinterpret_cast<void*>(&penalty_text))
      .add(Py_tp_repr, reinterpret_cast<void*>(&penalty_text));
  nb::class_<PenaltyObject> cls(
      m, "CustomPenaltyTerm",
      "CustomPenaltyTerm(name, expression, *, forall=None)\n--\n\n"
      "A class for creating a custom penalty term: a named expression that a solver adds to the "
      "objective as a penalty.\n\n"
      "Args:\n"
      "    name (str): the name.\n"
      "    expression: an expression that involves a decision variable.\n"
      "    forall: None, an Element, a pair (Element, condition), or a sequence of these; it must "
      "quantify exactly the elements the expression leaves free.",
      nb::type_slots(slots.finish()));
  class_info(ClassId::CustomPenaltyTerm).type = reinterpret_cast<PyTypeObject*>(cls.ptr());
}

}  // namespace tarvex::py
