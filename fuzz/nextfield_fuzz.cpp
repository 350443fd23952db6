// Fuzz target: walking a field list with NextField from position 1 until a marker must stay in
// bounds, move forward on every field and end; rebuilding the fields gives back the walked part.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string list(reinterpret_cast<const char*>(data), size);
  std::string rebuilt;
  long position = 1;
  while (position > 0) {
    const long before = position;
    const std::string field = lq::NextField(list, position);
    if (position > 0 && position <= before) abort();
    if (position != lq::kFieldShortLength && position != lq::kFieldOverlong) {
      lq::AppendField(field, rebuilt);
    }
    if (position < 0 && position != lq::kFieldEnd && position != lq::kFieldShortLength &&
        position != lq::kFieldOverlong) {
      abort();
    }
  }
  if (list.compare(0, rebuilt.size(), rebuilt) != 0) abort();
  // A position left negative reads nothing more.
  if (!lq::NextField(list, position).empty()) abort();
  return 0;
}
