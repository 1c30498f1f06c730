// The C++ values behind the Constraint, CustomPenaltyTerm and Problem objects, and the
// forall conversion shared by the constructors and the analyses.
#pragma once

#include <Python.h>

#include "model/problem.hpp"

namespace tarvex::py {

// nullptr when `o` is not an object of that class.
const Constraint* as_constraint(PyObject* o);
const CustomPenaltyTerm* as_custom_penalty_term(PyObject* o);
const Problem* as_problem(PyObject* o);

// None, one forall item (an Element, or a pair of an Element and a condition), or a
// sequence (not a str) of items; then the list checks.
Result<ForallList> to_forall_list(PyObject* o);

// New Python objects.
PyObject* wrap_constraint(Constraint c);
PyObject* wrap_custom_penalty_term(CustomPenaltyTerm p);
PyObject* wrap_problem(Problem p);

// The forall list as Python sees it: a list of Elements and (Element, condition) pairs.
PyObject* forall_list_object(const ForallList& f);

// The text form of a forall list: "[i, (j, j != i)]".
std::string forall_text(const ForallList& f);

}  // namespace tarvex::py
