// The three random sources: the runtime's uniform generator, the mixed byte source built on it
// (RandomByte, RandomBits) and the Blum-Blum-Shub generator for lasting secrets.
// Their state lives in one RandomContext that the program creates once and passes down.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/bytes.h"
#include "base/datetime.h"
#include "base/ui.h"

namespace lq {

// Local time and mouse-cursor position at start-up: the inputs of the runtime generator's
// seed text. The caller reads them from the system, so seeding is testable.
struct SeedMoment {
  LocalTime time;
  int mouse_x = 0, mouse_y = 0;
};

// "MM-DD-YYYY" + "HH:MM:SS" + the seconds since midnight + mouse x + mouse y, the numbers in
// the number-text form (" 45296"), e.g. "03-07-2004 12:34:56 45296 100 200" without blanks
// between the date, the time and the first number.
std::string RuntimeSeedText(const SeedMoment& moment);

// The first four bytes of SHA256_Hash(seed_text) read as a little-endian single-precision
// float: the start-up seed of the runtime generator.
float RuntimeSeedValue(std::string_view seed_text);

// One way of reading random bytes from the operating system; true when all `length` bytes were
// filled.
using EntropySource = bool (*)(void* out, size_t length);

// Fills `out` from the first of the `count` sources that works; false when none did.
bool EntropyFrom(const EntropySource* sources, size_t count, void* out, size_t length);

// Fills `out` from the operating system: getrandom, then /dev/urandom (RtlGenRandom, then
// BCryptGenRandom on Windows). Returns false when every source failed; the caller then has only
// weaker material and must not make keys or packets with it (CheckEntropy).
bool OsEntropy(void* out, size_t length);

// Where RuntimeRandom's numbers come from. The product uses RuntimeGenerator; tests substitute a
// script so that the mixed source's arithmetic can be checked by hand.
class UniformSource {
 public:
  virtual ~UniformSource() = default;
  // A uniformly distributed integer from a to b inclusive; requires a <= b.
  virtual uint32_t Uniform(uint32_t a, uint32_t b) = 0;
};

// The runtime generator: a ChaCha20 keystream (20 rounds, 256-bit key) with fast key erasure,
// keyed from the operating system's entropy at construction. Seed() mixes the start-up seed
// into the key together with fresh entropy, so two generators given the same seed still differ:
// the seed alone (date, time and mouse position) is guessable and must not decide the stream.
// Uniform() uses rejection sampling, so every value in range is equally likely.
class RuntimeGenerator final : public UniformSource {
 public:
  RuntimeGenerator();
  // Keyed from `sources` instead of the OS's (tests of a failing source).
  RuntimeGenerator(const EntropySource* sources, size_t count);
  ~RuntimeGenerator() override;  // wipes key and buffered output
  RuntimeGenerator(const RuntimeGenerator&) = delete;
  RuntimeGenerator& operator=(const RuntimeGenerator&) = delete;

  // Re-keys from SHA256(current key || fresh OS entropy || seed bytes || seed_text).
  void Seed(float seed, std::string_view seed_text);
  // For tests of the keystream itself: replaces the key, with no OS entropy.
  void SetKeyForTest(const unsigned char key[32]);

  uint32_t NextWord();
  uint32_t Uniform(uint32_t a, uint32_t b) override;

  // False when the OS sources failed at construction or at a Seed: the key then came from
  // clocks and addresses only, enough to run but not to make keys or packets with.
  bool Keyed() const { return keyed_; }

 private:
  void Refill();
  bool Entropy(void* out, size_t length);
  const EntropySource* sources_ = nullptr;  // null: the OS's (OsEntropy)
  size_t source_count_ = 0;
  bool keyed_ = true;
  uint32_t key_[8];
  uint32_t buffer_[128];
  size_t available_ = 0;  // unread words at the end of buffer_
  uint64_t counter_ = 0;
};

// The process-wide random state: the runtime generator, the mixed source's register s and carry
// c, and the Blum-Blum-Shub modulus N and value x. Not thread-safe; one per process (one per
// test). The destructor wipes N, x and the generator key.
class RandomContext {
 public:
  // Uses its own RuntimeGenerator, keyed from OS entropy; seed it with SeedRuntimeRandom.
  RandomContext();
  // Draws RuntimeRandom values from `runtime` instead (tests). `runtime` must outlive this.
  explicit RandomContext(UniformSource& runtime);
  ~RandomContext();
  RandomContext(const RandomContext&) = delete;
  RandomContext& operator=(const RandomContext&) = delete;

  UniformSource& Runtime() { return *runtime_; }
  RuntimeGenerator& Generator() { return own_; }

  // Whether the runtime numbers rest on the OS's entropy: the own generator's Keyed(), or for
  // a source given from outside, what `outside_entropy` says (a test may say it failed).
  bool HasEntropy() const { return runtime_ == &own_ ? own_.Keyed() : outside_entropy; }
  bool outside_entropy = true;

  // Mixed byte source: 32-bit register (0 = not started) and carry bit.
  uint32_t mix_s = 0;
  uint32_t mix_c = 0;

  // Blum-Blum-Shub state as BigNum byte strings; empty until InitRandomGenerator or BBS_Setup.
  // The keyfile saves and restores them (its random state record).
  Bytes bbs_n;
  Bytes bbs_x;

  // Where InitRandomGenerator finds the stored random state: returns the whole keyfile record
  // ("015" + format + field list, first field N) or an empty string when the keyfile has none.
  // Unset means no keyfile is open.
  std::function<Bytes()> stored_state;

  // Counts the wait screens shown by InitRandomGenerator (tests and diagnostics).
  int setups_shown = 0;

 private:
  RuntimeGenerator own_;
  UniformSource* runtime_;
};

// Start-up seeding: seed text from `moment`, its digest's first four bytes as the float seed,
// mixed into the context's own generator (no effect on a scripted source).
void SeedRuntimeRandom(RandomContext& ctx, const SeedMoment& moment);

// True when keys and packets may be made (HasEntropy); else shows "Random_NoEntropy" and
// returns false, and the caller makes nothing.
[[nodiscard]] bool CheckEntropy(RandomContext& ctx, Ui& ui);

// A uniform integer from a to b inclusive (a <= b).
uint32_t RuntimeRandom(RandomContext& ctx, uint32_t a, uint32_t b);

// One byte of the mixed source: the 33-bit shift register XOR two 16-bit runtime draws.
// Starts the register from RuntimeRandom(0, 2147483647) while it is zero.
uint8_t RandomByte(RandomContext& ctx);

// A BigNum of ceil(n / 32) words filled with RandomByte values (lowest byte first), bits n and
// above cleared; the top bit is not forced on. n <= 0 gives an empty string.
Bytes RandomBits(RandomContext& ctx, int n);

// Makes a Blum-Blum-Shub modulus N = p q from two primes p, q = 3 (mod 4) of up to bits/2 bits
// each, and a start value x of bits/2 random bits with gcd(x, N) = 1.
void BBS_Setup(RandomContext& ctx, Bytes& n, Bytes& x, int bits = 512, int rounds = 5);

// Prepares ctx.bbs_n and ctx.bbs_x: N from the stored random state (format "001") with a fresh
// x of 4 * (byte length of N) bits, or a new BBS_Setup(512, 5) behind the wait screen when there
// is no stored state. A stored state that cannot serve (unknown format, damaged record, N even,
// below 256 or above 32768 bits) also gets a new set-up behind the wait screen.
void InitRandomGenerator(RandomContext& ctx, Ui& ui);

// `count` rounded up to a multiple of 4 Blum-Blum-Shub bytes from (x, N); x advances. When x or
// N is empty (or N < 4) the context's state is used and advanced instead, after
// InitRandomGenerator if that is empty too; x and n then receive the context's new state. Each
// squaring gives floor(log2(bit length of x)) bits, lowest first; output bit t is bit t mod 8
// of byte t / 8. A value stuck at 0 or 1 is replaced by a fresh one coprime to N.
Bytes BBS_RandomBytes(RandomContext& ctx, Ui& ui, Bytes& x, Bytes& n, size_t count);

// The same on the context's own state (what the application always uses).
Bytes BBS_RandomBytes(RandomContext& ctx, Ui& ui, size_t count);

}  // namespace lq
