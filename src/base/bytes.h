// Byte strings and the small text conventions every layer shares: the system's number text,
// the lenient number parse, little-endian words, constant-time comparison and wiping secrets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

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

// One code point of a UTF-8 text at `pos` (advanced past it). A byte that does not start a
// well-formed sequence stands for itself, as in the ANSI code page.
uint32_t NextUtf8CodePoint(std::string_view s, size_t& pos);

// Appends one byte to a secret that is read a byte at a time (a passphrase line): when the
// string must grow, the old buffer is wiped before it is given back.
void AppendSecret(std::string& secret, char c);

// A secret byte string that wipes itself when it goes (passphrases, derived keys, session keys,
// plaintext stages), so no early return or `continue` can leave one behind. Moving hands the
// bytes on and wipes what the move leaves in the source; there are no implicit copies.
class SecretBytes {
 public:
  SecretBytes() = default;
  explicit SecretBytes(std::string&& value) : value_(std::move(value)) { Wipe(value); }
  ~SecretBytes() { Wipe(value_); }
  SecretBytes(SecretBytes&& other) noexcept : value_(std::move(other.value_)) {
    Wipe(other.value_);
  }
  SecretBytes& operator=(SecretBytes&& other) noexcept {
    if (this != &other) {
      Wipe(value_);
      value_ = std::move(other.value_);
      Wipe(other.value_);
    }
    return *this;
  }
  SecretBytes(const SecretBytes&) = delete;
  SecretBytes& operator=(const SecretBytes&) = delete;

  // Wipes the old bytes and takes `value` (wiping what the move leaves behind).
  void Reset(std::string&& value) {
    Wipe(value_);
    value_ = std::move(value);
    Wipe(value);
  }
  void Clear() { Wipe(value_); }
  std::string_view view() const { return value_; }
  // The bytes themselves, for routines that take a string; a copy made from it is the caller's.
  std::string& str() { return value_; }
  const std::string& str() const { return value_; }
  size_t size() const { return value_.size(); }
  bool empty() const { return value_.empty(); }

 private:
  std::string value_;
};

// Upper-case hexadecimal text of the bytes, two digits per byte, no separators.
std::string HexText(std::string_view bytes);

}  // namespace lq
