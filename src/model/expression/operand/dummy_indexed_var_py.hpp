#pragma once

#include <Python.h>

#include "model/expression/operand/dummy_indexed_var.hpp"

namespace tarvex::py {

PyObject* wrap_dummy_indexed_var(DummyIndexedVar d);
// The variable of a DummyIndexedVar object, or null when `o` is not one.
const DummyIndexedVar* as_dummy_indexed_var(PyObject* o);

}  // namespace tarvex::py
