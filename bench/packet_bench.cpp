// Speed and memory of the packet engine: composing and opening a packet (transport hash record
// and armor included) with one attachment, against the sum of the primitives it is made of
// (HMAC, LZ78, AES-CBC, SHA-256, Base64) measured in the same run.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>

#include "base/file_io.h"
#include "crypto/aes.h"
#include "crypto/base64.h"
#include "crypto/lz78.h"
#include "crypto/sha256.h"
#include "keys/key_records.h"
#include "keys/keyfile.h"
#include "packet/armor.h"
#include "packet/encryption_packet.h"
#include "packet/packet_records.h"
#include "packet/signature_packet.h"

namespace {

// Answers every question with its first choice and stays silent.
class QuietUi : public lq::Ui {
 public:
  std::string next_text;
  int ShowMessageBox(const lq::MessageBoxRequest& r) override {
    std::fprintf(stderr, "box: %s\n", r.key.c_str());
    return (r.style & lq::mb::kButtonMask) >= lq::mb::kYesNoCancel ? lq::kIdYes : lq::kIdOk;
  }
  lq::OverwriteReply ConfirmOverwrite(const lq::OverwriteRequest&) override {
    return {lq::OverwriteChoice::kYesToAll, true};
  }
  std::string AskPassphrase(std::string_view) override { return "bench"; }
  lq::ChangePassphraseReply AskChangePassphrase(const lq::ChangePassphraseRequest&) override {
    lq::ChangePassphraseReply r;
    r.new_text = r.retyped = "bench";
    return r;
  }
  std::string AskText(std::string_view, std::string_view, bool& ok) override {
    ok = true;
    return next_text;
  }
  std::vector<std::string> ChooseFiles(const lq::FileChooserRequest&) override { return {}; }
  std::string ChooseFolder(std::string_view, std::string_view) override { return {}; }
};

std::string Data(size_t n, bool text_like) {
  std::mt19937_64 rng(n * 2 + text_like);
  std::string d(n, '\0');
  if (!text_like) {
    for (size_t i = 0; i + 8 <= n; i += 8) {
      const uint64_t v = rng();
      std::memcpy(&d[i], &v, 8);
    }
    return d;
  }
  static const char* const kWords[] = {"the ",      "packet ",    "engine ", "adds ", "little ",
                                       "on ",       "top ",       "of ",     "its ",  "parts, ",
                                       "which ",    "is ",        "what ",   "we ",   "measure ",
                                       "here.\r\n", "Lockquill ", "file ",   "mail ", "key "};
  size_t i = 0;
  while (i < n) {
    const char* w = kWords[rng() % 20];
    for (size_t k = 0; w[k] && i < n; ++k) d[i++] = w[k];
  }
  return d;
}

// Wall and processor time since a start; the machine may be shared, so both are reported.
struct Clock {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  std::clock_t cpu = std::clock();
  void Add(double& wall_total, double& cpu_total) const {
    wall_total += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
    cpu_total += static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
  }
};

struct Fixture {
  std::filesystem::path dir;
  QuietUi ui;
  lq::RandomContext random;
  lq::Keyfile kf{ui, random};
  lq::Bytes bob;
  Fixture() {
    dir =
        std::filesystem::temp_directory_path() / ("lq-packet-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "store");
    lq::CreateNewKeyfile(kf, (dir / "bench.lqk").string());
    ui.next_text = "bob";
    bob = lq::NewKey(kf);
    std::string secret = "bench shared secret";
    lq::SetSecretKey(kf, bob, secret, 0, 0, 0);
  }
  ~Fixture() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

Fixture& TheFixture() {
  static Fixture f;
  return f;
}

// One round trip as the encrypt and decrypt actions make it: compose, hash record, armor;
// dearmor, check, open and save the file.
void BM_PacketRoundTrip(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0)) << 20;
  const bool text_like = state.range(1) != 0;
  Fixture& f = TheFixture();
  const std::string input = (f.dir / "attachment.bin").string();
  {
    const std::string d = Data(n, text_like);
    lq::ReplaceWholeFile(input, d);
  }
  lq::PacketSession s(f.ui, f.random, f.kf);
  s.SetRecipients({f.bob});
  s.SetPreferSecretKeys(true);
  s.attachments = {input};
  s.store_folder = (f.dir / "store").string() + "/";
  s.keep_history = false;
  double engine = 0, parts = 0, engine_cpu = 0, parts_cpu = 0;
  for (auto _ : state) {
    Clock t0;
    const std::string armor = lq::Compose_PacketArmor(s, "message");
    const lq::Bytes text = lq::ReadArmoredText(s, armor).text;
    t0.Add(engine, engine_cpu);
    if (text != "message") state.SkipWithError("round trip failed");

    // The same work done by the primitives alone on the attachment's bytes.
    std::string d = Data(n, text_like);
    const lq::Bytes key(32, 'k');
    Clock t1;
    benchmark::DoNotOptimize(lq::HMAC_SHA256(key, d));
    lq::Bytes z;
    lq::LZ78_Compress(d, z);
    const lq::Bytes& plain = z.size() > d.size() ? d : z;
    const lq::Bytes c = lq::AES_Encrypt_CBC(f.random, f.ui, plain, key, {});
    benchmark::DoNotOptimize(lq::SHA256_Hash(c));
    std::string b64;
    lq::Base64_Encode(c, lq::kBase64GroupsPerLine, b64);
    lq::Bytes back;
    lq::Base64_Decode(b64, back);
    benchmark::DoNotOptimize(lq::SHA256_Hash(back));
    const lq::Bytes p = lq::AES_Decrypt_CBC(f.ui, back, key);
    lq::Bytes u;
    if (&plain == &z) lq::LZ78_Decompress(p, u);
    benchmark::DoNotOptimize(lq::HMAC_SHA256(key, &plain == &z ? u : p));
    t1.Add(parts, parts_cpu);
  }
  const double iters = static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
  state.counters["engine_MBps"] = static_cast<double>(n) / 1e6 / (engine / iters);
  state.counters["parts_MBps"] = static_cast<double>(n) / 1e6 / (parts / iters);
  state.counters["parts/engine"] = parts / engine;
  state.counters["cpu_parts/engine"] = parts_cpu / engine_cpu;
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  state.counters["peak_rss_MiB"] = static_cast<double>(ru.ru_maxrss) / 1024.0;
}

}  // namespace

// Arguments: attachment size in MiB, text-like (1) or random (0). Run the 32 MiB cases alone
// (--benchmark_filter) to read their own peak memory.
// The engine alone, as a caller would use it: each stage released once the next is made. Run one
// case per process to read its peak resident memory.
void BM_PacketEngineOnly(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0)) << 20;
  Fixture& f = TheFixture();
  const std::string input = (f.dir / "attachment.bin").string();
  {
    const std::string d = Data(n, state.range(1) != 0);
    lq::ReplaceWholeFile(input, d);
  }
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  const double base = static_cast<double>(ru.ru_maxrss) / 1024.0;
  lq::PacketSession s(f.ui, f.random, f.kf);
  s.SetRecipients({f.bob});
  s.SetPreferSecretKeys(true);
  s.attachments = {input};
  s.store_folder = (f.dir / "store").string() + "/";
  s.keep_history = false;
  for (auto _ : state) {
    const std::string armor = lq::Compose_PacketArmor(s, "message");
    if (lq::ReadArmoredText(s, armor).text != "message") state.SkipWithError("failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
  getrusage(RUSAGE_SELF, &ru);
  state.counters["peak_rss_MiB"] = static_cast<double>(ru.ru_maxrss) / 1024.0;
  state.counters["rss_before_MiB"] = base;
  state.counters["peak/attachment"] =
      static_cast<double>(ru.ru_maxrss) / 1024.0 / static_cast<double>(state.range(0));
}

BENCHMARK(BM_PacketEngineOnly)
    ->Args({1, 0})
    ->Args({32, 0})
    ->Args({32, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

BENCHMARK(BM_PacketRoundTrip)
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({32, 0})
    ->Args({32, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

BENCHMARK_MAIN();
