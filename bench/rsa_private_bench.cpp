// The private RSA operation, measured in one run against its references: ours with CRT and
// blinding (primes recovered from n, e, d) against OpenSSL's RSA private operation (CRT,
// constant time, blinded), and ours without CRT (no e) against GMP's mpz_powm_sec with the full
// exponent, at 2048, 4096, 8192 and 16384 bits; also the first-use cost of preparing a key
// (recovering and checking the primes). Prints the ratios at the end.
// Keys are made with GMP (e a random odd number below 2^24, as ours) and kept in
// rsa_private_bench_keys.txt in the working folder, as 8192-bit primes take a while to find.
// LQ_RSA_PRIVATE_SIZES="2048 4096" limits the sizes.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <benchmark/benchmark.h>
#include <gmp.h>
#include <openssl/bn.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "crypto/bignum.h"
#include "crypto/random.h"
#include "crypto/rsa.h"

namespace {

struct Key {
  int bits = 0;
  std::string n, e, d, p, q;  // hex
};

std::string Hex(mpz_srcptr z) {
  char* s = mpz_get_str(nullptr, 16, z);
  std::string out(s);
  void (*release)(void*, size_t);
  mp_get_memory_functions(nullptr, nullptr, &release);
  release(s, out.size() + 1);
  return out;
}

// Little-endian bytes of a hex number, whole 32-bit words.
std::string LeBytes(const std::string& hex) {
  mpz_t z;
  mpz_init_set_str(z, hex.c_str(), 16);
  std::string out((mpz_sizeinbase(z, 2) + 7) / 8 + 8, '\0');
  size_t count = 0;
  mpz_export(out.data(), &count, -1, 1, 0, 0, z);
  out.resize((count + 3) / 4 * 4);
  mpz_clear(z);
  return out;
}

Key MakeKey(int bits) {
  gmp_randstate_t state;
  gmp_randinit_default(state);
  gmp_randseed_ui(state, static_cast<unsigned long>(bits) * 7919u);
  mpz_t p, q, n, phi, t, e, d;
  mpz_inits(p, q, n, phi, t, e, d, nullptr);
  std::mt19937_64 rng(bits);
  do {
    for (mpz_ptr x : {p, q}) {
      mpz_urandomb(x, state, bits / 2);
      mpz_setbit(x, bits / 2 - 1);
      mpz_setbit(x, bits / 2 - 2);
      mpz_nextprime(x, x);
    }
    mpz_mul(n, p, q);
  } while (mpz_sizeinbase(n, 2) != static_cast<size_t>(bits));
  mpz_sub_ui(t, p, 1);
  mpz_sub_ui(phi, q, 1);
  mpz_mul(phi, phi, t);
  do {
    mpz_set_ui(e, (rng() & 0xFFFFFF) | 1);
  } while (mpz_cmp_ui(e, 3) < 0 || mpz_invert(d, e, phi) == 0);
  Key k{bits, Hex(n), Hex(e), Hex(d), Hex(p), Hex(q)};
  mpz_clears(p, q, n, phi, t, e, d, nullptr);
  gmp_randclear(state);
  return k;
}

const Key& KeyFor(int bits) {
  static std::map<int, Key> keys;
  auto it = keys.find(bits);
  if (it != keys.end()) return it->second;
  const char* file = "rsa_private_bench_keys.txt";
  std::ifstream in(file);
  Key k;
  while (in >> k.bits >> k.n >> k.e >> k.d >> k.p >> k.q) {
    if (k.bits == bits) return keys[bits] = k;
  }
  std::fprintf(stderr, "making a %d-bit key with GMP...\n", bits);
  k = MakeKey(bits);
  std::ofstream(file, std::ios::app)
      << k.bits << ' ' << k.n << ' ' << k.e << ' ' << k.d << ' ' << k.p << ' ' << k.q << '\n';
  return keys[bits] = k;
}

// Median seconds per operation of each benchmark, by name and size, for the ratio table.
std::map<std::string, std::map<int, double>>& Results() {
  static std::map<std::string, std::map<int, double>> r;
  return r;
}

// CPU seconds of this thread: the machine is shared, and wall time would count the others.
double ThreadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

template <typename Fn>
void Timed(benchmark::State& state, const std::string& name, Fn fn) {
  std::vector<double> times;
  for (auto _ : state) {
    const double start = ThreadSeconds();
    fn();
    times.push_back(ThreadSeconds() - start);
  }
  std::sort(times.begin(), times.end());
  Results()[name][static_cast<int>(state.range(0))] = times[times.size() / 2];
}

std::string Ciphertext(const Key& k) {
  mpz_t c, n;
  mpz_init_set_str(n, k.n.c_str(), 16);
  mpz_init(c);
  gmp_randstate_t state;
  gmp_randinit_default(state);
  gmp_randseed_ui(state, 12345);
  mpz_urandomm(c, state, n);
  const std::string hex = Hex(c);
  gmp_randclear(state);
  mpz_clears(c, n, nullptr);
  return hex;
}

void BM_OursCrt(benchmark::State& state) {
  const Key& k = KeyFor(static_cast<int>(state.range(0)));
  lq::RandomContext ctx;
  lq::RsaPrivateKey prepared;
  const lq::RsaKey key{k.bits, LeBytes(k.n), LeBytes(k.d)};
  if (!prepared.Prepare(ctx, key, LeBytes(k.e)) || !prepared.UsesCrt()) {
    state.SkipWithError("not prepared with CRT");
    return;
  }
  const std::string c = LeBytes(Ciphertext(k));
  Timed(state, "ours CRT", [&] { benchmark::DoNotOptimize(prepared.Apply(c)); });
}

void BM_OursPlain(benchmark::State& state) {
  const Key& k = KeyFor(static_cast<int>(state.range(0)));
  lq::RsaPrivateKey prepared;
  const lq::RsaKey key{k.bits, LeBytes(k.n), LeBytes(k.d)};
  prepared.Prepare(key);
  const std::string c = LeBytes(Ciphertext(k));
  Timed(state, "ours plain", [&] { benchmark::DoNotOptimize(prepared.Apply(c)); });
}

void BM_OursFirstUse(benchmark::State& state) {
  const Key& k = KeyFor(static_cast<int>(state.range(0)));
  lq::RandomContext ctx;
  const lq::RsaKey key{k.bits, LeBytes(k.n), LeBytes(k.d)};
  const std::string e = LeBytes(k.e);
  Timed(state, "ours prepare", [&] {
    lq::RsaPrivateKey prepared;
    benchmark::DoNotOptimize(prepared.Prepare(ctx, key, e));
  });
}

// OpenSSL's RSA object for a key, with its CRT values, and the ciphertext as its big-endian
// bytes.
class OpenSslKey {
 public:
  explicit OpenSslKey(const Key& k) {
    auto bn = [](const std::string& hex) {
      BIGNUM* b = nullptr;
      BN_hex2bn(&b, hex.c_str());
      return b;
    };
    rsa_ = RSA_new();
    BIGNUM *p = bn(k.p), *q = bn(k.q), *d = bn(k.d);
    BN_CTX* bctx = BN_CTX_new();
    BIGNUM *dp = BN_new(), *dq = BN_new(), *qinv = BN_new(), *t = BN_new();
    BN_sub(t, p, BN_value_one());
    BN_mod(dp, d, t, bctx);
    BN_sub(t, q, BN_value_one());
    BN_mod(dq, d, t, bctx);
    BN_mod_inverse(qinv, q, p, bctx);
    RSA_set0_key(rsa_, bn(k.n), bn(k.e), d);
    RSA_set0_factors(rsa_, p, q);
    RSA_set0_crt_params(rsa_, dp, dq, qinv);
    BN_free(t);
    BN_CTX_free(bctx);
    size_ = RSA_size(rsa_);
    std::string c = Ciphertext(k);
    c.insert(0, static_cast<size_t>(2 * size_) - c.size(), '0');
    in_.resize(static_cast<size_t>(size_));
    out_.resize(static_cast<size_t>(size_));
    for (int i = 0; i < size_; ++i)
      in_[i] = static_cast<unsigned char>(std::stoi(c.substr(2 * i, 2), nullptr, 16));
  }
  ~OpenSslKey() { RSA_free(rsa_); }
  OpenSslKey(const OpenSslKey&) = delete;
  OpenSslKey& operator=(const OpenSslKey&) = delete;
  bool Decrypt() {
    return RSA_private_decrypt(size_, in_.data(), out_.data(), rsa_, RSA_NO_PADDING) == size_;
  }

 private:
  RSA* rsa_ = nullptr;
  int size_ = 0;
  std::vector<unsigned char> in_, out_;
};

void BM_OpenSsl(benchmark::State& state) {
  OpenSslKey ossl(KeyFor(static_cast<int>(state.range(0))));
  if (!ossl.Decrypt()) {
    state.SkipWithError("OpenSSL refused the key");
    return;
  }
  Timed(state, "OpenSSL", [&] { benchmark::DoNotOptimize(ossl.Decrypt()); });
}

void BM_GmpPowmSec(benchmark::State& state) {
  const Key& k = KeyFor(static_cast<int>(state.range(0)));
  mpz_t c, d, n, r;
  mpz_init_set_str(c, Ciphertext(k).c_str(), 16);
  mpz_init_set_str(d, k.d.c_str(), 16);
  mpz_init_set_str(n, k.n.c_str(), 16);
  mpz_init(r);
  Timed(state, "GMP powm_sec", [&] {
    mpz_powm_sec(r, c, d, n);
    benchmark::DoNotOptimize(r);
  });
  mpz_clears(c, d, n, r, nullptr);
}

// Median CPU seconds of `ours` and of `theirs` over `rounds` rounds that run one of each in
// turn, so a neighbour's load on this shared machine falls on both alike.
template <typename Ours, typename Theirs>
std::pair<double, double> Paired(int rounds, Ours ours, Theirs theirs) {
  std::vector<double> a, b;
  for (int i = 0; i < rounds; ++i) {
    double start = ThreadSeconds();
    ours();
    a.push_back(ThreadSeconds() - start);
    start = ThreadSeconds();
    theirs();
    b.push_back(ThreadSeconds() - start);
  }
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  return {a[a.size() / 2], b[b.size() / 2]};
}

std::vector<int> Sizes() {
  std::vector<int> sizes = {2048, 4096, 8192, 16384};
  if (const char* env = std::getenv("LQ_RSA_PRIVATE_SIZES")) {
    sizes.clear();
    std::istringstream in(env);
    for (int b; in >> b;) sizes.push_back(b);
  }
  return sizes;
}

int Iterations(int bits, bool plain) {
  const int base = bits <= 2048 ? 200 : bits <= 4096 ? 40 : bits <= 8192 ? 8 : 3;
  return plain ? std::max(1, base / 4) : base;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (int bits : Sizes()) {
    KeyFor(bits);
    benchmark::RegisterBenchmark("ours_crt", BM_OursCrt)
        ->Arg(bits)
        ->Iterations(Iterations(bits, false))
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("openssl", BM_OpenSsl)
        ->Arg(bits)
        ->Iterations(Iterations(bits, false))
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ours_plain", BM_OursPlain)
        ->Arg(bits)
        ->Iterations(Iterations(bits, true))
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("gmp_powm_sec", BM_GmpPowmSec)
        ->Arg(bits)
        ->Iterations(Iterations(bits, true))
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ours_first_use", BM_OursFirstUse)
        ->Arg(bits)
        ->Iterations(bits <= 4096 ? 10 : 2)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RunSpecifiedBenchmarks();
  auto& r = Results();
  std::printf("\nmedian CPU ms per operation; ratio < 1 means ours is faster\n");
  std::printf("%6s %10s %10s %7s %11s %10s %7s %12s\n", "bits", "ours CRT", "OpenSSL", "ratio",
              "ours plain", "powm_sec", "ratio", "first use");
  for (int bits : Sizes()) {
    auto ms = [&](const char* name) {
      auto it = r[name].find(bits);
      return it == r[name].end() ? 0.0 : it->second * 1000;
    };
    const double crt = ms("ours CRT"), ossl = ms("OpenSSL"), plain = ms("ours plain"),
                 sec = ms("GMP powm_sec"), first = ms("ours prepare");
    std::printf("%6d %10.3f %10.3f %7.2f %11.3f %10.3f %7.2f %12.3f\n", bits, crt, ossl,
                ossl > 0 ? crt / ossl : 0.0, plain, sec, sec > 0 ? plain / sec : 0.0, first);
  }
  std::printf("\npaired (ours and the reference in turn): ours / reference of the medians\n");
  std::printf("%6s %10s %10s %7s %11s %10s %7s\n", "bits", "ours CRT", "OpenSSL", "ratio",
              "ours plain", "powm_sec", "ratio");
  for (int bits : Sizes()) {
    const Key& k = KeyFor(bits);
    lq::RandomContext ctx;
    const lq::RsaKey key{k.bits, LeBytes(k.n), LeBytes(k.d)};
    lq::RsaPrivateKey crt, plain;
    crt.Prepare(ctx, key, LeBytes(k.e));
    plain.Prepare(key);
    const std::string c = LeBytes(Ciphertext(k));
    OpenSslKey ossl(k);
    mpz_t zc, zd, zn, zr;
    mpz_init_set_str(zc, Ciphertext(k).c_str(), 16);
    mpz_init_set_str(zd, k.d.c_str(), 16);
    mpz_init_set_str(zn, k.n.c_str(), 16);
    mpz_init(zr);
    const auto [ours_crt, theirs_crt] =
        Paired(Iterations(bits, false), [&] { benchmark::DoNotOptimize(crt.Apply(c)); },
               [&] { benchmark::DoNotOptimize(ossl.Decrypt()); });
    const auto [ours_plain, theirs_plain] =
        Paired(Iterations(bits, true), [&] { benchmark::DoNotOptimize(plain.Apply(c)); },
               [&] { mpz_powm_sec(zr, zc, zd, zn); });
    mpz_clears(zc, zd, zn, zr, nullptr);
    std::printf("%6d %10.3f %10.3f %7.2f %11.3f %10.3f %7.2f\n", bits, ours_crt * 1000,
                theirs_crt * 1000, ours_crt / theirs_crt, ours_plain * 1000, theirs_plain * 1000,
                ours_plain / theirs_plain);
  }
  return 0;
}
