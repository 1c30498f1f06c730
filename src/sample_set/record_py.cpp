// Record: the solutions of every sample per variable and their numbers of occurrences.
#include "lib/convert_py.hpp"
#include "lib/registry_py.hpp"
#include "sample_set/helpers.hpp"
#include "sample_set/helpers_py.hpp"
#include "sample_set/values_py.hpp"

namespace tarvex::py {
namespace {

std::shared_ptr<const Record> snapshot(PyObject* self) { return nb::inst_ptr<RecordObject>(self)->value; }
void replace(PyObject* self, Record r) {
  nb::inst_ptr<RecordObject>(self)->value = std::make_shared<const Record>(std::move(r));
}

PyObject* record_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kw[] = {"solution", "num_occurrences", nullptr};
    PyObject *solution = nullptr, *occurrences = nullptr;
    if (!parse_args(args, kwargs, "OO:Record", kw, &solution, &occurrences)) return nullptr;
    auto s = to_solution(solution);
    if (!s) return raise_argument("solution", s.error().kind, s.error().message);
    auto n = to_uints(occurrences);
    if (!n) return raise_argument("num_occurrences", n.error().kind, n.error().message);
    return new_instance<RecordObject>(
        type, std::make_shared<const Record>(Record{std::move(s).value(), std::move(n).value()}));
  });
}

PyObject* record_text_slot(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&] { return to_str(record_text(*snapshot(self))); });
}

PyObject* record_compare(PyObject* self, PyObject* other, int op) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    auto a = as_record(self);
    auto b = as_record(other);
    if (!a || !b) Py_RETURN_NOTIMPLEMENTED;
    if (op != Py_EQ && op != Py_NE) return refuse_ordering(op, "Record");
    return compare_result(op, *a == *b);
  });
}

PyObject* get_solution(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return solution_object(snapshot(self)->solution); });
}

int set_solution(PyObject* self, PyObject* value, void*) {
  if (!value) return refuse_delete();
  return guarded<int>(-1, [&]() -> int {
    auto s = to_solution(value);
    if (!s) return raise(s.error()), -1;
    replace(self, Record{std::move(s).value(), snapshot(self)->num_occurrences});
    return 0;
  });
}

PyObject* get_num_occurrences(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return int_list(snapshot(self)->num_occurrences); });
}

int set_num_occurrences(PyObject* self, PyObject* value, void*) {
  if (!value) return refuse_delete();
  return guarded<int>(-1, [&]() -> int {
    auto n = to_uints(value);
    if (!n) return raise(n.error()), -1;
    replace(self, Record{snapshot(self)->solution, std::move(n).value()});
    return 0;
  });
}

PyObject* is_dense(PyObject* self, PyObject*) { return PyBool_FromLong(snapshot(self)->is_dense()); }
PyObject* is_sparse(PyObject* self, PyObject*) { return PyBool_FromLong(!snapshot(self)->is_dense()); }

PyObject* to_dense_method(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    auto r = to_dense(*snapshot(self));
    if (!r) return raise(r.error());
    return wrap_record(std::move(r).value());
  });
}

PyObject* to_sparse_method(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&] { return wrap_record(to_sparse(*snapshot(self))); });
}

PyObject* to_dict(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&] { return record_dict(*snapshot(self)); });
}

PyObject* from_dict(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* d = extract_dict_arg(args, kwargs, "from_dict");
    if (!d) return nullptr;
    auto r = record_from_dict(d, false);
    if (!r) return raise(r.error());
    return wrap_record(std::move(r).value());
  });
}

PyObject* to_pandas(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&] { return record_frame(*snapshot(self)); });
}

PyObject* to_json(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&] { return to_str(record_to_json(*snapshot(self))); });
}

PyObject* from_json(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    std::string text;
    if (!extract_json_text(args, kwargs, "from_json", text)) return nullptr;
    auto r = record_from_json(text);
    if (!r) return raise(r.error());
    return wrap_record(std::move(r).value());
  });
}

PyGetSetDef kGetters[] = {
    {"solution", get_solution, set_solution,
     "The solution: a dict of variable name to a list of NumPy float64 arrays (dense) or of "
     "(indices, values, shape) tuples (sparse), one per sample.",
     nullptr},
    {"num_occurrences", get_num_occurrences, set_num_occurrences, "How often each sample was observed.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef kMethods[] = {
    {"is_dense", is_dense, METH_NOARGS, "is_dense($self)\n--\n\nTrue when the solution is dense."},
    {"is_sparse", is_sparse, METH_NOARGS, "is_sparse($self)\n--\n\nTrue when the solution is sparse."},
    {"to_dense", to_dense_method, METH_NOARGS,
     "to_dense($self)\n--\n\nA new Record with a dense solution (IndexError when a sparse entry does not fit "
     "its shape)."},
    {"to_sparse", to_sparse_method, METH_NOARGS,
     "to_sparse($self)\n--\n\nA new Record with a sparse solution: the elements that are not 0.0."},
    {"to_dict", to_dict, METH_NOARGS, "to_dict($self)\n--\n\nA dict with the keys 'solution' and 'num_occurrences'."},
    {"from_dict", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(from_dict)),
     METH_VARARGS | METH_KEYWORDS | METH_STATIC, "from_dict(dict)\n--\n\nA Record from the dict form."},
    {"to_json", to_json, METH_NOARGS, "to_json($self)\n--\n\nThe JSON text of the record."},
    {"to_pandas", to_pandas, METH_NOARGS,
     "to_pandas($self)\n--\n\nA pandas.DataFrame: a column 'solution[<name>]' per variable, then 'num_occurrences'."},
    {"from_json", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(from_json)),
     METH_VARARGS | METH_KEYWORDS | METH_STATIC,
     "from_json(json)\n--\n\nA Record from its JSON text (ValueError with the position when it is not valid)."},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyObject* record_dict(const Record& r) {
  nb::object solution = nb::steal(solution_object(r.solution));
  if (!solution) return nullptr;
  nb::object counts = nb::steal(int_list(r.num_occurrences));
  if (!counts) return nullptr;
  nb::object d = nb::steal(PyDict_New());
  if (!d || PyDict_SetItemString(d.ptr(), "solution", solution.ptr()) < 0 ||
      PyDict_SetItemString(d.ptr(), "num_occurrences", counts.ptr()) < 0)
    return nullptr;
  return d.release().ptr();
}

Result<Record> record_from_dict(PyObject* d, bool json_lists) {
  nb::object keep = nb::borrow(d);
  Record r;
  // Each value is held while it is converted: a conversion may run Python code.
  if (nb::object v = nb::borrow(PyDict_GetItemString(d, "solution"))) {
    TX_TRY(r.solution, to_solution(v.ptr(), json_lists));
  }
  if (nb::object v = nb::borrow(PyDict_GetItemString(d, "num_occurrences"))) {
    TX_TRY(r.num_occurrences, to_uints(v.ptr()));
  }
  return r;
}

PyObject* record_frame(const Record& r) {
  nb::object solution = nb::steal(solution_object(r.solution));
  nb::object columns = nb::steal(PyDict_New());
  if (!solution || !columns) return nullptr;
  PyObject *name = nullptr, *samples = nullptr;
  Py_ssize_t pos = 0;
  while (PyDict_Next(solution.ptr(), &pos, &name, &samples)) {
    nb::object column = nb::steal(PyUnicode_FromFormat("solution[%U]", name));
    if (!column || PyDict_SetItem(columns.ptr(), column.ptr(), samples) < 0) return nullptr;
  }
  nb::object counts = nb::steal(int_list(r.num_occurrences));
  if (!counts || PyDict_SetItemString(columns.ptr(), "num_occurrences", counts.ptr()) < 0) return nullptr;
  return call_helper(helpers::pandas_frame, "frame", columns.ptr());
}

void register_record(nb::module_& m) {
  static Slots slots;
  slots.methods(kMethods)
      .constructor(&record_new)
      .add(Py_tp_getset, kGetters)
      .add(Py_tp_repr, reinterpret_cast<void*>(&record_text_slot))
      .add(Py_tp_str, reinterpret_cast<void*>(&record_text_slot))
      .add(Py_tp_richcompare, reinterpret_cast<void*>(&record_compare));
  nb::class_<RecordObject> cls(
      m, "Record",
      "Record(solution, num_occurrences)\n--\n\n"
      "A class for the solutions of a solver and their numbers of occurrences.\n\n"
      "Args:\n"
      "    solution (dict): variable name to a list with one entry per sample: NumPy float64 arrays "
      "(dense), or (indices, values, shape) tuples (sparse), for example\n"
      "        (([0, 1, 1], [1, 0, 2]), [1.0, 2.0, 3.0], (2, 3)) for a 2x3 array.\n"
      "    num_occurrences (list[int]): how often each sample was observed.",
      nb::type_slots(slots.finish()));
  class_info(ClassId::Record).type = reinterpret_cast<PyTypeObject*>(cls.ptr());
}

}  // namespace tarvex::py
