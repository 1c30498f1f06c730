// The six comparison classes: EqualOp, NotEqualOp, LessThanOp, LessThanEqualOp,
// GreaterThanOp, GreaterThanEqualOp.
#include "lib/convert_py.hpp"
#include "lib/registry_py.hpp"
#include "model/expression/operator/logical_op/logical_op_py.hpp"

namespace tarvex::py {
namespace {

PyObject* get_left(PyObject* self, void*) { return from_node(cond_holder(self).cond().as<Comparison>().left); }
PyObject* get_right(PyObject* self, void*) { return from_node(cond_holder(self).cond().as<Comparison>().right); }

PyGetSetDef kComparisonGetters[] = {
    TX_GETTER("left", get_left, "The left side."),
    TX_GETTER("right", get_right, "The right side."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

}  // namespace
void register_equal_op(nb::module_& m) {
  register_condition<ClassId::EqualOp>(m, "EqualOp", "The comparison left == right.", kComparisonGetters);
}
void register_not_equal_op(nb::module_& m) {
  register_condition<ClassId::NotEqualOp>(m, "NotEqualOp", "The comparison left != right.", kComparisonGetters);
}
void register_less_than_op(nb::module_& m) {
  register_condition<ClassId::LessThanOp>(m, "LessThanOp", "The comparison left < right.", kComparisonGetters);
}
void register_less_than_equal_op(nb::module_& m) {
  register_condition<ClassId::LessThanEqualOp>(m, "LessThanEqualOp", "The comparison left <= right.",
                                               kComparisonGetters);
}
void register_greater_than_op(nb::module_& m) {
  register_condition<ClassId::GreaterThanOp>(m, "GreaterThanOp", "The comparison left > right.",
                                             kComparisonGetters);
}
void register_greater_than_equal_op(nb::module_& m) {
  register_condition<ClassId::GreaterThanEqualOp>(m, "GreaterThanEqualOp", "The comparison left >= right.",
                                                  kComparisonGetters);
}

}  // namespace tarvex::py
