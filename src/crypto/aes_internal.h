// The AES engines behind aes.h: a key schedule shared by both, the table engine that runs
// everywhere and the AES-instruction engine for processors that have it. Tests and benchmarks
// reach both engines here; the product goes through aes.h only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lq::aes_internal {

// Encryption round keys and the equivalent-inverse-cipher decryption round keys, as 32-bit
// words with the first key byte in the most significant position. Wiped on destruction.
struct Schedule {
  uint32_t enc[60];
  uint32_t dec[60];
  int rounds = 0;  // 10, 12 or 14
  ~Schedule();
};

// Builds both schedules; false (schedule untouched) for a key that is not 16, 24 or 32 bytes.
bool ExpandKey(std::string_view key, Schedule& schedule);

// One engine. `in` and `out` may be the same buffer (not otherwise overlapping); `iv` is the
// chaining value, which the CBC routines leave at the last ciphertext block.
struct Engine {
  const char* name;
  void (*encrypt_ecb)(const Schedule&, const unsigned char* in, unsigned char* out, size_t blocks);
  void (*decrypt_ecb)(const Schedule&, const unsigned char* in, unsigned char* out, size_t blocks);
  void (*encrypt_cbc)(const Schedule&, unsigned char iv[16], const unsigned char* in,
                      unsigned char* out, size_t blocks);
  void (*decrypt_cbc)(const Schedule&, unsigned char iv[16], const unsigned char* in,
                      unsigned char* out, size_t blocks);
};

const Engine& TableEngine();
// Null when the processor has no AES instructions (or the build targets another processor).
const Engine* InstructionEngine();
// The engine the routines of aes.h use: the instructions when present, else the tables.
const Engine& ActiveEngine();

}  // namespace lq::aes_internal
