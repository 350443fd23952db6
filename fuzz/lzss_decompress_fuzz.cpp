// Fuzz target: LZSS_Decompress on arbitrary streams must stay in bounds and either refuse or
// produce exactly the stated length; whatever LZSS_Compress accepts must decode back exactly.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "crypto/lzss.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string out;
  const int status = lq::LZSS_Decompress(input, out);
  if (status == lq::kLzssOk) {
    const uint32_t stated = data[0] | data[1] << 8 | data[2] << 16 | uint32_t{data[3]} << 24;
    if (out.size() != stated) abort();
  } else if (!out.empty()) {
    abort();
  }
  std::string z, back;
  if (lq::LZSS_Compress(input, z) == lq::kLzssOk) {
    if (z.size() > size + 4) abort();
    if (lq::LZSS_Decompress(z, back) != lq::kLzssOk || back != input) abort();
  }
  return 0;
}
