// Constraints: named equalities and non-strict inequalities, with a forall list.
#pragma once

#include <string>

#include "model/forall.hpp"

namespace tarvex {

enum class ConstraintSense : std::uint8_t { Equal, LessThanEqual, GreaterThanEqual };

struct Constraint {
  std::string name;
  Expression left;
  Expression right;
  ForallList forall;
  ConstraintSense sense = ConstraintSense::Equal;

  // The comparison of left and right whose kind matches the sense.
  Condition expression() const;
};

// Validates the forall list against the condition, then the kind of comparison, then the
// presence of a decision variable.
Result<Constraint> make_constraint(std::string name, const Condition& condition, ForallList forall);

}  // namespace tarvex
