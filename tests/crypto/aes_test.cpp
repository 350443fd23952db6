// AES: FIPS-197 and SP 800-38A known answers through both engines and the six routines, the
// system's padding and IV-at-the-end layout, and every failure message with its result.
#include "crypto/aes.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <string>

#include "crypto/aes_internal.h"
#include "crypto/hex.h"
#include "support/recording_ui.h"

namespace lq {
namespace {

using aes_internal::Engine;
using aes_internal::Schedule;

// Runtime draws taken from a script, so the padding and IV bytes can be predicted.
class ScriptedSource : public UniformSource {
 public:
  std::deque<uint32_t> values;
  int draws = 0;
  uint32_t Uniform(uint32_t a, uint32_t b) override {
    ++draws;
    uint32_t v = values.empty() ? a : values.front();
    if (!values.empty()) values.pop_front();
    EXPECT_EQ(a, 0u);
    EXPECT_EQ(b, 255u);
    return v;
  }
};

std::vector<const Engine*> Engines() {
  std::vector<const Engine*> e = {&aes_internal::TableEngine()};
  if (aes_internal::InstructionEngine()) e.push_back(aes_internal::InstructionEngine());
  return e;
}

Schedule MakeSchedule(const std::string& key) {
  Schedule ks;
  EXPECT_TRUE(aes_internal::ExpandKey(key, ks));
  return ks;
}

unsigned char* U(std::string& s) { return reinterpret_cast<unsigned char*>(s.data()); }
const unsigned char* U(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

// FIPS-197 Appendix C.
struct FipsVector {
  const char* key;
  const char* ciphertext;
};
const FipsVector kFips[] = {
    {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
    {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
    {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
     "8ea2b7ca516745bfeafc49904b496089"},
};
const char kFipsPlain[] = "00112233445566778899aabbccddeeff";

// SP 800-38A F.1 (ECB) and F.2 (CBC), all four blocks.
struct SpVector {
  const char* key;
  const char* ecb;
  const char* cbc;
};
const SpVector kSp[] = {
    {"2b7e151628aed2a6abf7158809cf4f3c",
     "3ad77bb40d7a3660a89ecaf32466ef97f5d3d58503b9699de785895a96fdbaaf"
     "43b1cd7f598ece23881b00e3ed0306887b0c785e27e8ad3f8223207104725dd4",
     "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
     "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7"},
    {"8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b",
     "bd334f1d6e45f25ff712a214571fa5cc974104846d0ad3ad7734ecb3ecee4eef"
     "ef7afd2270e2e60adce0ba2face6444e9a4b41ba738d6c72fb16691603c18e0e",
     "4f021db243bc633d7178183a9fa071e8b4d9ada9ad7dedf4e5e738763f69145a"
     "571b242012fb7ae07fa9baac3df102e008b0e27988598881d920a9e64f5615cd"},
    {"603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
     "f3eed1bdb5d2a03c064b5a7e3db181f8591ccb10d410ed26dc5ba74a31362870"
     "b6ed21b99ca6f4f9f153e7b1beafed1d23304b7a39f9f3ff067d8d8f9e24ecc7",
     "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
     "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b"},
};
const char kSpPlain[] =
    "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
    "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";
const char kSpIv[] = "000102030405060708090a0b0c0d0e0f";

class AesTest : public ::testing::Test {
 protected:
  test::RecordingUi ui;
  RandomContext random;
};

TEST_F(AesTest, Fips197AppendixC) {
  const std::string plain = Hex_ToBytes(kFipsPlain);
  for (const auto& v : kFips) {
    const std::string key = Hex_ToBytes(v.key), cipher = Hex_ToBytes(v.ciphertext);
    EXPECT_EQ(AES_Encrypt_1Block(ui, plain, key), cipher) << v.key;
    EXPECT_EQ(AES_Decrypt_1Block(ui, cipher, key), plain) << v.key;
    const Schedule ks = MakeSchedule(key);
    for (const Engine* e : Engines()) {
      std::string out(16, '\0');
      e->encrypt_ecb(ks, U(plain), U(out), 1);
      EXPECT_EQ(out, cipher) << e->name;
      e->decrypt_ecb(ks, U(cipher), U(out), 1);
      EXPECT_EQ(out, plain) << e->name;
    }
  }
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(AesTest, Sp80038aBothEnginesAndInPlace) {
  const std::string plain = Hex_ToBytes(kSpPlain);
  const std::string iv = Hex_ToBytes(kSpIv);
  for (const auto& v : kSp) {
    const std::string key = Hex_ToBytes(v.key);
    const std::string ecb = Hex_ToBytes(v.ecb), cbc = Hex_ToBytes(v.cbc);
    const Schedule ks = MakeSchedule(key);
    for (const Engine* e : Engines()) {
      std::string out(64, '\0');
      e->encrypt_ecb(ks, U(plain), U(out), 4);
      EXPECT_EQ(out, ecb) << e->name;
      e->decrypt_ecb(ks, U(out), U(out), 4);  // in place
      EXPECT_EQ(out, plain) << e->name;

      std::string chain = iv;
      e->encrypt_cbc(ks, U(chain), U(plain), U(out), 4);
      EXPECT_EQ(out, cbc) << e->name;
      EXPECT_EQ(chain, cbc.substr(48)) << e->name;  // left at the last ciphertext block
      chain = iv;
      e->decrypt_cbc(ks, U(chain), U(out), U(out), 4);
      EXPECT_EQ(out, plain) << e->name;
      EXPECT_EQ(chain, cbc.substr(48)) << e->name;
    }
  }
}

TEST_F(AesTest, Sp80038aThroughTheRoutines) {
  // The known blocks come first; the padding block and, in CBC, the IV follow.
  const std::string plain = Hex_ToBytes(kSpPlain);
  const std::string iv = Hex_ToBytes(kSpIv);
  for (const auto& v : kSp) {
    const std::string key = Hex_ToBytes(v.key);
    const std::string ecb = Hex_ToBytes(v.ecb), cbc = Hex_ToBytes(v.cbc);
    for (size_t blocks = 1; blocks <= 4; ++blocks) {
      const std::string p = plain.substr(0, 16 * blocks);
      const std::string e = AES_Encrypt_ECB(random, ui, p, key);
      ASSERT_EQ(e.size(), 16 * blocks + 16);
      EXPECT_EQ(e.substr(0, 16 * blocks), ecb.substr(0, 16 * blocks));
      EXPECT_EQ(AES_Decrypt_ECB(ui, e, key), p);

      const std::string c = AES_Encrypt_CBC(random, ui, p, key, iv);
      ASSERT_EQ(c.size(), 16 * blocks + 32);
      EXPECT_EQ(c.substr(0, 16 * blocks), cbc.substr(0, 16 * blocks));
      EXPECT_EQ(c.substr(c.size() - 16), iv);
      EXPECT_EQ(AES_Decrypt_CBC(ui, c, key), p);
    }
  }
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(AesTest, SelfTestReportsToTheTrace) {
  EXPECT_EQ(AES_SelfTest(random, ui), 0);
  ASSERT_EQ(ui.traces.size(), 1u);
  EXPECT_EQ(ui.traces[0], "Checking AES-CBC-256 proper functioning: 0 errors in AES-CBC routines");
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(AesTest, PaddingAndIvComeFromTheRuntimeGeneratorInOrder) {
  ScriptedSource source;
  RandomContext scripted(source);
  const std::string key(32, 'k');
  // Five plaintext bytes: ten random filler bytes, then the byte 11; then a 16-byte IV.
  for (uint32_t i = 0; i < 26; ++i) source.values.push_back(0xA0 + i);
  const std::string c = AES_Encrypt_CBC(scripted, ui, "hello", key, "");
  EXPECT_EQ(source.draws, 26);
  ASSERT_EQ(c.size(), 32u);
  std::string iv;
  for (uint32_t i = 10; i < 26; ++i) iv.push_back(static_cast<char>(0xA0 + i));
  EXPECT_EQ(c.substr(16), iv);
  std::string block = AES_Decrypt_1Block(ui, c.substr(0, 16), key);
  for (int k = 0; k < 16; ++k) block[k] ^= iv[k];
  EXPECT_EQ(block, "hello" + Hex_ToBytes("a0a1a2a3a4a5a6a7a8a9") + "\x0b");

  // A whole block of padding for a multiple of 16: fifteen random bytes and 16.
  source.values.assign(15, 0x5A);
  const std::string e = AES_Encrypt_ECB(scripted, ui, std::string(16, 'p'), key);
  EXPECT_EQ(source.draws, 26 + 15);
  EXPECT_EQ(AES_Decrypt_1Block(ui, e.substr(16), key), std::string(15, 0x5A) + "\x10");

  // A given IV draws nothing beyond the padding.
  source.draws = 0;
  AES_Encrypt_CBC(scripted, ui, std::string(15, 'x'), key, std::string(16, '\0'));
  EXPECT_EQ(source.draws, 0);
}

TEST_F(AesTest, InPlaceMatchesTheCopyingRoutinesAtEveryLength) {
  const std::string key(32, 'k');
  for (size_t n : {0, 1, 15, 16, 17, 31, 32, 100}) {
    std::string plain;
    for (size_t i = 0; i < n; ++i) plain.push_back(static_cast<char>(i * 13 + 1));
    // Same draws in the same order: equal scripts give equal bytes.
    ScriptedSource sa, sb;
    for (uint32_t i = 0; i < 32; ++i) sa.values.push_back(i * 37 % 256);
    sb.values = sa.values;
    RandomContext a(sa), b(sb);
    const std::string copied = AES_Encrypt_CBC(a, ui, plain, key, "");
    std::string buffer = "head" + plain;
    ASSERT_TRUE(AES_Encrypt_CBC_InPlace(b, ui, buffer, 4, key));
    EXPECT_EQ(buffer, "head" + copied) << n;
    EXPECT_EQ(sa.draws, sb.draws);
    const size_t kept = AES_Decrypt_CBC_InPlace(ui, buffer.data() + 4, buffer.size() - 4, key);
    EXPECT_EQ(buffer.substr(4, kept), plain) << n;
    EXPECT_EQ(buffer.substr(4 + kept), std::string(buffer.size() - 4 - kept, '\0'));
  }
  // Failures as the copying routines report them, with an empty result.
  std::string odd(20, 'x');
  EXPECT_EQ(AES_Decrypt_CBC_InPlace(ui, odd.data(), odd.size(), key), 0u);
  EXPECT_EQ(odd, std::string(20, 'x'));
  std::string buffer = "abc";
  EXPECT_FALSE(AES_Encrypt_CBC_InPlace(random, ui, buffer, 0, "short"));
  EXPECT_EQ(buffer, "abc");
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_NE(ui.boxes[1].text.find("Passwordlength"), std::string::npos);
}

TEST_F(AesTest, LengthEdgeCases) {
  const std::string key(16, '\x01');
  // Empty plaintext: one padding block plus the IV.
  const std::string empty = AES_Encrypt_CBC(random, ui, "", key, "");
  EXPECT_EQ(empty.size(), 32u);
  EXPECT_EQ(AES_Decrypt_CBC(ui, empty, key), "");
  EXPECT_EQ(AES_Encrypt_ECB(random, ui, "", key).size(), 16u);
  // 15 bytes gain one byte of value 1; 16 bytes a whole block.
  const std::string e15 = AES_Encrypt_ECB(random, ui, std::string(15, 'a'), key);
  ASSERT_EQ(e15.size(), 16u);
  EXPECT_EQ(AES_Decrypt_1Block(ui, e15, key), std::string(15, 'a') + "\x01");
  EXPECT_EQ(AES_Encrypt_ECB(random, ui, std::string(16, 'a'), key).size(), 32u);
  EXPECT_EQ(AES_Encrypt_CBC(random, ui, std::string(16, 'a'), key, "").size(), 48u);
  EXPECT_TRUE(ui.boxes.empty());

  // Given IV: the first block is AES(P1 xor IV), the IV closes the output.
  const std::string iv = Hex_ToBytes("00112233445566778899aabbccddeeff");
  const std::string p = "0123456789abcdef and more";
  const std::string c = AES_Encrypt_CBC(random, ui, p, key, iv);
  std::string x = p.substr(0, 16);
  for (int k = 0; k < 16; ++k) x[k] ^= iv[k];
  EXPECT_EQ(c.substr(0, 16), AES_Encrypt_1Block(ui, x, key));
  EXPECT_EQ(c.substr(c.size() - 16), iv);
  // Fresh IVs make two encryptions of the same text differ.
  EXPECT_NE(AES_Encrypt_CBC(random, ui, p, key, ""), AES_Encrypt_CBC(random, ui, p, key, ""));

  // 16 bytes are an IV with nothing before it; no input at all is the same, quietly.
  EXPECT_EQ(AES_Decrypt_CBC(ui, std::string(16, 'i'), key), "");
  EXPECT_EQ(AES_Decrypt_CBC(ui, "", key), "");
  EXPECT_EQ(AES_Decrypt_ECB(ui, "", key), "");
  EXPECT_TRUE(ui.boxes.empty());
  // 17 bytes: the length message.
  EXPECT_EQ(AES_Decrypt_CBC(ui, std::string(17, 'i'), key), "");
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.LastBox().text,
            "AES_Decrypt_CBC: Decryption error! CipherText length was not a multiple of "
            "%BlockSize");
  EXPECT_EQ(AES_Decrypt_ECB(ui, std::string(33, 'i'), key), "");
  EXPECT_EQ(ui.LastBox().text,
            "AES_Decrypt_ECB: Decryption error! CipherText length was not a multiple of "
            "'%BlockSize'");
}

TEST_F(AesTest, PaddingValueIsTakenAsItStands) {
  // The decrypt routines strip what the last byte says, checking nothing else.
  const std::string key(24, '\x02');
  std::string block(16, 'z');
  block[15] = 0;  // strips nothing
  EXPECT_EQ(AES_Decrypt_ECB(ui, AES_Encrypt_1Block(ui, block, key), key), block);
  block[15] = 16;  // strips the whole block
  EXPECT_EQ(AES_Decrypt_ECB(ui, AES_Encrypt_1Block(ui, block, key), key), "");
  block[15] = 17;  // more than there is: empty
  EXPECT_EQ(AES_Decrypt_ECB(ui, AES_Encrypt_1Block(ui, block, key), key), "");
  const std::string two = block + block;  // 32 bytes, last byte 17: 15 bytes stay
  const std::string enc =
      AES_Encrypt_1Block(ui, two.substr(0, 16), key) + AES_Encrypt_1Block(ui, two.substr(16), key);
  EXPECT_EQ(AES_Decrypt_ECB(ui, enc, key), two.substr(0, 15));
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(AesTest, TwentyByteKeyInEveryRoutine) {
  const std::string key(20, 'k');
  const std::string block(16, 'b');
  auto expect_box = [&](const std::string& routine) {
    ASSERT_FALSE(ui.boxes.empty());
    const MessageBoxRequest& box = ui.LastBox();
    EXPECT_EQ(box.text, routine + ": Passwordlength is not equal to 16, 24 or 32 bytes!");
    EXPECT_EQ(box.key, "");
    EXPECT_EQ(box.caption, "");
    EXPECT_EQ(box.style, mb::kOk);
    ui.boxes.clear();
  };
  EXPECT_EQ(AES_Encrypt_1Block(ui, block, key), std::string(16, '\0'));
  expect_box("AES_Encrypt_1Block");
  EXPECT_EQ(AES_Decrypt_1Block(ui, block, key), std::string(16, '\0'));
  expect_box("AES_Decrypt_1Block");
  EXPECT_EQ(AES_Encrypt_ECB(random, ui, "twenty-one bytes long", key), std::string(32, '\0'));
  expect_box("AES_Encrypt_ECB");
  EXPECT_EQ(AES_Decrypt_ECB(ui, std::string(48, 'c'), key), std::string(48, '\0'));
  expect_box("AES_Decrypt_ECB");
  EXPECT_EQ(AES_Encrypt_CBC(random, ui, "text", key, ""), "");
  expect_box("AES_Encrypt_CBC");
  EXPECT_EQ(AES_Decrypt_CBC(ui, std::string(48, 'c'), key), "");
  expect_box("AES_Decrypt_CBC");
}

TEST_F(AesTest, WrongBlockAndIvLengths) {
  const std::string key(32, 'k');
  EXPECT_EQ(AES_Encrypt_1Block(ui, std::string(15, 'b'), key), "");
  EXPECT_EQ(ui.LastBox().text, "AES_Encrypt_1Block: PlainTextlength not equal to blocksize");
  EXPECT_EQ(AES_Decrypt_1Block(ui, std::string(17, 'b'), key), "");
  EXPECT_EQ(ui.LastBox().text, "AES_Decrypt_1Block: CipherText not equal to blocksize");
  EXPECT_EQ(AES_Encrypt_CBC(random, ui, "text", key, std::string(8, 'i')), "");
  EXPECT_EQ(ui.LastBox().text, "AES_Encrypt_CBC: IV length 8 is not equal to 16 bytes!");
  EXPECT_EQ(ui.boxes.size(), 3u);
}

TEST_F(AesTest, RoundTripsAndEnginesAgree) {
  std::mt19937 rng(9);
  auto bytes = [&](size_t n) {
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(rng());
    return s;
  };
  for (size_t key_len : {16, 24, 32}) {
    for (size_t len : {0, 1, 15, 16, 17, 31, 32, 33, 100, 127, 128, 129, 255, 1000, 65537}) {
      const std::string key = bytes(key_len), p = bytes(len);
      ASSERT_EQ(AES_Decrypt_CBC(ui, AES_Encrypt_CBC(random, ui, p, key, ""), key), p);
      ASSERT_EQ(AES_Decrypt_ECB(ui, AES_Encrypt_ECB(random, ui, p, key), key), p);
    }
    // Every block count up to a few pipelined groups, so each remainder path runs.
    const Schedule ks = MakeSchedule(bytes(key_len));
    for (size_t blocks = 0; blocks <= 20; ++blocks) {
      const std::string p = bytes(16 * blocks), iv = bytes(16);
      std::string reference;
      for (const Engine* e : Engines()) {
        std::string out(p.size(), '\0'), chain = iv, back(p.size(), '\0');
        e->encrypt_cbc(ks, U(chain), U(p), U(out), blocks);
        if (reference.empty()) reference = out;
        ASSERT_EQ(out, reference) << e->name << " " << blocks;
        chain = iv;
        e->decrypt_cbc(ks, U(chain), U(out), U(back), blocks);
        ASSERT_EQ(back, p) << e->name;
        e->encrypt_ecb(ks, U(p), U(out), blocks);
        e->decrypt_ecb(ks, U(out), U(back), blocks);
        ASSERT_EQ(back, p) << e->name;
      }
    }
  }
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(AesTest, TamperedCiphertextNeverOverruns) {
  // A wrong key or flipped bytes give garbage of at most the ciphertext's length, never more.
  const std::string key(32, 'a'), other(32, 'b');
  const std::string c = AES_Encrypt_CBC(random, ui, std::string(100, 'x'), key, "");
  for (int i = 0; i < 200; ++i) {
    std::string bad = c;
    bad[i % bad.size()] ^= static_cast<char>(1 + i);
    EXPECT_LE(AES_Decrypt_CBC(ui, bad, key).size(), bad.size() - 16);
    EXPECT_LE(AES_Decrypt_CBC(ui, bad, other).size(), bad.size() - 16);
  }
  EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
}  // namespace lq
