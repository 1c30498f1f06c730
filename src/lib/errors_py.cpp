#include "lib/errors_py.hpp"

#include <string>

#include "lib/interrupt.hpp"

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
    case ErrorKind::Memory: return PyExc_MemoryError;
    case ErrorKind::Interrupted: return PyExc_KeyboardInterrupt;
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
  // A walk stopped by the interrupt hook left the signal handler's exception pending: that
  // one propagates, as it would from Python code.
  if (e.kind == ErrorKind::Interrupted && PyErr_Occurred()) return nullptr;
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
  PyObject* type = PyErr_Occurred();
  if (!type) return nullptr;
  // Only the errors of argument extraction take the prefix; anything else raised by the
  // caller's own code (__index__, __float__, ...) propagates exactly as it was raised.
  PyObject* base = PyErr_GivenExceptionMatches(type, PyExc_TypeError)       ? PyExc_TypeError
                   : PyErr_GivenExceptionMatches(type, PyExc_OverflowError) ? PyExc_OverflowError
                                                                             : nullptr;
  if (!base) return nullptr;
  PyObject *ptype, *original, *ptb;
  PyErr_Fetch(&ptype, &original, &ptb);
  PyErr_NormalizeException(&ptype, &original, &ptb);
  if (ptb) PyException_SetTraceback(original, ptb);
  Py_XDECREF(ptype);
  Py_XDECREF(ptb);
  PyObject* text = PyObject_Str(original);
  if (!text) PyErr_Clear();
  PyObject* msg = PyUnicode_FromFormat("argument '%s': %U", arg, text ? text : Py_None);
  Py_XDECREF(text);
  if (!msg) {
    Py_DECREF(original);
    return nullptr;
  }
  // The same class when it takes a single message (most do); otherwise the standard class
  // it derives from, with the original kept as the cause.
  PyObject* exc = PyObject_CallOneArg(reinterpret_cast<PyObject*>(Py_TYPE(original)), msg);
  if (exc && PyExceptionInstance_Check(exc)) {
    PyObject* tb = PyException_GetTraceback(original);
    if (tb) {
      PyException_SetTraceback(exc, tb);
      Py_DECREF(tb);
    }
    Py_DECREF(original);
  } else {
    Py_XDECREF(exc);
    PyErr_Clear();
    exc = PyObject_CallOneArg(base, msg);
    if (exc) PyException_SetCause(exc, original);  // steals `original`
    else Py_DECREF(original);
  }
  Py_DECREF(msg);
  if (exc) {
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(exc)), exc);
    Py_DECREF(exc);
  }
  return nullptr;
}

namespace {
// Runs the interpreter's signal handlers; a handler that raised (Ctrl-C) stops the walk.
bool check_signals() { return PyErr_CheckSignals() != 0; }
}  // namespace

void install_interrupt_hook() { set_interrupt_hook(&check_signals); }

}  // namespace tarvex::py
