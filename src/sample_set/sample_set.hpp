// Sample sets without their metadata: record, evaluation and measured times; the feasibility
// test, the selections feasible/infeasible/lowest, concatenation.
#pragma once

#include <cstddef>
#include <vector>

#include "sample_set/evaluation.hpp"
#include "sample_set/measuring_time.hpp"
#include "sample_set/record.hpp"

namespace tarvex {

struct SampleSetData {
  Record record;
  Evaluation evaluation;
  MeasuringTime measuring_time;
  bool operator==(const SampleSetData&) const = default;
};

// Whether a total violation passes: finite and |0 - t| <= atol + rtol * |t|.
bool violation_passes(double total, double rtol, double atol);

// The ascending positions whose total violation (the violations of every constraint, added
// in name order) passes (`feasible`) or fails the test. ValueError when the violation lists
// differ in length. With no constraints every position passes and there are no positions.
Result<std::vector<std::size_t>> feasibility_positions(const Evaluation& e, double rtol, double atol, bool feasible);

// The feasible positions whose objective equals the lowest feasible objective (NaN passed
// over, -0.0 below 0.0). ValueError "constraint violation is empty" without constraints.
Result<std::vector<std::size_t>> lowest_positions(const Evaluation& e, double rtol, double atol);

// The samples at `positions`, in that order; constraint_forall and the measured times whole.
// ValueError naming a per-sample list whose length differs from the number of samples.
Result<SampleSetData> select_samples(const SampleSetData& s, const std::vector<std::size_t>& positions);

// The first set with the samples of the others appended. ValueError for dense records and
// for a name present in some sets but missing from another set that holds samples.
Result<SampleSetData> concatenate(const std::vector<const SampleSetData*>& sets);

}  // namespace tarvex
