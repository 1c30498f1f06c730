// Evaluations of samples: energies, objectives, constraint violations, forall indices and
// values, penalties; the text and JSON forms and the constraint values by forall index.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "lib/result.hpp"

namespace tarvex {

using ValuesByName = std::map<std::string, std::vector<double>>;
using IndexLists = std::vector<std::vector<std::uint64_t>>;

struct Evaluation {
  std::vector<double> energy;
  std::vector<double> objective;
  ValuesByName constraint_violations;
  std::map<std::string, IndexLists> constraint_forall;
  std::vector<ValuesByName> constraint_values;
  ValuesByName penalty;
  bool operator==(const Evaluation&) const = default;
};

// Per sample: per constraint name, its (forall index list, value) pairs, paired position by
// position up to the shorter list. KeyError naming a constraint of constraint_values that
// has no forall entry.
using ExprValues = std::vector<std::vector<std::pair<const std::vector<std::uint64_t>*, double>>>;
Result<ExprValues> constraint_expr_values(const Evaluation& e);

// The length shared by every index list (0 when there are none); TypeError
// "invalid length: <found>, but expected <first>" when they differ.
Result<std::size_t> index_list_width(const IndexLists& lists);

std::string evaluation_text(const Evaluation& e);
std::string evaluation_to_json(const Evaluation& e);
Result<Evaluation> evaluation_from_json(std::string_view text);

}  // namespace tarvex
