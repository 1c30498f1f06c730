#pragma once

#include "lib/classes_py.hpp"

namespace tarvex::py {

// Subscripting of placeholders, elements and subscripts (mp_subscript).
PyObject* array_getitem(PyObject* self, PyObject* index);

// What the array operands (Placeholder, Element, Subscript) share: printing, len_at,
// set_latex, _repr_latex_, subscripting and the number protocol.
void add_array_operand_slots(Slots& slots);

}  // namespace tarvex::py
