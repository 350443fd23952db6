// Fuzz target: LZ78_Decompress on arbitrary streams must stay in bounds, refuse or produce
// exactly the stated length; and any input must survive a compress/decompress round trip.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "crypto/lz78.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string out;
  const int status = lq::LZ78_Decompress(input, out);
  if (status == lq::kLz78Ok && size >= 4) {
    const uint32_t stated = data[0] | data[1] << 8 | data[2] << 16 | uint32_t{data[3]} << 24;
    if (out.size() != stated) abort();
  } else if (status != lq::kLz78Ok && !out.empty()) {
    abort();
  }
  std::string z, back;
  if (lq::LZ78_Compress(input, z) == lq::kLz78Ok &&
      (lq::LZ78_Decompress(z, back) != lq::kLz78Ok || back != input)) {
    abort();
  }
  return 0;
}
