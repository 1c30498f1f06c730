// Measured times: a SolvingTime, a SystemTime and an optional total.
#pragma once

#include "sample_set/solving_time.hpp"
#include "sample_set/system_time.hpp"

namespace tarvex {

struct MeasuringTime {
  SolvingTime solve;
  SystemTime system;
  std::optional<double> total;
  bool operator==(const MeasuringTime&) const = default;
};

std::string measuring_time_text(const MeasuringTime& t);
std::string measuring_time_to_json(const MeasuringTime& t);
Result<MeasuringTime> measuring_time_from_json(std::string_view text);

}  // namespace tarvex
