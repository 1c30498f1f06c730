// A float64 array of any number of levels whose rows may differ in length: the flat values
// in row-major order and, per level, the offsets of each row's children.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lib/result.hpp"

namespace tarvex {

// Level l (0 <= l < ndim) holds rows; level 0 holds the one row that is the whole array.
// The children of row r of level l are the rows offsets[l][r] .. offsets[l][r + 1] - 1 of
// level l + 1, or, at the last level, those entries of `values`. A scalar has no levels
// and one value.
struct JaggedArray {
  std::vector<std::vector<std::uint64_t>> offsets;
  std::vector<double> values;

  std::size_t ndim() const { return offsets.size(); }
  // The number of children of row r of level l.
  std::uint64_t length(std::size_t level, std::uint64_t row) const {
    return offsets[level][row + 1] - offsets[level][row];
  }
  // The position (a row of level + 1, or an entry of `values` at the last level) of child k
  // of row r, which the caller has checked exists.
  std::uint64_t child(std::size_t level, std::uint64_t row, std::uint64_t k) const {
    return offsets[level][row] + k;
  }

  static JaggedArray scalar(double v);
  // A rectangular array of the given shape over row-major values (their number checked by
  // the caller).
  static JaggedArray rectangular(const std::vector<std::uint64_t>& shape, std::vector<double> values);
};

// Appends rows and values level by level, as a walk over nested sequences in breadth-first
// order meets them: open_row(l) starts the next row of level l, close_row(l) ends it; the
// caller adds each row's children to the level below while the row is open.
class JaggedBuilder {
 public:
  explicit JaggedBuilder(std::size_t ndim);
  // Records that the next row of `level` has `n` children.
  void add_row(std::size_t level, std::uint64_t n);
  void add_value(double v) { out_.values.push_back(v); }
  JaggedArray finish() && { return std::move(out_); }

 private:
  JaggedArray out_;
};

// The shape of a rectangular array (rows of one level all of one length), or nothing
// when some level is jagged.
bool rectangular_shape(const JaggedArray& a, std::size_t level, std::uint64_t row, std::vector<std::uint64_t>& shape);

}  // namespace tarvex
