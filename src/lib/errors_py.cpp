#include "lib/errors_py.hpp"

#include <string>

namespace tarvex::py {
namespace {

PyObject* make_type(PyObject*& slot, const char* qualified_name) {
  if (!slot) {
    PyObject* t = PyErr_NewException(qualified_name, PyExc_Exception, nullptr);
    if (!t) return nullptr;
    // The lock is held, but creation may call back into Python; keep the first one made.
    if (slot) {
      Py_DECREF(t);
    } else {
      slot = t;
    }
  }
  return slot;
}

PyObject* g_modeling = nullptr;
PyObject* g_serialization = nullptr;
PyObject* g_deserialization = nullptr;

PyObject* exception_for(ErrorKind k) {
  switch (k) {
    case ErrorKind::Modeling: return modeling_error_type();
    case ErrorKind::Type: return PyExc_TypeError;
    case ErrorKind::Value: return PyExc_ValueError;
    case ErrorKind::Index: return PyExc_IndexError;
    case ErrorKind::Key: return PyExc_KeyError;
    case ErrorKind::Overflow: return PyExc_OverflowError;
    case ErrorKind::ZeroDivision: return PyExc_ZeroDivisionError;
    case ErrorKind::Recursion: return PyExc_RecursionError;
    case ErrorKind::Serialization: return serialization_error_type();
    case ErrorKind::Deserialization: return deserialization_error_type();
    case ErrorKind::Internal: return PyExc_RuntimeError;
  }
  return PyExc_RuntimeError;
}

}  // namespace

PyObject* modeling_error_type() { return make_type(g_modeling, "tarvex.ModelingError"); }
PyObject* serialization_error_type() {
  return make_type(g_serialization, "tarvex.ProtobufSerializationError");
}
PyObject* deserialization_error_type() {
  return make_type(g_deserialization, "tarvex.ProtobufDeserializationError");
}

std::nullptr_t raise(const Error& e) {
  PyObject* type = exception_for(e.kind);
  if (!type) return nullptr;  // creating the type failed; that error is set
  const std::string msg = e.kind == ErrorKind::Internal ? "internal error: " + e.message : e.message;
  PyObject* text = PyUnicode_DecodeUTF8(msg.data(), Py_ssize_t(msg.size()), "replace");
  if (!text) return nullptr;
  PyErr_SetObject(type, text);
  Py_DECREF(text);
  return nullptr;
}

std::nullptr_t raise_argument(const char* arg, ErrorKind kind, const std::string& message) {
  return raise({kind, std::string("argument '") + arg + "': " + message});
}

std::nullptr_t prefix_pending(const char* arg) {
  PyObject *type, *value, *tb;
  PyErr_Fetch(&type, &value, &tb);
  PyErr_NormalizeException(&type, &value, &tb);
  PyObject* text = value ? PyObject_Str(value) : nullptr;
  if (!text) PyErr_Clear();
  PyObject* msg = PyUnicode_FromFormat("argument '%s': %U", arg, text ? text : Py_None);
  // Re-raise as the same class when it takes a single message (most do); otherwise, as for
  // the encoding errors, as the standard class it derives from.
  PyObject* exc = msg && type ? PyObject_CallOneArg(type, msg) : nullptr;
  if (exc) {
    PyErr_SetObject(type, exc);
    Py_DECREF(exc);
  } else {
    PyErr_Clear();
    PyObject* base = type && PyErr_GivenExceptionMatches(type, PyExc_ValueError) ? PyExc_ValueError : PyExc_TypeError;
    if (msg) {
      PyErr_SetObject(base, msg);
    } else {
      PyErr_Format(base, "argument '%s': invalid value", arg);
    }
  }
  Py_XDECREF(msg);
  Py_XDECREF(text);
  Py_XDECREF(type);
  Py_XDECREF(value);
  Py_XDECREF(tb);
  return nullptr;
}

}  // namespace tarvex::py
