// SolvingTime: the durations of a solver's three phases.
#include "lib/registry_py.hpp"
#include "sample_set/optional_fields_py.hpp"

namespace tarvex::py {

void register_solving_time(nb::module_& m) {
  OptionalFieldsClass<SolvingTime, SolvingTimeObject, ClassId::SolvingTime>::register_class(
      m, "SolvingTime",
      "SolvingTime(preprocess=None, solve=None, postprocess=None)\n--\n\n"
      "A class for the time to solve a problem.\n\n"
      "Args:\n"
      "    preprocess (float | None): the time of the preprocessing.\n"
      "    solve (float | None): the time of the solving.\n"
      "    postprocess (float | None): the time of the postprocessing.");
}

}  // namespace tarvex::py
