// Custom penalty terms: named expressions added to the objective by a solver.
#pragma once

#include <string>

#include "model/forall.hpp"

namespace tarvex {

struct CustomPenaltyTerm {
  std::string name;
  Expression expression;
  ForallList forall;
};

Result<CustomPenaltyTerm> make_custom_penalty_term(std::string name, Expression expression, ForallList forall);

}  // namespace tarvex
