// Pieces shared by the nine condition classes.
#pragma once

#include "lib/classes_py.hpp"

namespace tarvex::py {

// Printing, set_latex and the logical operators &, |, ^ of a condition class.
void add_condition_slots(Slots& slots);

template <ClassId K>
void register_condition(nb::module_& m, const char* name, const char* doc, PyGetSetDef* getters) {
  static Slots slots;
  slots.no_constructor().add(Py_tp_getset, getters);
  add_condition_slots(slots);
  cond_class<K>(m, name, doc, slots);
}

}  // namespace tarvex::py
