// The durations of the remote solving service's five phases: text and JSON forms.
#include "sample_set/system_time.hpp"

namespace tarvex {

std::string system_time_text(const SystemTime& t) { return fields_text("SystemTime", SystemTime::kNames, t); }

std::string system_time_to_json(const SystemTime& t) {
  std::string out;
  write_fields_json(out, SystemTime::kNames, t);
  return out;
}

Result<SystemTime> system_time_from_json(std::string_view text) {
  json::Reader r(text);
  SystemTime out;
  TX_CHECK(r.read_document([&](json::Value& root) { return read_fields_json(r, root, SystemTime::kNames, out); }));
  return out;
}

}  // namespace tarvex
