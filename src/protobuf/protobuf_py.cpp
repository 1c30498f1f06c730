// The module functions to_protobuf and from_protobuf.
#include <string>

#include "lib/convert_py.hpp"
#include "lib/registry_py.hpp"
#include "model/model_py.hpp"
#include "protobuf/deserialize.hpp"
#include "protobuf/serialize.hpp"

namespace tarvex::py {
namespace {

PyObject* bytes_of(const Result<std::string>& r) {
  if (!r) return raise(r.error());
  return PyBytes_FromStringAndSize(r->data(), Py_ssize_t(r->size()));
}

PyObject* to_protobuf_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kw[] = {"obj", nullptr};
    PyObject* obj = nullptr;
    if (!parse_fast_args(args, nargs, kwnames, "O:to_protobuf", kw, &obj)) return nullptr;
    if (const Problem* p = as_problem(obj)) return bytes_of(serialize(*p));
    if (const Constraint* c = as_constraint(obj)) return bytes_of(serialize(*c));
    if (const CustomPenaltyTerm* t = as_custom_penalty_term(obj)) return bytes_of(serialize(*t));
    if (const Expression e = expression_object_tree(obj)) return bytes_of(serialize(e));
    auto cond = to_condition(obj);
    if (cond) return bytes_of(serialize(*cond));
    const std::string type = type_name(Py_TYPE(obj));
    auto not_a = [&](const char* what) { return "'" + type + "' object is not an instance of '" + what + "'"; };
    return raise_argument(
        "obj", ErrorKind::Type,
        "failed to extract enum SerializableObject ('Problem | Constraint | CustomPenaltyTerm | Expression | "
        "ConditionalExpr')\n- variant Problem (Problem): " + not_a("Problem") +
            "\n- variant Constraint (Constraint): " + not_a("Constraint") +
            "\n- variant CustomPenaltyTerm (CustomPenaltyTerm): " + not_a("CustomPenaltyTerm") +
            "\n- variant Expression (Expression): failed to convert into expression." +
            "\n- variant ConditionalExpr (ConditionalExpr): " + cond.error().message);
  });
}

PyObject* from_protobuf_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kw[] = {"buf", nullptr};
    PyObject* buf = nullptr;
    if (!parse_fast_args(args, nargs, kwnames, "O:from_protobuf", kw, &buf)) return nullptr;
    if (!PyBytes_Check(buf))
      return raise_argument("buf", ErrorKind::Type, "expected bytes, got " + type_name(Py_TYPE(buf)));
    auto decoded = deserialize(reinterpret_cast<const std::uint8_t*>(PyBytes_AS_STRING(buf)),
                               std::size_t(PyBytes_GET_SIZE(buf)));
    if (!decoded) return raise(decoded.error());
    return std::visit(
        [](auto&& v) -> PyObject* {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, Problem>) {
            return wrap_problem(std::move(v));
          } else if constexpr (std::is_same_v<T, Constraint>) {
            return wrap_constraint(std::move(v));
          } else if constexpr (std::is_same_v<T, CustomPenaltyTerm>) {
            return wrap_custom_penalty_term(std::move(v));
          } else {
            return from_node(v);
          }
        },
        std::move(decoded).value());
  });
}

}  // namespace

PyMethodDef* to_protobuf_function() {
  static PyMethodDef def = TX_FUNCTION("to_protobuf", to_protobuf_fn,
                                       "to_protobuf(obj)\n--\n\n"
                                       "The model object (a Problem, Constraint, CustomPenaltyTerm, expression or "
                                       "condition) encoded as protobuf bytes.");
  return &def;
}

PyMethodDef* from_protobuf_function() {
  static PyMethodDef def = TX_FUNCTION("from_protobuf", from_protobuf_fn,
                                       "from_protobuf(buf)\n--\n\n"
                                       "The model object encoded in the protobuf bytes `buf`, rebuilt with the "
                                       "checks of its constructors.");
  return &def;
}

}  // namespace tarvex::py
