// The six AES routines with the system's random padding and IV-at-the-end CBC layout, their
// failure messages, and the known-answer self-check.
#include "crypto/aes.h"

#include <cstring>
#include <string>

#include "crypto/aes_internal.h"
#include "crypto/hex.h"

namespace lq {
namespace {

using aes_internal::ActiveEngine;
using aes_internal::ExpandKey;
using aes_internal::Schedule;

void PlainBox(Ui& ui, std::string text) {
  MessageBoxRequest request;
  request.text = std::move(text);
  request.style = mb::kOk;
  ui.ShowMessageBox(request);
}

void KeyLengthBox(Ui& ui, const char* routine) {
  PlainBox(ui, std::string(routine) + ": Passwordlength is not equal to 16, 24 or 32 bytes!");
}

const unsigned char* Ptr(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}
unsigned char* Ptr(Bytes& s) { return reinterpret_cast<unsigned char*>(s.data()); }

// The last plaintext block with its padding: the L mod 16 trailing bytes of the plaintext, then
// k - 1 random bytes from the runtime generator, then the byte k (k = 1..16).
struct PaddedTail {
  unsigned char block[16];
  size_t whole_blocks;  // plaintext blocks before the tail
  PaddedTail(RandomContext& random, std::string_view plaintext) {
    whole_blocks = plaintext.size() / 16;
    const size_t rest = plaintext.size() % 16;
    const size_t k = 16 - rest;
    std::memcpy(block, plaintext.data() + 16 * whole_blocks, rest);
    for (size_t i = rest; i < 15; ++i)
      block[i] = static_cast<unsigned char>(RuntimeRandom(random, 0, 255));
    block[15] = static_cast<unsigned char>(k);
  }
  ~PaddedTail() { WipeMemory(block, sizeof block); }
  size_t PaddedLength() const { return 16 * (whole_blocks + 1); }
};

// Removes as many bytes as the last one says; all of it when that is more than there is.
void StripPadding(Bytes& plaintext) {
  if (plaintext.empty()) return;
  const size_t k = static_cast<unsigned char>(plaintext.back());
  if (k > plaintext.size()) {
    Wipe(plaintext);
    return;
  }
  WipeMemory(plaintext.data() + plaintext.size() - k, k);
  plaintext.resize(plaintext.size() - k);
}

}  // namespace

Bytes AES_Encrypt_1Block(Ui& ui, std::string_view block, std::string_view key) {
  if (block.size() != kAesBlockSize) {
    PlainBox(ui, "AES_Encrypt_1Block: PlainTextlength not equal to blocksize");
    return {};
  }
  Schedule ks;
  if (!ExpandKey(key, ks)) {
    KeyLengthBox(ui, "AES_Encrypt_1Block");
    return Bytes(kAesBlockSize, '\0');
  }
  Bytes out(kAesBlockSize, '\0');
  ActiveEngine().encrypt_ecb(ks, Ptr(block), Ptr(out), 1);
  return out;
}

Bytes AES_Decrypt_1Block(Ui& ui, std::string_view block, std::string_view key) {
  if (block.size() != kAesBlockSize) {
    PlainBox(ui, "AES_Decrypt_1Block: CipherText not equal to blocksize");
    return {};
  }
  Schedule ks;
  if (!ExpandKey(key, ks)) {
    KeyLengthBox(ui, "AES_Decrypt_1Block");
    return Bytes(kAesBlockSize, '\0');
  }
  Bytes out(kAesBlockSize, '\0');
  ActiveEngine().decrypt_ecb(ks, Ptr(block), Ptr(out), 1);
  return out;
}

Bytes AES_Encrypt_ECB(RandomContext& random, Ui& ui, std::string_view plaintext,
                      std::string_view key) {
  PaddedTail tail(random, plaintext);
  Schedule ks;
  if (!ExpandKey(key, ks)) {
    KeyLengthBox(ui, "AES_Encrypt_ECB");
    return Bytes(tail.PaddedLength(), '\0');
  }
  Bytes out(tail.PaddedLength(), '\0');
  const auto& engine = ActiveEngine();
  engine.encrypt_ecb(ks, Ptr(plaintext), Ptr(out), tail.whole_blocks);
  engine.encrypt_ecb(ks, tail.block, Ptr(out) + 16 * tail.whole_blocks, 1);
  return out;
}

Bytes AES_Decrypt_ECB(Ui& ui, std::string_view ciphertext, std::string_view key) {
  if (ciphertext.size() % kAesBlockSize != 0) {
    PlainBox(ui,
             "AES_Decrypt_ECB: Decryption error! CipherText length was not a multiple of "
             "'%BlockSize'");
    return {};
  }
  Schedule ks;
  if (!ExpandKey(key, ks)) {
    KeyLengthBox(ui, "AES_Decrypt_ECB");
    return Bytes(ciphertext.size(), '\0');
  }
  Bytes out(ciphertext.size(), '\0');
  ActiveEngine().decrypt_ecb(ks, Ptr(ciphertext), Ptr(out), ciphertext.size() / kAesBlockSize);
  StripPadding(out);
  return out;
}

Bytes AES_Encrypt_CBC(RandomContext& random, Ui& ui, std::string_view plaintext,
                      std::string_view key, std::string_view iv) {
  // Padding first, then a fresh IV: the order in which the random bytes are drawn.
  PaddedTail tail(random, plaintext);
  unsigned char chain[16];
  if (iv.empty()) {
    for (auto& b : chain) b = static_cast<unsigned char>(RuntimeRandom(random, 0, 255));
  } else if (iv.size() == kAesBlockSize) {
    std::memcpy(chain, iv.data(), kAesBlockSize);
  } else {
    PlainBox(ui, "AES_Encrypt_CBC: IV length" + NumText(static_cast<long long>(iv.size())) +
                     " is not equal to 16 bytes!");
    return {};
  }
  Schedule ks;
  if (!ExpandKey(key, ks)) {
    KeyLengthBox(ui, "AES_Encrypt_CBC");
    return {};
  }
  const size_t body = tail.PaddedLength();
  Bytes out(body + kAesBlockSize, '\0');
  std::memcpy(Ptr(out) + body, chain, kAesBlockSize);  // the IV goes behind the ciphertext
  const auto& engine = ActiveEngine();
  engine.encrypt_cbc(ks, chain, Ptr(plaintext), Ptr(out), tail.whole_blocks);
  engine.encrypt_cbc(ks, chain, tail.block, Ptr(out) + 16 * tail.whole_blocks, 1);
  return out;
}

Bytes AES_Decrypt_CBC(Ui& ui, std::string_view data, std::string_view key) {
  if (data.size() % kAesBlockSize != 0) {
    PlainBox(ui,
             "AES_Decrypt_CBC: Decryption error! CipherText length was not a multiple of "
             "%BlockSize");
    return {};
  }
  Schedule ks;
  if (!ExpandKey(key, ks)) {
    KeyLengthBox(ui, "AES_Decrypt_CBC");
    return {};
  }
  // No ciphertext before the IV (or not even an IV): nothing to decrypt.
  if (data.size() <= kAesBlockSize) return {};
  const size_t body = data.size() - kAesBlockSize;
  unsigned char chain[16];
  std::memcpy(chain, data.data() + body, kAesBlockSize);
  Bytes out(body, '\0');
  ActiveEngine().decrypt_cbc(ks, chain, Ptr(data), Ptr(out), body / kAesBlockSize);
  StripPadding(out);
  return out;
}

bool AES_Encrypt_CBC_InPlace(RandomContext& random, Ui& ui, Bytes& buffer, size_t offset,
                             std::string_view key) {
  const std::string_view plaintext = std::string_view(buffer).substr(offset);
  PaddedTail tail(random, plaintext);
  unsigned char chain[16];
  for (auto& b : chain) b = static_cast<unsigned char>(RuntimeRandom(random, 0, 255));
  Schedule ks;
  if (!ExpandKey(key, ks)) {
    KeyLengthBox(ui, "AES_Encrypt_CBC");
    return false;
  }
  const size_t body = tail.PaddedLength();
  const size_t total = offset + body + kAesBlockSize;
  if (buffer.capacity() < total) {
    // Growing in place would leave the plaintext behind in freed memory.
    Bytes bigger;
    bigger.reserve(total);
    bigger.append(buffer);
    Wipe(buffer);
    buffer.swap(bigger);
  }
  buffer.resize(total);
  unsigned char* p = Ptr(buffer) + offset;
  std::memcpy(p + body, chain, kAesBlockSize);  // behind the padding: no plaintext there
  const auto& engine = ActiveEngine();
  engine.encrypt_cbc(ks, chain, p, p, tail.whole_blocks);
  engine.encrypt_cbc(ks, chain, tail.block, p + 16 * tail.whole_blocks, 1);
  return true;
}

size_t AES_Decrypt_CBC_InPlace(Ui& ui, char* data, size_t n, std::string_view key) {
  if (n % kAesBlockSize != 0) {
    PlainBox(ui,
             "AES_Decrypt_CBC: Decryption error! CipherText length was not a multiple of "
             "%BlockSize");
    return 0;
  }
  Schedule ks;
  if (!ExpandKey(key, ks)) {
    KeyLengthBox(ui, "AES_Decrypt_CBC");
    return 0;
  }
  if (n <= kAesBlockSize) return 0;
  const size_t body = n - kAesBlockSize;
  unsigned char* p = reinterpret_cast<unsigned char*>(data);
  unsigned char chain[16];
  std::memcpy(chain, p + body, kAesBlockSize);
  ActiveEngine().decrypt_cbc(ks, chain, p, p, body / kAesBlockSize);
  const size_t k = p[body - 1];
  const size_t kept = k > body ? 0 : body - k;
  WipeMemory(p + kept, n - kept);
  return kept;
}

int AES_SelfTest(RandomContext& random, Ui& ui) {
  struct KeyVectors {
    const char* key;
    const char* fips_ciphertext;  // FIPS-197 Appendix C, plaintext 00112233..eeff
    const char* ecb[2];           // SP 800-38A F.1, blocks 1 and 2
    const char* cbc[3];           // SP 800-38A F.2, blocks 1 to 3
  };
  static const KeyVectors kVectors[] = {
      {"000102030405060708090a0b0c0d0e0f",
       "69c4e0d86a7b0430d8cdb78070b4c55a",
       {"3ad77bb40d7a3660a89ecaf32466ef97", "f5d3d58503b9699de785895a96fdbaaf"},
       {"7649abac8119b246cee98e9b12e9197d", "5086cb9b507219ee95db113a917678b2",
        "73bed6b8e3c1743b7116e69e22229516"}},
      {"000102030405060708090a0b0c0d0e0f1011121314151617",
       "dda97ca4864cdfe06eaf70a0ec0d7191",
       {"bd334f1d6e45f25ff712a214571fa5cc", "974104846d0ad3ad7734ecb3ecee4eef"},
       {"4f021db243bc633d7178183a9fa071e8", "b4d9ada9ad7dedf4e5e738763f69145a",
        "571b242012fb7ae07fa9baac3df102e0"}},
      {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
       "8ea2b7ca516745bfeafc49904b496089",
       {"f3eed1bdb5d2a03c064b5a7e3db181f8", "591ccb10d410ed26dc5ba74a31362870"},
       {"f58c4c04d6e5f1ba779eabfb5f7bfbd6", "9cfc4e967edb808d679f777bc6702c7d",
        "39f23369a9d9bacfa530e26304231461"}},
  };
  // SP 800-38A keys and plaintext blocks (the FIPS-197 keys are the counting ones above).
  static const char* kSpKeys[] = {
      "2b7e151628aed2a6abf7158809cf4f3c", "8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b",
      "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4"};
  static const char* kSpPlain[] = {"6bc1bee22e409f96e93d7e117393172a",
                                   "ae2d8a571e03ac9c9eb76fac45af8e51",
                                   "30c81c46a35ce411e5fbc1191a0a52ef"};
  const Bytes fips_plain = Hex_ToBytes("00112233445566778899aabbccddeeff");
  const Bytes iv = Hex_ToBytes("000102030405060708090a0b0c0d0e0f");

  int errors = 0;
  auto check = [&errors](bool ok) { errors += ok ? 0 : 1; };
  for (int v = 0; v < 3; ++v) {
    const KeyVectors& kv = kVectors[v];
    const Bytes fips_key = Hex_ToBytes(kv.key);
    const Bytes fips_cipher = Hex_ToBytes(kv.fips_ciphertext);
    check(AES_Encrypt_1Block(ui, fips_plain, fips_key) == fips_cipher);
    check(AES_Decrypt_1Block(ui, fips_cipher, fips_key) == fips_plain);

    const Bytes key = Hex_ToBytes(kSpKeys[v]);
    Bytes plain, cipher;
    for (int blocks = 1; blocks <= 2; ++blocks) {
      plain += Hex_ToBytes(kSpPlain[blocks - 1]);
      cipher += Hex_ToBytes(kv.ecb[blocks - 1]);
      // The padding adds a block of its own; the known blocks come first.
      const Bytes enc = AES_Encrypt_ECB(random, ui, plain, key);
      check(enc.size() == cipher.size() + 16 && enc.compare(0, cipher.size(), cipher) == 0);
      check(AES_Decrypt_ECB(ui, enc, key) == plain);
    }
    plain.clear();
    cipher.clear();
    for (int b = 0; b < 3; ++b) {
      plain += Hex_ToBytes(kSpPlain[b]);
      cipher += Hex_ToBytes(kv.cbc[b]);
    }
    const Bytes enc = AES_Encrypt_CBC(random, ui, plain, key, iv);
    check(enc.size() == cipher.size() + 32 && enc.compare(0, cipher.size(), cipher) == 0 &&
          enc.compare(enc.size() - 16, 16, iv) == 0);
    check(AES_Decrypt_CBC(ui, enc, key) == plain);
  }
  ui.Trace("Checking AES-CBC-256 proper functioning:" + NumText(errors) +
           " errors in AES-CBC routines");
  return errors;
}

}  // namespace lq
