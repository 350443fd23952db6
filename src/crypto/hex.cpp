// Hexadecimal text conversions.
#include "crypto/hex.h"

namespace lq {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string Bytes_ToHex(std::string_view bytes) { return HexText(bytes); }

Bytes Hex_ToBytes(std::string_view text) {
  Bytes out(text.size() / 2, '\0');
  for (size_t i = 0; i < out.size(); ++i) {
    const int hi = HexDigit(text[2 * i]);
    int value = 0;
    if (hi >= 0) {
      const int lo = HexDigit(text[2 * i + 1]);
      value = lo >= 0 ? hi * 16 + lo : hi;
    }
    out[i] = static_cast<char>(value);
  }
  return out;
}

}  // namespace lq
