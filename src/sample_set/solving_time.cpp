// The durations of a solver's three phases: text and JSON forms.
#include "sample_set/solving_time.hpp"

namespace tarvex {

std::string solving_time_text(const SolvingTime& t) { return fields_text("SolvingTime", SolvingTime::kNames, t); }

std::string solving_time_to_json(const SolvingTime& t) {
  std::string out;
  write_fields_json(out, SolvingTime::kNames, t);
  return out;
}

Result<SolvingTime> solving_time_from_json(std::string_view text) {
  json::Reader r(text);
  SolvingTime out;
  TX_CHECK(r.read_document([&](json::Value& root) { return read_fields_json(r, root, SolvingTime::kNames, out); }));
  return out;
}

}  // namespace tarvex
