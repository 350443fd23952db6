// Speed of the coding primitives against references measured in the same run: Base64 against
// OpenSSL's base64 filter (what `openssl base64` runs), LZ78 on mixed text and on random data
// against its earlier compressor, LZSS on a Windows program, AES against OpenSSL's EVP code with
// and without the CPU's AES instructions.
#include <benchmark/benchmark.h>
#include <openssl/bio.h>
#include <openssl/buffer.h>
#include <openssl/evp.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "crypto/aes.h"
#include "crypto/aes_internal.h"
#include "crypto/base64.h"
#include "crypto/lz78.h"
#include "crypto/lz78_reference.h"
#include "crypto/lzss.h"

namespace {

constexpr size_t kBase64Size = 64u << 20;

const std::string& RandomData(size_t n) {
  static std::string data;
  if (data.size() != n) {
    std::mt19937_64 rng(42);
    data.resize(n);
    for (size_t i = 0; i + 8 <= n; i += 8) {
      uint64_t v = rng();
      std::memcpy(&data[i], &v, 8);
    }
  }
  return data;
}

// Mixed text as the packets carry it: prose with a skewed word distribution, numbers, mail
// headers, quoted lines and some markup.
std::string MixedText(size_t n) {
  static const char* kWords[] = {
      "the",      "of",        "and",       "to",        "a",         "in",      "is",
      "that",     "for",       "it",        "as",        "with",      "was",     "on",
      "be",       "by",        "this",      "are",       "from",      "or",      "have",
      "message",  "meeting",   "project",   "schedule",  "contract",  "invoice", "attached",
      "please",   "regards",   "tomorrow",  "quarterly", "report",    "budget",  "customer",
      "delivery", "Lockquill", "encrypted", "signature", "recipient", "keyfile", "Monday"};
  constexpr int kCount = sizeof kWords / sizeof kWords[0];
  std::mt19937 rng(7);
  std::string s;
  s.reserve(n + 256);
  while (s.size() < n) {
    switch (rng() % 40) {
      case 0:
        s += "From: " + std::string(kWords[rng() % kCount]) + "@example.com\r\nSubject: ";
        break;
      case 1:
        s += "\r\n> ";
        break;
      case 2:
        s += "<p class=\"note\">";
        break;
      case 3:
        s += std::to_string(rng() % 100000) + ".00 ";
        break;
      default:
        break;
    }
    // Zipf-like: the first words come far more often.
    const int index = static_cast<int>(kCount * std::pow((rng() % 1000) / 1000.0, 2.5));
    s += kWords[index];
    s += rng() % 12 == 0 ? ".\r\n" : (rng() % 7 == 0 ? ", " : " ");
  }
  s.resize(n);
  return s;
}

std::string ReadFile(const char* path, size_t limit) {
  std::ifstream f(path, std::ios::binary);
  std::string s((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  if (s.size() > limit) s.resize(limit);
  return s;
}

// A 1 MiB Windows program: LQ_BENCH_EXE, else one that Wine installs.
const std::string& ExeData() {
  static const std::string data = [] {
    const char* path = std::getenv("LQ_BENCH_EXE");
    std::string s =
        ReadFile(path ? path : "/usr/lib/i386-linux-gnu/wine/i386-windows/wordpad.exe", 1u << 20);
    if (s.empty())
      std::fprintf(stderr, "codec_bench: no Windows program found, set LQ_BENCH_EXE\n");
    return s;
  }();
  return data;
}

// ---- Base64 ----

void BM_Base64Encode(benchmark::State& state) {
  const std::string& data = RandomData(kBase64Size);
  std::string out;
  for (auto _ : state) {
    lq::Base64_Encode(data, lq::kBase64GroupsPerLine, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * data.size());
}
BENCHMARK(BM_Base64Encode)->Unit(benchmark::kMillisecond);

// The filter chain of `openssl base64`: base64 BIO over a memory BIO.
void BM_OpenSslBase64Encode(benchmark::State& state) {
  const std::string& data = RandomData(kBase64Size);
  for (auto _ : state) {
    BIO* b64 = BIO_new(BIO_f_base64());
    BIO* mem = BIO_new(BIO_s_mem());
    BIO_push(b64, mem);
    for (size_t off = 0; off < data.size(); off += 8192) {
      BIO_write(b64, data.data() + off,
                static_cast<int>(std::min<size_t>(8192, data.size() - off)));
    }
    (void)BIO_flush(b64);
    BUF_MEM* buf = nullptr;
    BIO_get_mem_ptr(mem, &buf);
    benchmark::DoNotOptimize(buf->data);
    BIO_free_all(b64);
  }
  state.SetBytesProcessed(state.iterations() * data.size());
}
BENCHMARK(BM_OpenSslBase64Encode)->Unit(benchmark::kMillisecond);

void BM_Base64Decode(benchmark::State& state) {
  std::string text;
  lq::Base64_Encode(RandomData(kBase64Size), lq::kBase64GroupsPerLine, text);
  std::string out;
  for (auto _ : state) {
    lq::Base64_Decode(text, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * kBase64Size);
}
BENCHMARK(BM_Base64Decode)->Unit(benchmark::kMillisecond);

void BM_OpenSslBase64Decode(benchmark::State& state) {
  // OpenSSL's own line layout (64 characters and LF), which its filter reads fastest.
  std::string text;
  {
    BIO* b64 = BIO_new(BIO_f_base64());
    BIO* mem = BIO_new(BIO_s_mem());
    BIO_push(b64, mem);
    const std::string& data = RandomData(kBase64Size);
    BIO_write(b64, data.data(), static_cast<int>(data.size()));
    (void)BIO_flush(b64);
    BUF_MEM* buf = nullptr;
    BIO_get_mem_ptr(mem, &buf);
    text.assign(buf->data, buf->length);
    BIO_free_all(b64);
  }
  std::string out(kBase64Size, '\0');
  for (auto _ : state) {
    BIO* b64 = BIO_new(BIO_f_base64());
    BIO* mem = BIO_new_mem_buf(text.data(), static_cast<int>(text.size()));
    BIO_push(b64, mem);
    size_t got = 0;
    int n;
    while ((n = BIO_read(b64, out.data() + got, 8192)) > 0) got += n;
    benchmark::DoNotOptimize(got);
    BIO_free_all(b64);
  }
  state.SetBytesProcessed(state.iterations() * kBase64Size);
}
BENCHMARK(BM_OpenSslBase64Decode)->Unit(benchmark::kMillisecond);

// The command itself on a 64 MiB file, process start and file I/O included.
void BM_OpenSslBase64Command(benchmark::State& state) {
  const bool decode = state.range(0) == 1;
  const std::string in = "/tmp/lq_codec_bench.bin", b64 = "/tmp/lq_codec_bench.b64";
  { std::ofstream(in, std::ios::binary) << RandomData(kBase64Size); }
  std::system(("openssl base64 -in " + in + " -out " + b64).c_str());
  const std::string cmd = decode ? "openssl base64 -d -in " + b64 + " -out /dev/null"
                                 : "openssl base64 -in " + in + " -out /dev/null";
  for (auto _ : state) {
    if (std::system(cmd.c_str()) != 0) state.SkipWithError("openssl base64 failed");
  }
  state.SetBytesProcessed(state.iterations() * kBase64Size);
  std::remove(in.c_str());
  std::remove(b64.c_str());
}
BENCHMARK(BM_OpenSslBase64Command)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- LZ78 ----

const std::string& Text() {
  static const std::string text = MixedText(16u << 20);
  return text;
}

// LZ78 compression of `data` with the product code or with the reference (the compressor as
// it was before its dictionary was reworked), unbounded or with the packet composer's limit
// (no longer than the input, else stored as it is).
void Lz78Compress(benchmark::State& state, const std::string& data, bool reference, bool bounded) {
  std::string z;
  int rc = lq::kLz78Ok;
  for (auto _ : state) {
    if (reference) {
      rc = lq::lz78_reference::Compress(data, z);
      if (bounded && z.size() > data.size()) rc = lq::kLz78NoGain;
    } else {
      rc = bounded ? lq::LZ78_Compress(data, z, data.size()) : lq::LZ78_Compress(data, z);
    }
    benchmark::DoNotOptimize(z.data());
  }
  state.SetBytesProcessed(state.iterations() * data.size());
  if (rc == lq::kLz78NoGain) {
    state.SetLabel("no gain");
  } else {
    state.counters["ratio"] = static_cast<double>(z.size()) / data.size();
  }
}

const std::string& Lz78Noise() {
  static const std::string noise = RandomData(16u << 20);
  return noise;
}

void BM_Lz78Compress(benchmark::State& state) { Lz78Compress(state, Text(), false, false); }
void BM_Lz78CompressReference(benchmark::State& state) { Lz78Compress(state, Text(), true, false); }
void BM_Lz78CompressRandom(benchmark::State& state) {
  Lz78Compress(state, Lz78Noise(), false, false);
}
void BM_Lz78CompressRandomReference(benchmark::State& state) {
  Lz78Compress(state, Lz78Noise(), true, false);
}
void BM_Lz78CompressRandomBounded(benchmark::State& state) {
  Lz78Compress(state, Lz78Noise(), false, true);
}
void BM_Lz78CompressRandomBoundedReference(benchmark::State& state) {
  Lz78Compress(state, Lz78Noise(), true, true);
}
BENCHMARK(BM_Lz78Compress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lz78CompressReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lz78CompressRandom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lz78CompressRandomReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lz78CompressRandomBounded)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lz78CompressRandomBoundedReference)->Unit(benchmark::kMillisecond);

void BM_Lz78Decompress(benchmark::State& state) {
  const std::string& text = Text();
  std::string z, out;
  lq::LZ78_Compress(text, z);
  for (auto _ : state) {
    lq::LZ78_Decompress(z, out);
    benchmark::DoNotOptimize(out.data());
  }
  if (out != text) state.SkipWithError("round trip failed");
  state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_Lz78Decompress)->Unit(benchmark::kMillisecond);

// ---- LZSS ----

void BM_LzssCompress(benchmark::State& state) {
  const std::string& exe = ExeData();
  std::string z;
  for (auto _ : state) {
    lq::LZSS_Compress(exe, z);
    benchmark::DoNotOptimize(z.data());
  }
  state.SetBytesProcessed(state.iterations() * exe.size());
  state.counters["ratio"] = exe.empty() ? 0 : static_cast<double>(z.size()) / exe.size();
}
BENCHMARK(BM_LzssCompress)->Unit(benchmark::kMillisecond);

void BM_LzssDecompress(benchmark::State& state) {
  const std::string& exe = ExeData();
  std::string z, out;
  lq::LZSS_Compress(exe, z);
  for (auto _ : state) {
    lq::LZSS_Decompress(z, out);
    benchmark::DoNotOptimize(out.data());
  }
  if (out != exe) state.SkipWithError("round trip failed");
  state.SetBytesProcessed(state.iterations() * exe.size());
}
BENCHMARK(BM_LzssDecompress)->Unit(benchmark::kMillisecond);

// ---- AES-256-CBC ----
// Run once as is (our engine of choice against OpenSSL with AES instructions), and once with
// OPENSSL_ia32cap='~0x200020200000000:~0x0', which turns OpenSSL to its table code: compare
// that with BM_AesTables*.

class BenchUi final : public lq::Ui {
 public:
  int ShowMessageBox(const lq::MessageBoxRequest&) override { return lq::kIdOk; }
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
};

const std::string kAesKey(32, '\x42');
const std::string kAesIv(16, '\x24');

void BM_AesCbcEncrypt(benchmark::State& state) {
  BenchUi ui;
  lq::RandomContext random;
  const std::string p = RandomData(state.range(0)).substr(0, state.range(0));
  for (auto _ : state) {
    std::string c = lq::AES_Encrypt_CBC(random, ui, p, kAesKey, kAesIv);
    benchmark::DoNotOptimize(c.data());
  }
  state.SetBytesProcessed(state.iterations() * p.size());
  state.SetLabel(lq::aes_internal::ActiveEngine().name);
}

void BM_AesCbcDecrypt(benchmark::State& state) {
  BenchUi ui;
  lq::RandomContext random;
  const std::string p = RandomData(state.range(0)).substr(0, state.range(0));
  const std::string c = lq::AES_Encrypt_CBC(random, ui, p, kAesKey, kAesIv);
  for (auto _ : state) {
    std::string back = lq::AES_Decrypt_CBC(ui, c, kAesKey);
    benchmark::DoNotOptimize(back.data());
  }
  state.SetBytesProcessed(state.iterations() * p.size());
  state.SetLabel(lq::aes_internal::ActiveEngine().name);
}

// The table engine alone, key schedule included, into one output buffer as OpenSSL below.
void BM_AesTablesCbc(benchmark::State& state, bool decrypt) {
  const std::string p = RandomData(state.range(0)).substr(0, state.range(0));
  const auto& engine = lq::aes_internal::TableEngine();
  std::string out(p.size(), '\0');
  for (auto _ : state) {
    lq::aes_internal::Schedule ks;
    lq::aes_internal::ExpandKey(kAesKey, ks);
    unsigned char chain[16];
    std::memcpy(chain, kAesIv.data(), 16);
    auto* in = reinterpret_cast<const unsigned char*>(p.data());
    auto* o = reinterpret_cast<unsigned char*>(out.data());
    if (decrypt) {
      engine.decrypt_cbc(ks, chain, in, o, p.size() / 16);
    } else {
      engine.encrypt_cbc(ks, chain, in, o, p.size() / 16);
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * p.size());
}
void BM_AesTablesCbcEncrypt(benchmark::State& state) { BM_AesTablesCbc(state, false); }
void BM_AesTablesCbcDecrypt(benchmark::State& state) { BM_AesTablesCbc(state, true); }

void BM_OpenSslCbc(benchmark::State& state, bool decrypt) {
  const std::string p = RandomData(state.range(0)).substr(0, state.range(0));
  std::string out(p.size() + 32, '\0');
  for (auto _ : state) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_CipherInit_ex(ctx, EVP_aes_256_cbc(), nullptr,
                      reinterpret_cast<const unsigned char*>(kAesKey.data()),
                      reinterpret_cast<const unsigned char*>(kAesIv.data()), decrypt ? 0 : 1);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    int n = 0;
    EVP_CipherUpdate(ctx, reinterpret_cast<unsigned char*>(out.data()), &n,
                     reinterpret_cast<const unsigned char*>(p.data()), static_cast<int>(p.size()));
    EVP_CIPHER_CTX_free(ctx);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * p.size());
}
void BM_OpenSslCbcEncrypt(benchmark::State& state) { BM_OpenSslCbc(state, false); }
void BM_OpenSslCbcDecrypt(benchmark::State& state) { BM_OpenSslCbc(state, true); }

BENCHMARK(BM_AesCbcEncrypt)->Arg(1024)->Arg(1 << 20);
BENCHMARK(BM_OpenSslCbcEncrypt)->Arg(1024)->Arg(1 << 20);
BENCHMARK(BM_AesCbcDecrypt)->Arg(1024)->Arg(1 << 20);
BENCHMARK(BM_OpenSslCbcDecrypt)->Arg(1024)->Arg(1 << 20);
BENCHMARK(BM_AesTablesCbcEncrypt)->Arg(1 << 20);
BENCHMARK(BM_AesTablesCbcDecrypt)->Arg(1 << 20);

}  // namespace

BENCHMARK_MAIN();
