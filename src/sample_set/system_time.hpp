// The durations of the remote solving service's five phases.
#pragma once

#include "sample_set/optional_fields.hpp"

namespace tarvex {

struct SystemTime : OptionalFields<5> {
  static constexpr std::array<std::string_view, 5> kNames = {"post_problem_and_instance_data", "request_queue",
                                                             "fetch_problem_and_instance_data", "fetch_result",
                                                             "deserialize_solution"};
  bool operator==(const SystemTime&) const = default;
};

std::string system_time_text(const SystemTime& t);
std::string system_time_to_json(const SystemTime& t);
Result<SystemTime> system_time_from_json(std::string_view text);

}  // namespace tarvex
