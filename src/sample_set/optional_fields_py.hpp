// The Python side of a class of named optional durations (SolvingTime, SystemTime): the
// constructor, one property per field, text, equality, dict and JSON forms.
#pragma once

#include <string>

#include "lib/convert_py.hpp"
#include "sample_set/values_py.hpp"

namespace tarvex::py {

// A dict of each field name to a float or None.
template <class T>
PyObject* optional_fields_dict(const T& value) {
  const T v = value;  // copied before any Python object is made
  nb::object d = nb::steal(PyDict_New());
  if (!d) return nullptr;
  for (std::size_t i = 0; i < T::size; ++i) {
    nb::object item = nb::steal(optional_float(v.values[i]));
    if (!item || PyDict_SetItemString(d.ptr(), T::kNames[i].data(), item.ptr()) < 0) return nullptr;
  }
  return d.release().ptr();
}

// Reads the fields present in a dict (float, int or None); absent fields stay absent.
template <class T>
Result<T> optional_fields_from_dict(PyObject* d) {
  nb::object keep = nb::borrow(d);
  T out;
  for (std::size_t i = 0; i < T::size; ++i) {
    nb::object v = nb::borrow(PyDict_GetItemString(d, T::kNames[i].data()));
    if (!v) continue;
    auto x = to_optional_double(v.ptr());
    if (!x) return std::move(x).error();
    out.values[i] = *x;
  }
  return out;
}

// Everything of the Python class of T, held in an object Obj with a `value` field.
template <class T, class Obj, ClassId Id>
struct OptionalFieldsClass {
  static inline const char* name = nullptr;

  static T& value(PyObject* self) { return nb::inst_ptr<Obj>(self)->value; }

  static PyObject* wrap(const T& v) { return new_instance<Obj>(type_of(Id), v); }

  static PyObject* construct(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
      static const std::array<const char*, T::size + 1> kw = [] {
        std::array<const char*, T::size + 1> k{};
        for (std::size_t i = 0; i < T::size; ++i) k[i] = T::kNames[i].data();
        return k;
      }();
      // Appended piece by piece: GCC 12 misreads `"|" + std::string(...)` under -O3 (-Wrestrict).
      static const std::string format = [] {
        std::string f(1, '|');
        f.append(T::size, 'O').append(1, ':').append(name);
        return f;
      }();
      std::array<PyObject*, 5> v{};
      static_assert(T::size <= 5);
      if (!parse_args(args, kwargs, format.c_str(), kw.data(), &v[0], &v[1], &v[2], &v[3], &v[4])) return nullptr;
      T out;
      for (std::size_t i = 0; i < T::size; ++i) {
        auto x = to_optional_double(v[i]);
        if (!x) return raise_argument(kw[i], x.error().kind, x.error().message);
        out.values[i] = *x;
      }
      return new_instance<Obj>(type, out);
    });
  }

  static PyObject* get(PyObject* self, void* closure) {
    const std::optional<double> v = value(self).values[reinterpret_cast<std::size_t>(closure)];
    return optional_float(v);
  }

  static int set(PyObject* self, PyObject* v, void* closure) {
    if (!v) return refuse_delete();
    return guarded<int>(-1, [&]() -> int {
      auto x = to_optional_double(v);
      if (!x) return raise(x.error()), -1;
      value(self).values[reinterpret_cast<std::size_t>(closure)] = *x;
      return 0;
    });
  }

  static PyObject* text(PyObject* self) {
    return guarded<PyObject*>(nullptr, [&] { return to_str(fields_text(name, T::kNames, value(self))); });
  }

  static PyObject* compare(PyObject* self, PyObject* other, int op) {
    if (!is_instance(self, Id) || !is_instance(other, Id)) Py_RETURN_NOTIMPLEMENTED;
    if (op != Py_EQ && op != Py_NE) return refuse_ordering(op, name);
    return compare_result(op, value(self) == value(other));
  }

  static PyObject* to_dict(PyObject* self, PyObject*) {
    return guarded<PyObject*>(nullptr, [&] { return optional_fields_dict(value(self)); });
  }

  static PyObject* from_dict(PyObject*, PyObject* args, PyObject* kwargs) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
      PyObject* d = extract_dict_arg(args, kwargs, "from_dict");
      if (!d) return nullptr;
      auto v = optional_fields_from_dict<T>(d);
      if (!v) return raise(v.error());
      return wrap(*v);
    });
  }

  static PyObject* to_json(PyObject* self, PyObject*) {
    return guarded<PyObject*>(nullptr, [&] {
      std::string out;
      write_fields_json(out, T::kNames, value(self));
      return to_str(out);
    });
  }

  static PyObject* from_json(PyObject*, PyObject* args, PyObject* kwargs) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
      std::string text;
      if (!extract_json_text(args, kwargs, "from_json", text)) return nullptr;
      json::Reader r(text);
      T out;
      auto done = r.read_document([&](json::Value& root) { return read_fields_json(r, root, T::kNames, out); });
      if (!done) return raise(done.error());
      return wrap(out);
    });
  }

  static void register_class(nb::module_& m, const char* cls_name, const char* doc) {
    name = cls_name;
    static std::array<PyGetSetDef, T::size + 1> getters = [] {
      std::array<PyGetSetDef, T::size + 1> g{};
      for (std::size_t i = 0; i < T::size; ++i)
        g[i] = {T::kNames[i].data(), get, set, "A duration, or None when absent.", reinterpret_cast<void*>(i)};
      return g;
    }();
    static PyMethodDef methods[] = {
        {"to_dict", to_dict, METH_NOARGS, "to_dict($self)\n--\n\nA dict of every field: a float or None."},
        {"from_dict", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(from_dict)),
         METH_VARARGS | METH_KEYWORDS | METH_STATIC, "from_dict(dict)\n--\n\nAn object from the dict form."},
        {"to_json", to_json, METH_NOARGS, "to_json($self)\n--\n\nThe JSON text; absent values are null."},
        {"from_json", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(from_json)),
         METH_VARARGS | METH_KEYWORDS | METH_STATIC,
         "from_json(json)\n--\n\nAn object from its JSON text (ValueError with the position when it is not valid)."},
        {nullptr, nullptr, 0, nullptr},
    };
    static Slots slots;
    slots.methods(methods)
        .constructor(&construct)
        .add(Py_tp_getset, getters.data())
        .add(Py_tp_repr, reinterpret_cast<void*>(&text))
        .add(Py_tp_str, reinterpret_cast<void*>(&text))
        .add(Py_tp_richcompare, reinterpret_cast<void*>(&compare));
    nb::class_<Obj> cls(m, cls_name, doc, nb::type_slots(slots.finish()));
    class_info(Id).type = reinterpret_cast<PyTypeObject*>(cls.ptr());
  }
};

}  // namespace tarvex::py
