#include "lib/enum_py.hpp"

#include <array>

#include "lib/convert_py.hpp"

namespace tarvex::py {
namespace {

std::array<EnumInfo, kClassCount> g_enums;

// Every enumeration object stores its value first, whatever its class.
std::int64_t value_of(PyObject* o) { return *nb::inst_ptr<std::int64_t>(o); }

const EnumInfo* info_of(PyObject* o) {
  for (std::size_t k = 0; k < kClassCount; ++k) {
    const EnumInfo& e = g_enums[k];
    if (e.class_name && type_of(ClassId(k)) == Py_TYPE(o)) return &e;
  }
  return nullptr;
}

PyObject* enum_repr(PyObject* self) {
  const EnumInfo* info = info_of(self);
  const std::int64_t v = value_of(self);
  if (!info || v < 0 || std::size_t(v) >= info->members.size()) return PyUnicode_FromString("<enum>");
  return PyUnicode_FromFormat("%s.%s", info->class_name, info->members[std::size_t(v)]);
}

Py_hash_t enum_hash(PyObject* self) { return Py_hash_t(value_of(self)); }

PyObject* enum_richcompare(PyObject* self, PyObject* other, int op) {
  if (op != Py_EQ && op != Py_NE) Py_RETURN_NOTIMPLEMENTED;
  std::int64_t theirs;
  if (Py_TYPE(other) == Py_TYPE(self)) {
    theirs = value_of(other);
  } else if (PyLong_Check(other)) {
    auto v = as_int64(other);
    if (!v) return PyBool_FromLong(op == Py_NE);  // far outside every member's value
    theirs = *v;
  } else {
    Py_RETURN_NOTIMPLEMENTED;
  }
  return PyBool_FromLong((value_of(self) == theirs) == (op == Py_EQ));
}

PyObject* enum_int(PyObject* self) { return PyLong_FromLongLong(value_of(self)); }

PyObject* get_name(PyObject* self, void*) {
  const EnumInfo* info = info_of(self);
  if (!info) Py_RETURN_NONE;
  return PyUnicode_FromString(info->members[std::size_t(value_of(self))]);
}

PyObject* get_value(PyObject* self, void*) { return enum_int(self); }

PyGetSetDef kGetters[] = {
    TX_GETTER("name", get_name, "The member's name."),
    TX_GETTER("value", get_value, "The member's value."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

EnumInfo& enum_info(ClassId id) { return g_enums[std::size_t(id)]; }

PyObject* enum_member(ClassId id, std::int64_t value) {
  const EnumInfo& info = enum_info(id);
  if (value < 0 || std::size_t(value) >= info.objects.size())
    return raise(internal_error("no such enumeration member"));
  PyObject* o = info.objects[std::size_t(value)];
  Py_INCREF(o);
  return o;
}

std::optional<std::int64_t> enum_value(PyObject* o, ClassId id) {
  if (!is_instance(o, id)) return std::nullopt;
  return value_of(o);
}

void add_enum_slots(Slots& slots) {
  slots.no_constructor()
      .add(Py_tp_repr, reinterpret_cast<void*>(&enum_repr))
      .add(Py_tp_hash, reinterpret_cast<void*>(&enum_hash))
      .add(Py_tp_richcompare, reinterpret_cast<void*>(&enum_richcompare))
      .add(Py_nb_int, reinterpret_cast<void*>(&enum_int))
      .add(Py_tp_getset, kGetters);
}

}  // namespace tarvex::py
