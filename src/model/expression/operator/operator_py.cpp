#include "model/expression/operator/operator_py.hpp"

namespace tarvex::py {

PyObject* terms_list(const TermList& terms) { return list_of(terms); }

bool argument_expression(PyObject* o, const char* arg, Expression& out) {
  auto e = to_expression(o);
  if (!e) {
    const Error& err = e.error();
    if (err.kind == ErrorKind::Type) raise_argument(arg, err.kind, err.message);
    else raise(err);
    return false;
  }
  out = std::move(e).value();
  return true;
}

bool operand_argument(const char* function, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                      Expression& out) {
  PyObject* operand = nullptr;
  if (nargs == 1 && !kwnames) {
    operand = args[0];
  } else {
    static const char* const kw[] = {"operand", nullptr};
    const std::string format = std::string("O:") + function;
    if (!parse_fast_args(args, nargs, kwnames, format.c_str(), kw, &operand)) return false;
  }
  return argument_expression(operand, "operand", out);
}

}  // namespace tarvex::py
