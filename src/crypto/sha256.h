// The system's digest: SHA-256 with two format differences that every stored file depends on.
// The padding of a message whose length L has L mod 64 == 55 takes one extra block (73 bytes of
// padding), and the digest is the eight state words each written least significant byte first.
// Also the keyed digest (key neither padded nor hashed) and the iterated passphrase digest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/trace.h"

namespace lq {

constexpr size_t kSha256Size = 32;

// Streaming form of SHA256_Hash, for data that arrives in pieces (files, HMAC of long data).
// The result equals SHA256_Hash over the concatenation of all updates.
class Sha256 {
 public:
  Sha256();
  ~Sha256();  // wipes the buffered input and state
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  void Update(const void* data, size_t length);
  void Update(std::string_view data) { Update(data.data(), data.size()); }
  // Writes the 32-byte digest; the object must not be updated afterwards.
  void Final(unsigned char out[kSha256Size]);
  std::string Final();

 private:
  uint32_t state_[8];
  unsigned char buffer_[64];
  size_t buffered_ = 0;
  uint64_t total_ = 0;
};

// Writes the 32-byte digest of `length` bytes at `data` into `out`.
void SHA256_Hash(const void* data, size_t length, unsigned char out[kSha256Size]);
std::string SHA256_Hash(std::string_view data);

// The word text form: eight groups of eight upper-case hex digits separated by one blank,
// each group one state word ("BA7816BF 8F01CFEA ..."). Only whole words of a shorter input
// are shown, and bytes past the 32nd are ignored.
std::string DigestWordText(std::string_view digest);

// SHA256_Hash((K xor 0x5C..) || SHA256_Hash((K xor 0x36..) || M)) with K at its own length.
std::string HMAC_SHA256(std::string_view key, std::string_view message);

// h = SHA256_Hash(first || second), then n times h = SHA256_Hash(h). n <= 0 gives one digest.
std::string SHA256_Iterated(std::string_view first, std::string_view second, int32_t n);

// Known-answer check of four FIPS 180-2 messages; reports only to the trace.
void SHA256_SelfTest(TraceSink& trace);

}  // namespace lq
