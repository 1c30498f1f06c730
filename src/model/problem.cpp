#include "model/problem.hpp"

#include <set>

#include "analysis/extract.hpp"
#include "replace/equality.hpp"

namespace tarvex {
namespace {

// The named variables among a part's variables (array lengths have no name of their own).
bool named(const Expression& v) { return !variable_name(v).empty() || v.kind() != ExprKind::ArrayLength; }

const Expression* find_named(const std::vector<Expression>* vars, const std::string& name) {
  if (!vars) return nullptr;
  for (const Expression& v : *vars)
    if (named(v) && variable_name(v) == name) return &v;
  return nullptr;
}

}  // namespace

Problem::Problem(std::string name, ProblemSense sense)
    : name_(std::move(name)), sense_(sense), objective_(make_int(0)) {}

// Would adding the variables `added` in place of `replaced` (a part being replaced, or
// null) make two different variables share a name?
Status Problem::check(const Variables& added, const Variables* replaced) const {
  std::set<std::string> duplicated;
  std::map<std::string, const Expression*> seen;  // within the added part
  for (const Expression& v : added) {
    if (!named(v)) continue;
    const std::string& name = variable_name(v);
    auto [it, inserted] = seen.emplace(name, &v);
    if (!inserted && !equal(*it->second, v, Decorations::Ignore)) duplicated.insert(name);
    auto entry = names_.find(name);
    if (entry == names_.end()) continue;
    const std::size_t others = entry->second.uses - (find_named(replaced, name) ? 1 : 0);
    if (others > 0 && !equal(entry->second.variable, v, Decorations::Ignore)) duplicated.insert(name);
  }
  if (duplicated.empty()) return Ok{};
  std::string list;
  for (const std::string& n : duplicated) {
    if (!list.empty()) list += ", ";
    list += n;
  }
  return modeling_error("Duplicated name -- different variables share the same name(s): " + list);
}

void Problem::account(const Variables& added, const Variables* replaced) {
  if (replaced) {
    std::set<std::string> done;
    for (const Expression& v : *replaced) {
      if (!named(v) || !done.insert(variable_name(v)).second) continue;
      auto it = names_.find(variable_name(v));
      if (it != names_.end() && --it->second.uses == 0) names_.erase(it);
    }
  }
  std::set<std::string> done;
  for (const Expression& v : added) {
    if (!named(v) || !done.insert(variable_name(v)).second) continue;
    auto [it, inserted] = names_.try_emplace(variable_name(v), NameEntry{v, 0});
    ++it->second.uses;
  }
}

Status Problem::set_objective(Expression objective) {
  TX_TRY(Variables vars, extract_variables(objective));
  TX_CHECK(check(vars, &objective_vars_));
  account(vars, &objective_vars_);
  objective_ = std::move(objective);
  objective_vars_ = std::move(vars);
  return Ok{};
}

Status Problem::add_constraint(Constraint c) {
  TX_TRY(Variables vars, extract_variables(c));
  auto old = constraint_vars_.find(c.name);
  const Variables* replaced = old == constraint_vars_.end() ? nullptr : &old->second;
  TX_CHECK(check(vars, replaced));
  account(vars, replaced);
  constraint_vars_[c.name] = std::move(vars);
  std::string key = c.name;
  constraints_.insert_or_assign(std::move(key), std::move(c));
  return Ok{};
}

Status Problem::add_custom_penalty_term(CustomPenaltyTerm p) {
  TX_TRY(Variables vars, extract_variables(p));
  auto old = penalty_vars_.find(p.name);
  const Variables* replaced = old == penalty_vars_.end() ? nullptr : &old->second;
  TX_CHECK(check(vars, replaced));
  account(vars, replaced);
  penalty_vars_[p.name] = std::move(vars);
  std::string key = p.name;
  penalties_.insert_or_assign(std::move(key), std::move(p));
  return Ok{};
}

}  // namespace tarvex
