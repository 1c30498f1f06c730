// Fuzz harness of the protobuf decoder: arbitrary bytes go to the core deserializer, which
// must return a model or an error value, never crash, hang or leak. A decoded model is
// written again, so the serializer runs on every shape the decoder accepts.
#include <cstddef>
#include <cstdint>
#include <variant>

#include "protobuf/deserialize.hpp"
#include "protobuf/serialize.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto decoded = tarvex::deserialize(data, size);
  if (!decoded) return 0;
  std::visit([](const auto& obj) { (void)tarvex::serialize(obj); }, decoded.value());
  return 0;
}
