// Measured times: text and JSON forms ("solve" and "system" required, "total" optional).
#include "sample_set/measuring_time.hpp"

namespace tarvex {

std::string measuring_time_text(const MeasuringTime& t) {
  return "MeasuringTime(solve=" + solving_time_text(t.solve) + ", system=" + system_time_text(t.system) +
         ", total=" + optional_text(t.total) + ")";
}

std::string measuring_time_to_json(const MeasuringTime& t) {
  std::string out = "{\"solve\":";
  write_fields_json(out, SolvingTime::kNames, t.solve);
  json::write_key(out, "system");
  write_fields_json(out, SystemTime::kNames, t.system);
  json::write_key(out, "total");
  json::write_optional(out, t.total);
  out += '}';
  return out;
}

Result<MeasuringTime> measuring_time_from_json(std::string_view text) {
  static constexpr std::array<std::string_view, 3> kNames = {"solve", "system", "total"};
  json::Reader r(text);
  MeasuringTime out;
  TX_CHECK(r.read_document([&](json::Value& root) {
    return r.read_fields(root, kNames, 0b011, [&](std::size_t i, json::Value& f) -> Status {
      switch (i) {
        case 0:
          return read_fields_json(r, f, SolvingTime::kNames, out.solve);
        case 1:
          return read_fields_json(r, f, SystemTime::kNames, out.system);
        default:
          return r.read_optional(f, out.total);
      }
    });
  }));
  return out;
}

}  // namespace tarvex
