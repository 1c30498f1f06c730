// The logical classes AndOp, OrOp, XorOp, and the logical operators of every condition class.
#include "model/expression/operator/logical_op/logical_op_py.hpp"

#include "lib/convert_py.hpp"
#include "lib/registry_py.hpp"
#include "model/expression/operator/logical_op/logical_op.hpp"

namespace tarvex::py {
namespace {

bool is_condition(PyObject* o) {
  for (int k = int(ClassId::AndOp); k <= int(ClassId::GreaterThanEqualOp); ++k)
    if (is_instance(o, ClassId(k))) return true;
  return false;
}

// self & other, self | other, self ^ other: self must be a condition (else the reflected
// operation is tried); other is converted to a condition.
template <LogicalKind K>
PyObject* logical_slot(PyObject* self, PyObject* other) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    if (!is_condition(self)) Py_RETURN_NOTIMPLEMENTED;
    auto right = to_condition(other);
    if (!right) return raise(right.error());
    return from_node(make_logical(K, cond_holder(self).cond(), std::move(right).value()));
  });
}

// A condition is a piece of a model, not a truth value: `0 <= x <= 1` would silently keep
// only `x <= 1`, and `x in [1, 2]` would answer with the truth of an unrelated object.
int refuse_truth_value(PyObject*) {
  PyErr_SetString(PyExc_TypeError,
                  "a condition has no truth value: combine conditions with &, | and ^, and write a "
                  "two-sided bound such as 0 <= x <= 1 as two constraints");
  return -1;
}

PyObject* get_terms(PyObject* self, void*) { return list_of(cond_holder(self).cond().as<Logical>().terms); }

PyGetSetDef kLogicalGetters[] = {
    TX_GETTER("terms", get_terms, "The two conditions combined, in order."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef kMethods[] = {
    TX_METHOD("set_latex", cond_set_latex, kSetLatexDoc),
    TX_REPR_LATEX(cond_repr_latex),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

void add_condition_slots(Slots& slots) {
  slots.cond_printing()
      .methods(kMethods)
      .add(Py_nb_and, reinterpret_cast<void*>(&logical_slot<LogicalKind::And>))
      .add(Py_nb_or, reinterpret_cast<void*>(&logical_slot<LogicalKind::Or>))
      .add(Py_nb_xor, reinterpret_cast<void*>(&logical_slot<LogicalKind::Xor>))
      .add(Py_nb_bool, reinterpret_cast<void*>(&refuse_truth_value));
}

void register_and_op(nb::module_& m) {
  register_condition<ClassId::AndOp>(m, "AndOp", "The logical AND of two conditions.", kLogicalGetters);
}
void register_or_op(nb::module_& m) {
  register_condition<ClassId::OrOp>(m, "OrOp", "The logical OR of two conditions.", kLogicalGetters);
}
void register_xor_op(nb::module_& m) {
  register_condition<ClassId::XorOp>(m, "XorOp", "The logical XOR of two conditions.", kLogicalGetters);
}

}  // namespace tarvex::py
