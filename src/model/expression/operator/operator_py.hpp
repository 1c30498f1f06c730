// Pieces shared by the Python classes of the operator nodes.
#pragma once

#include "lib/arithmetic_py.hpp"
#include "lib/convert_py.hpp"

namespace tarvex::py {

// A Python list of new objects for the terms.
PyObject* terms_list(const TermList& terms);

// Registers an arithmetic operator class: no constructor, printing, the given getters,
// set_latex and the number protocol.
template <ClassId K>
void register_operator(nb::module_& m, const char* name, const char* doc, PyGetSetDef* getters) {
  static PyMethodDef methods[] = {
      TX_METHOD("set_latex", expr_set_latex, kSetLatexDoc),
      TX_REPR_LATEX(expr_repr_latex),
      {nullptr, nullptr, 0, nullptr},
  };
  static Slots slots;
  slots.no_constructor().expr_printing().add(Py_tp_getset, getters).methods(methods);
  add_arithmetic_slots(slots, false);
  expr_class<K>(m, name, doc, slots);
}

// Parses the one argument `operand` of a module function and converts it to an expression;
// a TypeError names the argument. On failure the exception is set and false returned.
bool operand_argument(const char* function, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                      Expression& out);

// Converts an argument; a TypeError is prefixed with the argument name. Raises on failure.
bool argument_expression(PyObject* o, const char* arg, Expression& out);

}  // namespace tarvex::py
