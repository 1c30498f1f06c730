// Instance.solve and Instance.write: methods whose work is done by the embedded solver glue.
#pragma once

#include <Python.h>

namespace tarvex::py {

// Adds `solve` and `write` to the Instance type (a heap type); false with an exception set
// on failure.
bool add_solve_methods(PyObject* instance_type);

}  // namespace tarvex::py
