// An instance: a problem with the data of its placeholders. Checked when made (data of the
// right number of dimensions, shapes, bounds); evaluates solutions into evaluations and
// compiles into the arrays a solver takes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "instance/jagged_array.hpp"
#include "instance/polynomial.hpp"
#include "instance/program.hpp"
#include "instance/scope.hpp"
#include "sample_set/evaluation.hpp"
#include "sample_set/record.hpp"

namespace tarvex {

// The solver's view: columns, bounds, kinds, the objective and penalties as polynomials,
// constraint rows in compressed sparse row form with bounds on a.x.
struct CompiledModel {
  std::vector<double> col_lower, col_upper;
  std::vector<std::uint8_t> col_kind;  // 0 binary, 1 integer, 2 continuous, 3 semi-continuous, 4 semi-integer
  Polynomial objective;
  std::vector<std::pair<std::string, Polynomial>> penalties;
  std::vector<std::int64_t> row_start{0}, row_column, row_constraint;
  std::vector<double> row_value, row_lower, row_upper;
};

class GroundedModel;

class Instance {
 public:
  // Takes the flattened problem and the data by placeholder name (names the problem does not
  // use are ignored). ValueError naming the placeholder or variable when data is missing or
  // of another number of dimensions, a shape is not a non-negative integer, or a bound is
  // not a number or lies above the other.
  static Result<std::unique_ptr<Instance>> create(Problem problem, Program program,
                                                  std::map<std::string, JaggedArray> data);
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  const Problem& problem() const { return problem_; }
  const Program& program() const { return prog_; }
  const std::vector<VarLayout>& layout() const { return env_.vars; }
  std::uint64_t num_variables() const { return columns_; }

  // The evaluation of every sample of the record. ValueError for a variable missing from it
  // or of another shape; IndexError and ValueError of the data as the walk meets them.
  Result<Evaluation> evaluate(const Record& solution) const;

  // ValueError naming the objective, constraint or penalty term that is not a polynomial of
  // degree <= 2, or a constraint of degree 2.
  Result<CompiledModel> compile() const;

 private:
  Instance(Problem problem, Program program);
  Status bind_data(std::map<std::string, JaggedArray> data);
  Status layout_variables();
  Status check_bounds();
  Result<const GroundedModel*> grounded() const;

  Problem problem_;
  Program prog_;
  std::vector<JaggedArray> data_;
  Env env_;
  std::uint64_t columns_ = 0;
  std::vector<double> lower_, upper_;  // per column
  mutable std::unique_ptr<GroundedModel> grounded_;
};

// The column kind code of a variable kind.
std::uint8_t column_kind(VarKind k);

}  // namespace tarvex
