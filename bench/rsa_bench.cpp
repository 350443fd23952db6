// RSA speed: key generation over many seeds against the same algorithm written with GMP (the
// anchor, same random draws, so both find the same keys), and the private operations (decrypt,
// sign) against GMP's mpz_powm with a full exponent. Prints median ratios at the end.
// LQ_RSA_LARGE=1 adds one generation and round trip at 16384 and 32768 bits (minutes to hours).
#include <benchmark/benchmark.h>
#include <gmp.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "crypto/bignum.h"
#include "crypto/rsa.h"
#include "rsa_gmp_anchor.h"

namespace {

using lq::bench::GmpGenerateKeyPair;
using lq::bench::ImportLe;

// A reproducible runtime generator: seed i gives the same draws to ours and to the anchor.
class SeededSource : public lq::UniformSource {
 public:
  explicit SeededSource(uint64_t seed) : rng_(seed) {}
  uint32_t Uniform(uint32_t a, uint32_t b) override {
    return std::uniform_int_distribution<uint32_t>(a, b)(rng_);
  }

 private:
  std::mt19937_64 rng_;
};

// Answers nothing; the benchmarks show no boxes.
class QuietUi : public lq::Ui {
 public:
  int ShowMessageBox(const lq::MessageBoxRequest&) override {
    ++boxes;
    return lq::kIdOk;
  }
  lq::OverwriteReply ConfirmOverwrite(const lq::OverwriteRequest&) override { return {}; }
  std::string AskPassphrase(std::string_view) override { return lq::kPassphraseCancelled; }
  lq::ChangePassphraseReply AskChangePassphrase(const lq::ChangePassphraseRequest&) override {
    return {};
  }
  std::string AskText(std::string_view, std::string_view, bool& ok) override {
    ok = false;
    return {};
  }
  std::vector<std::string> ChooseFiles(const lq::FileChooserRequest&) override { return {}; }
  std::string ChooseFolder(std::string_view, std::string_view) override { return {}; }
  int boxes = 0;
};

uint64_t SeedFor(int bits, int index) { return static_cast<uint64_t>(bits) * 100003u + index; }

// --- Key generation ------------------------------------------------------------------------

constexpr int kGenSizes[] = {1024, 2048, 4096};
int Seeds(int bits) { return bits <= 1024 ? 41 : bits <= 2048 ? 21 : 11; }

void BM_GenerateOurs(benchmark::State& state) {
  static std::map<int, int> next;
  const int bits = static_cast<int>(state.range(0));
  for (auto _ : state) {
    SeededSource source(SeedFor(bits, next[bits]++));
    lq::RandomContext ctx(source);
    lq::RsaKeyPair pair;
    if (!lq::RsaGenerateKeyPair(ctx, lq::NullTrace(), bits, lq::kRsaKeyRounds, pair)) {
      state.SkipWithError("generation failed");
    }
    benchmark::DoNotOptimize(pair);
  }
}

void BM_GenerateGmp(benchmark::State& state) {
  static std::map<int, int> next;
  const int bits = static_cast<int>(state.range(0));
  for (auto _ : state) {
    SeededSource source(SeedFor(bits, next[bits]++));
    lq::RandomContext ctx(source);
    auto pair = GmpGenerateKeyPair(ctx, bits, lq::kRsaKeyRounds);
    benchmark::DoNotOptimize(pair);
  }
}

// --- Private operations --------------------------------------------------------------------

constexpr int kPrivateSizes[] = {2048, 4096, 8192, 16384};

// A modulus of `bits` bits (odd, top bit set), a full-size private exponent and a ciphertext
// below n: the cost of the private operation does not depend on n being a product of primes.
struct PrivateOperands {
  lq::RsaKey key;
  std::string ciphertext;
};

PrivateOperands MakePrivate(int bits) {
  std::mt19937_64 rng(static_cast<uint64_t>(bits) * 31u);
  PrivateOperands o;
  o.key.bits = bits;
  for (int i = 0; i < bits / 32; ++i) {
    lq::AppendLe32(o.key.modulus, static_cast<uint32_t>(rng()));
    lq::AppendLe32(o.key.exponent, static_cast<uint32_t>(rng()));
    lq::AppendLe32(o.ciphertext, static_cast<uint32_t>(rng()));
  }
  o.key.modulus[0] |= 1;
  o.key.modulus.back() |= static_cast<char>(0x80);
  o.key.exponent.back() |= static_cast<char>(0x40);
  o.ciphertext.back() &= 0x3F;
  return o;
}

void BM_DecryptOurs(benchmark::State& state) {
  const PrivateOperands o = MakePrivate(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::string m = lq::RsaDecrypt(o.ciphertext, o.key);
    benchmark::DoNotOptimize(m);
  }
}

void BM_SignOurs(benchmark::State& state) {
  const PrivateOperands o = MakePrivate(static_cast<int>(state.range(0)));
  SeededSource source(1);
  lq::RandomContext ctx(source);
  QuietUi ui;
  for (auto _ : state) {
    std::string s = lq::RsaSign(ctx, ui, "data to sign", o.key);
    benchmark::DoNotOptimize(s);
  }
}

void BM_PowmGmp(benchmark::State& state) {
  const PrivateOperands o = MakePrivate(static_cast<int>(state.range(0)));
  mpz_t c, d, n, r;
  mpz_inits(c, d, n, r, nullptr);
  ImportLe(c, o.ciphertext);
  ImportLe(d, o.key.exponent);
  ImportLe(n, o.key.modulus);
  for (auto _ : state) {
    mpz_powm(r, c, d, n);
    benchmark::ClobberMemory();
  }
  mpz_clears(c, d, n, r, nullptr);
}

// --- One generation and round trip at the sizes too slow to repeat -------------------------

void BM_LargeKeyRoundTrip(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  for (auto _ : state) {
    SeededSource source(SeedFor(bits, 0));
    lq::RandomContext ctx(source);
    QuietUi ui;
    lq::RsaKeyPair pair;
    long candidates = 0;
    if (!lq::RsaGenerateKeyPair(ctx, lq::NullTrace(), bits, lq::kRsaKeyRounds, pair,
                                [&](int, long count) { candidates += count > 0; })) {
      state.SkipWithError("generation failed");
      break;
    }
    const std::string session_key(32, '\x5C');
    const lq::RsaKey pub{bits, pair.n, pair.e}, priv{bits, pair.n, pair.d};
    const std::string c = lq::RsaEncrypt(ctx, ui, session_key, pub);
    const std::string s = lq::RsaSign(ctx, ui, "large", priv);
    if (lq::RsaDecrypt(c, priv) != session_key || !lq::RsaVerify("large", s, pub) || ui.boxes) {
      state.SkipWithError("round trip failed");
    }
    state.counters["candidates"] = static_cast<double>(candidates);
  }
}

// Console output as usual, plus the medians kept for the ratio table. CPU time: the machine
// may be shared, and both sides run on one thread.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const std::string name = run.run_name.function_name + "/" + run.run_name.args;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        times_[name] = run.GetAdjustedCPUTime();
      } else if (run.run_type == Run::RT_Iteration && run.repetitions <= 1) {
        times_[name] = run.GetAdjustedCPUTime();
      }
    }
  }
  void PrintRatios() const {
    std::printf("\nkey generation, median over seeds (ms): ours / GMP anchor (same algorithm)\n");
    for (int bits : kGenSizes) Line("BM_GenerateOurs", "BM_GenerateGmp", bits);
    std::printf("\nprivate operation, full exponent (ms): ours / GMP mpz_powm\n");
    for (int bits : kPrivateSizes) {
      Line("BM_DecryptOurs", "BM_PowmGmp", bits);
      Line("BM_SignOurs", "BM_PowmGmp", bits);
    }
  }

 private:
  void Line(const std::string& ours, const std::string& gmp, int bits) const {
    auto a = times_.find(ours + "/" + std::to_string(bits));
    auto b = times_.find(gmp + "/" + std::to_string(bits));
    if (a == times_.end() || b == times_.end()) return;
    std::printf("%-16s %6d bits: ours %10.2f  GMP %10.2f  ratio %.2f\n", ours.c_str() + 3, bits,
                a->second, b->second, a->second / b->second);
  }
  std::map<std::string, double> times_;
};

// The anchor is only an anchor if it is the same algorithm: same seed, same key.
bool AnchorAgrees(int bits) {
  SeededSource s1(SeedFor(bits, 999)), s2(SeedFor(bits, 999));
  lq::RandomContext c1(s1), c2(s2);
  lq::RsaKeyPair ours;
  if (!lq::RsaGenerateKeyPair(c1, lq::NullTrace(), bits, lq::kRsaKeyRounds, ours)) return false;
  const auto theirs = GmpGenerateKeyPair(c2, bits, lq::kRsaKeyRounds);
  return ours.n == theirs.n && ours.e == theirs.e && ours.d == theirs.d;
}

// Our private operation gives GMP's result.
bool PrivateAgrees(int bits) {
  const PrivateOperands o = MakePrivate(bits);
  mpz_t c, d, n, r;
  mpz_inits(c, d, n, r, nullptr);
  ImportLe(c, o.ciphertext);
  ImportLe(d, o.key.exponent);
  ImportLe(n, o.key.modulus);
  mpz_powm(r, c, d, n);
  std::string expect = lq::bench::ExportLe(r);
  mpz_clears(c, d, n, r, nullptr);
  expect.resize(std::max<size_t>(expect.size(), 32), '\0');
  return lq::RsaDecrypt(o.ciphertext, o.key) == expect.substr(0, 32);
}

}  // namespace

int main(int argc, char** argv) {
  for (int bits : {512, 1024}) {
    if (!AnchorAgrees(bits)) {
      std::fprintf(stderr, "the GMP anchor finds another key at %d bits\n", bits);
      return 1;
    }
  }
  for (int bits : kPrivateSizes) {
    if (!PrivateAgrees(bits)) {
      std::fprintf(stderr, "private operation at %d bits disagrees with GMP\n", bits);
      return 1;
    }
  }
  for (int bits : kGenSizes) {
    for (auto* fn : {&BM_GenerateOurs, &BM_GenerateGmp}) {
      benchmark::RegisterBenchmark(fn == &BM_GenerateOurs ? "BM_GenerateOurs" : "BM_GenerateGmp",
                                   fn)
          ->Arg(bits)
          ->Iterations(1)
          ->Repetitions(Seeds(bits))
          ->ReportAggregatesOnly(true)
          ->Unit(benchmark::kMillisecond);
    }
  }
  for (int bits : kPrivateSizes) {
    for (auto [name, fn] :
         {std::pair{"BM_DecryptOurs", &BM_DecryptOurs}, std::pair{"BM_SignOurs", &BM_SignOurs},
          std::pair{"BM_PowmGmp", &BM_PowmGmp}}) {
      benchmark::RegisterBenchmark(name, fn)
          ->Arg(bits)
          ->MinTime(bits >= 8192 ? 2.0 : 1.0)
          ->Unit(benchmark::kMillisecond);
    }
  }
  std::vector<int> large = {8192};
  if (const char* env = std::getenv("LQ_RSA_LARGE"); env && *env == '1') {
    large.push_back(16384);
    large.push_back(32768);
  }
  for (int bits : large) {
    benchmark::RegisterBenchmark("BM_LargeKeyRoundTrip", &BM_LargeKeyRoundTrip)
        ->Arg(bits)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
