// Arbitrary shapes, index lists and values for the sparse -> dense conversion, and back:
// a conversion either fails with an error value or round-trips exactly.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "sample_set/record.hpp"

namespace {

struct Bytes {
  const std::uint8_t* p;
  std::size_t n;
  std::uint8_t next() {
    if (!n) return 0;
    --n;
    return *p++;
  }
  std::uint64_t extent() {
    const std::uint8_t b = next();
    // Mostly small extents, sometimes huge ones that must be refused before allocating.
    return b < 250 ? b % 7 : std::uint64_t{1} << (b - 220);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Bytes in{data, size};
  tarvex::CooFormat coo;
  const std::size_t ndim = in.next() % 6;
  for (std::size_t i = 0; i < ndim; ++i) coo.shape.push_back(in.extent());
  const std::size_t naxes = in.next() % 6;
  const std::size_t nvalues = in.next() % 16;
  for (std::size_t a = 0; a < naxes; ++a) {
    auto& axis = coo.non_zero_indices.emplace_back();
    const std::size_t len = in.next() % 18;
    for (std::size_t k = 0; k < len; ++k) axis.push_back(in.next() % 9);
  }
  for (std::size_t k = 0; k < nvalues; ++k) {
    double v = 0;
    std::uint8_t raw[8] = {in.next(), 0, 0, 0, 0, 0, 0, in.next()};
    std::memcpy(&v, raw, sizeof v);
    coo.non_zero_values.push_back(v);
  }
  auto dense = tarvex::coo_to_dense(coo);
  if (!dense) {
    const auto kind = dense.error().kind;
    if (kind != tarvex::ErrorKind::Index && kind != tarvex::ErrorKind::Value) std::abort();
    return 0;
  }
  (void)tarvex::dense_text(*dense);
  auto again = tarvex::coo_to_dense(tarvex::dense_to_coo(*dense));
  // (An empty array may have no storage at all: memcmp must not see its null pointer.)
  if (!again || again->shape != dense->shape ||
      (!dense->data.empty() &&
       std::memcmp(again->data.data(), dense->data.data(), dense->data.size() * sizeof(double)) != 0)) {
    // Only -0.0 may turn into 0.0 (it compares equal to zero and is not stored).
    for (std::size_t i = 0; again && i < dense->data.size(); ++i)
      if (!(dense->data[i] == 0.0 && again->data[i] == 0.0) &&
          std::memcmp(&again->data[i], &dense->data[i], sizeof(double)) != 0)
        std::abort();
    if (!again) std::abort();
  }
  return 0;
}
