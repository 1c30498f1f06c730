// len_at and shape of the array operands (Placeholder, Element, Subscript).
#pragma once

#include <Python.h>

namespace tarvex::py {

// len_at(axis, *, latex=None, description=None)
PyObject* len_at_method(PyObject* self, PyObject* args, PyObject* kwargs);
extern const char* const kLenAtDoc;
// The tuple of the array lengths of every axis.
PyObject* shape_getter(PyObject* self, void*);

}  // namespace tarvex::py
