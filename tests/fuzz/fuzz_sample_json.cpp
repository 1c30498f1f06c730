// Arbitrary text for the JSON readers of the sample-set value classes. The first byte picks
// the class; whatever a reader accepts must write and read back to the same text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sample_set/evaluation.hpp"
#include "sample_set/measuring_time.hpp"
#include "sample_set/record.hpp"

namespace {

template <class Read, class Write>
void round_trip(std::string_view text, Read read, Write write) {
  auto value = read(text);
  if (!value) {
    if (value.error().kind != tarvex::ErrorKind::Value || value.error().message.find(" at line ") == std::string::npos)
      std::abort();
    return;
  }
  const std::string once = write(*value);
  auto again = read(once);
  if (!again || write(*again) != once) std::abort();
}

// Conversions and texts of an accepted record, on arrays of a bounded size.
void exercise(const tarvex::Record& r) {
  (void)tarvex::record_text(r);
  if (const auto* sparse = std::get_if<tarvex::SparseSolution>(&r.solution)) {
    for (const auto& [name, list] : *sparse)
      for (const auto& coo : list) {
        auto n = tarvex::element_count(coo.shape);
        if (!n || *n > (1u << 16)) return;
      }
    auto dense = tarvex::to_dense(r);
    if (dense) (void)tarvex::record_text(tarvex::to_sparse(*dense));
  } else {
    (void)tarvex::to_sparse(r);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 5) {
    case 0: {
      round_trip(text, tarvex::record_from_json, tarvex::record_to_json);
      if (auto r = tarvex::record_from_json(text)) exercise(*r);
      break;
    }
    case 1:
      round_trip(text, tarvex::evaluation_from_json, tarvex::evaluation_to_json);
      break;
    case 2:
      round_trip(text, tarvex::solving_time_from_json, tarvex::solving_time_to_json);
      break;
    case 3:
      round_trip(text, tarvex::system_time_from_json, tarvex::system_time_to_json);
      break;
    default:
      round_trip(text, tarvex::measuring_time_from_json, tarvex::measuring_time_to_json);
      break;
  }
  return 0;
}
