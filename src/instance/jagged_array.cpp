// Jagged float64 arrays: construction and the rectangular test.
#include "instance/jagged_array.hpp"

namespace tarvex {

JaggedArray JaggedArray::scalar(double v) {
  JaggedArray a;
  a.values.push_back(v);
  return a;
}

JaggedArray JaggedArray::rectangular(const std::vector<std::uint64_t>& shape, std::vector<double> values) {
  JaggedBuilder b(shape.size());
  std::uint64_t rows = 1;
  for (std::size_t l = 0; l < shape.size(); ++l) {
    for (std::uint64_t r = 0; r < rows; ++r) b.add_row(l, shape[l]);
    rows *= shape[l];
  }
  JaggedArray a = std::move(b).finish();
  a.values = std::move(values);
  return a;
}

JaggedBuilder::JaggedBuilder(std::size_t ndim) { out_.offsets.assign(ndim, std::vector<std::uint64_t>{0}); }

void JaggedBuilder::add_row(std::size_t level, std::uint64_t n) {
  std::vector<std::uint64_t>& o = out_.offsets[level];
  o.push_back(o.back() + n);
}

bool rectangular_shape(const JaggedArray& a, std::size_t level, std::uint64_t row, std::vector<std::uint64_t>& shape) {
  shape.clear();
  std::uint64_t first = row, last = row + 1;  // the rows [first, last) of the current level
  for (std::size_t l = level; l < a.ndim(); ++l) {
    const std::uint64_t n = first < last ? a.length(l, first) : 0;
    for (std::uint64_t r = first; r < last; ++r)
      if (a.length(l, r) != n) return false;
    shape.push_back(n);
    const std::uint64_t next_first = a.offsets[l][first];
    last = a.offsets[l][last];
    first = next_first;
  }
  return true;
}

}  // namespace tarvex
