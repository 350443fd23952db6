// Power modulo with a full-size exponent (the RSA private operation) at 1024..16384 bits, ours
// against GMP's mpz_powm in the same run; prints our time over GMP's per size at the end.
#include <benchmark/benchmark.h>
#include <gmp.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "crypto/bignum.h"

namespace {

struct Operands {
  std::string base, exponent, modulus;
};

// Odd modulus with its top bit set, base below it, exponent of the modulus's size.
Operands MakeOperands(int bits) {
  std::mt19937_64 rng(static_cast<uint64_t>(bits));
  Operands o;
  for (int i = 0; i < bits / 32; ++i) {
    lq::AppendLe32(o.modulus, static_cast<uint32_t>(rng()));
    lq::AppendLe32(o.base, static_cast<uint32_t>(rng()));
    lq::AppendLe32(o.exponent, static_cast<uint32_t>(rng()));
  }
  o.modulus[0] |= 1;
  o.modulus.back() |= static_cast<char>(0x80);
  o.base.back() &= 0x7F;
  o.exponent.back() |= static_cast<char>(0x80);
  return o;
}

void Import(mpz_t z, const std::string& bytes) {
  mpz_import(z, bytes.size(), -1, 1, 0, 0, bytes.data());
}

void BM_PowModOurs(benchmark::State& state) {
  const Operands o = MakeOperands(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    lq::BigNum r = lq::BigPowMod(o.base, o.exponent, o.modulus);
    benchmark::DoNotOptimize(r);
  }
}

void BM_PowModGmp(benchmark::State& state) {
  const Operands o = MakeOperands(static_cast<int>(state.range(0)));
  mpz_t b, e, m, r;
  mpz_inits(b, e, m, r, nullptr);
  Import(b, o.base);
  Import(e, o.exponent);
  Import(m, o.modulus);
  for (auto _ : state) {
    mpz_powm(r, b, e, m);
    benchmark::ClobberMemory();
  }
  mpz_clears(b, e, m, r, nullptr);
}

// Same numbers from both: the ratio table is only meaningful if the results agree.
bool ResultsAgree(int bits) {
  const Operands o = MakeOperands(bits);
  mpz_t b, e, m, r;
  mpz_inits(b, e, m, r, nullptr);
  Import(b, o.base);
  Import(e, o.exponent);
  Import(m, o.modulus);
  mpz_powm(r, b, e, m);
  std::string expect((mpz_sizeinbase(r, 2) + 7) / 8 + 4, '\0');
  size_t count = 0;
  mpz_export(expect.data(), &count, -1, 1, 0, 0, r);
  expect.resize(std::max<size_t>(4, (count + 3) / 4 * 4));
  mpz_clears(b, e, m, r, nullptr);
  return lq::BigPowMod(o.base, o.exponent, o.modulus) == expect;
}

constexpr int kSizes[] = {1024, 2048, 4096, 8192, 16384};

BENCHMARK(BM_PowModOurs)
    ->Arg(1024)
    ->Arg(2048)
    ->Arg(4096)
    ->Arg(8192)
    ->Arg(16384)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);
BENCHMARK(BM_PowModGmp)
    ->Arg(1024)
    ->Arg(2048)
    ->Arg(4096)
    ->Arg(8192)
    ->Arg(16384)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);

// Console output as usual, plus the per-size times kept for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
    }
  }
  void PrintRatios() const {
    std::printf("\npower modulo, full-size exponent: ours / GMP mpz_powm\n");
    for (int bits : kSizes) {
      auto ours = times_.find("BM_PowModOurs/" + std::to_string(bits) + "/min_time:1.000");
      auto gmp = times_.find("BM_PowModGmp/" + std::to_string(bits) + "/min_time:1.000");
      if (ours == times_.end() || gmp == times_.end()) continue;
      std::printf("%6d bits: ours %10.3f ms  GMP %10.3f ms  ratio %.2f\n", bits, ours->second,
                  gmp->second, ours->second / gmp->second);
    }
  }

 private:
  std::map<std::string, double> times_;
};

double ThreadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Ours and GMP in turn, `rounds` times each, so a neighbour's load on a shared machine falls on
// both alike; prints the medians and their ratio per size.
void PrintPairedRatios() {
  std::printf("\npaired (ours and GMP in turn): median ms, ours / GMP\n");
  for (int bits : kSizes) {
    const Operands o = MakeOperands(bits);
    mpz_t b, e, m, r;
    mpz_inits(b, e, m, r, nullptr);
    Import(b, o.base);
    Import(e, o.exponent);
    Import(m, o.modulus);
    const int rounds = bits <= 2048 ? 200 : bits <= 4096 ? 40 : bits <= 8192 ? 10 : 5;
    std::vector<double> ours, gmp;
    for (int i = 0; i < rounds; ++i) {
      double start = ThreadSeconds();
      lq::BigNum x = lq::BigPowMod(o.base, o.exponent, o.modulus);
      benchmark::DoNotOptimize(x);
      ours.push_back(ThreadSeconds() - start);
      start = ThreadSeconds();
      mpz_powm(r, b, e, m);
      benchmark::ClobberMemory();
      gmp.push_back(ThreadSeconds() - start);
    }
    mpz_clears(b, e, m, r, nullptr);
    std::sort(ours.begin(), ours.end());
    std::sort(gmp.begin(), gmp.end());
    const double a = ours[ours.size() / 2], g = gmp[gmp.size() / 2];
    std::printf("%6d bits: ours %10.3f ms  GMP %10.3f ms  ratio %.2f\n", bits, a * 1000, g * 1000,
                a / g);
  }
}

}  // namespace

int main(int argc, char** argv) {
  for (int bits : kSizes) {
    if (!ResultsAgree(bits)) {
      std::fprintf(stderr, "power modulo at %d bits disagrees with GMP\n", bits);
      return 1;
    }
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  PrintPairedRatios();
  benchmark::Shutdown();
  return 0;
}
