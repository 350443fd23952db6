// AES differential tests against OpenSSL: for our own padding and a given IV, our CBC output
// must be OpenSSL's CBC encryption of the padded plaintext, followed by the IV; and what OpenSSL
// encrypts, we decrypt. Both engines are compared block for block as well.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <random>
#include <string>

#include "crypto/aes.h"
#include "crypto/aes_internal.h"
#include "support/recording_ui.h"

namespace lq {
namespace {

const EVP_CIPHER* Cipher(size_t key_len, bool cbc) {
  switch (key_len) {
    case 16:
      return cbc ? EVP_aes_128_cbc() : EVP_aes_128_ecb();
    case 24:
      return cbc ? EVP_aes_192_cbc() : EVP_aes_192_ecb();
    default:
      return cbc ? EVP_aes_256_cbc() : EVP_aes_256_ecb();
  }
}

// OpenSSL without its own padding; `data` is a whole number of blocks.
std::string OpenSsl(bool encrypt, bool cbc, const std::string& key, const std::string& iv,
                    const std::string& data) {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  EVP_CipherInit_ex(
      ctx, Cipher(key.size(), cbc), nullptr, reinterpret_cast<const unsigned char*>(key.data()),
      cbc ? reinterpret_cast<const unsigned char*>(iv.data()) : nullptr, encrypt ? 1 : 0);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  std::string out(data.size() + 16, '\0');
  int n = 0, m = 0;
  EVP_CipherUpdate(ctx, reinterpret_cast<unsigned char*>(out.data()), &n,
                   reinterpret_cast<const unsigned char*>(data.data()),
                   static_cast<int>(data.size()));
  EVP_CipherFinal_ex(ctx, reinterpret_cast<unsigned char*>(out.data()) + n, &m);
  EVP_CIPHER_CTX_free(ctx);
  out.resize(n + m);
  return out;
}

class AesOpenSsl : public ::testing::Test {
 protected:
  test::RecordingUi ui;
  RandomContext random;
  std::mt19937 rng{2024};
  std::string Bytes(size_t n) {
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(rng());
    return s;
  }
};

TEST_F(AesOpenSsl, CbcEncryptionIsOpenSslOverOurPadding) {
  for (size_t key_len : {16, 24, 32}) {
    for (size_t len = 0; len <= 300; len += (len < 40 ? 1 : 37)) {
      const std::string key = Bytes(key_len), iv = Bytes(16), p = Bytes(len);
      const std::string ours = AES_Encrypt_CBC(random, ui, p, key, iv);
      const size_t k = 16 - len % 16;
      ASSERT_EQ(ours.size(), len + k + 16);
      ASSERT_EQ(ours.substr(ours.size() - 16), iv);
      const std::string body = ours.substr(0, ours.size() - 16);
      // What we padded with, as OpenSSL sees it: the plaintext, filler, then k.
      const std::string padded = OpenSsl(false, true, key, iv, body);
      ASSERT_EQ(padded.substr(0, len), p);
      ASSERT_EQ(static_cast<unsigned char>(padded.back()), k);
      ASSERT_EQ(OpenSsl(true, true, key, iv, padded), body);
      ASSERT_EQ(AES_Decrypt_CBC(ui, ours, key), p);
    }
  }
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(AesOpenSsl, WeDecryptWhatOpenSslEncrypts) {
  for (size_t key_len : {16, 24, 32}) {
    for (size_t len : {0, 1, 15, 16, 17, 64, 65, 1000, 100000}) {
      const std::string key = Bytes(key_len), iv = Bytes(16), p = Bytes(len);
      const size_t k = 16 - len % 16;
      const std::string padded = p + Bytes(k - 1) + static_cast<char>(k);
      const std::string cbc = OpenSsl(true, true, key, iv, padded) + iv;
      EXPECT_EQ(AES_Decrypt_CBC(ui, cbc, key), p);
      const std::string ecb = OpenSsl(true, false, key, "", padded);
      EXPECT_EQ(AES_Decrypt_ECB(ui, ecb, key), p);
      // And our ECB is OpenSSL's ECB of our padding.
      const std::string ours = AES_Encrypt_ECB(random, ui, p, key);
      EXPECT_EQ(OpenSsl(true, false, key, "", OpenSsl(false, false, key, "", ours)), ours);
      EXPECT_EQ(OpenSsl(false, false, key, "", ours).substr(0, len), p);
    }
  }
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(AesOpenSsl, BothEnginesMatchOpenSslOnRandomData) {
  std::vector<const aes_internal::Engine*> engines = {&aes_internal::TableEngine()};
  if (aes_internal::InstructionEngine()) engines.push_back(aes_internal::InstructionEngine());
  for (int round = 0; round < 300; ++round) {
    const size_t key_len = 16 + 8 * (round % 3);
    const size_t blocks = static_cast<size_t>(rng() % 40);
    const std::string key = Bytes(key_len), iv = Bytes(16), p = Bytes(16 * blocks);
    aes_internal::Schedule ks;
    ASSERT_TRUE(aes_internal::ExpandKey(key, ks));
    const std::string cbc = OpenSsl(true, true, key, iv, p), ecb = OpenSsl(true, false, key, "", p);
    for (const auto* e : engines) {
      std::string out(p.size(), '\0'), chain = iv;
      auto* o = reinterpret_cast<unsigned char*>(out.data());
      auto* in = reinterpret_cast<const unsigned char*>(p.data());
      auto* c = reinterpret_cast<unsigned char*>(chain.data());
      e->encrypt_cbc(ks, c, in, o, blocks);
      ASSERT_EQ(out, cbc) << e->name;
      chain = iv;
      e->decrypt_cbc(ks, reinterpret_cast<unsigned char*>(chain.data()),
                     reinterpret_cast<const unsigned char*>(cbc.data()), o, blocks);
      ASSERT_EQ(out, p) << e->name;
      e->encrypt_ecb(ks, in, o, blocks);
      ASSERT_EQ(out, ecb) << e->name;
      e->decrypt_ecb(ks, reinterpret_cast<const unsigned char*>(ecb.data()), o, blocks);
      ASSERT_EQ(out, p) << e->name;
    }
  }
}

}  // namespace
}  // namespace lq
