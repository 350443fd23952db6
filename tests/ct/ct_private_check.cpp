// The constant-time check of the private operation ("ctgrind"): run under valgrind memcheck, it
// marks d, the primes, the CRT exponents and inverse, the blinding pair and the input as
// undefined, runs the private operation, and valgrind reports any conditional jump, move or
// memory address that depends on them. The program itself checks the results against the plain
// power. With "--leaky" it runs the variable-time sliding window on the same marked exponent
// instead, which valgrind must catch (the check proves it can fail).
#include <valgrind/memcheck.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "crypto/bignum_kernel.h"

namespace {

// Primes made once with an outside prime generator; q2 is shorter, so p and q differ in limbs.
const char kP[] =
    "F4AA666330A345175CA093BDA7780B41C855CAE3C01B624482B70857E7DFBCDE400E451DC1A5A5505CEFA217849C"
    "0131E9B880F42049A47E2466973577435E57";
const char kQ[] =
    "EEC010C5768501DA5B0566344C7298EF988E8E63B5B86AE73C1BA29177C76E9FC3B66F89EA931467050F801B5975"
    "390A00674DAF5CEA90B86657000E9CEE83F7";
const char kQ2[] =
    "E86BF2A44B84B2A00C917A71A90E40009D61E39B640BBDF80424D26226AD458389DBFAA8B8950AD878F0B1991838"
    "1A53E003";

template <typename Vec>
Vec FromHex(const char* hex) {
  using L = typename Vec::value_type;
  const size_t digits = std::strlen(hex);
  Vec v((digits * 4 + sizeof(L) * 8 - 1) / (sizeof(L) * 8), 0);
  for (size_t i = 0; i < digits; ++i) {
    const char c = hex[digits - 1 - i];
    const L d = static_cast<L>(c <= '9' ? c - '0' : c - 'A' + 10);
    v[i * 4 / (sizeof(L) * 8)] |= d << (i * 4 % (sizeof(L) * 8));
  }
  return v;
}

template <typename V>
void Undefined(V& v) {
  if (!v.empty()) VALGRIND_MAKE_MEM_UNDEFINED(v.data(), v.size() * sizeof(v[0]));
}
template <typename V>
void Defined(V& v) {
  if (!v.empty()) VALGRIND_MAKE_MEM_DEFINED(v.data(), v.size() * sizeof(v[0]));
}

template <typename L, bool kAsm>
int Check(const char* p_hex, const char* q_hex, bool with_e, bool leaky) {
  using Ct = lq::bignum_detail::CtRsa<L, kAsm>;
  using K = typename Ct::K;
  using Vec = typename Ct::Vec;
  const Vec p = FromHex<Vec>(p_hex), q = FromHex<Vec>(q_hex);
  Vec n = K::MulVec(p, q);
  Vec p1(p), q1(q);
  K::Sub1(p1.data(), p1.data(), p1.size(), 1);
  K::Sub1(q1.data(), q1.data(), q1.size(), 1);
  const Vec phi = K::MulVec(p1, q1);
  Vec e{static_cast<L>(0x9A3F1B)}, d;
  while (!K::Inverse(e, phi, d)) e[0] += 2;
  typename Ct::Key key;
  Vec seed(n);
  seed[0] ^= 0x1234567;
  if (!Ct::Prepare(key, n, d, with_e ? e : Vec{}, seed)) return 2;
  if (key.crt != with_e || key.blinded != with_e) return 3;
  int failures = 0;
  for (L x : {L{2}, L{0x51ED}, static_cast<L>(~L{0} / 3)}) {
    Vec c(n.size(), 0);
    c[0] = x;
    c[n.size() - 1] = x >> 3;
    const Vec expected = K::PowMod(c, d, n);
    Undefined(key.d);
    for (Vec* v : {&key.p.m, &key.p.r2, &key.p.one, &key.q.m, &key.q.r2, &key.q.one, &key.dp,
                   &key.dq, &key.qinv_mont, &key.blind_mont, &key.unblind_mont}) {
      Undefined(*v);
    }
    Undefined(c);
    Vec m;
    if (leaky) {
      Vec dd(key.d);
      m = K::PowMod(c, dd, n);  // sliding window: branches and indexes on d
    } else {
      m = Ct::Apply(key, c);
    }
    Defined(m);
    for (Vec* v : {&key.d, &key.p.m, &key.p.r2, &key.p.one, &key.q.m, &key.q.r2, &key.q.one,
                   &key.dp, &key.dq, &key.qinv_mont, &key.blind_mont, &key.unblind_mont}) {
      Defined(*v);
    }
    K::Trim(m);
    Vec want(expected);
    K::Trim(want);
    if (m != want) ++failures;
  }
  return failures;
}

}  // namespace

int main(int argc, char** argv) {
  const bool leaky = argc > 1 && std::string(argv[1]) == "--leaky";
  int failed = 0;
  for (bool with_e : {true, false}) {
    failed += Check<uint32_t, false>(kP, kQ, with_e, leaky);
    failed += Check<uint64_t, false>(kP, kQ2, with_e, leaky);
    failed += Check<uint64_t, true>(kP, kQ, with_e, leaky);
    if (leaky) break;
  }
  std::printf("%s\n", failed ? "wrong results" : "results right");
  return failed ? 1 : 0;
}
