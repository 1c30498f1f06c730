#include "lib/convert_py.hpp"

#include <cstdarg>
#include <iterator>

#include "model/expression/operand/dummy_indexed_var_py.hpp"

namespace tarvex::py {
namespace {

// Expression classes in the order the conversion tries them.
constexpr ClassId kExpressionCandidates[] = {
    ClassId::NumberLit,  ClassId::Placeholder,       ClassId::Element,       ClassId::BinaryVar,
    ClassId::IntegerVar, ClassId::ContinuousVar,     ClassId::SemiIntegerVar,
    ClassId::SemiContinuousVar,                      ClassId::Subscript,     ClassId::ArrayLength,
    ClassId::AbsOp,      ClassId::CeilOp,            ClassId::FloorOp,       ClassId::Log2Op,
    ClassId::Log10Op,    ClassId::LnOp,              ClassId::AddOp,         ClassId::MulOp,
    ClassId::PowOp,      ClassId::ModOp,             ClassId::MinOp,         ClassId::MaxOp,
    ClassId::SumOp,      ClassId::ProdOp,
};

constexpr ClassId kConditionCandidates[] = {
    ClassId::AndOp,         ClassId::OrOp,       ClassId::XorOp,
    ClassId::EqualOp,       ClassId::NotEqualOp, ClassId::LessThanOp,
    ClassId::LessThanEqualOp, ClassId::GreaterThanOp, ClassId::GreaterThanEqualOp,
};

constexpr ClassId kDecisionVarCandidates[] = {
    ClassId::BinaryVar, ClassId::IntegerVar, ClassId::ContinuousVar, ClassId::SemiIntegerVar,
    ClassId::SemiContinuousVar,
};

// The first candidate `o` is an instance of. Exact types are matched first: none of the
// classes derives from another, so this finds what an ordered isinstance walk would.
template <std::size_t N>
ClassId match(PyObject* o, const ClassId (&candidates)[N]) {
  PyTypeObject* t = Py_TYPE(o);
  for (ClassId id : candidates)
    if (type_of(id) == t) return id;
  for (ClassId id : candidates)
    if (is_instance(o, id)) return id;
  return ClassId::Count;
}

const char* tp_name(PyObject* o) { return Py_TYPE(o)->tp_name; }

}  // namespace

std::optional<std::int64_t> as_int64(PyObject* o) {
  if (!PyLong_Check(o) && !PyIndex_Check(o)) return std::nullopt;
  PyObject* index = PyNumber_Index(o);
  if (!index) {
    PyErr_Clear();
    return std::nullopt;
  }
  int overflow = 0;
  long long v = PyLong_AsLongLongAndOverflow(index, &overflow);
  Py_DECREF(index);
  if (overflow || (v == -1 && PyErr_Occurred())) {
    PyErr_Clear();
    return std::nullopt;
  }
  return std::int64_t(v);
}

Expression expression_object_tree(PyObject* o) {
  return match(o, kExpressionCandidates) != ClassId::Count ? expr_holder(o).expr() : Expression();
}

std::optional<double> as_double(PyObject* o) {
  if (PyFloat_Check(o)) return PyFloat_AS_DOUBLE(o);
  PyNumberMethods* nm = Py_TYPE(o)->tp_as_number;
  if (!nm || !nm->nb_float) return std::nullopt;
  double d = PyFloat_AsDouble(o);
  if (d == -1.0 && PyErr_Occurred()) {
    PyErr_Clear();
    return std::nullopt;
  }
  return d;
}

namespace {

// The tree of an object of an expression class, when it is a scalar.
Result<Expression> held_scalar(PyObject* o) {
  Expression e = expr_holder(o).expr();
  if (!e) return type_error("failed to convert into expression.");
  if (e.ndim() != 0) TX_CHECK(require_scalar(e));
  return e;
}

}  // namespace

Result<Expression> to_expression(PyObject* o) {
  // The attempts are: an integer (__index__), a float (__float__), an object of an
  // expression class. The quick conversion gives the same outcomes for the objects it takes
  // (none of our classes has __index__ or __float__, so both probes would fail on them).
  if (Expression e; quick_expression(o, e)) return e;
  if (auto i = as_int64(o)) return make_int(*i);
  if (auto d = as_double(o)) return make_float(*d);
  if (match(o, kExpressionCandidates) != ClassId::Count) return held_scalar(o);
  if (const DummyIndexedVar* d = as_dummy_indexed_var(o)) {
    const auto& var = d->variable.as<DecisionVar>();
    return modeling_error(std::string("dummy indexed ") + kind_word(var.kind) + "Var with name '" + var.name +
                          "' must be called the `sum` or `prod` method to be converted into an expression.");
  }
  return type_error("failed to convert into expression.");
}

Result<Condition> to_condition(PyObject* o) {
  if (match(o, kConditionCandidates) != ClassId::Count && cond_holder(o).cond())
    return cond_holder(o).cond();
  return type_error("failed to convert into a conditional expression.");
}

Result<Expression> to_decision_var(PyObject* o) {
  if (match(o, kDecisionVarCandidates) != ClassId::Count && expr_holder(o).expr())
    return expr_holder(o).expr();
  return type_error("failed to convert into decision var");
}

Status for_each_item(PyObject* o, const std::function<Status(PyObject*)>& each) {
  if (PyUnicode_Check(o)) return type_error("Can't extract `str` to `Vec`");
  if (!PySequence_Check(o))
    return type_error(std::string("'") + tp_name(o) + "' object cannot be converted to 'Sequence'");
  nb::object fast = nb::steal(PySequence_Fast(o, "expected a sequence"));
  if (!fast) {
    PyErr_Clear();
    return type_error(std::string("'") + tp_name(o) + "' object cannot be converted to 'Sequence'");
  }
  const Py_ssize_t n = PySequence_Fast_GET_SIZE(fast.ptr());
  for (Py_ssize_t i = 0; i < n; ++i) TX_CHECK(each(PySequence_Fast_GET_ITEM(fast.ptr(), i)));
  return Ok{};
}

Result<std::vector<Expression>> to_expression_list(PyObject* o) {
  std::vector<Expression> out;
  TX_CHECK(for_each_item(o, [&](PyObject* item) -> Status {
    TX_TRY(Expression e, to_expression(item));
    out.push_back(std::move(e));
    return Ok{};
  }));
  return out;
}

PyObject* from_node(const Expression& e) { return wrap(class_of(e), e); }
PyObject* from_node(const Condition& c) { return wrap(class_of(c), c); }

namespace {
template <class T>
PyObject* node_object(const T& n) {
  return from_node(n);
}
}  // namespace

PyObject* list_of(std::span<const Expression> v) { return sequence_of(v, v.size(), node_object<Expression>); }
PyObject* list_of(const TermList& v) { return sequence_of(v, v.size(), node_object<Expression>); }
PyObject* list_of(const std::vector<Condition>& v) { return sequence_of(v, v.size(), node_object<Condition>); }
PyObject* tuple_of(const std::vector<Expression>& v) {
  return sequence_of(v, v.size(), node_object<Expression>, true);
}

bool extract_str(PyObject* o, const char* arg, std::string& out) {
  if (!PyUnicode_Check(o)) {
    raise_argument(arg, ErrorKind::Type, std::string("expected str, got ") + tp_name(o));
    return false;
  }
  Py_ssize_t n = 0;
  const char* s = PyUnicode_AsUTF8AndSize(o, &n);
  if (!s) {
    prefix_pending(arg);
    return false;
  }
  out.assign(s, std::size_t(n));
  return true;
}

bool extract_opt_str(PyObject* o, const char* arg, OptString& out) {
  if (!o || o == Py_None) {
    out.reset();
    return true;
  }
  if (!PyUnicode_Check(o)) {
    raise_argument(arg, ErrorKind::Type, std::string("expected str or None, got ") + tp_name(o));
    return false;
  }
  std::string s;
  if (!extract_str(o, arg, s)) return false;
  out = std::move(s);
  return true;
}

bool extract_uint(PyObject* o, const char* arg, std::uint64_t& out) {
  PyObject* index = PyNumber_Index(o);
  if (!index) {
    prefix_pending(arg);
    return false;
  }
  unsigned long long v = PyLong_AsUnsignedLongLong(index);
  Py_DECREF(index);
  if (v == (unsigned long long)-1 && PyErr_Occurred()) {
    prefix_pending(arg);
    return false;
  }
  out = v;
  return true;
}

std::string type_name(PyTypeObject* type) {
  PyObject* name = PyType_GetName(type);
  if (!name) {
    PyErr_Clear();
    return "unknown type";
  }
  Py_ssize_t n = 0;
  const char* s = PyUnicode_AsUTF8AndSize(name, &n);
  std::string out = s ? std::string(s, std::size_t(n)) : "unknown type";
  if (!s) PyErr_Clear();
  Py_DECREF(name);
  return out;
}

PyObject* to_str(const std::string& s) {
  return PyUnicode_DecodeUTF8(s.data(), Py_ssize_t(s.size()), "replace");
}

PyObject* str_or_none(const OptString& s) {
  if (!s) Py_RETURN_NONE;
  return to_str(*s);
}

bool parse_args(PyObject* args, PyObject* kwargs, const char* format, const char* const* kwlist, ...) {
  va_list va;
  va_start(va, kwlist);
  int ok = PyArg_VaParseTupleAndKeywords(args, kwargs, format, const_cast<char**>(kwlist), va);
  va_end(va);
  return ok != 0;
}

bool parse_fast_args(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                     const char* format, const char* const* kwlist, ...) {
  PyObject* tuple = PyTuple_New(nargs);
  if (!tuple) return false;
  for (Py_ssize_t i = 0; i < nargs; ++i) {
    Py_INCREF(args[i]);
    PyTuple_SET_ITEM(tuple, i, args[i]);
  }
  PyObject* dict = nullptr;
  if (kwnames && PyTuple_GET_SIZE(kwnames) > 0) {
    dict = PyDict_New();
    if (!dict) {
      Py_DECREF(tuple);
      return false;
    }
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(kwnames); ++i) {
      if (PyDict_SetItem(dict, PyTuple_GET_ITEM(kwnames, i), args[nargs + i]) < 0) {
        Py_DECREF(tuple);
        Py_DECREF(dict);
        return false;
      }
    }
  }
  va_list va;
  va_start(va, kwlist);
  int ok = PyArg_VaParseTupleAndKeywords(tuple, dict, format, const_cast<char**>(kwlist), va);
  va_end(va);
  Py_DECREF(tuple);
  Py_XDECREF(dict);
  return ok != 0;
}

}  // namespace tarvex::py
