// The registration functions of every class and module function unit. The order in which
// they are called lives in module_py.cpp.
#pragma once

#include <nanobind/nanobind.h>

namespace tarvex::py {

void register_data_type(nanobind::module_& m);
void register_number_lit(nanobind::module_& m);
void register_placeholder(nanobind::module_& m);
void register_range(nanobind::module_& m);
void register_element(nanobind::module_& m);
void register_subscript(nanobind::module_& m);
void register_array_length(nanobind::module_& m);
void register_dummy_indexed_var(nanobind::module_& m);
void register_binary_var(nanobind::module_& m);
void register_integer_var(nanobind::module_& m);
void register_continuous_var(nanobind::module_& m);
void register_semi_integer_var(nanobind::module_& m);
void register_semi_continuous_var(nanobind::module_& m);
void register_abs_op(nanobind::module_& m);
void register_ceil_op(nanobind::module_& m);
void register_floor_op(nanobind::module_& m);
void register_log2_op(nanobind::module_& m);
void register_log10_op(nanobind::module_& m);
void register_ln_op(nanobind::module_& m);
void register_add_op(nanobind::module_& m);
void register_mul_op(nanobind::module_& m);
void register_mod_op(nanobind::module_& m);
void register_min_op(nanobind::module_& m);
void register_max_op(nanobind::module_& m);
void register_pow_op(nanobind::module_& m);
void register_sum_op(nanobind::module_& m);
void register_prod_op(nanobind::module_& m);
void register_and_op(nanobind::module_& m);
void register_or_op(nanobind::module_& m);
void register_xor_op(nanobind::module_& m);
void register_equal_op(nanobind::module_& m);
void register_not_equal_op(nanobind::module_& m);
void register_less_than_op(nanobind::module_& m);
void register_less_than_equal_op(nanobind::module_& m);
void register_greater_than_op(nanobind::module_& m);
void register_greater_than_equal_op(nanobind::module_& m);
void register_problem(nanobind::module_& m);
void register_problem_sense(nanobind::module_& m);
void register_constraint(nanobind::module_& m);
void register_constraint_sense(nanobind::module_& m);
void register_custom_penalty_term(nanobind::module_& m);
void register_evaluation(nanobind::module_& m);
void register_record(nanobind::module_& m);
void register_solving_time(nanobind::module_& m);
void register_system_time(nanobind::module_& m);
void register_measuring_time(nanobind::module_& m);
void register_sample_set(nanobind::module_& m);
// The submodule tarvex.instance (not listed in __all__).
void register_instance(nanobind::module_& m);

// Module functions.
PyMethodDef* is_linear_function();
PyMethodDef* is_quadratic_function();
PyMethodDef* is_higher_order_function();
PyMethodDef* is_dynamic_degree_function();
PyMethodDef* extract_nodes_function();
PyMethodDef* extract_variables_function();
PyMethodDef* is_same_function();
PyMethodDef* replace_function();
PyMethodDef* concatenate_function();
PyMethodDef* abs_function();
PyMethodDef* ceil_function();
PyMethodDef* floor_function();
PyMethodDef* log2_function();
PyMethodDef* log10_function();
PyMethodDef* ln_function();
PyMethodDef* min_function();
PyMethodDef* max_function();
PyMethodDef* sum_function();
PyMethodDef* prod_function();
PyMethodDef* to_protobuf_function();
PyMethodDef* from_protobuf_function();

}  // namespace tarvex::py
