// The problem: a name, a sense, an objective and the named constraints and penalty terms.
// The one mutable object of the model; every addition keeps the rule that no two different
// variables share a name.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "model/constraint.hpp"
#include "model/custom_penalty_term.hpp"

namespace tarvex {

enum class ProblemSense : std::uint8_t { Minimize, Maximize };

class Problem {
 public:
  explicit Problem(std::string name, ProblemSense sense = ProblemSense::Minimize);

  const std::string& name() const { return name_; }
  ProblemSense sense() const { return sense_; }
  void set_sense(ProblemSense s) { sense_ = s; }
  const Expression& objective() const { return objective_; }
  // Ordered by name (byte-wise).
  const std::map<std::string, Constraint>& constraints() const { return constraints_; }
  const std::map<std::string, CustomPenaltyTerm>& custom_penalty_terms() const { return penalties_; }

  // Each fails with the duplicated-name error and changes nothing, or applies the change:
  // the objective is replaced, a constraint or penalty term of the same name is replaced.
  Status set_objective(Expression objective);
  Status add_constraint(Constraint c);
  Status add_custom_penalty_term(CustomPenaltyTerm p);

 private:
  // The distinct variables of one part of the problem.
  using Variables = std::vector<Expression>;
  struct NameEntry {
    Expression variable;
    std::size_t uses = 0;  // parts of the problem that hold it
  };

  Status check(const Variables& added, const Variables* replaced) const;
  void account(const Variables& added, const Variables* replaced);

  std::string name_;
  ProblemSense sense_;
  Expression objective_;
  std::map<std::string, Constraint> constraints_;
  std::map<std::string, CustomPenaltyTerm> penalties_;

  Variables objective_vars_;
  std::map<std::string, Variables> constraint_vars_;
  std::map<std::string, Variables> penalty_vars_;
  std::map<std::string, NameEntry> names_;  // variable name -> the variable of that name
};

}  // namespace tarvex
