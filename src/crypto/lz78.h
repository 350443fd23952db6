// LZ78, the compression of packet contents. Its byte format is part of the packet format, so
// a stream made here must decompress byte for byte in any other implementation and back:
//   uncompressed length (4 bytes LE, once), then segments of
//   M (2 bytes) | M codes (2 bytes each, 0xFFFF = empty phrase) | N (2 bytes) | N phrase bytes
//   | 0x20 filler when N is odd,
// where phrase j of a segment is phrase codes[j] followed by phrase byte j, and a code beyond
// the N phrases (M = N + 1) is the pending match at the end of the segment.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/bytes.h"

namespace lq {

constexpr int kLz78Ok = 0;
constexpr int kLz78EmptyInput = -1;  // LZ78_Compress: nothing to compress, output empty
constexpr int kLz78Damaged = -1;     // LZ78_Decompress: the stream is malformed, output empty
constexpr int kLz78TooLarge = -2;    // the data does not fit the format or memory, output empty
constexpr int kLz78OverLimit = -3;   // LZ78_Decompress: the stated length is above the limit
constexpr int kLz78NoGain = -4;      // LZ78_Compress: the stream would be longer than allowed

// Sets `output` to the compressed stream of `input`. Returns kLz78EmptyInput (output empty)
// for an empty input, kLz78TooLarge for an input of 4 GiB or more, else kLz78Ok. Random data
// grows (about 1.85 times); the caller decides whether compression pays.
int LZ78_Compress(std::string_view input, Bytes& output);

// As above, but gives up with kLz78NoGain (output empty) when the stream would be longer than
// `max_output` bytes, as soon as that is certain: on data that does not compress, a limit of
// the input's length costs about half a pass. The stream is the same as without a limit
// whenever it fits; an empty input still gives kLz78EmptyInput.
int LZ78_Compress(std::string_view input, Bytes& output, size_t max_output);

// Sets `output` to the decompressed bytes of `stream` and returns kLz78Ok; an empty stream gives
// an empty output. The whole stream is checked before any output is made: a code naming a phrase
// not yet made, a segment running past the end, a code count other than N or N + 1, or phrases
// adding up to more or less than the stated length make it kLz78Damaged with an empty output.
// Memory use is bounded by the stated length, and only a stream that really expands to it gets
// that much. Reporting the failure to the user is the caller's. `output` may alias `stream`.
// A stated length above `limit` is refused at once with kLz78OverLimit, before the stream is
// read; running out of memory gives kLz78TooLarge.
int LZ78_Decompress(std::string_view stream, Bytes& output, uint64_t limit = UINT32_MAX);

// The uncompressed length a stream states (0 for one too short to state it).
uint64_t LZ78_StatedLength(std::string_view stream);

}  // namespace lq
