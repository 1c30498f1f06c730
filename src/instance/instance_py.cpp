// tarvex.instance: the Instance class (data converted from NumPy arrays, nested sequences
// and numbers into jagged float64 arrays), evaluate and _compile.
#include <nanobind/ndarray.h>

#include <cmath>

#include "instance/instance.hpp"
#include "instance/solve_py.hpp"
#include "lib/convert_py.hpp"
#include "lib/registry_py.hpp"
#include "model/model_py.hpp"
#include "sample_set/values_py.hpp"

namespace tarvex::py {
namespace {

struct InstanceObject {
  std::shared_ptr<const Instance> core;
};

const Instance& core(PyObject* self) { return *nb::inst_ptr<InstanceObject>(self)->core; }

PyTypeObject* g_instance_type = nullptr;

// numpy (imported on first use, kept).
PyObject* numpy() {
  static PyObject* np = nullptr;
  if (!np) np = PyImport_ImportModule("numpy");
  return np;
}

bool is_ndarray(PyObject* o) {
  PyObject* np = numpy();
  if (!np) {
    PyErr_Clear();
    return false;
  }
  nb::object t = nb::steal(PyObject_GetAttrString(np, "ndarray"));
  if (!t) {
    PyErr_Clear();
    return false;
  }
  return PyObject_TypeCheck(o, reinterpret_cast<PyTypeObject*>(t.ptr()));
}

// The row-major float64 values and the shape of a NumPy array of a real dtype (bool,
// integers, floats); ValueError naming `what` for any other dtype.
Status ndarray_values(PyObject* o, const std::string& what, std::vector<std::uint64_t>& shape, std::vector<double>& out) {
  nb::object dtype = nb::steal(PyObject_GetAttrString(o, "dtype"));
  nb::object kind = dtype ? nb::steal(PyObject_GetAttrString(dtype.ptr(), "kind")) : nb::object();
  const char* k = kind && PyUnicode_Check(kind.ptr()) ? PyUnicode_AsUTF8(kind.ptr()) : nullptr;
  if (!k) {
    PyErr_Clear();
    return value_error(what + ": an array without a dtype");
  }
  if (std::string("biuf").find(k[0]) == std::string::npos || k[0] == 0) {
    nb::object name = nb::steal(PyObject_Str(dtype.ptr()));
    const char* n = name ? PyUnicode_AsUTF8(name.ptr()) : nullptr;
    std::string text = n ? n : "?";
    PyErr_Clear();
    return value_error(what + ": values must be real numbers, got an array of dtype " + text);
  }
  nb::object f64 = nb::steal(PyObject_GetAttrString(numpy(), "float64"));
  // asarray keeps a 0-d array 0-d (ascontiguousarray would make it 1-d).
  nb::object arr;
  if (f64) {
    nb::object fn = nb::steal(PyObject_GetAttrString(numpy(), "asarray"));
    nb::object args = nb::steal(Py_BuildValue("(OO)", o, f64.ptr()));
    nb::object kw = nb::steal(Py_BuildValue("{s:s}", "order", "C"));
    if (fn && args && kw) arr = nb::steal(PyObject_Call(fn.ptr(), args.ptr(), kw.ptr()));
  }
  if (!arr) {
    PyErr_Clear();
    return value_error(what + ": the array cannot be converted to float64");
  }
  // The shape as NumPy reports it (a 0-d array has none), the values through a flat view.
  nb::object shp = nb::steal(PyObject_GetAttrString(arr.ptr(), "shape"));
  nb::object flat = nb::steal(PyObject_CallMethod(arr.ptr(), "reshape", "i", -1));
  nb::ndarray<const double, nb::ndim<1>, nb::device::cpu, nb::c_contig> a;
  if (!shp || !PyTuple_Check(shp.ptr()) || !flat || !nb::try_cast(flat, a, false)) {
    PyErr_Clear();
    return value_error(what + ": the array cannot be read as float64");
  }
  shape.clear();
  for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(shp.ptr()); ++i)
    shape.push_back(PyLong_AsUnsignedLongLong(PyTuple_GET_ITEM(shp.ptr(), i)));
  const std::size_t total = a.shape(0);
  out.assign(a.data(), a.data() + total);
  return Ok{};
}

// A real number: an int, a bool, a float, a NumPy scalar (not a complex, a str or anything
// else).
bool real_number(PyObject* o, double& out) {
  if (PyUnicode_Check(o) || PyBytes_Check(o) || PyComplex_Check(o)) return false;
  if (is_ndarray(o)) return false;
  if (PyFloat_Check(o)) {
    out = PyFloat_AS_DOUBLE(o);
    return true;
  }
  if (PyLong_Check(o)) {
    out = PyLong_AsDouble(o);
    if (out == -1.0 && PyErr_Occurred()) {
      PyErr_Clear();
      return false;
    }
    return true;
  }
  // NumPy scalars and other numbers: complex ones have no real __float__.
  nb::object t = nb::borrow(reinterpret_cast<PyObject*>(Py_TYPE(o)));
  if (PyObject_HasAttrString(o, "imag") && PyObject_HasAttrString(o, "real") && !PyObject_HasAttrString(o, "__index__")) {
    nb::object imag = nb::steal(PyObject_GetAttrString(o, "imag"));
    double im = imag ? PyFloat_AsDouble(imag.ptr()) : -1.0;
    if (!imag || (im == -1.0 && PyErr_Occurred())) {
      PyErr_Clear();
      return false;
    }
    if (im != 0) return false;
  }
  auto v = as_double(o);
  if (!v) return false;
  out = *v;
  return true;
}

std::string kind_of(PyObject* o) { return type_name(Py_TYPE(o)); }

// The value of one placeholder: a number for a scalar; for an array a NumPy array of a real
// dtype or nested sequences (jagged allowed) with exactly `ndim` levels.
Result<JaggedArray> to_jagged(PyObject* value, const PlaceholderSpec& p) {
  const std::string what = "placeholder '" + p.name + "'";
  if (p.ndim == 0) {
    if (is_ndarray(value)) {
      std::vector<std::uint64_t> shape;
      std::vector<double> vals;
      TX_CHECK(ndarray_values(value, what, shape, vals));
      if (!shape.empty()) return value_error(what + " is a scalar, but its value is an array of " + std::to_string(shape.size()) + " dimensions");
      return JaggedArray::scalar(vals[0]);
    }
    double v = 0;
    if (!real_number(value, v)) return value_error(what + " is a scalar and needs a real number, got " + kind_of(value));
    return JaggedArray::scalar(v);
  }
  if (is_ndarray(value)) {
    std::vector<std::uint64_t> shape;
    std::vector<double> vals;
    TX_CHECK(ndarray_values(value, what, shape, vals));
    if (shape.size() != p.ndim)
      return value_error(what + " has " + std::to_string(p.ndim) + " dimensions, but its value has " + std::to_string(shape.size()));
    return JaggedArray::rectangular(shape, std::move(vals));
  }
  // Nested sequences, breadth first: the items of one level are held while the next is read.
  JaggedBuilder b(p.ndim);
  std::vector<nb::object> level{nb::borrow(value)}, next;
  std::uint64_t total = 0;
  for (std::size_t l = 0; l < p.ndim; ++l) {
    next.clear();
    for (const nb::object& item : level) {
      PyObject* o = item.ptr();
      double ignored = 0;
      if (PyUnicode_Check(o) || PyBytes_Check(o) || !PySequence_Check(o)) {
        if (real_number(o, ignored))
          return value_error(what + " has " + std::to_string(p.ndim) + " dimensions, but a number stands at depth " + std::to_string(l));
        return value_error(what + ": expected a sequence at depth " + std::to_string(l) + ", got " + kind_of(o));
      }
      nb::object seq = nb::steal(PySequence_Fast(o, "not a sequence"));
      if (!seq) {
        PyErr_Clear();
        return value_error(what + ": expected a sequence at depth " + std::to_string(l) + ", got " + kind_of(o));
      }
      const Py_ssize_t n = PySequence_Fast_GET_SIZE(seq.ptr());
      total += std::uint64_t(n);
      if (total > kMaxElements) return value_error(what + ": too many entries (more than 2^28)");
      b.add_row(l, std::uint64_t(n));
      PyObject** items = PySequence_Fast_ITEMS(seq.ptr());
      for (Py_ssize_t k = 0; k < n; ++k) next.push_back(nb::borrow(items[k]));
    }
    if (PyErr_CheckSignals() < 0) return Error{ErrorKind::Interrupted, "interrupted"};
    std::swap(level, next);
  }
  for (const nb::object& item : level) {
    double v = 0;
    if (!real_number(item.ptr(), v)) {
      if (PySequence_Check(item.ptr()) && !PyUnicode_Check(item.ptr()) && !PyBytes_Check(item.ptr()))
        return value_error(what + " has " + std::to_string(p.ndim) + " dimensions, but its value nests deeper");
      return value_error(what + ": an entry is " + kind_of(item.ptr()) + ", not a real number");
    }
    b.add_value(v);
  }
  return std::move(b).finish();
}

PyObject* instance_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kw[] = {"problem", "data", nullptr};
    PyObject *problem = nullptr, *data = nullptr;
    if (!parse_args(args, kwargs, "OO:Instance", kw, &problem, &data)) return nullptr;
    const Problem* p = as_problem(problem);
    if (!p) return raise_argument("problem", ErrorKind::Type, "expected Problem, got " + kind_of(problem));
    if (!PyMapping_Check(data) || (PySequence_Check(data) && !PyDict_Check(data)))
      return raise_argument("data", ErrorKind::Type, "expected a dict of placeholder name to value, got " + kind_of(data));
    Problem copy = *p;
    auto prog = build_program(copy);
    if (!prog) return raise(prog.error());
    std::map<std::string, JaggedArray> values;
    for (const PlaceholderSpec& spec : prog->placeholders) {
      nb::object key = nb::steal(to_str(spec.name));
      if (!key) return nullptr;
      nb::object v = nb::steal(PyObject_GetItem(data, key.ptr()));
      if (!v) {
        if (!PyErr_ExceptionMatches(PyExc_KeyError)) return nullptr;
        PyErr_Clear();
        return raise(value_error("placeholder '" + spec.name + "' has no value in data"));
      }
      auto a = to_jagged(v.ptr(), spec);
      if (!a) return raise(a.error());
      values.emplace(spec.name, std::move(a).value());
    }
    auto inst = Instance::create(std::move(copy), std::move(prog).value(), std::move(values));
    if (!inst) return raise(inst.error());
    return new_instance<InstanceObject>(type, std::shared_ptr<const Instance>(std::move(inst).value()));
  });
}

PyObject* get_problem(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return wrap_problem(core(self).problem()); });
}

PyObject* shape_tuple(const std::vector<std::uint64_t>& shape) {
  return sequence_of(shape, shape.size(), PyLong_FromUnsignedLongLong, true);
}

PyObject* get_variables(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const Instance& c = core(self);
    nb::object d = nb::steal(PyDict_New());
    if (!d) return nullptr;
    for (std::size_t v = 0; v < c.program().variables.size(); ++v) {
      nb::object t = nb::steal(shape_tuple(c.layout()[v].shape));
      if (!t || PyDict_SetItemString(d.ptr(), c.program().variables[v].name.c_str(), t.ptr()) < 0) return nullptr;
    }
    return d.release().ptr();
  });
}

PyObject* get_num_variables(PyObject* self, void*) { return PyLong_FromUnsignedLongLong(core(self).num_variables()); }

PyObject* instance_repr(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&] {
    const Instance& c = core(self);
    nb::object name = nb::steal(to_str(c.problem().name()));
    if (!name) return static_cast<PyObject*>(nullptr);
    return PyUnicode_FromFormat("Instance(problem=%R, variables=%zu, num_variables=%llu)", name.ptr(),
                                c.program().variables.size(), static_cast<unsigned long long>(c.num_variables()));
  });
}

// A dict solution: name -> array of one sample (anything numpy.asarray turns into real
// numbers).
Result<Record> record_of_dict(PyObject* d) {
  Record r;
  DenseSolution dense;
  PyObject *key = nullptr, *value = nullptr;
  Py_ssize_t pos = 0;
  nb::object keep = nb::borrow(d);
  while (PyDict_Next(d, &pos, &key, &value)) {
    if (!PyUnicode_Check(key)) return type_error("a solution dict maps variable names (str) to arrays");
    const char* k = PyUnicode_AsUTF8(key);
    if (!k) {
      PyErr_Clear();
      return value_error("a variable name is not valid text");
    }
    const std::string what = "solution for '" + std::string(k) + "'";
    nb::object v = nb::borrow(value);
    nb::object arr;
    if (is_ndarray(v.ptr())) {
      arr = v;
    } else {
      arr = nb::steal(PyObject_CallMethod(numpy(), "asarray", "O", v.ptr()));
      if (!arr) {
        PyErr_Clear();
        return value_error(what + ": not an array of real numbers");
      }
    }
    DenseArray a;
    TX_CHECK(ndarray_values(arr.ptr(), what, a.shape, a.data));
    dense[k].push_back(std::move(a));
  }
  r.solution = std::move(dense);
  r.num_occurrences = {1};
  return r;
}

PyObject* evaluate(PyObject* self, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kw[] = {"solution", nullptr};
    PyObject* solution = nullptr;
    if (!parse_args(args, kwargs, "O:evaluate", kw, &solution)) return nullptr;
    std::shared_ptr<const Instance> inst = nb::inst_ptr<InstanceObject>(self)->core;
    nb::object record;
    std::shared_ptr<const Record> rec = as_record(solution);
    if (rec) {
      record = nb::borrow(solution);
    } else if (PyDict_Check(solution)) {
      auto r = record_of_dict(solution);
      if (!r) return raise(r.error());
      rec = std::make_shared<const Record>(std::move(r).value());
      record = nb::steal(wrap_record(*rec));
      if (!record) return nullptr;
    } else {
      return raise_argument("solution", ErrorKind::Type, "expected Record or dict, got " + kind_of(solution));
    }
    auto ev = inst->evaluate(*rec);
    if (!ev) return raise(ev.error());
    nb::object evaluation = nb::steal(wrap_evaluation(std::move(ev).value()));
    if (!evaluation) return nullptr;
    nb::object times = nb::steal(wrap_measuring_time(MeasuringTime{}));
    if (!times) return nullptr;
    return PyObject_CallFunctionObjArgs(reinterpret_cast<PyObject*>(type_of(ClassId::SampleSet)), record.ptr(),
                                       evaluation.ptr(), times.ptr(), nullptr);
  });
}

template <class T>
PyObject* array_of(const std::vector<T>& v) {
  T* buf = new T[v.empty() ? 1 : v.size()];
  std::copy(v.begin(), v.end(), buf);
  nb::capsule owner(buf, [](void* p) noexcept { delete[] static_cast<T*>(p); });
  const std::size_t shape[1] = {v.size()};
  nb::ndarray<nb::numpy, T> arr(buf, 1, shape, owner);
  return arr.cast().release().ptr();
}

bool set(PyObject* d, const char* key, PyObject* value) {
  if (!value) return false;
  const int rc = PyDict_SetItemString(d, key, value);
  Py_DECREF(value);
  return rc == 0;
}

PyObject* polynomial_dict(const Polynomial& p) {
  std::vector<std::int64_t> lc, qr, qc;
  std::vector<double> lv, qv;
  for (const LinearTerm& t : p.linear) {
    lc.push_back(std::int64_t(t.column));
    lv.push_back(t.value);
  }
  for (const QuadraticTerm& t : p.quadratic) {
    qr.push_back(std::int64_t(t.row));
    qc.push_back(std::int64_t(t.column));
    qv.push_back(t.value);
  }
  nb::object d = nb::steal(PyDict_New());
  if (!d || !set(d.ptr(), "constant", PyFloat_FromDouble(p.constant)) ||
      !set(d.ptr(), "linear_column", array_of(lc)) || !set(d.ptr(), "linear_value", array_of(lv)) ||
      !set(d.ptr(), "quad_row", array_of(qr)) || !set(d.ptr(), "quad_column", array_of(qc)) ||
      !set(d.ptr(), "quad_value", array_of(qv)))
    return nullptr;
  return d.release().ptr();
}

PyObject* compile(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    std::shared_ptr<const Instance> inst = nb::inst_ptr<InstanceObject>(self)->core;
    auto m = inst->compile();
    if (!m) return raise(m.error());
    const Program& prog = inst->program();
    static const char* const kinds[] = {"binary", "integer", "continuous", "semi_continuous", "semi_integer"};
    nb::object d = nb::steal(PyDict_New());
    nb::object vars = nb::steal(PyList_New(0));
    if (!d || !vars) return nullptr;
    for (std::size_t v = 0; v < prog.variables.size(); ++v) {
      const VarLayout& lay = inst->layout()[v];
      nb::object shape = nb::steal(shape_tuple(lay.shape));
      if (!shape) return nullptr;
      nb::object item = nb::steal(Py_BuildValue("(ssOK)", prog.variables[v].name.c_str(),
                                                kinds[column_kind(prog.variables[v].kind)], shape.ptr(),
                                                static_cast<unsigned long long>(lay.first)));
      if (!item || PyList_Append(vars.ptr(), item.ptr()) < 0) return nullptr;
    }
    if (PyDict_SetItemString(d.ptr(), "variables", vars.ptr()) < 0) return nullptr;
    if (!set(d.ptr(), "col_lower", array_of(m->col_lower)) || !set(d.ptr(), "col_upper", array_of(m->col_upper)) ||
        !set(d.ptr(), "col_kind", array_of(m->col_kind)) ||
        !set(d.ptr(), "sense", to_str(prog.sense == ProblemSense::Maximize ? "maximize" : "minimize")) ||
        !set(d.ptr(), "objective", polynomial_dict(m->objective)))
      return nullptr;
    nb::object pens = nb::steal(PyList_New(0));
    if (!pens) return nullptr;
    for (const auto& [name, poly] : m->penalties) {
      nb::object pd = nb::steal(polynomial_dict(poly));
      if (!pd) return nullptr;
      nb::object item = nb::steal(Py_BuildValue("(sO)", name.c_str(), pd.ptr()));
      if (!item || PyList_Append(pens.ptr(), item.ptr()) < 0) return nullptr;
    }
    if (PyDict_SetItemString(d.ptr(), "penalties", pens.ptr()) < 0) return nullptr;
    nb::object names = nb::steal(PyList_New(0)), senses = nb::steal(PyList_New(0));
    if (!names || !senses) return nullptr;
    static const char* const sense_text[] = {"==", "<=", ">="};
    for (const ConstraintSpec& c : prog.constraints) {
      nb::object n = nb::steal(to_str(c.name)), s = nb::steal(to_str(sense_text[int(c.sense)]));
      if (!n || !s || PyList_Append(names.ptr(), n.ptr()) < 0 || PyList_Append(senses.ptr(), s.ptr()) < 0)
        return nullptr;
    }
    if (!set(d.ptr(), "row_start", array_of(m->row_start)) || !set(d.ptr(), "row_column", array_of(m->row_column)) ||
        !set(d.ptr(), "row_value", array_of(m->row_value)) || !set(d.ptr(), "row_lower", array_of(m->row_lower)) ||
        !set(d.ptr(), "row_upper", array_of(m->row_upper)) ||
        !set(d.ptr(), "row_constraint", array_of(m->row_constraint)) ||
        PyDict_SetItemString(d.ptr(), "constraint_names", names.ptr()) < 0 ||
        PyDict_SetItemString(d.ptr(), "constraint_senses", senses.ptr()) < 0)
      return nullptr;
    return d.release().ptr();
  });
}

PyGetSetDef kGetters[] = {
    TX_GETTER("problem", get_problem, "The problem (a copy, as it was when the instance was made)."),
    TX_GETTER("variables", get_variables, "A dict of decision variable name to shape tuple, in name order."),
    TX_GETTER("num_variables", get_num_variables, "The number of scalar entries of all decision variables."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef kMethods[] = {
    TX_METHOD("evaluate", evaluate,
              "evaluate($self, solution)\n--\n\n"
              "Evaluates a solution: a Record (any number of samples, dense or sparse) or a dict of variable "
              "name to array (one sample). Returns a SampleSet holding that record, the Evaluation, an empty "
              "MeasuringTime and empty metadata.\n\n"
              "`objective` is the objective as written; `energy` is what a solver minimizes: the objective, "
              "negated for a maximization, plus every penalty term. So for a maximization `lowest()` (the "
              "smallest objective) picks the worst samples: compare `energy` instead.\n\n"
              "Raises ValueError for a variable missing from the solution or of another shape, IndexError for "
              "a subscript of the data out of range."),
    {"_compile", compile, METH_NOARGS,
     "_compile($self)\n--\n\nThe instance as arrays for a solver: columns, bounds, kinds, objective and penalty "
     "polynomials, constraint rows (CSR). ValueError naming what is not linear or quadratic."},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

void register_instance(nb::module_& m) {
  nb::module_ sub = m.def_submodule("instance", "Instances: a problem with its data, evaluated locally.");
  static Slots slots;
  slots.methods(kMethods).constructor(&instance_new).add(Py_tp_getset, kGetters).add(Py_tp_repr,
                                                                                     reinterpret_cast<void*>(&instance_repr));
  nb::class_<InstanceObject> cls(
      sub, "Instance",
      "Instance(problem, data)\n--\n\n"
      "A problem with the data of its placeholders, checked when made.\n\n"
      "Args:\n"
      "    problem (Problem): the problem (copied).\n"
      "    data (dict): placeholder name to value: a number for a scalar; for an array a NumPy array of a "
      "real dtype or nested sequences of numbers (rows may differ in length) with exactly the placeholder's "
      "number of dimensions. Names the problem does not use are ignored.\n\n"
      "Raises ValueError naming the placeholder or variable: data missing or of another number of dimensions, "
      "a shape that is not a non-negative integer, a bound that is not a number or lies above the other.",
      nb::type_slots(slots.finish()));
  g_instance_type = reinterpret_cast<PyTypeObject*>(cls.ptr());
  if (!add_solve_methods(cls.ptr())) throw nb::python_error();
  PyObject* sys_modules = PySys_GetObject("modules");  // borrowed
  if (sys_modules) PyDict_SetItemString(sys_modules, "tarvex.instance", sub.ptr());
}

}  // namespace tarvex::py
