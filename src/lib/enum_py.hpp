// Enumeration classes (DataType, ConstraintSense, ProblemSense): members are class
// attributes; they compare with each other and with ints, print as "Class.MEMBER", and
// int() gives their value.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "lib/classes_py.hpp"

namespace tarvex::py {

struct EnumInfo {
  const char* class_name;
  std::vector<const char*> members;  // in order of value, from 0
  std::vector<PyObject*> objects;    // the member objects, kept for the process' life
};

EnumInfo& enum_info(ClassId id);

template <ClassId K>
struct EnumObject {
  std::int64_t value;
};

// The member of the given value (new reference).
PyObject* enum_member(ClassId id, std::int64_t value);
// The value of a member of the class, or nothing when `o` is not one.
std::optional<std::int64_t> enum_value(PyObject* o, ClassId id);

// Slots shared by the enumeration classes.
void add_enum_slots(Slots& slots);

// Creates the class and its members.
template <ClassId K>
void register_enum(nb::module_& m, const char* name, const char* doc, std::vector<const char*> members) {
  static Slots slots;
  add_enum_slots(slots);
  nb::class_<EnumObject<K>> cls(m, name, doc, nb::type_slots(slots.finish()));
  class_info(K).type = reinterpret_cast<PyTypeObject*>(cls.ptr());
  enum_info(K).class_name = name;
  enum_info(K).members = members;
  for (std::size_t v = 0; v < members.size(); ++v) {
    nb::object member = nb::inst_alloc(cls);
    new (nb::inst_ptr<EnumObject<K>>(member)) EnumObject<K>{std::int64_t(v)};
    nb::inst_mark_ready(member);
    enum_info(K).objects.push_back(member.ptr());
    cls.attr(members[v]) = member;  // the class attribute keeps the member alive
  }
}

}  // namespace tarvex::py
