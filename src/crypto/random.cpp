// The three random sources: ChaCha20 runtime generator keyed from the OS, the shift-register
// byte source, and Blum-Blum-Shub with its set-up from the keyfile's stored modulus.
#include "crypto/random.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

#include "base/catalogue.h"
#include "base/records.h"
#include "crypto/bignum.h"
#include "crypto/primes.h"
#include "crypto/sha256.h"

#if defined(_WIN32)
// RtlGenRandom, exported by advapi32 under this name; declared here so the core needs no
// <windows.h>.
extern "C" __declspec(dllimport) unsigned char __stdcall SystemFunction036(void* buffer,
                                                                           unsigned long length);
// The second source, from bcrypt.dll: an NTSTATUS (0 is success).
extern "C" __declspec(dllimport) long __stdcall BCryptGenRandom(void* algorithm,
                                                                unsigned char* buffer,
                                                                unsigned long length,
                                                                unsigned long flags);
#else
#include <sys/random.h>

#include <cerrno>
#endif

namespace lq {
namespace {

constexpr char kWaitText[] =
    "Initializing the random number generator.\r\n"
    "This is only necessary when creating a new keyfile.\r\n"
    "Just a moment please...";

// A stored modulus must be odd and of a useful size; anything else (a damaged record) would make
// the generator emit zeros or never finish.
constexpr int kMinStoredModulusBits = 256;
constexpr int kMaxModulusBits = 32768;

uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

void QuarterRound(uint32_t* s, int a, int b, int c, int d) {
  s[a] += s[b];
  s[d] = Rotl(s[d] ^ s[a], 16);
  s[c] += s[d];
  s[b] = Rotl(s[b] ^ s[c], 12);
  s[a] += s[b];
  s[d] = Rotl(s[d] ^ s[a], 8);
  s[c] += s[d];
  s[b] = Rotl(s[b] ^ s[c], 7);
}

// One ChaCha20 block (RFC 8439 layout with a 64-bit block counter and a zero nonce).
void ChaChaBlock(const uint32_t key[8], uint64_t counter, uint32_t out[16]) {
  uint32_t in[16] = {0x61707865, 0x3320646e, 0x79622d32, 0x6b206574};
  for (int i = 0; i < 8; ++i) in[4 + i] = key[i];
  in[12] = static_cast<uint32_t>(counter);
  in[13] = static_cast<uint32_t>(counter >> 32);
  in[14] = 0;
  in[15] = 0;
  uint32_t s[16];
  std::memcpy(s, in, sizeof s);
  for (int i = 0; i < 10; ++i) {
    QuarterRound(s, 0, 4, 8, 12);
    QuarterRound(s, 1, 5, 9, 13);
    QuarterRound(s, 2, 6, 10, 14);
    QuarterRound(s, 3, 7, 11, 15);
    QuarterRound(s, 0, 5, 10, 15);
    QuarterRound(s, 1, 6, 11, 12);
    QuarterRound(s, 2, 7, 8, 13);
    QuarterRound(s, 3, 4, 9, 14);
  }
  for (int i = 0; i < 16; ++i) out[i] = s[i] + in[i];
  WipeMemory(s, sizeof s);
  WipeMemory(in, sizeof in);
}

// Last resort when the OS source fails: clocks, addresses and std::random_device, hashed.
void WeakEntropy(unsigned char out[32]) {
  Sha256 h;
  auto t1 = std::chrono::steady_clock::now().time_since_epoch().count();
  auto t2 = std::chrono::system_clock::now().time_since_epoch().count();
  h.Update(&t1, sizeof t1);
  h.Update(&t2, sizeof t2);
  const void* where = &t1;
  h.Update(&where, sizeof where);
  try {
    std::random_device device;
    for (int i = 0; i < 8; ++i) {
      unsigned v = device();
      h.Update(&v, sizeof v);
    }
  } catch (...) {
    // No device: the clocks must do.
  }
  h.Final(out);
}

bool UsableStoredModulus(const Bytes& n) {
  const int bits = BigBitLength(n);
  return BigIsOdd(n) && bits >= kMinStoredModulusBits && bits <= kMaxModulusBits;
}

// x = RandomBits(bits) until gcd(x, N) = 1; gives up (empty) after many tries, which only a
// modulus with a large share of small factors would cause.
Bytes DrawCoprime(RandomContext& ctx, const Bytes& n, int bits) {
  for (int attempt = 0; attempt < 1000; ++attempt) {
    Bytes x = RandomBits(ctx, bits);
    if (BigCoprime(x, n)) return x;
  }
  return {};
}

void SetupBehindWaitScreen(RandomContext& ctx, Ui& ui) {
  ui.ShowWaitScreen(kWaitText);
  ++ctx.setups_shown;
  BBS_Setup(ctx, ctx.bbs_n, ctx.bbs_x, 512, 5);
  ui.HideWaitScreen();
}

}  // namespace

std::string RuntimeSeedText(const SeedMoment& m) {
  const LocalTime& t = m.time;
  char date[48], time[48];
  std::snprintf(date, sizeof date, "%02d-%02d-%04d", t.month, t.day, t.year);
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  const long long seconds = t.hour * 3600LL + t.minute * 60LL + t.second;
  return std::string(date) + time + NumText(seconds) + NumText(m.mouse_x) + NumText(m.mouse_y);
}

float RuntimeSeedValue(std::string_view seed_text) {
  const std::string digest = SHA256_Hash(seed_text);
  const uint32_t bits = LoadLe32(digest.data());
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

bool EntropyFrom(const EntropySource* sources, size_t count, void* out, size_t length) {
  for (size_t i = 0; i < count; ++i) {
    if (sources[i](out, length)) return true;
  }
  WipeMemory(out, length);  // a source that failed half-way leaves nothing behind
  return false;
}

namespace {

#if defined(_WIN32)
bool RtlSource(void* out, size_t length) {
  unsigned char* p = static_cast<unsigned char*>(out);
  while (length > 0) {
    unsigned long chunk = length > 65536 ? 65536 : static_cast<unsigned long>(length);
    if (!SystemFunction036(p, chunk)) return false;
    p += chunk;
    length -= chunk;
  }
  return true;
}

bool BCryptSource(void* out, size_t length) {
  constexpr unsigned long kSystemPreferredRng = 2;  // BCRYPT_USE_SYSTEM_PREFERRED_RNG
  unsigned char* p = static_cast<unsigned char*>(out);
  while (length > 0) {
    unsigned long chunk = length > 65536 ? 65536 : static_cast<unsigned long>(length);
    if (BCryptGenRandom(nullptr, p, chunk, kSystemPreferredRng) != 0) return false;
    p += chunk;
    length -= chunk;
  }
  return true;
}

constexpr EntropySource kOsSources[] = {RtlSource, BCryptSource};
#else
bool GetrandomSource(void* out, size_t length) {
  unsigned char* p = static_cast<unsigned char*>(out);
  while (length > 0) {
    ssize_t got = getrandom(p, length, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += got;
    length -= static_cast<size_t>(got);
  }
  return true;
}

bool UrandomSource(void* out, size_t length) {
  std::FILE* f = std::fopen("/dev/urandom", "rb");
  if (!f) return false;
  const bool ok = std::fread(out, 1, length, f) == length;
  std::fclose(f);
  return ok;
}

constexpr EntropySource kOsSources[] = {GetrandomSource, UrandomSource};
#endif

}  // namespace

bool OsEntropy(void* out, size_t length) {
  return EntropyFrom(kOsSources, sizeof kOsSources / sizeof kOsSources[0], out, length);
}

bool CheckEntropy(RandomContext& ctx, Ui& ui) {
  if (ctx.HasEntropy()) return true;
  ShowMessage(ui, "Random_NoEntropy", mb::kIconHand);
  return false;
}

bool RuntimeGenerator::Entropy(void* out, size_t length) {
  const bool ok =
      sources_ ? EntropyFrom(sources_, source_count_, out, length) : OsEntropy(out, length);
  if (!ok) keyed_ = false;
  return ok;
}

RuntimeGenerator::RuntimeGenerator() {
  unsigned char key[32];
  if (!Entropy(key, sizeof key)) WeakEntropy(key);
  SetKeyForTest(key);
  WipeMemory(key, sizeof key);
}

RuntimeGenerator::RuntimeGenerator(const EntropySource* sources, size_t count)
    : sources_(sources), source_count_(count) {
  unsigned char key[32];
  if (!Entropy(key, sizeof key)) WeakEntropy(key);
  SetKeyForTest(key);
  WipeMemory(key, sizeof key);
}

RuntimeGenerator::~RuntimeGenerator() {
  WipeMemory(key_, sizeof key_);
  WipeMemory(buffer_, sizeof buffer_);
}

void RuntimeGenerator::Seed(float seed, std::string_view seed_text) {
  unsigned char fresh[32];
  if (!Entropy(fresh, sizeof fresh)) WeakEntropy(fresh);
  Sha256 h;
  h.Update(key_, sizeof key_);
  h.Update(fresh, sizeof fresh);
  h.Update(&seed, sizeof seed);
  h.Update(seed_text);
  unsigned char key[32];
  h.Final(key);
  SetKeyForTest(key);
  WipeMemory(key, sizeof key);
  WipeMemory(fresh, sizeof fresh);
}

void RuntimeGenerator::SetKeyForTest(const unsigned char key[32]) {
  for (int i = 0; i < 8; ++i) key_[i] = LoadLe32(key + 4 * i);
  counter_ = 0;
  available_ = 0;
  WipeMemory(buffer_, sizeof buffer_);
}

// Eight blocks at a time; the first 32 bytes become the next key and are never handed out, so
// a later copy of the state does not reveal earlier output.
void RuntimeGenerator::Refill() {
  for (int b = 0; b < 8; ++b) ChaChaBlock(key_, counter_++, buffer_ + 16 * b);
  std::memcpy(key_, buffer_, sizeof key_);
  WipeMemory(buffer_, sizeof key_);
  counter_ = 0;
  available_ = 128 - 8;
}

uint32_t RuntimeGenerator::NextWord() {
  if (available_ == 0) Refill();
  uint32_t& slot = buffer_[128 - available_];
  --available_;
  const uint32_t w = slot;
  slot = 0;
  return w;
}

uint32_t RuntimeGenerator::Uniform(uint32_t a, uint32_t b) {
  if (a > b) std::swap(a, b);
  const uint64_t range = static_cast<uint64_t>(b) - a + 1;
  if (range == (uint64_t{1} << 32)) return NextWord();
  // Reject the top partial copy of the range so every value is equally likely.
  const uint64_t limit = (uint64_t{1} << 32) - ((uint64_t{1} << 32) % range);
  while (true) {
    const uint64_t w = NextWord();
    if (w < limit) return a + static_cast<uint32_t>(w % range);
  }
}

RandomContext::RandomContext() : runtime_(&own_) {}

RandomContext::RandomContext(UniformSource& runtime) : runtime_(&runtime) {}

RandomContext::~RandomContext() {
  Wipe(bbs_n);
  Wipe(bbs_x);
  mix_s = 0;
  mix_c = 0;
}

void SeedRuntimeRandom(RandomContext& ctx, const SeedMoment& moment) {
  const std::string text = RuntimeSeedText(moment);
  ctx.Generator().Seed(RuntimeSeedValue(text), text);
}

uint32_t RuntimeRandom(RandomContext& ctx, uint32_t a, uint32_t b) {
  if (a > b) std::swap(a, b);
  return ctx.Runtime().Uniform(a, b);
}

uint8_t RandomByte(RandomContext& ctx) {
  if (ctx.mix_s == 0) ctx.mix_s = RuntimeRandom(ctx, 0, 2147483647);
  // One step of the 33-bit register (32-bit s plus the carry c).
  const uint32_t previous = ctx.mix_s;
  const uint32_t out_bit = previous & 1;
  uint32_t s = (ctx.mix_c << 31) | (previous >> 1);
  s ^= previous << 12;
  s ^= s >> 20;
  ctx.mix_s = s;
  ctx.mix_c = out_bit;
  const uint32_t high = RuntimeRandom(ctx, 0, 65535);
  const uint32_t low = RuntimeRandom(ctx, 0, 65535);
  const uint32_t v = 65536 * high + low;
  return static_cast<uint8_t>(s ^ v);
}

Bytes RandomBits(RandomContext& ctx, int n) {
  if (n <= 0) return {};
  const size_t words = (static_cast<size_t>(n) + 31) / 32;
  Bytes out(4 * words, '\0');
  for (char& byte : out) byte = static_cast<char>(RandomByte(ctx));
  for (size_t bit = static_cast<size_t>(n); bit < 32 * words; ++bit) {
    out[bit / 8] = static_cast<char>(out[bit / 8] & ~(1 << (bit % 8)));
  }
  return out;
}

void BBS_Setup(RandomContext& ctx, Bytes& n, Bytes& x, int bits, int rounds) {
  BigNum p = BlumPrime(ctx, bits / 2, rounds);
  BigNum q = BlumPrime(ctx, bits / 2, rounds);
  // N = p^2 would be a far weaker modulus; draw q again in that (tiny) case. Only a broken
  // runtime source repeats forever, so the retries are bounded.
  for (int retry = 0; retry < 64 && BigCompare(p, q) == 0; ++retry) {
    q = BlumPrime(ctx, bits / 2, rounds);
  }
  n = BigMultiply(p, q);
  Wipe(p);
  Wipe(q);
  do {
    x = RandomBits(ctx, bits / 2);
  } while (!BigCoprime(x, n));
}

void InitRandomGenerator(RandomContext& ctx, Ui& ui) {
  const Bytes record = ctx.stored_state ? ctx.stored_state() : Bytes();
  if (record.empty()) {
    SetupBehindWaitScreen(ctx, ui);
    return;
  }
  Wipe(ctx.bbs_n);
  Wipe(ctx.bbs_x);
  if (record.size() >= 6 && record.compare(3, 3, "001") == 0) {
    long position = 7;
    Bytes n = NextField(record, position);
    if (UsableStoredModulus(n)) {
      ctx.bbs_x = DrawCoprime(ctx, n, static_cast<int>(4 * n.size()));
      if (!ctx.bbs_x.empty()) ctx.bbs_n = std::move(n);
    } else {
      ui.Trace("InitRandomGenerator: stored modulus unusable, making a new one");
    }
  }
  // An unknown format or an unusable modulus: a fresh set-up, which takes as long as the first.
  if (ctx.bbs_n.empty() || ctx.bbs_x.empty()) SetupBehindWaitScreen(ctx, ui);
}

Bytes BBS_RandomBytes(RandomContext& ctx, Ui& ui, Bytes& x, Bytes& n, size_t count) {
  count = (count + 3) / 4 * 4;
  Bytes out(count, '\0');
  const size_t total_bits = 8 * count;
  // A caller's state that cannot make progress (N below 4) counts as missing.
  const bool use_context = x.empty() || n.empty() || BigBitLength(n) < 3;
  if (use_context) {
    if (ctx.bbs_x.empty() || ctx.bbs_n.empty()) InitRandomGenerator(ctx, ui);
  }
  Bytes& state_x = use_context ? ctx.bbs_x : x;
  const Bytes& modulus = use_context ? ctx.bbs_n : n;
  BigNum value = BigMod(BigMultiply(state_x, state_x), modulus);
  size_t filled = 0;
  while (filled < total_bits) {
    BigNum next = BigMod(BigMultiply(value, value), modulus);
    Wipe(value);
    value = std::move(next);
    const int length = BigBitLength(value);
    if (length < 2) {
      // x fell to 0 or 1 and would stay there: restart from a fresh x.
      Wipe(value);
      value = DrawCoprime(ctx, modulus, BigBitLength(modulus) / 2 + 1);
      if (value.empty()) value = BigFromWord(3);
      continue;
    }
    int j = 0;
    while ((2 << j) <= length) ++j;  // floor(log2(length))
    for (int bit = 0; bit < j && filled < total_bits; ++bit, ++filled) {
      if (BigTestBit(value, bit))
        out[filled / 8] = static_cast<char>(out[filled / 8] | (1 << (filled % 8)));
    }
  }
  Wipe(state_x);
  state_x = value;
  Wipe(value);
  if (use_context) {
    if (&x != &ctx.bbs_x) x = ctx.bbs_x;
    if (&n != &ctx.bbs_n) n = ctx.bbs_n;
  }
  return out;
}

Bytes BBS_RandomBytes(RandomContext& ctx, Ui& ui, size_t count) {
  return BBS_RandomBytes(ctx, ui, ctx.bbs_x, ctx.bbs_n, count);
}

}  // namespace lq
