#pragma once

#include <Python.h>

namespace tarvex::py {

// Subscripting of placeholders, elements and subscripts (mp_subscript).
PyObject* array_getitem(PyObject* self, PyObject* index);

}  // namespace tarvex::py
