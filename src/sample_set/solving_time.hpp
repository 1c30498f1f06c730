// The durations of a solver's three phases: preprocess, solve, postprocess.
#pragma once

#include "sample_set/optional_fields.hpp"

namespace tarvex {

struct SolvingTime : OptionalFields<3> {
  static constexpr std::array<std::string_view, 3> kNames = {"preprocess", "solve", "postprocess"};
  bool operator==(const SolvingTime&) const = default;
};

std::string solving_time_text(const SolvingTime& t);
std::string solving_time_to_json(const SolvingTime& t);
Result<SolvingTime> solving_time_from_json(std::string_view text);

}  // namespace tarvex
