// What the harnesses that build trees share: the input read as a stream of bytes, the check
// that stops on an internal error (any other error value is a fine outcome), and the pool of
// trees that a program of bytes draws operands from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include <utility>
#include <vector>

#include "lib/result.hpp"
#include "model/expression/expression.hpp"
#include "model/forall.hpp"

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

// Expressions and conditions for a program to pick operands from (by the next byte) and add
// its results to, up to `cap` expressions; lists of operands have 1 to `most` items.
struct Pool {
  Pool(Input i, std::size_t cap, int most) : in(i), cap_(cap), most_(most) {}

  Input in;
  std::vector<Expression> exprs;
  std::vector<Condition> conds;

  const Expression& e() { return exprs[in.byte() % exprs.size()]; }
  const Condition& c() { return conds[in.byte() % conds.size()]; }
  void keep(Result<Expression> r) {
    check(r);
    if (r.ok() && exprs.size() < cap_) exprs.push_back(std::move(r).value());
  }
  std::vector<Expression> some() {
    std::vector<Expression> v;
    for (int k = in.byte() % most_; k >= 0; --k) v.push_back(e());
    return v;
  }
  // Up to two items over the elements of the pool, each with or without a condition.
  ForallList forall() {
    std::vector<ForallItem> items;
    for (int k = in.byte() % 3; k > 0; --k) {
      const Expression& x = e();
      if (x.kind() == ExprKind::Element) items.push_back({x, in.byte() % 2 ? c() : Condition()});
    }
    auto f = make_forall_list(std::move(items));
    check(f);
    return f.ok() ? std::move(f).value() : ForallList{};
  }

 private:
  std::size_t cap_;
  int most_;
};

}  // namespace tarvex::fuzz
