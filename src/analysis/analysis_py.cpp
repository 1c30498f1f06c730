// The module functions is_linear, is_quadratic, is_higher_order, is_dynamic_degree,
// extract_nodes and extract_variables.
#include <array>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "analysis/degree.hpp"
#include "analysis/extract.hpp"
#include "lib/registry_py.hpp"
#include "model/expression/operator/operator_py.hpp"
#include "model/model_py.hpp"

namespace tarvex::py {
namespace {

// ---------------------------------------------------------------------------------------
// Degree classification.

template <Result<bool> (*Predicate)(const Expression&)>
PyObject* degree_function(const char* format, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kw[] = {"expr", nullptr};
    PyObject* arg = nullptr;
    if (!parse_fast_args(args, nargs, kwnames, format, kw, &arg)) return nullptr;
    Expression e;
    if (!argument_expression(arg, "expr", e)) return nullptr;
    const Result<bool> answer = Predicate(e);
    if (!answer) return raise(answer.error());
    return PyBool_FromLong(*answer);
  });
}

PyObject* is_linear_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return degree_function<is_linear>("O:is_linear", args, nargs, kwnames);
}
PyObject* is_quadratic_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return degree_function<is_quadratic>("O:is_quadratic", args, nargs, kwnames);
}
PyObject* is_higher_order_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return degree_function<is_higher_order>("O:is_higher_order", args, nargs, kwnames);
}
PyObject* is_dynamic_degree_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return degree_function<is_dynamic_degree>("O:is_dynamic_degree", args, nargs, kwnames);
}

// ---------------------------------------------------------------------------------------
// Extraction.

// What `obj` of extract_nodes / extract_variables stands for. Constraints and penalty
// terms never change and stay in their objects; a problem is copied, since a walk polls for
// interrupts and a signal handler may add to it.
using Model =
    std::variant<Expression, Condition, const Constraint*, const CustomPenaltyTerm*, Problem, ForallList>;

// Tried in order: an expression, a condition, a Constraint, a CustomPenaltyTerm, a
// Problem, a forall list. When nothing fits, the expression conversion's error is raised.
std::optional<Model> to_model(PyObject* o) {
  auto e = to_expression(o);
  if (e) return Model(std::move(e).value());
  if (auto c = to_condition(o)) return Model(std::move(c).value());
  if (const Constraint* c = as_constraint(o)) return Model(c);
  if (const CustomPenaltyTerm* t = as_custom_penalty_term(o)) return Model(t);
  if (const Problem* p = as_problem(o)) return Model(*p);
  // None stands for "no forall list" only as a constructor argument; here it is no model.
  auto f = o == Py_None ? Result<ForallList>(type_error("")) : to_forall_list(o);
  if (f) return Model(std::move(f).value());
  // A sequence of elements that breaks a forall rule says more than a failed conversion.
  const Error& err = f.error().kind == ErrorKind::Type ? e.error() : f.error();
  if (err.kind == ErrorKind::Type) raise_argument("obj", err.kind, err.message);
  else raise(err);
  return std::nullopt;
}

template <class F>
Status visit_model(const Model& m, F&& f) {
  return std::visit(
      [&](const auto& x) -> Status {
        if constexpr (std::is_pointer_v<std::decay_t<decltype(x)>>) {
          return f(*x);
        } else {
          return f(x);
        }
      },
      m);
}

// Marks the classes named by `class_or_tuple`; false (with the TypeError set) when it is
// neither a type nor a tuple of types.
bool wanted_classes(PyObject* class_or_tuple, std::array<bool, kClassCount>& wanted) {
  auto mark = [&](PyObject* t) {
    for (std::size_t i = 0; i < kClassCount; ++i)
      if (reinterpret_cast<PyObject*>(type_of(ClassId(i))) == t) wanted[i] = true;
  };
  bool ok = PyType_Check(class_or_tuple);
  if (ok) {
    mark(class_or_tuple);
  } else if (PyTuple_Check(class_or_tuple)) {
    ok = true;
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(class_or_tuple) && ok; ++i)
      ok = PyType_Check(PyTuple_GET_ITEM(class_or_tuple, i));
    if (ok)
      for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(class_or_tuple); ++i) mark(PyTuple_GET_ITEM(class_or_tuple, i));
  }
  if (!ok) {
    raise(type_error("2nd arg of extract_node() must be a type or tuple of types, but the given type is " +
                     type_name(Py_TYPE(class_or_tuple))));
  }
  return ok;
}

// The longest list extract_nodes makes (2^26 nodes: some 4 GiB of Python objects).
constexpr std::size_t kMaxExtractedNodes = std::size_t(1) << 26;

// One listed node: an expression or a condition.
struct Found {
  Expression expr;
  Condition cond;
};

PyObject* extract_nodes_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kw[] = {"obj", "class_or_tuple", nullptr};
    PyObject* obj = nullptr;
    PyObject* classes = nullptr;
    if (!parse_fast_args(args, nargs, kwnames, "OO:extract_nodes", kw, &obj, &classes)) return nullptr;
    std::optional<Model> model = to_model(obj);
    if (!model) return nullptr;
    std::array<bool, kClassCount> wanted{};
    if (!wanted_classes(classes, wanted)) return nullptr;

    // The nodes are listed first and the objects made afterwards. The walk is per
    // occurrence, so a shared subtree may be reached astronomically often: the list is
    // refused past a size no Python list could hold here, and the walk stops on Ctrl-C.
    std::vector<Found> found;
    bool too_many = false;
    auto keep = [&](Found f) {
      if (found.size() >= kMaxExtractedNodes) {
        too_many = true;
        return;
      }
      found.push_back(std::move(f));
    };
    NodeVisitor v{
        [&](const Expression& e) {
          if (wanted[std::size_t(class_of(e))]) keep({e, Condition()});
        },
        [&](const Condition& c) {
          if (wanted[std::size_t(class_of(c))]) keep({Expression(), c});
        },
        &too_many,
    };
    Walker walker(v, Visits::EachOccurrence);
    Status done = visit_model(*model, [&](const auto& x) { return too_many ? Status(Ok{}) : walker.walk(x); });
    if (!done) return raise(done.error());
    if (too_many)
      return raise({ErrorKind::Memory, "extract_nodes: the list would hold more than " +
                                           std::to_string(kMaxExtractedNodes) + " nodes"});
    return sequence_of(found, found.size(),
                       [](const Found& f) { return f.expr ? from_node(f.expr) : from_node(f.cond); });
  });
}

PyObject* extract_variables_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kw[] = {"obj", nullptr};
    PyObject* obj = nullptr;
    if (!parse_fast_args(args, nargs, kwnames, "O:extract_variables", kw, &obj)) return nullptr;
    std::optional<Model> model = to_model(obj);
    if (!model) return nullptr;
    VariableCollector collector;
    Status done = visit_model(*model, [&](const auto& x) { return collector.add(x); });
    if (!done) return raise(done.error());
    return list_of(collector.variables());
  });
}

}  // namespace

PyMethodDef* is_linear_function() {
  static PyMethodDef def = TX_FUNCTION("is_linear", is_linear_fn,
                                         "is_linear(expr)\n--\n\n"
                            "Whether the expression is linear in its decision variables: the highest degree "
                            "met anywhere in it is 1 and no degree depends on the data.");
  return &def;
}

PyMethodDef* is_quadratic_function() {
  static PyMethodDef def = TX_FUNCTION("is_quadratic", is_quadratic_fn,
                                         "is_quadratic(expr)\n--\n\n"
                            "Whether the expression is quadratic in its decision variables: the highest degree "
                            "met anywhere in it is 2 and no degree depends on the data.");
  return &def;
}

PyMethodDef* is_higher_order_function() {
  static PyMethodDef def = TX_FUNCTION("is_higher_order", is_higher_order_fn,
                                         "is_higher_order(expr)\n--\n\n"
                            "Whether the expression has a degree above 2 in its decision variables somewhere, "
                            "with no degree depending on the data.");
  return &def;
}

PyMethodDef* is_dynamic_degree_function() {
  static PyMethodDef def = TX_FUNCTION("is_dynamic_degree", is_dynamic_degree_fn,
                                         "is_dynamic_degree(expr)\n--\n\n"
                            "Whether the degree of the expression depends on the data: a power with a "
                            "non-literal exponent, or a product over an index whose range is not literal.");
  return &def;
}

PyMethodDef* extract_nodes_function() {
  static PyMethodDef def = TX_FUNCTION("extract_nodes", extract_nodes_fn,
                                         "extract_nodes(obj, class_or_tuple)\n--\n\n"
                            "The nodes of an expression, condition, constraint, penalty term, problem or forall "
                            "list whose class is one of the given classes (no subclasses), depth first with a "
                            "node before its children. Repeated nodes are listed each time.");
  return &def;
}

PyMethodDef* extract_variables_function() {
  static PyMethodDef def = TX_FUNCTION("extract_variables", extract_variables_fn,
                                         "extract_variables(obj)\n--\n\n"
                            "The distinct placeholders, elements, array lengths and decision variables of an "
                            "expression, condition, constraint, penalty term, problem or forall list, in order "
                            "of first appearance. An element is followed by the variables of its set.");
  return &def;
}

}  // namespace tarvex::py
