// The registration functions of every class and module function unit. The order in which
// they are called lives in module_py.cpp.
#pragma once

#include <nanobind/nanobind.h>

namespace tarvex::py {

void register_data_type(nanobind::module_& m);
void register_number_lit(nanobind::module_& m);
void register_placeholder(nanobind::module_& m);

}  // namespace tarvex::py
