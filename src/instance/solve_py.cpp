// Instance.solve and Instance.write: methods whose work is done by the embedded solver glue.
#include "instance/solve_py.hpp"

#include "instance/solve_glue.hpp"
#include "sample_set/helpers_py.hpp"

namespace tarvex::py {
namespace {

// glue.<name>(self, extra, *args, **kwargs): the glue checks the arguments, so errors in them
// read as Python's own.
PyObject* call_glue(const char* name, PyObject* self, PyObject* extra, PyObject* args, PyObject* kwargs) {
  PyObject* fn = helper_function(solve_glue::glue, name);
  if (!fn) return nullptr;
  Py_INCREF(fn);
  PyObject* head = PyTuple_Pack(2, self, extra);
  PyObject* all = head ? PySequence_Concat(head, args) : nullptr;
  PyObject* out = all ? PyObject_Call(fn, all, kwargs) : nullptr;
  Py_XDECREF(all);
  Py_XDECREF(head);
  Py_DECREF(fn);
  return out;
}

// {"highs": highs.run, "anneal": anneal.run}: the solvers that `solve` chooses from.
PyObject* backends() {
  PyObject* highs = helper_function(solve_glue::highs, "run");
  PyObject* anneal = highs ? helper_function(solve_glue::anneal, "run") : nullptr;
  if (!anneal) return nullptr;
  return Py_BuildValue("{sOsO}", "highs", highs, "anneal", anneal);
}

PyObject* solve(PyObject* self, PyObject* args, PyObject* kwargs) {
  PyObject* solvers = backends();
  if (!solvers) return nullptr;
  PyObject* out = call_glue("solve", self, solvers, args, kwargs);
  Py_DECREF(solvers);
  return out;
}

PyObject* write(PyObject* self, PyObject* args, PyObject* kwargs) {
  PyObject* writer = helper_function(solve_glue::highs, "write");
  if (!writer) return nullptr;
  return call_glue("write", self, writer, args, kwargs);
}

PyMethodDef kSolve = {
    "solve", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(solve)), METH_VARARGS | METH_KEYWORDS,
    "solve($self, solver='highs', *, time_limit=None, penalty_weight=1.0, **options)\n--\n\n"
    "Solves the instance and returns a SampleSet: the record (dense), its evaluation, the\n"
    "solver's time in measuring_time.solve.solve and metadata with 'solver' and 'status'.\n\n"
    "solver='highs' runs HiGHS (package highspy) on linear models with every variable kind and\n"
    "on convex quadratic objectives over continuous variables; the metadata adds\n"
    "'objective_value', 'objective_bound' and 'gap'. solver='anneal' runs simulated annealing\n"
    "(package dwave-samplers) on all-binary models, each equality constraint added to the\n"
    "energy as penalty_weight * (left - right) ** 2; identical samples are merged, their\n"
    "counts in num_occurrences; the metadata adds 'num_reads' and 'lowest_energy'.\n\n"
    "Penalty terms are added to the objective times penalty_weight, as a cost under the\n"
    "problem's sense. time_limit is in seconds. Other keyword options go to the solver (HiGHS\n"
    "options by name; the annealer's num_reads, seed, num_sweeps, ...). An infeasible or\n"
    "unbounded model gives a sample set without samples and that status. What a solver\n"
    "cannot take raises ValueError; a missing package raises ImportError (pip install\n"
    "tarvex[solve])."};

PyMethodDef kWrite = {
    "write", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(write)), METH_VARARGS | METH_KEYWORDS,
    "write($self, path, *, penalty_weight=1.0)\n--\n\n"
    "Writes the model that solve('highs') hands to HiGHS (penalty terms times penalty_weight\n"
    "and the sense included) as an MPS file (path ending in .mps) or an LP file (.lp), written\n"
    "by HiGHS; another suffix raises ValueError."};

bool add_method(PyObject* type, PyMethodDef* def) {
  PyObject* descr = PyDescr_NewMethod(reinterpret_cast<PyTypeObject*>(type), def);
  if (!descr) return false;
  const int rc = PyObject_SetAttrString(type, def->ml_name, descr);
  Py_DECREF(descr);
  return rc == 0;
}

}  // namespace

bool add_solve_methods(PyObject* instance_type) {
  return add_method(instance_type, &kSolve) && add_method(instance_type, &kWrite);
}

}  // namespace tarvex::py
