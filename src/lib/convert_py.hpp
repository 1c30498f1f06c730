// Conversions between Python values and tree nodes, and the argument extraction shared by
// every constructor and method.
#pragma once

#include <Python.h>

#include <cstdint>
#include <functional>
#include <vector>
#include <optional>
#include <string>

#include "lib/classes_py.hpp"

namespace tarvex::py {

// Python value -> scalar Expression: an integer, a float, or an object of an expression
// class, tried in a fixed order. Fails with TypeError or the dimensionality ModelingError.
Result<Expression> to_expression(PyObject* o);
// The same for the objects that convert without fail and without running any code of the
// caller: an exact int of 64 bits, an exact float, a scalar object of our own classes. False,
// with `out` unchanged, for anything else (which then takes to_expression).
inline bool quick_expression(PyObject* o, Expression& out) {
  if (is_exact_expression_object(o)) {  // the most frequent in model building
    Expression e = expr_holder(o).expr();
    if (!e || e.ndim() != 0) return false;
    out = std::move(e);
    return true;
  }
  if (PyFloat_CheckExact(o)) {
    out = make_float(PyFloat_AS_DOUBLE(o));
    return true;
  }
  if (PyLong_CheckExact(o)) {
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(o, &overflow);
    if (overflow) return false;  // too large for 64 bits: the float conversion follows
    out = make_int(v);
    return true;
  }
  return false;
}

// The tree of an object of one of the 24 expression classes, whatever its number of
// dimensions; empty for any other object.
Expression expression_object_tree(PyObject* o);
// Python value -> Condition: an object of a comparison or logical class.
Result<Condition> to_condition(PyObject* o);
// Python value -> decision-variable node of any shape.
Result<Expression> to_decision_var(PyObject* o);

// A sequence other than a str, each item converted to an expression.
Result<std::vector<Expression>> to_expression_list(PyObject* o);
// Runs `each` on the items of a sequence other than a str (TypeError otherwise).
Status for_each_item(PyObject* o, const std::function<Status(PyObject*)>& each);

// Node -> new Python object of the node's class (new reference, or nullptr when raising).
PyObject* from_node(const Expression& e);
PyObject* from_node(const Condition& c);

// Lists and tuples of new objects for nodes.
PyObject* list_of(std::span<const Expression> v);
PyObject* list_of(const TermList& v);
PyObject* list_of(const std::vector<Condition>& v);
PyObject* tuple_of(const std::vector<Expression>& v);

// The value of an object with __index__ when it fits a signed 64-bit integer. Never
// leaves an exception set.
std::optional<std::int64_t> as_int64(PyObject* o);
// The value of a float, or of an object with __float__. Never leaves an exception set.
std::optional<double> as_double(PyObject* o);

// Argument extraction: on failure raise an error prefixed with "argument '<arg>': " and
// return false.
bool extract_str(PyObject* o, const char* arg, std::string& out);
bool extract_opt_str(PyObject* o, const char* arg, OptString& out);  // str or None
bool extract_uint(PyObject* o, const char* arg, std::uint64_t& out);  // non-negative int

// The __name__ of a type for messages ("unknown type" when it cannot be read).
std::string type_name(PyTypeObject* type);

// str or None for an optional string (new reference).
PyObject* str_or_none(const OptString& s);
PyObject* to_str(const std::string& s);

// Binds call arguments with the interpreter's own rules and messages (as for built-in
// functions): `format` and `kwlist` as for PyArg_ParseTupleAndKeywords.
bool parse_args(PyObject* args, PyObject* kwargs, const char* format, const char* const* kwlist, ...);
bool parse_fast_args(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                     const char* format, const char* const* kwlist, ...);

}  // namespace tarvex::py
