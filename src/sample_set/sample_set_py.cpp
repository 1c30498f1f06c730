// SampleSet: record, evaluation and measured times held by value, the metadata dict shared;
// selections, concatenate, dict and JSON forms through the embedded helpers, tables and
// backend times.
#include "lib/convert_py.hpp"
#include "lib/registry_py.hpp"
#include "sample_set/helpers.hpp"
#include "sample_set/helpers_py.hpp"
#include "sample_set/sample_set.hpp"
#include "sample_set/values_py.hpp"

namespace tarvex::py {
namespace {

struct SampleSetObject {
  std::shared_ptr<const SampleSetData> value;
  nb::object metadata;  // a dict, the very object given; emptied only by the garbage collector
};

SampleSetObject& object(PyObject* self) { return *nb::inst_ptr<SampleSetObject>(self); }
std::shared_ptr<const SampleSetData> snapshot(PyObject* self) { return object(self).value; }

// The metadata dict (a new reference).
nb::object metadata(PyObject* self) {
  SampleSetObject& o = object(self);
  if (!o.metadata) o.metadata = nb::steal(PyDict_New());
  return o.metadata;
}

std::shared_ptr<const SampleSetData> as_sample_set(PyObject* o) {
  return is_instance(o, ClassId::SampleSet) ? snapshot(o) : nullptr;
}

PyObject* new_sample_set(PyTypeObject* type, SampleSetData data, nb::object meta) {
  if (!meta) return nullptr;
  return new_instance<SampleSetObject>(type ? type : type_of(ClassId::SampleSet),
                                       std::make_shared<const SampleSetData>(std::move(data)), std::move(meta));
}

std::string not_instance(const char* cls, PyObject* o) {
  return std::string("expected ") + cls + ", got " + type_name(Py_TYPE(o));
}

PyObject* sample_set_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kw[] = {"record", "evaluation", "measuring_time", "metadata", nullptr};
    PyObject *record = nullptr, *evaluation = nullptr, *measuring_time = nullptr, *meta = Py_None;
    if (!parse_args(args, kwargs, "OOO|O:SampleSet", kw, &record, &evaluation, &measuring_time, &meta)) return nullptr;
    auto r = as_record(record);
    if (!r) return raise_argument("record", ErrorKind::Type, not_instance("Record", record));
    auto e = as_evaluation(evaluation);
    if (!e) return raise_argument("evaluation", ErrorKind::Type, not_instance("Evaluation", evaluation));
    const MeasuringTime* m = as_measuring_time(measuring_time);
    if (!m) return raise_argument("measuring_time", ErrorKind::Type, not_instance("MeasuringTime", measuring_time));
    nb::object md;
    if (meta == Py_None) {
      md = nb::steal(PyDict_New());
    } else if (PyDict_Check(meta)) {
      md = nb::borrow(meta);
    } else {
      return raise_argument("metadata", ErrorKind::Type, not_instance("dict or None", meta));
    }
    return new_sample_set(type, SampleSetData{*r, *e, *m}, std::move(md));
  });
}

int traverse(PyObject* self, visitproc visit, void* arg) {
  Py_VISIT(Py_TYPE(self));
  if (!nb::inst_ready(self)) return 0;
  Py_VISIT(object(self).metadata.ptr());
  return 0;
}

int clear(PyObject* self) {
  if (nb::inst_ready(self)) object(self).metadata.reset();
  return 0;
}

PyObject* get_record(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return wrap_record(snapshot(self)->record); });
}
PyObject* get_evaluation(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return wrap_evaluation(snapshot(self)->evaluation); });
}
PyObject* get_measuring_time(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return wrap_measuring_time(snapshot(self)->measuring_time); });
}
PyObject* get_metadata(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return metadata(self).release().ptr(); });
}

template <class Change>
int change(PyObject* self, Change f) {
  SampleSetData data = *snapshot(self);
  f(data);
  object(self).value = std::make_shared<const SampleSetData>(std::move(data));
  return 0;
}

int set_record(PyObject* self, PyObject* v, void*) {
  if (!v) return refuse_delete();
  return guarded<int>(-1, [&]() -> int {
    auto r = as_record(v);
    if (!r) return raise(type_error(not_instance("Record", v))), -1;
    return change(self, [&](SampleSetData& d) { d.record = *r; });
  });
}
int set_evaluation(PyObject* self, PyObject* v, void*) {
  if (!v) return refuse_delete();
  return guarded<int>(-1, [&]() -> int {
    auto e = as_evaluation(v);
    if (!e) return raise(type_error(not_instance("Evaluation", v))), -1;
    return change(self, [&](SampleSetData& d) { d.evaluation = *e; });
  });
}
int set_measuring_time(PyObject* self, PyObject* v, void*) {
  if (!v) return refuse_delete();
  return guarded<int>(-1, [&]() -> int {
    const MeasuringTime* m = as_measuring_time(v);
    if (!m) return raise(type_error(not_instance("MeasuringTime", v))), -1;
    const MeasuringTime copy = *m;
    return change(self, [&](SampleSetData& d) { d.measuring_time = copy; });
  });
}
int set_metadata(PyObject* self, PyObject* v, void*) {
  if (!v) return refuse_delete();
  if (!PyDict_Check(v)) return raise(type_error(not_instance("dict", v))), -1;
  object(self).metadata = nb::borrow(v);
  return 0;
}

PyObject* is_dense(PyObject* self, PyObject*) { return PyBool_FromLong(snapshot(self)->record.is_dense()); }
PyObject* is_sparse(PyObject* self, PyObject*) { return PyBool_FromLong(!snapshot(self)->record.is_dense()); }

PyObject* to_dense_method(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    auto s = snapshot(self);
    auto r = to_dense(s->record);
    if (!r) return raise(r.error());
    return new_sample_set(nullptr, SampleSetData{std::move(r).value(), s->evaluation, s->measuring_time},
                          metadata(self));
  });
}

bool parse_tolerances(PyObject* args, PyObject* kwargs, const char* fn, double& rtol, double& atol) {
  static const char* const kw[] = {"rtol", "atol", nullptr};
  PyObject *r = nullptr, *a = nullptr;
  const std::string format = std::string("|OO:") + fn;
  if (!parse_args(args, kwargs, format.c_str(), kw, &r, &a)) return false;
  rtol = 1e-5;
  atol = 1e-8;
  for (auto [o, out, name] : {std::tuple{r, &rtol, "rtol"}, std::tuple{a, &atol, "atol"}}) {
    if (!o) continue;
    auto d = as_double(o);
    if (!d) {
      raise_argument(name, ErrorKind::Type, std::string("must be real number, not ") + type_name(Py_TYPE(o)));
      return false;
    }
    *out = *d;
  }
  return true;
}

enum class Filter { Feasible, Infeasible, Lowest };

template <Filter F>
PyObject* filter(PyObject* self, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kNames[] = {"feasible", "infeasible", "lowest"};
    double rtol = 0, atol = 0;
    if (!parse_tolerances(args, kwargs, kNames[int(F)], rtol, atol)) return nullptr;
    auto s = snapshot(self);
    const Evaluation& e = s->evaluation;
    if (F == Filter::Feasible && e.constraint_violations.empty()) return new_sample_set(nullptr, *s, metadata(self));
    auto positions = F == Filter::Lowest ? lowest_positions(e, rtol, atol)
                                         : feasibility_positions(e, rtol, atol, F == Filter::Feasible);
    if (!positions) return raise(positions.error());
    auto selected = select_samples(*s, *positions);
    if (!selected) return raise(selected.error());
    return new_sample_set(nullptr, std::move(selected).value(), metadata(self));
  });
}

PyObject* text(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    auto s = snapshot(self);
    nb::object md = metadata(self);
    nb::object md_text = nb::steal(PyObject_Str(md.ptr()));
    if (!md_text) return nullptr;
    Py_ssize_t n = 0;
    const char* md_utf8 = PyUnicode_AsUTF8AndSize(md_text.ptr(), &n);
    if (!md_utf8) return nullptr;
    return to_str("SampleSet(record=" + record_text(s->record) + ", evaluation=" + evaluation_text(s->evaluation) +
                  ", measuring_time=" + measuring_time_text(s->measuring_time) +
                  ", metadata=" + std::string(md_utf8, std::size_t(n)) + ")");
  });
}

PyObject* compare(PyObject* self, PyObject* other, int op) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    auto a = as_sample_set(self);
    auto b = as_sample_set(other);
    if (!a || !b) Py_RETURN_NOTIMPLEMENTED;
    if (op != Py_EQ && op != Py_NE) return refuse_ordering(op, "SampleSet");
    bool equal = a->record == b->record && a->evaluation == b->evaluation && a->measuring_time == b->measuring_time;
    if (equal) {
      nb::object ma = metadata(self), mb = metadata(other);
      nb::object r = nb::steal(PyObject_RichCompare(ma.ptr(), mb.ptr(), Py_EQ));
      if (!r) return nullptr;
      const int truth = PyObject_IsTrue(r.ptr());
      if (truth < 0) return nullptr;
      equal = truth == 1;
    }
    return compare_result(op, equal);
  });
}

PyObject* dict_form(PyObject* self) {
  auto s = snapshot(self);
  nb::object md = metadata(self);
  nb::object record = nb::steal(record_dict(s->record));
  if (!record) return nullptr;
  nb::object evaluation = nb::steal(evaluation_dict(s->evaluation));
  if (!evaluation) return nullptr;
  nb::object measuring_time = nb::steal(measuring_time_dict(s->measuring_time));
  if (!measuring_time) return nullptr;
  nb::object d = nb::steal(PyDict_New());
  if (!d || PyDict_SetItemString(d.ptr(), "record", record.ptr()) < 0 ||
      PyDict_SetItemString(d.ptr(), "evaluation", evaluation.ptr()) < 0 ||
      PyDict_SetItemString(d.ptr(), "measuring_time", measuring_time.ptr()) < 0 ||
      PyDict_SetItemString(d.ptr(), "metadata", md.ptr()) < 0)
    return nullptr;
  return d.release().ptr();
}

PyObject* to_dict(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&] { return dict_form(self); });
}

// The value of a required key that must be a dict (a new reference), or an error.
Result<nb::object> part(PyObject* d, const char* key) {
  nb::object v = nb::borrow(PyDict_GetItemString(d, key));
  if (!v) return value_error(std::string("the key '") + key + "' is not included in the dict");
  if (!PyDict_Check(v.ptr())) return type_error(std::string("the value of the key '") + key + "' is not dict");
  return v;
}

PyObject* read_dict(PyObject* d, bool json_lists) {
  nb::object keep = nb::borrow(d);
  auto record_part = part(d, "record");
  if (!record_part) return raise(record_part.error());
  auto record = record_from_dict(record_part->ptr(), json_lists);
  if (!record) return raise(record.error());
  auto evaluation_part = part(d, "evaluation");
  if (!evaluation_part) return raise(evaluation_part.error());
  auto evaluation = evaluation_from_dict(evaluation_part->ptr());
  if (!evaluation) return raise(evaluation.error());
  auto time_part = part(d, "measuring_time");
  if (!time_part) return raise(time_part.error());
  auto time = measuring_time_from_dict(time_part->ptr());
  if (!time) return raise(time.error());
  nb::object md = nb::borrow(PyDict_GetItemString(d, "metadata"));
  if (!md) {
    md = nb::steal(PyDict_New());
  } else if (!PyDict_Check(md.ptr())) {
    return raise(type_error("the value of the key 'metadata' is not dict"));
  }
  return new_sample_set(nullptr, SampleSetData{std::move(record).value(), std::move(evaluation).value(), *time},
                        std::move(md));
}

PyObject* from_dict(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* d = extract_dict_arg(args, kwargs, "from_dict");
    if (!d) return nullptr;
    return read_dict(d, false);
  });
}

PyObject* to_json(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    nb::object d = nb::steal(dict_form(self));
    if (!d) return nullptr;
    return call_helper(helpers::json_dump, "dump", d.ptr());
  });
}

PyObject* from_json(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kw[] = {"json", nullptr};
    PyObject* json = nullptr;
    if (!parse_args(args, kwargs, "O:from_json", kw, &json)) return nullptr;
    nb::object d = nb::steal(call_helper(helpers::json_load, "load", json));
    if (!d) return nullptr;
    if (!PyDict_Check(d.ptr()))
      return raise_argument("dict", ErrorKind::Type,
                            std::string("'") + Py_TYPE(d.ptr())->tp_name + "' object cannot be converted to 'PyDict'");
    return read_dict(d.ptr(), true);
  });
}

PyObject* to_pandas(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    auto s = snapshot(self);
    nb::object record = nb::steal(record_frame(s->record));
    if (!record) return nullptr;
    nb::object evaluation = nb::steal(evaluation_frame(s->evaluation));
    if (!evaluation) return nullptr;
    return call_helper(helpers::pandas_frame, "concat", record.ptr(), evaluation.ptr());
  });
}

// Checks that a helper returned a dict.
nb::object expect_dict(PyObject* o) {
  nb::object r = nb::steal(o);
  if (r && !PyDict_Check(r.ptr())) {
    raise(type_error(std::string("'") + Py_TYPE(r.ptr())->tp_name + "' object cannot be converted to 'PyDict'"));
    return nb::object();
  }
  return r;
}

PyObject* backend_calculation_time(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    nb::object md = metadata(self);
    nb::object result = nb::steal(PyDict_New());
    nb::object items = nb::steal(PyDict_Items(md.ptr()));
    if (!result || !items) return nullptr;
    // Root spans: dict values whose "parent_id" is None.
    std::vector<nb::object> roots;
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(items.ptr()); ++i) {
      PyObject* pair = PyList_GET_ITEM(items.ptr(), i);
      PyObject* key = PyTuple_GET_ITEM(pair, 0);
      PyObject* value = PyTuple_GET_ITEM(pair, 1);
      if (!PyDict_Check(value)) continue;
      PyObject* parent = PyDict_GetItemWithError(value, nb::str("parent_id").ptr());
      if (!parent) {
        if (PyErr_Occurred()) return nullptr;
        continue;
      }
      if (parent != Py_None) continue;
      if (!PyUnicode_Check(key))
        return raise(
            type_error(std::string("'") + Py_TYPE(key)->tp_name + "' object cannot be converted to 'PyString'"));
      roots.push_back(nb::borrow(key));
    }
    for (const nb::object& root : roots) {
      nb::object spans = expect_dict(call_helper(helpers::backend_spans, "get_timedelta_by_span", md.ptr()));
      if (!spans) return nullptr;
      nb::object tree = expect_dict(call_helper(helpers::backend_aggregate, "aggregate", spans.ptr(), root.ptr()));
      if (!tree) return nullptr;
      nb::object flat = expect_dict(call_helper(helpers::backend_reformat, "reformat", tree.ptr()));
      if (!flat) return nullptr;
      if (PyDict_Update(result.ptr(), flat.ptr()) < 0) return nullptr;
    }
    return result.release().ptr();
  });
}

PyObject* concatenate_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kw[] = {"sample_sets", nullptr};
    PyObject* sets = nullptr;
    if (!parse_fast_args(args, nargs, kwnames, "O:concatenate", kw, &sets)) return nullptr;
    if (PyUnicode_Check(sets) || !PySequence_Check(sets))
      return raise_argument("sample_sets", ErrorKind::Type,
                            std::string("'") + Py_TYPE(sets)->tp_name + "' object cannot be converted to 'Sequence'");
    nb::object items = nb::steal(PySequence_Fast(sets, "expected a sequence"));
    if (!items) return prefix_pending("sample_sets");
    std::vector<std::shared_ptr<const SampleSetData>> held;
    std::vector<const SampleSetData*> data;
    for (Py_ssize_t i = 0; i < PySequence_Fast_GET_SIZE(items.ptr()); ++i) {
      PyObject* item = PySequence_Fast_GET_ITEM(items.ptr(), i);
      auto s = as_sample_set(item);
      if (!s) return raise_argument("sample_sets", ErrorKind::Type, not_instance("SampleSet", item));
      held.push_back(s);
      data.push_back(s.get());
    }
    auto out = concatenate(data);
    if (!out) return raise(out.error());
    return new_sample_set(nullptr, std::move(out).value(), metadata(PySequence_Fast_GET_ITEM(items.ptr(), 0)));
  });
}

PyGetSetDef kGetters[] = {
    {"record", get_record, set_record, "The record (a copy; assign a Record to change it).", nullptr},
    {"evaluation", get_evaluation, set_evaluation, "The evaluation (a copy; assign an Evaluation to change it).",
     nullptr},
    {"measuring_time", get_measuring_time, set_measuring_time,
     "The measured times (a copy; assign a MeasuringTime to change it).", nullptr},
    {"metadata", get_metadata, set_metadata, "The metadata dict itself, shared with the selections.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

#define TX_FILTER(name, f, doc)                                                                                 \
  PyMethodDef {                                                                                                 \
    name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(filter<f>)), METH_VARARGS | METH_KEYWORDS, \
        name "($self, rtol=1e-05, atol=1e-08)\n--\n\n" doc                                                      \
  }

PyMethodDef kMethods[] = {
    {"is_dense", is_dense, METH_NOARGS, "is_dense($self)\n--\n\nTrue when the record is dense."},
    {"is_sparse", is_sparse, METH_NOARGS, "is_sparse($self)\n--\n\nTrue when the record is sparse."},
    {"to_dense", to_dense_method, METH_NOARGS,
     "to_dense($self)\n--\n\nA new SampleSet with a dense record; the metadata is the same dict."},
    TX_FILTER("feasible", Filter::Feasible,
              "The samples whose total violation t passes |t| <= atol + rtol * |t| (all samples without "
              "constraints)."),
    TX_FILTER("infeasible", Filter::Infeasible, "The samples that fail the feasibility test."),
    TX_FILTER("lowest", Filter::Lowest, "The feasible samples with the lowest objective, every tie included."),
    {"to_dict", to_dict, METH_NOARGS,
     "to_dict($self)\n--\n\nA dict with the keys 'record', 'evaluation', 'measuring_time' and 'metadata'."},
    {"from_dict", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(from_dict)),
     METH_VARARGS | METH_KEYWORDS | METH_STATIC, "from_dict(dict)\n--\n\nA SampleSet from the dict form."},
    {"to_json", to_json, METH_NOARGS, "to_json($self)\n--\n\nThe dict form as JSON text, written by orjson."},
    {"from_json", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(from_json)),
     METH_VARARGS | METH_KEYWORDS | METH_STATIC, "from_json(json)\n--\n\nA SampleSet from the text of to_json."},
    {"to_pandas", to_pandas, METH_NOARGS,
     "to_pandas($self)\n--\n\nThe record's table beside the evaluation's table (a pandas.DataFrame)."},
    {"get_backend_calculation_time", backend_calculation_time, METH_NOARGS,
     "get_backend_calculation_time($self)\n--\n\nThe durations in seconds of the timing spans in the metadata, "
     "nested by parent."},
    {nullptr, nullptr, 0, nullptr},
};

#undef TX_FILTER

PyMethodDef kConcatenate =
    TX_FUNCTION("concatenate", concatenate_fn,
                "concatenate(sample_sets)\n--\n\n"
                "Joins sample sets with sparse records: the samples of each are appended to the first, whose "
                "constraint_forall, measuring_time and metadata the result keeps.");

}  // namespace

PyMethodDef* concatenate_function() { return &kConcatenate; }

void register_sample_set(nb::module_& m) {
  static Slots slots;
  slots.methods(kMethods)
      .constructor(&sample_set_new)
      .add(Py_tp_getset, kGetters)
      .add(Py_tp_repr, reinterpret_cast<void*>(&text))
      .add(Py_tp_str, reinterpret_cast<void*>(&text))
      .add(Py_tp_richcompare, reinterpret_cast<void*>(&compare))
      .add(Py_tp_traverse, reinterpret_cast<void*>(&traverse))
      .add(Py_tp_clear, reinterpret_cast<void*>(&clear));
  nb::class_<SampleSetObject> cls(
      m, "SampleSet",
      "SampleSet(record, evaluation, measuring_time, metadata=None)\n--\n\n"
      "A class for the results of a solver: the solutions, their evaluation, the measured times and "
      "free metadata.\n\n"
      "Args:\n"
      "    record (Record): the solutions and their numbers of occurrences.\n"
      "    evaluation (Evaluation): the evaluation of the samples.\n"
      "    measuring_time (MeasuringTime): the measured times.\n"
      "    metadata (dict | None): free metadata; the dict itself is kept, not a copy.",
      nb::type_slots(slots.finish()));
  class_info(ClassId::SampleSet).type = reinterpret_cast<PyTypeObject*>(cls.ptr());
}

}  // namespace tarvex::py
