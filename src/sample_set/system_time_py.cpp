// SystemTime: the durations of the remote solving service's five phases.
#include "lib/registry_py.hpp"
#include "sample_set/optional_fields_py.hpp"

namespace tarvex::py {

void register_system_time(nb::module_& m) {
  OptionalFieldsClass<SystemTime, SystemTimeObject, ClassId::SystemTime>::register_class(
      m, "SystemTime",
      "SystemTime(post_problem_and_instance_data=None, request_queue=None, fetch_problem_and_instance_data=None, "
      "fetch_result=None, deserialize_solution=None)\n--\n\n"
      "A class for the time spent by the remote solving service Nimbara.\n\n"
      "Args:\n"
      "    post_problem_and_instance_data (float | None): uploading the problem and its data.\n"
      "    request_queue (float | None): waiting in the request queue.\n"
      "    fetch_problem_and_instance_data (float | None): fetching the problem and its data.\n"
      "    fetch_result (float | None): fetching the result.\n"
      "    deserialize_solution (float | None): deserializing the solution.");
}

}  // namespace tarvex::py
