// The number protocol of the 24 arithmetic classes: +, -, *, /, %, ** and unary minus, and
// the comparisons ==, !=, <, <=, >, >=, which build conditions.
// Each slot converts both operands with the conversion to expression (the receiver first)
// and calls the core operation with the operands in their written order.
#pragma once

#include "lib/classes_py.hpp"

namespace tarvex::py {

// Adds the arithmetic slots. Decision-variable classes have no remainder and apply the
// division rules of decision variables.
void add_arithmetic_slots(Slots& slots, bool decision_var);

// The result of a core operation as a new Python object, or the raised error.
PyObject* result_object(const Result<Expression>& r);
PyObject* result_object(Result<Expression>&& r);
// The same when the class of a successful result is known.
PyObject* result_object(Result<Expression>&& r, ClassId id);

}  // namespace tarvex::py
