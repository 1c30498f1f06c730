// Problem and ProblemSense.
#include "lib/convert_py.hpp"
#include "lib/enum_py.hpp"
#include "lib/registry_py.hpp"
#include "model/model_py.hpp"
#include "print/latex.hpp"

namespace tarvex::py {
namespace {

struct ProblemObject {
  Problem value;
};

Problem& node(PyObject* self) { return nb::inst_ptr<ProblemObject>(self)->value; }

bool extract_sense(PyObject* o, ProblemSense& out) {
  auto v = enum_value(o, ClassId::ProblemSense);
  if (!v) {
    raise_argument("sense", ErrorKind::Type, std::string("expected ProblemSense, got ") + Py_TYPE(o)->tp_name);
    return false;
  }
  out = ProblemSense(*v);
  return true;
}

PyObject* problem_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kw[] = {"name", "sense", nullptr};
    PyObject *name = nullptr, *sense = nullptr;
    if (!parse_args(args, kwargs, "O|$O:Problem", kw, &name, &sense)) return nullptr;
    std::string n;
    ProblemSense s = ProblemSense::Minimize;
    if (!extract_str(name, "name", n)) return nullptr;
    if (sense && !extract_sense(sense, s)) return nullptr;
    return new_instance<ProblemObject>(type, Problem(std::move(n), s));
  });
}

// problem += other: an expression replaces the objective; a constraint or penalty term is
// stored under its name. The duplicated-name check runs first; a failure changes nothing.
PyObject* problem_iadd(PyObject* self, PyObject* other) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    if (!is_instance(self, ClassId::Problem)) Py_RETURN_NOTIMPLEMENTED;
    Problem& p = node(self);
    Status done = Ok{};
    if (auto e = to_expression(other)) {
      done = p.set_objective(std::move(e).value());
    } else if (const Constraint* c = as_constraint(other)) {
      done = p.add_constraint(*c);
    } else if (const CustomPenaltyTerm* t = as_custom_penalty_term(other)) {
      done = p.add_custom_penalty_term(*t);
    } else {
      return raise(type_error("unsupported operand type(s) for +="));
    }
    if (!done) return raise(done.error());
    Py_INCREF(self);
    return self;
  });
}

// Takes its own copy of the map: wrapping allocates, and a finalizer run by the garbage
// collector may add to the problem meanwhile.
template <class Map, class Wrap>
PyObject* dict_of(const Map map, Wrap wrap) {
  nb::object dict = nb::steal(PyDict_New());
  if (!dict) return nullptr;
  for (const auto& [name, value] : map) {
    nb::object item = nb::steal(wrap(value));
    if (!item) return nullptr;
    if (PyDict_SetItemString(dict.ptr(), name.c_str(), item.ptr()) < 0) return nullptr;
  }
  return dict.release().ptr();
}

PyObject* get_name(PyObject* self, void*) { return to_str(node(self).name()); }
PyObject* get_objective(PyObject* self, void*) { return from_node(node(self).objective()); }
PyObject* get_sense(PyObject* self, void*) { return enum_member(ClassId::ProblemSense, int(node(self).sense())); }
int set_sense(PyObject* self, PyObject* value, void*) {
  if (!value) {
    PyErr_SetString(PyExc_AttributeError, "can't delete attribute");
    return -1;
  }
  ProblemSense s;
  if (!extract_sense(value, s)) return -1;
  node(self).set_sense(s);
  return 0;
}
PyObject* get_constraints(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return dict_of(node(self).constraints(), wrap_constraint); });
}
PyObject* get_penalties(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr,
                            [&] { return dict_of(node(self).custom_penalty_terms(), wrap_custom_penalty_term); });
}

PyObject* repr_latex(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const Problem copy = node(self);  // the walk may run signal handlers, which may change the problem
    auto s = problem_document(copy);
    if (!s) return raise(s.error());
    return to_str(*s);
  });
}

PyGetSetDef kGetters[] = {
    TX_GETTER("name", get_name, "The name of the problem."),
    {"sense", get_sense, set_sense, "MINIMIZE or MAXIMIZE; can be assigned.", nullptr},
    TX_GETTER("objective", get_objective, "The objective; the integer literal 0 until one is added."),
    TX_GETTER("constraints", get_constraints, "A new dict of the constraints by name, in name order."),
    TX_GETTER("custom_penalty_terms", get_penalties, "A new dict of the custom penalty terms by name, in name order."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef kMethods[] = {
    TX_REPR_LATEX(repr_latex),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

const Problem* as_problem(PyObject* o) { return is_instance(o, ClassId::Problem) ? &node(o) : nullptr; }

PyObject* wrap_problem(Problem p) {
  return new_instance<ProblemObject>(type_of(ClassId::Problem), std::move(p));
}

void register_problem(nb::module_& m) {
  static Slots slots;
  slots.methods(kMethods).constructor(&problem_new)
      .add(Py_tp_getset, kGetters)
      .add(Py_nb_inplace_add, reinterpret_cast<void*>(&problem_iadd));
  nb::class_<ProblemObject> cls(
      m, "Problem",
      "Problem(name, *, sense=...)\n--\n\n"
      "A class for creating an optimization problem: an objective, constraints and custom penalty "
      "terms, assembled with +=.\n\n"
      "Args:\n"
      "    name (str): the name.\n"
      "    sense (ProblemSense): ProblemSense.MINIMIZE (the default) or ProblemSense.MAXIMIZE.",
      nb::type_slots(slots.finish()));
  class_info(ClassId::Problem).type = reinterpret_cast<PyTypeObject*>(cls.ptr());
}

void register_problem_sense(nb::module_& m) {
  register_enum<ClassId::ProblemSense>(m, "ProblemSense", "The sense of a problem: MINIMIZE or MAXIMIZE.",
                                       {"MINIMIZE", "MAXIMIZE"});
}

}  // namespace tarvex::py
