// Prime search for RSA keys and the Blum-Blum-Shub modulus: the small-primes table, trial
// division, the Miller-Rabin probable-prime test and the two ways of drawing a prime.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "base/ui.h"
#include "crypto/bignum.h"
#include "crypto/random.h"

namespace lq {

// The 1228 primes from 2 to 9967: every prime below 10000 except the last, 9973.
constexpr int kSmallPrimeCount = 1228;
const std::array<uint16_t, kSmallPrimeCount>& SmallPrimes();

// Walks the first min(32 * byte length of c, 1228) table primes in order: one equal to c means
// prime (true), one above c means not prime (false), one dividing c means not prime. Passing them
// all is true. The byte length is that of the string as given, high zero words included.
bool TrialDivision(const BigNum& c);

// Miller-Rabin: base 2 first, then rounds - 1 bases drawn from RuntimeRandom(2, min(8000, c - 1));
// a base sharing a factor with c fails. Even c and c below 2 are not prime.
bool IsProbablePrime(RandomContext& ctx, const BigNum& c, int rounds);

struct PrimeSearchLimit {
  // Wall-clock budget of one search; past it the search reports failure.
  double seconds = 18000;
  // Seconds on a monotonic clock; empty means std::chrono::steady_clock. Tests step it by hand.
  std::function<double()> clock;
  // When set, Pump() is called between candidates so that the front end stays responsive.
  Ui* ui = nullptr;
};

// A prime of exactly `bits` bits: draws RandomBits(bits), sets bits - 1 and 0, then tests only
// the successors c + 2, c + 4, ... (trial division, then the probable-prime test). A successor
// that outgrows `bits` bits starts over with a fresh draw. Returns an empty string when the time
// limit passes first or when no prime of that form exists (bits < 3); it never hands out an
// untested candidate.
BigNum RandomPrime(RandomContext& ctx, int bits, int rounds, const PrimeSearchLimit& limit = {});

// A prime p = 3 (mod 4) for the Blum-Blum-Shub modulus: 4 r + 3 for r = RandomBits(bits - 2),
// raised by 4 until the probable-prime test passes (no trial division).
BigNum BlumPrime(RandomContext& ctx, int bits, int rounds);

}  // namespace lq
