// Evaluation: energies, objectives, constraint violations, forall indices and values,
// penalties of the samples.
#include "lib/convert_py.hpp"
#include "lib/registry_py.hpp"
#include "sample_set/helpers.hpp"
#include "sample_set/helpers_py.hpp"
#include "sample_set/values_py.hpp"

namespace tarvex::py {
namespace {

constexpr std::array<const char*, 6> kFields = {
    "energy", "objective", "constraint_violations", "constraint_forall", "constraint_values", "penalty"};

std::shared_ptr<const Evaluation> snapshot(PyObject* self) { return nb::inst_ptr<EvaluationObject>(self)->value; }

// Converts `o` into field i of `e`.
Status set_field(Evaluation& e, std::size_t i, PyObject* o) {
  switch (i) {
    case 0: {
      TX_TRY(e.energy, to_doubles(o));
      return Ok{};
    }
    case 1: {
      TX_TRY(e.objective, to_doubles(o));
      return Ok{};
    }
    case 2: {
      TX_TRY(e.constraint_violations, to_values_by_name(o));
      return Ok{};
    }
    case 3: {
      TX_TRY(e.constraint_forall, to_forall_map(o));
      return Ok{};
    }
    case 4: {
      TX_TRY(e.constraint_values, to_values_list(o));
      return Ok{};
    }
    default: {
      TX_TRY(e.penalty, to_values_by_name(o));
      return Ok{};
    }
  }
}

// Field i of `e` as a new Python object.
PyObject* field_object(const Evaluation& e, std::size_t i) {
  switch (i) {
    case 0:
      return float_array(e.energy);
    case 1:
      return float_array(e.objective);
    case 2:
      return float_arrays_by_name(e.constraint_violations);
    case 3:
      return forall_arrays(e.constraint_forall);
    case 4:
      return values_list(e.constraint_values);
    default:
      return float_arrays_by_name(e.penalty);
  }
}

PyObject* evaluation_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kw[] = {kFields[0], kFields[1], kFields[2], kFields[3], kFields[4], kFields[5], nullptr};
    std::array<PyObject*, 6> v{};
    if (!parse_args(args, kwargs, "|OOOOOO:Evaluation", kw, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5])) return nullptr;
    Evaluation e;
    for (std::size_t i = 0; i < v.size(); ++i) {
      if (!v[i] || v[i] == Py_None) continue;
      auto done = set_field(e, i, v[i]);
      if (!done) return raise_argument(kFields[i], done.error().kind, done.error().message);
    }
    return new_instance<EvaluationObject>(type, std::make_shared<const Evaluation>(std::move(e)));
  });
}

PyObject* get_field(PyObject* self, void* closure) {
  return guarded<PyObject*>(nullptr,
                            [&] { return field_object(*snapshot(self), reinterpret_cast<std::size_t>(closure)); });
}

int set_field_slot(PyObject* self, PyObject* value, void* closure) {
  if (!value) return refuse_delete();
  return guarded<int>(-1, [&]() -> int {
    Evaluation e = *snapshot(self);
    auto done = set_field(e, reinterpret_cast<std::size_t>(closure), value);
    if (!done) return raise(done.error()), -1;
    nb::inst_ptr<EvaluationObject>(self)->value = std::make_shared<const Evaluation>(std::move(e));
    return 0;
  });
}

PyObject* get_constraint_expr_values(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    auto e = snapshot(self);
    auto values = constraint_expr_values(*e);
    if (!values) return raise(values.error());
    return sequence_of(*values, values->size(), [](const auto& pairs) -> PyObject* {
      nb::object d = nb::steal(PyDict_New());
      if (!d) return nullptr;
      for (const auto& [index, value] : pairs) {
        nb::object key = nb::steal(sequence_of(*index, index->size(), PyLong_FromUnsignedLongLong, true));
        nb::object v = nb::steal(PyFloat_FromDouble(value));
        if (!key || !v || PyDict_SetItem(d.ptr(), key.ptr(), v.ptr()) < 0) return nullptr;
      }
      return d.release().ptr();
    });
  });
}

PyObject* evaluation_text_slot(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&] { return to_str(evaluation_text(*snapshot(self))); });
}

PyObject* evaluation_compare(PyObject* self, PyObject* other, int op) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    auto a = as_evaluation(self);
    auto b = as_evaluation(other);
    if (!a || !b) Py_RETURN_NOTIMPLEMENTED;
    if (op != Py_EQ && op != Py_NE) return refuse_ordering(op, "Evaluation");
    return compare_result(op, *a == *b);
  });
}

PyObject* to_dict(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&] { return evaluation_dict(*snapshot(self)); });
}

PyObject* from_dict(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* d = extract_dict_arg(args, kwargs, "from_dict");
    if (!d) return nullptr;
    auto e = evaluation_from_dict(d);
    if (!e) return raise(e.error());
    return wrap_evaluation(std::move(e).value());
  });
}

PyObject* to_pandas(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&] { return evaluation_frame(*snapshot(self)); });
}

PyObject* to_json(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&] { return to_str(evaluation_to_json(*snapshot(self))); });
}

PyObject* from_json(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    std::string text;
    if (!extract_json_text(args, kwargs, "from_json", text)) return nullptr;
    auto e = evaluation_from_json(text);
    if (!e) return raise(e.error());
    return wrap_evaluation(std::move(e).value());
  });
}

#define TX_FIELD(i, doc) \
  { kFields[i], get_field, set_field_slot, doc, reinterpret_cast<void*>(std::size_t{i}) }

PyGetSetDef kGetters[] = {
    TX_FIELD(0, "The energy of each sample (a new float64 array)."),
    TX_FIELD(1, "The objective value of each sample (a new float64 array)."),
    TX_FIELD(2, "Constraint name to the violation in each sample."),
    TX_FIELD(3, "Constraint name to its forall index lists, as a 2-D uint64 array."),
    TX_FIELD(4, "Per sample, constraint name to the value of each forall element."),
    TX_FIELD(5, "Penalty name to the penalty in each sample."),
    TX_GETTER("constraint_expr_values", get_constraint_expr_values,
              "Per sample, a dict of forall index tuple to the constraint value; KeyError for a constraint "
              "without forall indices."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

#undef TX_FIELD

PyMethodDef kMethods[] = {
    {"to_dict", to_dict, METH_NOARGS, "to_dict($self)\n--\n\nThe dict form: every field by name."},
    {"from_dict", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(from_dict)),
     METH_VARARGS | METH_KEYWORDS | METH_STATIC, "from_dict(dict)\n--\n\nAn Evaluation from the dict form."},
    {"to_json", to_json, METH_NOARGS, "to_json($self)\n--\n\nThe JSON text of the evaluation."},
    {"to_pandas", to_pandas, METH_NOARGS,
     "to_pandas($self)\n--\n\nA pandas.DataFrame: energy, objective, constraint_forall, constraint_values, then "
     "'constraint_violation[<name>]' and 'penalty[<name>]' columns."},
    {"from_json", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(from_json)),
     METH_VARARGS | METH_KEYWORDS | METH_STATIC,
     "from_json(json)\n--\n\nAn Evaluation from its JSON text (ValueError with the position when it is not valid)."},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyObject* evaluation_dict(const Evaluation& e) {
  nb::object d = nb::steal(PyDict_New());
  if (!d) return nullptr;
  for (std::size_t i = 0; i < kFields.size(); ++i) {
    nb::object v = nb::steal(field_object(e, i));
    if (!v || PyDict_SetItemString(d.ptr(), kFields[i], v.ptr()) < 0) return nullptr;
  }
  return d.release().ptr();
}

Result<Evaluation> evaluation_from_dict(PyObject* d) {
  nb::object keep = nb::borrow(d);
  Evaluation e;
  for (std::size_t i = 0; i < kFields.size(); ++i) {
    nb::object v = nb::borrow(PyDict_GetItemString(d, kFields[i]));
    if (v) TX_CHECK(set_field(e, i, v.ptr()));
  }
  return e;
}

namespace {

bool set_column(PyObject* columns, const std::string& name, PyObject* value) {
  nb::object v = nb::steal(value);
  return v && PyDict_SetItemString(columns, name.c_str(), v.ptr()) == 0;
}

PyObject* values_dict(const ValuesByName& m) {
  nb::object d = nb::steal(PyDict_New());
  if (!d) return nullptr;
  for (const auto& [name, values] : m) {
    nb::object key = nb::steal(to_str(name));
    nb::object v = nb::steal(float_list(values));
    if (!key || !v || PyDict_SetItem(d.ptr(), key.ptr(), v.ptr()) < 0) return nullptr;
  }
  return d.release().ptr();
}

// A new dict of constraint name to its index lists as lists of ints.
PyObject* forall_dict(const std::map<std::string, IndexLists>& m) {
  nb::object d = nb::steal(PyDict_New());
  if (!d) return nullptr;
  for (const auto& [name, lists] : m) {
    nb::object key = nb::steal(to_str(name));
    nb::object v = nb::steal(sequence_of(lists, lists.size(), int_list));
    if (!key || !v || PyDict_SetItem(d.ptr(), key.ptr(), v.ptr()) < 0) return nullptr;
  }
  return d.release().ptr();
}

}  // namespace

PyObject* evaluation_frame(const Evaluation& e) {
  nb::object columns = nb::steal(PyDict_New());
  if (!columns) return nullptr;
  PyObject* c = columns.ptr();
  if (!set_column(c, "energy", float_list(e.energy)) || !set_column(c, "objective", float_list(e.objective)))
    return nullptr;
  PyObject* forall = Py_None;
  nb::object rows;
  if (!e.constraint_forall.empty()) {
    // One separate dict per row, as many rows as there are energies.
    rows = nb::steal(PyList_New(0));
    if (!rows) return nullptr;
    for (std::size_t i = 0; i < e.energy.size(); ++i) {
      nb::object row = nb::steal(forall_dict(e.constraint_forall));
      if (!row || PyList_Append(rows.ptr(), row.ptr()) < 0) return nullptr;
    }
    forall = rows.ptr();
  }
  if (!set_column(c, "constraint_forall", Py_NewRef(forall))) return nullptr;
  PyObject* values = e.constraint_values.empty()
                         ? Py_NewRef(Py_None)
                         : sequence_of(e.constraint_values, e.constraint_values.size(), values_dict);
  if (!set_column(c, "constraint_values", values)) return nullptr;
  for (const auto& [name, list] : e.constraint_violations)
    if (!set_column(c, "constraint_violation[" + name + "]", float_list(list))) return nullptr;
  for (const auto& [name, list] : e.penalty)
    if (!set_column(c, "penalty[" + name + "]", float_list(list))) return nullptr;
  return call_helper(helpers::pandas_frame, "frame", c);
}

void register_evaluation(nb::module_& m) {
  static Slots slots;
  slots.methods(kMethods)
      .constructor(&evaluation_new)
      .add(Py_tp_getset, kGetters)
      .add(Py_tp_repr, reinterpret_cast<void*>(&evaluation_text_slot))
      .add(Py_tp_str, reinterpret_cast<void*>(&evaluation_text_slot))
      .add(Py_tp_richcompare, reinterpret_cast<void*>(&evaluation_compare));
  nb::class_<EvaluationObject> cls(
      m, "Evaluation",
      "Evaluation(energy=None, objective=None, constraint_violations=None, constraint_forall=None, "
      "constraint_values=None, penalty=None)\n--\n\n"
      "A class for the evaluation of samples.\n\n"
      "Args:\n"
      "    energy (list[float]): the energy of each sample.\n"
      "    objective (list[float]): the objective value of each sample.\n"
      "    constraint_violations (dict[str, list[float]]): the violation of each constraint per sample.\n"
      "    constraint_forall (dict[str, list[list[int]]]): the forall index lists of each constraint.\n"
      "    constraint_values (list[dict[str, list[float]]]): per sample, the value of each constraint per "
      "forall element.\n"
      "    penalty (dict[str, list[float]]): the value of each penalty term per sample.",
      nb::type_slots(slots.finish()));
  class_info(ClassId::Evaluation).type = reinterpret_cast<PyTypeObject*>(cls.ptr());
}

}  // namespace tarvex::py
