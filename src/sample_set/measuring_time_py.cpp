// MeasuringTime: a SolvingTime, a SystemTime and a total.
#include "lib/registry_py.hpp"
#include "sample_set/optional_fields_py.hpp"

namespace tarvex::py {
namespace {

MeasuringTime& value(PyObject* self) { return nb::inst_ptr<MeasuringTimeObject>(self)->value; }

Result<SolvingTime> to_solving_time(PyObject* o) {
  if (!o || o == Py_None) return SolvingTime{};
  if (const SolvingTime* t = as_solving_time(o)) return *t;
  return type_error(std::string("expected SolvingTime or None, got ") + type_name(Py_TYPE(o)));
}

Result<SystemTime> to_system_time(PyObject* o) {
  if (!o || o == Py_None) return SystemTime{};
  if (const SystemTime* t = as_system_time(o)) return *t;
  return type_error(std::string("expected SystemTime or None, got ") + type_name(Py_TYPE(o)));
}

PyObject* measuring_time_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kw[] = {"solve", "system", "total", nullptr};
    PyObject *solve = nullptr, *system = nullptr, *total = nullptr;
    if (!parse_args(args, kwargs, "|OOO:MeasuringTime", kw, &solve, &system, &total)) return nullptr;
    MeasuringTime out;
    auto s = to_solving_time(solve);
    if (!s) return raise_argument("solve", s.error().kind, s.error().message);
    auto y = to_system_time(system);
    if (!y) return raise_argument("system", y.error().kind, y.error().message);
    auto t = to_optional_double(total);
    if (!t) return raise_argument("total", t.error().kind, t.error().message);
    return new_instance<MeasuringTimeObject>(type, MeasuringTime{*s, *y, *t});
  });
}

PyObject* get_solve(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return wrap_solving_time(value(self).solve); });
}
PyObject* get_system(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return wrap_system_time(value(self).system); });
}
PyObject* get_total(PyObject* self, void*) {
  const std::optional<double> t = value(self).total;
  return optional_float(t);
}

template <class Convert>
int set_with(PyObject* self, PyObject* v, Convert convert) {
  if (!v) return refuse_delete();
  return guarded<int>(-1, [&]() -> int {
    auto x = convert(v);
    if (!x) return raise(x.error()), -1;
    using V = std::decay_t<decltype(*x)>;
    if constexpr (std::is_same_v<V, SolvingTime>) {
      value(self).solve = *x;
    } else if constexpr (std::is_same_v<V, SystemTime>) {
      value(self).system = *x;
    } else {
      value(self).total = *x;
    }
    return 0;
  });
}
int set_solve(PyObject* self, PyObject* v, void*) { return set_with(self, v, to_solving_time); }
int set_system(PyObject* self, PyObject* v, void*) { return set_with(self, v, to_system_time); }
int set_total(PyObject* self, PyObject* v, void*) { return set_with(self, v, to_optional_double); }

PyObject* text(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&] { return to_str(measuring_time_text(value(self))); });
}

PyObject* compare(PyObject* self, PyObject* other, int op) {
  const MeasuringTime* a = as_measuring_time(self);
  const MeasuringTime* b = as_measuring_time(other);
  if (!a || !b) Py_RETURN_NOTIMPLEMENTED;
  if (op != Py_EQ && op != Py_NE) return refuse_ordering(op, "MeasuringTime");
  return compare_result(op, *a == *b);
}

PyObject* to_dict(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&] { return measuring_time_dict(value(self)); });
}

PyObject* from_dict(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* d = extract_dict_arg(args, kwargs, "from_dict");
    if (!d) return nullptr;
    auto t = measuring_time_from_dict(d);
    if (!t) return raise(t.error());
    return wrap_measuring_time(*t);
  });
}

template <class T>
Result<T> part_from_dict(PyObject* d, const char* key) {
  nb::object v = nb::borrow(PyDict_GetItemString(d, key));
  if (!v) return T{};
  if (!PyDict_Check(v.ptr())) return value_error(std::string("the value of the key '") + key + "' is not dict");
  return optional_fields_from_dict<T>(v.ptr());
}

PyObject* to_json(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&] { return to_str(measuring_time_to_json(value(self))); });
}

PyObject* from_json(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    std::string text;
    if (!extract_json_text(args, kwargs, "from_json", text)) return nullptr;
    auto t = measuring_time_from_json(text);
    if (!t) return raise(t.error());
    return wrap_measuring_time(*t);
  });
}

PyGetSetDef kGetters[] = {
    {"solve", get_solve, set_solve, "The solving time (a copy; assign the property to change it).", nullptr},
    {"system", get_system, set_system, "The system time (a copy; assign the property to change it).", nullptr},
    {"total", get_total, set_total, "The total time, or None when absent.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef kMethods[] = {
    {"to_dict", to_dict, METH_NOARGS, "to_dict($self)\n--\n\nA dict with the keys 'solve', 'system' and 'total'."},
    {"from_dict", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(from_dict)),
     METH_VARARGS | METH_KEYWORDS | METH_STATIC, "from_dict(dict)\n--\n\nA MeasuringTime from the dict form."},
    {"to_json", to_json, METH_NOARGS, "to_json($self)\n--\n\nThe JSON text of the measured times."},
    {"from_json", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(from_json)),
     METH_VARARGS | METH_KEYWORDS | METH_STATIC,
     "from_json(json)\n--\n\nA MeasuringTime from its JSON text (ValueError with the position when it is not valid)."},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyObject* measuring_time_dict(const MeasuringTime& value) {
  const MeasuringTime t = value;
  nb::object solve = nb::steal(optional_fields_dict(t.solve));
  nb::object system = nb::steal(optional_fields_dict(t.system));
  nb::object total = nb::steal(optional_float(t.total));
  nb::object d = nb::steal(PyDict_New());
  if (!solve || !system || !total || !d || PyDict_SetItemString(d.ptr(), "solve", solve.ptr()) < 0 ||
      PyDict_SetItemString(d.ptr(), "system", system.ptr()) < 0 ||
      PyDict_SetItemString(d.ptr(), "total", total.ptr()) < 0)
    return nullptr;
  return d.release().ptr();
}

Result<MeasuringTime> measuring_time_from_dict(PyObject* d) {
  nb::object keep = nb::borrow(d);
  TX_TRY(SolvingTime s, part_from_dict<SolvingTime>(d, "solve"));
  TX_TRY(SystemTime y, part_from_dict<SystemTime>(d, "system"));
  nb::object total = nb::borrow(PyDict_GetItemString(d, "total"));
  TX_TRY(std::optional<double> t, to_optional_double(total.ptr()));
  return MeasuringTime{s, y, t};
}

void register_measuring_time(nb::module_& m) {
  static Slots slots;
  slots.methods(kMethods)
      .constructor(&measuring_time_new)
      .add(Py_tp_getset, kGetters)
      .add(Py_tp_repr, reinterpret_cast<void*>(&text))
      .add(Py_tp_str, reinterpret_cast<void*>(&text))
      .add(Py_tp_richcompare, reinterpret_cast<void*>(&compare));
  nb::class_<MeasuringTimeObject> cls(m, "MeasuringTime",
                                      "MeasuringTime(solve=None, system=None, total=None)\n--\n\n"
                                      "A class for measured times.\n\n"
                                      "Args:\n"
                                      "    solve (SolvingTime | None): the time to solve the problem.\n"
                                      "    system (SystemTime | None): the time spent by the remote solving service.\n"
                                      "    total (float | None): the total time.",
                                      nb::type_slots(slots.finish()));
  class_info(ClassId::MeasuringTime).type = reinterpret_cast<PyTypeObject*>(cls.ptr());
}

}  // namespace tarvex::py
