// Writing models as protobuf Header messages: every expression becomes a flat node table in
// which equal sub-trees appear once and children come before their parents.
#pragma once

#include <string>

#include "lib/result.hpp"
#include "model/problem.hpp"

namespace tarvex {

// The encoded Header (version 1, a new random id) carrying the object as its body.
Result<std::string> serialize(const Problem& p);
Result<std::string> serialize(const Constraint& c);
Result<std::string> serialize(const CustomPenaltyTerm& t);
Result<std::string> serialize(const Expression& e);
Result<std::string> serialize(const Condition& c);

// A sum or product with more terms than this, once its custom-LaTeX terms are opened, is
// refused instead of being spelled out (shared sub-trees can make it astronomically long).
inline constexpr std::size_t kMaxRebuiltTerms = std::size_t{1} << 24;

}  // namespace tarvex
