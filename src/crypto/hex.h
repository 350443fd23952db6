// Hexadecimal text of digests and fingerprints: two upper-case digits per byte, and the reverse.
#pragma once

#include <string_view>

#include "base/bytes.h"

namespace lq {

// Two upper-case hex digits per byte, no separators ("00ABFF").
std::string Bytes_ToHex(std::string_view bytes);

// Each pair of characters becomes one byte, read as a hexadecimal number in either case.
// Reading a pair stops at its first non-hex character, so "4G" gives 04 and "G4" gives 00;
// a lone last character of an odd-length text is not a pair and is ignored.
Bytes Hex_ToBytes(std::string_view text);

}  // namespace lq
