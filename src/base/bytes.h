// Byte strings and the small text conventions every layer shares: the system's number text,
// the lenient number parse, little-endian words, constant-time comparison and wiping secrets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lq {

// Any byte string (texts, records, keys, digests, packets); it may hold zero bytes.
using Bytes = std::string;

// The runtime's number-to-text form: a leading blank when the number is not negative
// (NumText(8000) == " 8000", NumText(0) == " 0", NumText(-5) == "-5"). Stored in records and
// files, so it must be reproduced exactly.
std::string NumText(long long n);

// Lenient decimal parse as the INI and record readers need it: leading blanks and tabs are
// skipped, an optional sign, then digits up to the first non-digit. No digits gives 0.
// Values beyond the 64-bit range saturate. `ok` (optional) tells whether any digit was read.
long long ParseNumber(std::string_view text, bool* ok = nullptr);

// Little-endian 32-bit words, the field lengths of records and the words of big integers.
void AppendLe32(std::string& out, uint32_t value);
uint32_t LoadLe32(const void* p);
void StoreLe32(void* p, uint32_t value);

// Compares two byte strings in time that depends only on their lengths, for digests and
// keyed digests, so that a forger cannot learn how many leading bytes matched.
bool ConstantTimeEqual(std::string_view a, std::string_view b);

// Overwrites memory with zero bytes in a way the compiler may not remove.
void WipeMemory(void* p, size_t n);

// Overwrites a secret (passphrase, derived key, session key, plaintext stage) with zero bytes
// and empties it. Call it as soon as the secret is consumed.
void Wipe(std::string& secret);

// Upper-case hexadecimal text of the bytes, two digits per byte, no separators.
std::string HexText(std::string_view bytes);

}  // namespace lq
