// DataType: the enumeration FLOAT (0), INTEGER (1) of a number literal.
#include "model/expression/operand/data_type_py.hpp"

#include "lib/convert_py.hpp"
#include "lib/registry_py.hpp"

namespace tarvex::py {
namespace {

struct DataTypeObject {
  std::int64_t value;
};

PyObject* g_members[2] = {nullptr, nullptr};

const char* member_name(std::int64_t v) { return v == 0 ? "FLOAT" : "INTEGER"; }

PyObject* data_type_repr(PyObject* self) {
  return PyUnicode_FromFormat("DataType.%s", member_name(nb::inst_ptr<DataTypeObject>(self)->value));
}

Py_hash_t data_type_hash(PyObject* self) { return Py_hash_t(nb::inst_ptr<DataTypeObject>(self)->value); }

PyObject* data_type_richcompare(PyObject* self, PyObject* other, int op) {
  if (op != Py_EQ && op != Py_NE) Py_RETURN_NOTIMPLEMENTED;
  const std::int64_t mine = nb::inst_ptr<DataTypeObject>(self)->value;
  std::int64_t theirs;
  if (is_instance(other, ClassId::DataType)) {
    theirs = nb::inst_ptr<DataTypeObject>(other)->value;
  } else if (PyLong_Check(other)) {
    auto v = as_int64(other);
    if (!v) return PyBool_FromLong(op == Py_NE);  // far outside the members' values
    theirs = *v;
  } else {
    Py_RETURN_NOTIMPLEMENTED;
  }
  return PyBool_FromLong((mine == theirs) == (op == Py_EQ));
}

PyObject* data_type_int(PyObject* self) {
  return PyLong_FromLongLong(nb::inst_ptr<DataTypeObject>(self)->value);
}

PyObject* get_name(PyObject* self, void*) {
  return PyUnicode_FromString(member_name(nb::inst_ptr<DataTypeObject>(self)->value));
}

PyObject* get_value(PyObject* self, void*) { return data_type_int(self); }

PyGetSetDef kGetters[] = {
    TX_GETTER("name", get_name, "The member's name, \"FLOAT\" or \"INTEGER\"."),
    TX_GETTER("value", get_value, "The member's value, 0 for FLOAT and 1 for INTEGER."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

PyObject* data_type_member(bool integer) { return g_members[integer ? 1 : 0]; }

void register_data_type(nb::module_& m) {
  static Slots slots;
  slots.no_constructor()
      .add(Py_tp_repr, reinterpret_cast<void*>(&data_type_repr))
      .add(Py_tp_hash, reinterpret_cast<void*>(&data_type_hash))
      .add(Py_tp_richcompare, reinterpret_cast<void*>(&data_type_richcompare))
      .add(Py_nb_int, reinterpret_cast<void*>(&data_type_int))
      .add(Py_nb_index, reinterpret_cast<void*>(&data_type_int))
      .add(Py_tp_getset, kGetters);
  nb::class_<DataTypeObject> cls(m, "DataType",
                                 "The numeric type of a number literal: DataType.FLOAT (0) or "
                                 "DataType.INTEGER (1).",
                                 nb::type_slots(slots.finish()));
  class_info(ClassId::DataType).type = reinterpret_cast<PyTypeObject*>(cls.ptr());
  for (std::int64_t v : {0, 1}) {
    nb::object member = nb::inst_alloc(cls);
    new (nb::inst_ptr<DataTypeObject>(member)) DataTypeObject{v};
    nb::inst_mark_ready(member);
    g_members[v] = member.ptr();
    cls.attr(member_name(v)) = member;  // the class attribute keeps the member alive
  }
}

}  // namespace tarvex::py
