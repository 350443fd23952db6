// LZSS, the compression of the programs inside a self-extracting packet. The launcher decodes
// with a 4096-byte window (plus 17 slack bytes) that starts as spaces:
//   uncompressed length (4 bytes LE), then groups of one flag byte (bit 0 first; 1 = literal)
//   and up to eight items: a literal byte, or a match v (2 bytes LE) that copies
//   (v >> 12) + 3 bytes from window index v & 0xFFF, read straight on without wrapping, before
//   the copied bytes are themselves appended to the window.
#pragma once

#include <string_view>

#include "base/bytes.h"

namespace lq {

constexpr int kLzssOk = 0;
constexpr int kLzssFailed = -1;

// Sets `output` to the compressed stream of `input` and returns kLzssOk. Fails (kLzssFailed,
// output empty) when the input is shorter than 3 bytes or 4 GiB or more, or when the groups
// would not fit in as many bytes as the input has: before each group at least 17 bytes (a flag
// byte and eight matches) must remain. The stream is the 4-byte length and the groups, so it is
// at most 4 bytes longer than the input. `level` is reserved and must be 0.
int LZSS_Compress(std::string_view input, Bytes& output, int level = 0);

// Sets `output` to the decoded bytes of `stream` and returns kLzssOk. Fails (kLzssFailed,
// output empty) when the stream is shorter than 4 bytes, when its items would write past the
// stated length or leave part of it unwritten, or when the stated length is more than the stream
// could possibly expand to (so a forged length cannot make it allocate). Unused flag bits of the
// last group are ignored. `output` may alias `stream`.
int LZSS_Decompress(std::string_view stream, Bytes& output);

}  // namespace lq
