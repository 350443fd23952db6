// Digest speed against OpenSSL: 16 KiB throughput of each compression path, and the passphrase
// digest (8001 one-block digests) against the same chain of OpenSSL calls. Prints the ratios.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/sha.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>

#include "crypto/sha256.h"
#include "crypto/sha256_internal.h"

namespace {

namespace si = lq::sha256_internal;

constexpr size_t kInputSize = 16 * 1024;
constexpr int kRounds = 8000;

std::string Input(size_t n) {
  std::string out(n, '\0');
  uint32_t x = 12345;
  for (char& c : out) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  return out;
}

void BM_Ours(benchmark::State& state) {
  const std::string data = Input(kInputSize);
  unsigned char out[32];
  for (auto _ : state) {
    lq::SHA256_Hash(data.data(), data.size(), out);
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kInputSize));
}
BENCHMARK(BM_Ours);

void BM_OursPortable(benchmark::State& state) {
  const std::string data = Input(kInputSize);
  unsigned char out[32];
  for (auto _ : state) {
    si::HashWith(si::CompressPortable, data.data(), data.size(), out);
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kInputSize));
}
BENCHMARK(BM_OursPortable);

void BM_OpenSsl(benchmark::State& state) {
  const std::string data = Input(kInputSize);
  unsigned char out[32];
  for (auto _ : state) {
    SHA256(reinterpret_cast<const unsigned char*>(data.data()), data.size(), out);
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kInputSize));
}
BENCHMARK(BM_OpenSsl);

void BM_OursIterated(benchmark::State& state) {
  const std::string passphrase = Input(32), salt = Input(33).substr(1);
  for (auto _ : state) benchmark::DoNotOptimize(lq::SHA256_Iterated(passphrase, salt, kRounds));
}
BENCHMARK(BM_OursIterated);

void BM_OpenSslChain(benchmark::State& state) {
  const std::string joined = Input(32) + Input(33).substr(1);
  unsigned char h[32];
  for (auto _ : state) {
    SHA256(reinterpret_cast<const unsigned char*>(joined.data()), joined.size(), h);
    for (int i = 0; i < kRounds; ++i) SHA256(h, sizeof h, h);
    benchmark::DoNotOptimize(h);
  }
}
BENCHMARK(BM_OpenSslChain);

// The same chain without OpenSSL's per-call digest lookup: one fetched digest, one context.
void BM_OpenSslEvpChain(benchmark::State& state) {
  const std::string joined = Input(32) + Input(33).substr(1);
  EVP_MD* md = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  unsigned char h[32];
  for (auto _ : state) {
    EVP_DigestInit_ex2(ctx, md, nullptr);
    EVP_DigestUpdate(ctx, joined.data(), joined.size());
    EVP_DigestFinal_ex(ctx, h, nullptr);
    for (int i = 0; i < kRounds; ++i) {
      EVP_DigestInit_ex2(ctx, md, nullptr);
      EVP_DigestUpdate(ctx, h, sizeof h);
      EVP_DigestFinal_ex(ctx, h, nullptr);
    }
    benchmark::DoNotOptimize(h);
  }
  EVP_MD_CTX_free(ctx);
  EVP_MD_free(md);
}
BENCHMARK(BM_OpenSslEvpChain);

// On a shared machine the benchmarks above run one after another under changing load. This
// alternates the two sides many times and keeps each side's fastest time, which is steadier.
template <typename A, typename B>
double InterleavedSpeedRatio(A ours, B reference) {
  using Clock = std::chrono::steady_clock;
  double best_ours = 1e30, best_reference = 1e30;
  for (int round = 0; round < 300; ++round) {
    const auto t0 = Clock::now();
    ours();
    const auto t1 = Clock::now();
    reference();
    const auto t2 = Clock::now();
    best_ours = std::min(best_ours, std::chrono::duration<double>(t1 - t0).count());
    best_reference = std::min(best_reference, std::chrono::duration<double>(t2 - t1).count());
  }
  return best_reference / best_ours;
}

// Keeps the fastest CPU time per iteration of every benchmark over its repetitions, so that
// main can print the ratios; the minimum is the figure least disturbed by other work.
class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> times;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      const std::string name = run.run_name.function_name;
      const double t = run.GetAdjustedCPUTime();
      if (!times.count(name) || t < times[name]) times[name] = t;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  auto& t = reporter.times;
  auto ratio = [&t](const char* label, const char* numerator, const char* denominator) {
    if (t.count(numerator) && t.count(denominator))
      std::printf("%-58s %.2fx\n", label, t[numerator] / t[denominator]);
  };
  std::printf("\nSHA extensions on this processor: %s\n", si::CpuHasShaNi() ? "yes" : "no");
  std::printf("Fastest repetition of each benchmark:\n");
  ratio("  16 KiB throughput, ours (auto) / OpenSSL:", "BM_OpenSsl", "BM_Ours");
  ratio("  16 KiB throughput, ours (portable) / OpenSSL:", "BM_OpenSsl", "BM_OursPortable");
  ratio("  Iterated 8000, time ours / OpenSSL SHA256() chain:", "BM_OursIterated",
        "BM_OpenSslChain");
  ratio("  Iterated 8000, time ours / OpenSSL reused-context chain:", "BM_OursIterated",
        "BM_OpenSslEvpChain");

  const std::string data = Input(kInputSize);
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
  unsigned char out[32];
  auto openssl = [&] { SHA256(bytes, data.size(), out); };
  std::printf("Interleaved, fastest of 300 alternations:\n");
  std::printf("  %-56s %.2fx\n", "16 KiB throughput, ours (auto) / OpenSSL:",
              InterleavedSpeedRatio([&] { lq::SHA256_Hash(bytes, data.size(), out); }, openssl));
  std::printf("  %-56s %.2fx\n", "16 KiB throughput, ours (portable) / OpenSSL:",
              InterleavedSpeedRatio(
                  [&] { si::HashWith(si::CompressPortable, bytes, data.size(), out); }, openssl));
  benchmark::DoNotOptimize(out);
  return 0;
}
