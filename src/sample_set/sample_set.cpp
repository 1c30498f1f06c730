// Sample sets: the feasibility test, the selections and concatenation.
#include "sample_set/sample_set.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <type_traits>

#include "print/number_format.hpp"

namespace tarvex {
namespace {

Error length_error(const std::string& list, std::size_t found, std::size_t samples) {
  return value_error("the per-sample list " + list + " has " + format_uint(found) + " entries, but there are " +
                     format_uint(samples) + " samples");
}

// Every per-sample list of `s` with its label, for the length checks.
template <class F>
void each_sample_list(const SampleSetData& s, F f) {
  std::visit(
      [&](const auto& sol) {
        for (const auto& [name, list] : sol) f("solution['" + name + "']", list.size());
      },
      s.record.solution);
  f(std::string("num_occurrences"), s.record.num_occurrences.size());
  f(std::string("energy"), s.evaluation.energy.size());
  f(std::string("objective"), s.evaluation.objective.size());
  for (const auto& [name, list] : s.evaluation.constraint_violations)
    f("constraint_violations['" + name + "']", list.size());
  f(std::string("constraint_values"), s.evaluation.constraint_values.size());
  for (const auto& [name, list] : s.evaluation.penalty) f("penalty['" + name + "']", list.size());
}

// The total violation of each sample, added in name order.
Result<std::vector<double>> total_violations(const Evaluation& e) {
  const auto& v = e.constraint_violations;
  const auto first = v.begin();
  const std::size_t n = first->second.size();
  for (const auto& [name, list] : v) {
    if (list.size() != n)
      return value_error("the violation list of constraint '" + name + "' has " + format_uint(list.size()) +
                         " entries, but that of '" + first->first + "' has " + format_uint(n));
  }
  std::vector<double> total(first->second);
  for (auto it = std::next(first); it != v.end(); ++it) {
    const double* add = it->second.data();
    for (std::size_t i = 0; i < n; ++i) total[i] += add[i];
  }
  return total;
}

template <class T>
void take(std::vector<T>& out, const std::vector<T>& from, const std::vector<std::size_t>& positions) {
  if constexpr (std::is_trivially_copyable_v<T>) {
    out.resize(positions.size());
    T* o = out.data();
    const T* f = from.data();
    for (std::size_t k = 0; k < positions.size(); ++k) o[k] = f[positions[k]];
  } else {
    out.reserve(positions.size());
    for (std::size_t p : positions) out.push_back(from[p]);
  }
}

template <class T>
void extend(std::vector<T>& to, const std::vector<T>& from) {
  to.insert(to.end(), from.begin(), from.end());
}

std::size_t sample_count(const SampleSetData& s) {
  std::size_t n = 0;
  each_sample_list(s, [&](const std::string&, std::size_t len) { n = std::max(n, len); });
  return n;
}

// Names of one kind (variables, constraints, penalties) present in some sets must be in
// every set that holds samples.
template <class GetNames>
Status check_names(const std::vector<const SampleSetData*>& sets, const char* what, GetNames names) {
  std::set<std::string> all;
  for (const SampleSetData* s : sets) names(*s, [&](const std::string& n) { all.insert(n); });
  for (std::size_t i = 0; i < sets.size(); ++i) {
    if (sample_count(*sets[i]) == 0) continue;
    std::set<std::string> here;
    names(*sets[i], [&](const std::string& n) { here.insert(n); });
    for (const std::string& n : all) {
      if (!here.count(n))
        return value_error(std::string("the ") + what + " '" + n + "' is missing from sample set " + format_uint(i) +
                           " of the list, which holds samples");
    }
  }
  return Ok{};
}

}  // namespace

bool violation_passes(double total, double rtol, double atol) {
  const double magnitude = std::fabs(total);
  return (magnitude <= std::numeric_limits<double>::max()) & (std::fabs(0.0 - total) <= atol + rtol * magnitude);
}

Result<std::vector<std::size_t>> feasibility_positions(const Evaluation& e, double rtol, double atol, bool feasible) {
  if (e.constraint_violations.empty()) return std::vector<std::size_t>{};
  TX_TRY(const std::vector<double> total, total_violations(e));
  // Branch-free: every position is written, the count moves on when it is kept.
  std::vector<std::size_t> out(total.size());
  std::size_t kept = 0;
  for (std::size_t i = 0; i < total.size(); ++i) {
    out[kept] = i;
    kept += violation_passes(total[i], rtol, atol) == feasible;
  }
  out.resize(kept);
  return out;
}

Result<std::vector<std::size_t>> lowest_positions(const Evaluation& e, double rtol, double atol) {
  if (e.constraint_violations.empty()) return value_error("constraint violation is empty");
  TX_TRY(const std::vector<std::size_t> feasible, feasibility_positions(e, rtol, atol, true));
  const std::size_t n = e.constraint_violations.begin()->second.size();
  if (e.objective.size() != n) return length_error("objective", e.objective.size(), n);
  double lowest = std::numeric_limits<double>::infinity();
  for (std::size_t p : feasible) {
    const double o = e.objective[p];
    if (o < lowest || (o == 0.0 && lowest == 0.0 && std::signbit(o))) lowest = o;
  }
  std::vector<std::size_t> out;
  for (std::size_t p : feasible)
    if (e.objective[p] == lowest) out.push_back(p);
  return out;
}

Result<SampleSetData> select_samples(const SampleSetData& s, const std::vector<std::size_t>& positions) {
  const auto& violations = s.evaluation.constraint_violations;
  std::size_t needed = 0;
  for (std::size_t p : positions) needed = std::max(needed, p + 1);
  Status lengths = Ok{};
  each_sample_list(s, [&](const std::string& label, std::size_t len) {
    if (!lengths) return;
    // With constraints, every list has one entry per sample; without, no list is read past.
    if (!violations.empty() && len != violations.begin()->second.size()) {
      lengths = length_error(label, len, violations.begin()->second.size());
    } else if (len < needed) {
      lengths = length_error(label, len, needed);
    }
  });
  TX_CHECK(lengths);
  SampleSetData out;
  std::visit(
      [&](const auto& sol) {
        std::decay_t<decltype(sol)> picked;
        for (const auto& [name, list] : sol) take(picked[name], list, positions);
        out.record.solution = std::move(picked);
      },
      s.record.solution);
  take(out.record.num_occurrences, s.record.num_occurrences, positions);
  const Evaluation& e = s.evaluation;
  take(out.evaluation.energy, e.energy, positions);
  take(out.evaluation.objective, e.objective, positions);
  for (const auto& [name, list] : e.constraint_violations)
    take(out.evaluation.constraint_violations[name], list, positions);
  out.evaluation.constraint_forall = e.constraint_forall;
  take(out.evaluation.constraint_values, e.constraint_values, positions);
  for (const auto& [name, list] : e.penalty) take(out.evaluation.penalty[name], list, positions);
  out.measuring_time = s.measuring_time;
  return out;
}

Result<SampleSetData> concatenate(const std::vector<const SampleSetData*>& sets) {
  if (sets.empty()) return value_error("empty list is invalid");
  const bool first_dense = sets[0]->record.is_dense();
  for (std::size_t i = 1; i < sets.size(); ++i) {
    const bool dense = sets[i]->record.is_dense();
    if (first_dense && dense) return value_error("Failed to extend the dense solution with the dense solution.");
    if (first_dense) return value_error("Failed to extend the dense solution with the sparse solution.");
    if (dense) return value_error("Failed to extend the sparse solution with the dense solution.");
  }
  TX_CHECK(check_names(sets, "variable", [](const SampleSetData& s, auto add) {
    std::visit(
        [&](const auto& sol) {
          for (const auto& entry : sol) add(entry.first);
        },
        s.record.solution);
  }));
  TX_CHECK(check_names(sets, "constraint", [](const SampleSetData& s, auto add) {
    for (const auto& entry : s.evaluation.constraint_violations) add(entry.first);
  }));
  TX_CHECK(check_names(sets, "penalty", [](const SampleSetData& s, auto add) {
    for (const auto& entry : s.evaluation.penalty) add(entry.first);
  }));
  SampleSetData out = *sets[0];
  if (sets.size() == 1) return out;
  auto& solution = std::get<SparseSolution>(out.record.solution);
  for (std::size_t i = 1; i < sets.size(); ++i) {
    const SampleSetData& s = *sets[i];
    for (const auto& [name, list] : std::get<SparseSolution>(s.record.solution)) extend(solution[name], list);
    extend(out.record.num_occurrences, s.record.num_occurrences);
    Evaluation& e = out.evaluation;
    extend(e.energy, s.evaluation.energy);
    extend(e.objective, s.evaluation.objective);
    for (const auto& [name, list] : s.evaluation.constraint_violations) extend(e.constraint_violations[name], list);
    extend(e.constraint_values, s.evaluation.constraint_values);
    for (const auto& [name, list] : s.evaluation.penalty) extend(e.penalty[name], list);
  }
  return out;
}

}  // namespace tarvex
