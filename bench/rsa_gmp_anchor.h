// The key generation algorithm written with GMP, as the speed anchor of ours: the same random
// draws (through the same RandomContext calls, in the same order), the same candidate walk and
// sieve, the same Miller-Rabin bases. Given the same seed it finds the same key.
#pragma once

#include <gmp.h>

#include <algorithm>
#include <string>
#include <vector>

#include "crypto/primes.h"
#include "crypto/random.h"

namespace lq::bench {

inline void ImportLe(mpz_t z, const std::string& bytes) {
  if (bytes.empty()) {
    mpz_set_ui(z, 0);
  } else {
    mpz_import(z, bytes.size(), -1, 1, 0, 0, bytes.data());
  }
}

inline std::string ExportLe(const mpz_t z) {
  std::string out((mpz_sizeinbase(z, 2) + 7) / 8 + 4, '\0');
  size_t count = 0;
  mpz_export(out.data(), &count, -1, 1, 0, 0, z);
  out.resize(std::max<size_t>(4, (count + 3) / 4 * 4));
  return out;
}

// One Miller-Rabin round of c with c - 1 = 2^s d.
inline bool GmpMillerRabin(const mpz_t c, const mpz_t c1, const mpz_t d, unsigned long s,
                           unsigned long base, mpz_t y) {
  mpz_set_ui(y, base);
  mpz_powm(y, y, d, c);
  if (mpz_cmp_ui(y, 1) == 0 || mpz_cmp(y, c1) == 0) return true;
  for (unsigned long i = 1; i < s; ++i) {
    mpz_mul(y, y, y);
    mpz_mod(y, y, c);
    if (mpz_cmp(y, c1) == 0) return true;
    if (mpz_cmp_ui(y, 1) == 0) return false;
  }
  return false;
}

inline bool GmpProbablePrime(RandomContext& ctx, const mpz_t c, int rounds) {
  if (mpz_even_p(c) || mpz_cmp_ui(c, 1) <= 0) return false;
  mpz_t c1, d, y;
  mpz_inits(c1, d, y, nullptr);
  mpz_sub_ui(c1, c, 1);
  const unsigned long s = mpz_scan1(c1, 0);
  mpz_tdiv_q_2exp(d, c1, s);
  bool ok = GmpMillerRabin(c, c1, d, s, 2, y);
  const unsigned long bound = mpz_cmp_ui(c, 8000) < 0 ? mpz_get_ui(c1) : 8000;
  for (int round = 2; ok && round <= rounds; ++round) {
    const unsigned long base = RuntimeRandom(ctx, 2, static_cast<uint32_t>(bound));
    if (mpz_gcd_ui(nullptr, c, base) != 1) {
      ok = false;
    } else {
      ok = GmpMillerRabin(c, c1, d, s, base, y);
    }
  }
  mpz_clears(c1, d, y, nullptr);
  return ok;
}

// RandomPrime with GMP: draw, set the top and bottom bits, test the successors c + 2, c + 4 ...
// after the sieve by the small-primes table (residues advanced by 2), draw again past 2^bits.
inline void GmpRandomPrime(RandomContext& ctx, int bits, int rounds, mpz_t out) {
  const auto& primes = SmallPrimes();
  const size_t byte_length = 4 * ((static_cast<size_t>(bits) + 31) / 32);
  const int count = static_cast<int>(std::min<size_t>(32 * byte_length, kSmallPrimeCount));
  std::vector<unsigned long> residues(static_cast<size_t>(count));
  while (true) {
    ImportLe(out, RandomBits(ctx, bits));
    mpz_setbit(out, static_cast<mp_bitcnt_t>(bits - 1));
    mpz_setbit(out, 0);
    for (int i = 0; i < count; ++i) residues[i] = mpz_fdiv_ui(out, primes[i]);
    while (true) {
      mpz_add_ui(out, out, 2);
      if (mpz_sizeinbase(out, 2) > static_cast<size_t>(bits)) break;
      bool passes = true;
      for (int i = 0; i < count; ++i) {
        unsigned long r = residues[i] + 2;
        if (r >= primes[i]) r -= primes[i];
        residues[i] = r;
        if (r == 0) passes = false;
      }
      if (passes && GmpProbablePrime(ctx, out, rounds)) return;
    }
  }
}

struct GmpKeyPair {
  std::string n, e, d;
};

// The five steps with GMP: p, q (q != p), n and phi, e from RandomBits(24) until e >= 3 and
// gcd(e, phi) = 1, d = e^-1 mod phi.
inline GmpKeyPair GmpGenerateKeyPair(RandomContext& ctx, int bits, int rounds) {
  mpz_t p, q, n, phi, t, e, d;
  mpz_inits(p, q, n, phi, t, e, d, nullptr);
  GmpKeyPair pair;
  while (true) {
    GmpRandomPrime(ctx, bits / 2, rounds, p);
    do {
      GmpRandomPrime(ctx, bits / 2, rounds, q);
    } while (mpz_cmp(p, q) == 0);
    mpz_mul(n, p, q);
    mpz_sub_ui(phi, p, 1);
    mpz_sub_ui(t, q, 1);
    mpz_mul(phi, phi, t);
    while (true) {
      ImportLe(e, RandomBits(ctx, 24));
      if (mpz_cmp_ui(e, 3) < 0) continue;
      mpz_gcd(t, e, phi);
      if (mpz_cmp_ui(t, 1) == 0) break;
    }
    if (mpz_invert(d, e, phi) != 0) break;
  }
  pair.n = ExportLe(n);
  pair.e = ExportLe(e);
  pair.d = ExportLe(d);
  mpz_clears(p, q, n, phi, t, e, d, nullptr);
  return pair;
}

}  // namespace lq::bench
