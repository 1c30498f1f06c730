// What the harnesses that build trees share: the input read as a stream of bytes, and the
// check that stops on an internal error (any other error value is a fine outcome).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "lib/result.hpp"

namespace tarvex::fuzz {

class Input {
 public:
  Input(const std::uint8_t* d, std::size_t n) : d_(d), n_(n) {}
  bool done() const { return i_ >= n_; }
  // Zero once the input is used up.
  std::uint8_t byte() { return i_ < n_ ? d_[i_++] : 0; }
  std::int64_t small() { return std::int64_t(std::int8_t(byte())); }
  // Any double, NaNs and infinities included: eight bytes as its bits.
  double real() {
    std::uint64_t bits = 0;
    for (int k = 0; k < 8; ++k) bits = bits << 8 | byte();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }
  // A data value from one byte: NaN, infinity or a small integer in (-6, 6).
  double value() {
    const std::uint8_t b = byte();
    if (b == 255) return std::numeric_limits<double>::quiet_NaN();
    if (b == 254) return std::numeric_limits<double>::infinity();
    return double(std::int8_t(b) % 6);
  }

 private:
  const std::uint8_t* d_;
  std::size_t n_;
  std::size_t i_ = 0;
};

// An internal error is a fault of ours: stop with a report.
template <class T>
void check(const Result<T>& r) {
  if (!r.ok() && r.error().kind == ErrorKind::Internal) {
    std::fprintf(stderr, "internal error: %s\n", r.error().message.c_str());
    std::abort();
  }
}

}  // namespace tarvex::fuzz
