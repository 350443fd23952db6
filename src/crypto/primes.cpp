// Prime search: small-primes table built at compile time, trial division with the table's
// counting rules, Miller-Rabin, random and Blum primes.
#include "crypto/primes.h"

#include <chrono>
#include <vector>

namespace lq {
namespace {

constexpr std::array<uint16_t, kSmallPrimeCount> MakeSmallPrimes() {
  std::array<bool, 10000> composite{};
  std::array<uint16_t, kSmallPrimeCount> primes{};
  int count = 0;
  for (int i = 2; i < 10000 && count < kSmallPrimeCount; ++i) {
    if (composite[i]) continue;
    primes[count++] = static_cast<uint16_t>(i);
    for (int j = i * i; j < 10000; j += i) composite[j] = true;
  }
  return primes;
}

constexpr std::array<uint16_t, kSmallPrimeCount> kSmallPrimes = MakeSmallPrimes();
static_assert(kSmallPrimes[0] == 2 && kSmallPrimes[kSmallPrimeCount - 1] == 9967);

// Residues of c modulo the first `count` table primes, three primes per 64-bit modulus so that
// one pass over c serves three primes.
std::vector<uint32_t> SmallResidues(const BigNum& c, int count) {
  // The words are the candidate itself: reserved once (no copies left by growing) and wiped.
  std::vector<uint32_t> words;
  words.reserve((c.size() + 3) / 4);
  for (size_t i = 0; i < c.size(); i += 4) {
    uint32_t w = 0;
    for (size_t k = 0; k < 4 && i + k < c.size(); ++k) {
      w |= static_cast<uint32_t>(static_cast<unsigned char>(c[i + k])) << (8 * k);
    }
    words.push_back(w);
  }
  std::vector<uint32_t> residues(static_cast<size_t>(count));
  for (int i = 0; i < count; i += 3) {
    uint64_t product = 1;
    int group = std::min(3, count - i);
    for (int k = 0; k < group; ++k) product *= kSmallPrimes[i + k];
    // product < 2^40: (rem << 32 | word) fits in 72 bits, so split into two 16-bit steps.
    uint64_t rem = 0;
    for (size_t w = words.size(); w-- > 0;) {
      rem = ((rem << 16) | (words[w] >> 16)) % product;
      rem = ((rem << 16) | (words[w] & 0xFFFF)) % product;
    }
    for (int k = 0; k < group; ++k)
      residues[i + k] = static_cast<uint32_t>(rem % kSmallPrimes[i + k]);
  }
  WipeMemory(words.data(), words.size() * sizeof(uint32_t));
  return residues;
}

int TrialCount(size_t byte_length) {
  return static_cast<int>(std::min<size_t>(32 * byte_length, kSmallPrimeCount));
}

// One Miller-Rabin round: c - 1 = 2^s d with d odd.
bool MillerRabinRound(const BigNum& c, const BigNum& c_minus_1, const BigNum& d, int s,
                      const BigNum& base) {
  BigNum y = BigPowMod(base, d, c);
  if (BigCompare(y, BigFromWord(1)) == 0 || BigCompare(y, c_minus_1) == 0) return true;
  for (int i = 1; i < s; ++i) {
    y = BigMod(BigMultiply(y, y), c);
    if (BigCompare(y, c_minus_1) == 0) return true;
    if (BigCompare(y, BigFromWord(1)) == 0) return false;  // stays 1 from here on
  }
  return false;
}

double SteadySeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

const std::array<uint16_t, kSmallPrimeCount>& SmallPrimes() { return kSmallPrimes; }

bool TrialDivision(const BigNum& c) {
  const int count = TrialCount(c.size());
  if (BigBitLength(c) > 14) {
    // c >= 16384 is above every table prime: only divisibility decides.
    std::vector<uint32_t> residues = SmallResidues(c, count);
    for (uint32_t r : residues) {
      if (r == 0) return false;
    }
    return true;
  }
  const uint64_t value = BigToU64(c);
  for (int i = 0; i < count; ++i) {
    const uint64_t p = kSmallPrimes[i];
    if (p == value) return true;
    if (p > value) return false;
    if (value % p == 0) return false;
  }
  return true;
}

bool IsProbablePrime(RandomContext& ctx, const BigNum& c, int rounds) {
  // gcd(2, c) must be one; c = 1 would leave c - 1 = 0 without an odd part, so it fails here too.
  if (!BigIsOdd(c) || BigCompare(c, BigFromWord(1)) <= 0) return false;
  const BigNum c_minus_1 = BigSubtract(c, BigFromWord(1));
  BigNum d = c_minus_1;
  int s = 0;
  while (!BigIsOdd(d)) {
    d = BigShiftRight1(d);
    ++s;
  }
  if (!MillerRabinRound(c, c_minus_1, d, s, BigFromWord(2))) return false;
  const uint32_t bound =
      BigLessThan(c, BigFromWord(8000)) ? static_cast<uint32_t>(BigToU64(c_minus_1)) : 8000;
  for (int round = 2; round <= rounds; ++round) {
    const BigNum base = BigFromWord(RuntimeRandom(ctx, 2, bound));
    if (!BigCoprime(base, c)) return false;
    if (!MillerRabinRound(c, c_minus_1, d, s, base)) return false;
  }
  return true;
}

BigNum RandomPrime(RandomContext& ctx, int bits, int rounds, const PrimeSearchLimit& limit) {
  if (bits < 3) return {};
  auto now = [&] { return limit.clock ? limit.clock() : SteadySeconds(); };
  const double start = now();
  const BigNum two = BigFromWord(2);
  // Every candidate keeps the drawn length, ceil(bits / 32) words, which sets the trial count.
  const size_t byte_length = 4 * ((static_cast<size_t>(bits) + 31) / 32);
  const int count = TrialCount(byte_length);
  const bool incremental = bits > 14;
  while (true) {
    BigNum c = BigSetBit(BigSetBit(RandomBits(ctx, bits), bits - 1), 0);
    // Residues of c by the table primes, advanced by 2 with each successor (large c only).
    // They, and every candidate below the prime, would be enough to rebuild it: all are wiped
    // on the way out.
    std::vector<uint32_t> residues;
    struct WipeOnExit {
      std::vector<uint32_t>& residues;
      BigNum& candidate;
      ~WipeOnExit() {
        WipeMemory(residues.data(), residues.size() * sizeof(uint32_t));
        Wipe(candidate);
      }
    } wipe{residues, c};
    if (incremental) residues = SmallResidues(c, count);
    while (true) {
      if (now() - start > limit.seconds) return {};
      if (limit.ui) limit.ui->Pump();
      BigNum next = BigAdd(c, two);
      Wipe(c);
      c = std::move(next);
      if (BigBitLength(c) > bits) break;  // ran past 2^bits: draw again
      bool passes = true;
      if (incremental) {
        for (int i = 0; i < count; ++i) {
          uint32_t r = residues[i] + 2;
          if (r >= kSmallPrimes[i]) r -= kSmallPrimes[i];
          residues[i] = r;
          if (r == 0) passes = false;
        }
      } else {
        BigNum padded = c;
        padded.resize(byte_length, '\0');
        passes = TrialDivision(padded);
        Wipe(padded);
      }
      if (passes && IsProbablePrime(ctx, c, rounds)) return BigNum(c);
    }
  }
}

BigNum BlumPrime(RandomContext& ctx, int bits, int rounds) {
  const BigNum r = RandomBits(ctx, bits - 2);
  BigNum c = BigAdd(BigDouble(BigDouble(r)), BigFromWord(3));
  const BigNum four = BigFromWord(4);
  while (!IsProbablePrime(ctx, c, rounds)) c = BigAdd(c, four);
  return c;
}

}  // namespace lq
