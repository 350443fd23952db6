// Base64 text of binary packets and keys, as it appears inside the armor blocks: lines of
// G four-character groups joined by CR LF, and a lenient decoder that stops at the first
// character outside the alphabet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/bytes.h"

namespace lq {

// Every armor block uses 15 groups per line, i.e. 60-character lines.
constexpr int32_t kBase64GroupsPerLine = 15;

// The exact length of the encoding of `length` bytes with `groups_per_line` groups per line:
// 4 * floor((L + 2) / 3) + 2 * floor(L / (3 * G)). A G below 1 means one unbroken line.
uint64_t Base64EncodedLength(uint64_t length, int32_t groups_per_line);

// Sets `output` to the Base64 text of `input`: a CR LF after every `groups_per_line` complete
// three-byte groups (so an input whose length is a multiple of 3 * G ends in CR LF), a final
// partial group padded with "=" or "==". Empty input gives empty text. A G below 1 writes no
// line breaks. `output` must not alias `input`.
void Base64_Encode(std::string_view input, int32_t groups_per_line, Bytes& output);

// Sets `output` to the bytes of the Base64 `text` and returns the number of characters the
// decoder consumed. CR and LF are skipped; any other character outside the alphabet (a zero
// byte included) ends decoding, as does a group with a pad: "xx==" gives one byte, "xxx=" two,
// and whatever follows is ignored. A group that starts with a pad ("=...", "x=..") is malformed
// and ends decoding without a byte. An incomplete last group is dropped. Never fails; the
// bytes decoded up to the stop are the result.
size_t Base64_Decode(std::string_view text, Bytes& output);
// The same decoding over the text's own bytes: the result is written from `text` on (four
// characters give at most three bytes, so no character is overwritten before it is read), its
// length returned in `produced`. Returns the number of characters consumed.
size_t Base64_DecodeInPlace(char* text, size_t length, size_t& produced);

}  // namespace lq
