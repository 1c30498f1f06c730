// The embedded Python helpers, compiled and run once.
#include "sample_set/helpers_py.hpp"

#include <map>
#include <string>
#include <utility>

namespace tarvex::py {
namespace {

// Modules by source text; they live for the life of the process.
std::map<const char*, PyObject*>& namespaces() {
  static std::map<const char*, PyObject*> m;
  return m;
}

// The namespace of the module run from `source` (borrowed; the module is kept).
PyObject* run_source(const char* source) {
  auto& cache = namespaces();
  if (auto it = cache.find(source); it != cache.end()) return PyModule_GetDict(it->second);
  PyObject* code = Py_CompileString(source, "", Py_file_input);
  if (!code) return nullptr;
  PyObject* module = PyModule_New("");
  PyObject* globals = module ? PyModule_GetDict(module) : nullptr;
  PyObject* empty = PyUnicode_FromString("");
  PyObject* result = nullptr;
  if (globals && empty && PyDict_SetItemString(globals, "__file__", empty) == 0 &&
      PyDict_SetItemString(globals, "__builtins__", PyEval_GetBuiltins()) == 0)
    result = PyEval_EvalCode(code, globals, globals);
  Py_XDECREF(empty);
  Py_DECREF(code);
  if (!result) {
    Py_XDECREF(module);
    return nullptr;
  }
  Py_DECREF(result);
  // Keep the first module made, should running the source have come back here.
  if (auto it = cache.find(source); it != cache.end()) {
    Py_DECREF(module);
    return PyModule_GetDict(it->second);
  }
  cache.emplace(source, module);
  return globals;
}

}  // namespace

PyObject* helper_function(const char* source, const char* name) {
  PyObject* globals = run_source(source);
  if (!globals) return nullptr;
  PyObject* fn = PyDict_GetItemString(globals, name);
  if (!fn) PyErr_Format(PyExc_RuntimeError, "internal error: the embedded helper has no function %s", name);
  return fn;
}

PyObject* call_helper(const char* source, const char* name, PyObject* arg) {
  PyObject* fn = helper_function(source, name);
  if (!fn) return nullptr;
  Py_INCREF(fn);
  PyObject* out = PyObject_CallOneArg(fn, arg);
  Py_DECREF(fn);
  return out;
}

PyObject* call_helper(const char* source, const char* name, PyObject* arg1, PyObject* arg2) {
  PyObject* fn = helper_function(source, name);
  if (!fn) return nullptr;
  Py_INCREF(fn);
  PyObject* args[] = {arg1, arg2};
  PyObject* out = PyObject_Vectorcall(fn, args, 2, nullptr);
  Py_DECREF(fn);
  return out;
}

}  // namespace tarvex::py
