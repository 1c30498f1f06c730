#pragma once

#include <Python.h>

namespace tarvex::py {

// DataType.INTEGER or DataType.FLOAT (new reference).
PyObject* data_type_member(bool integer);

}  // namespace tarvex::py
