// Reading protobuf Header messages back into model objects, with every id validated before
// it is followed and the model checks of the builders applied while rebuilding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <variant>

#include "lib/result.hpp"
#include "model/problem.hpp"

namespace tarvex {

using Decoded = std::variant<Problem, Constraint, CustomPenaltyTerm, Expression, Condition>;

// The object carried by the encoded Header. Wire, version and id errors are
// Deserialization errors; failed model checks keep their own kinds. Cost is linear in the
// size of the input: shared nodes are rebuilt once, nodes are built in ascending id order.
Result<Decoded> deserialize(const std::uint8_t* data, std::size_t size);

}  // namespace tarvex
