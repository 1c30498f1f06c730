#pragma once

#include <Python.h>

#include "model/expression/expression.hpp"

namespace tarvex::py {

// A new Range object (new reference).
PyObject* wrap_range(const Range& r);

}  // namespace tarvex::py
