// Fuzz target: Base64_Decode on arbitrary text stays in bounds and yields at most three bytes
// per four characters; Base64_Encode of any bytes decodes back to them, lines and all.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "crypto/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string out;
  const size_t consumed = lq::Base64_Decode(input, out);
  if (consumed > size || out.size() > size / 4 * 3) abort();
  std::string text, back;
  const int32_t groups = size ? 1 + data[0] % 20 : lq::kBase64GroupsPerLine;
  lq::Base64_Encode(input, groups, text);
  if (text.size() != lq::Base64EncodedLength(size, groups)) abort();
  if (lq::Base64_Decode(text, back) != text.size() || back != input) abort();
  return 0;
}
