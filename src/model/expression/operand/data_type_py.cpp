// DataType: the enumeration FLOAT (0), INTEGER (1) of a number literal.
#include "model/expression/operand/data_type_py.hpp"

#include "lib/enum_py.hpp"
#include "lib/registry_py.hpp"

namespace tarvex::py {

PyObject* data_type_member(bool integer) { return enum_member(ClassId::DataType, integer ? 1 : 0); }

void register_data_type(nb::module_& m) {
  register_enum<ClassId::DataType>(
      m, "DataType", "The numeric type of a number literal: DataType.FLOAT (0) or DataType.INTEGER (1).",
      {"FLOAT", "INTEGER"});
}

}  // namespace tarvex::py
