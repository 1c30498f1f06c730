// Error values of the core. Nothing in the core throws: a fallible operation returns
// Result<T>, the binding layer turns the error kind into a Python exception.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace tarvex {

// Each kind, with the Python exception it becomes at the boundary.
enum class ErrorKind {
  Modeling,         // ModelingError: a broken modeling rule
  Type,             // TypeError: a value that cannot be converted or has the wrong type
  Value,            // ValueError: a value of the right type that is not acceptable
  Index,            // IndexError
  Key,              // KeyError: a name missing from a name-keyed map
  Overflow,         // OverflowError
  ZeroDivision,     // ZeroDivisionError: division, modulo or power by a zero literal
  Recursion,        // RecursionError: a tree too high for a recursive walk
  Memory,           // MemoryError: an output that would pass a fixed size
  Interrupted,      // whatever the interrupt hook left pending (KeyboardInterrupt)
  Serialization,    // ProtobufSerializationError
  Deserialization,  // ProtobufDeserializationError
  Internal,         // RuntimeError "internal error: ...": a fault of ours
};

struct Error {
  ErrorKind kind;
  std::string message;
};

inline Error modeling_error(std::string m) { return {ErrorKind::Modeling, std::move(m)}; }
inline Error type_error(std::string m) { return {ErrorKind::Type, std::move(m)}; }
inline Error value_error(std::string m) { return {ErrorKind::Value, std::move(m)}; }
inline Error internal_error(std::string m) { return {ErrorKind::Internal, std::move(m)}; }

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : v_(std::move(value)) {}
  Result(Error error) : v_(std::move(error)) {}

  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(v_); }
  const T& value() const& { return std::get<0>(v_); }
  T&& value() && { return std::get<0>(std::move(v_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  const Error& error() const& { return std::get<1>(v_); }
  Error&& error() && { return std::get<1>(std::move(v_)); }

 private:
  std::variant<T, Error> v_;
};

// Result of an operation without a value.
struct Ok {};
using Status = Result<Ok>;

}  // namespace tarvex

// Propagates the error of a Result-valued expression, or binds its value.
#define TX_TRY_CAT2(a, b) a##b
#define TX_TRY_CAT(a, b) TX_TRY_CAT2(a, b)
#define TX_TRY(var, expr)                                        \
  auto TX_TRY_CAT(tx_try_, __LINE__) = (expr);                   \
  if (!TX_TRY_CAT(tx_try_, __LINE__)) return std::move(TX_TRY_CAT(tx_try_, __LINE__)).error(); \
  var = std::move(TX_TRY_CAT(tx_try_, __LINE__)).value()
#define TX_CHECK(expr)                                           \
  do {                                                           \
    auto tx_check_ = (expr);                                     \
    if (!tx_check_) return std::move(tx_check_).error();         \
  } while (0)
