// RSA on explicit key material: key-pair generation, the system's own key and signature block
// (payload low, random filler above it, zero top byte), encryption of a session key, recovery,
// signing and verification. Looking keys up in the keyfile is the keys layer's business.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/bytes.h"
#include "base/ui.h"
#include "crypto/bignum.h"
#include "crypto/primes.h"
#include "crypto/random.h"

namespace lq {

// The payload the block is built around: a 32-byte session key or a SHA-256 digest.
constexpr size_t kRsaPayloadBytes = 32;
// Key generation reports this many steps (two primes, n and phi, e, d).
constexpr int kRsaGenerationSteps = 5;
// Miller-Rabin rounds the key manager asks for.
constexpr int kRsaKeyRounds = 10;
// The public exponent is drawn below 2^24.
constexpr int kRsaExponentBits = 24;
// Key lengths the key manager offers, and the range the key-pair procedure accepts.
inline constexpr char kRsaKeyLengthList[] = "288|512|768|1024|1536|2048|4096|8192|16384|32768";
constexpr int kRsaMinKeyBits = 288;
constexpr int kRsaMaxKeyBits = 32768;

// Texts of the box warnings; each line ends with CR LF.
inline constexpr char kRsaLengthWarning[] =
    "length of data to public key encrypt is not equal to 32";
inline constexpr char kRsaEncryptTooLarge[] =
    "1 - PublicKey_Encrypt_PKCS1_V15: Public key encrypted plaintext is too large for";
inline constexpr char kRsaSignTooLarge[] =
    "3 - PublicKey_GenerateSignature_PKCS1_V15: Signature is too large for";
inline constexpr char kRsaCiphertextTooLarge[] =
    "1a - PublicKey_Encrypt_PKCS1_V15: Ciphertext is larger than modulus";
inline constexpr char kRsaInverseMissingTrace[] = "inverse of e could not be found!!";
inline constexpr char kRsaPrimeSearchTimeoutTrace[] =
    "Key generation: the prime search passed its time limit";

// One half of a key pair as the key records hold it: length in bits B, modulus n and exponent
// (e for the public half, d for the private half).
struct RsaKey {
  int bits = 0;
  BigNum modulus;
  BigNum exponent;
};

// A generated pair. The caller stores it and wipes it with WipeKeyPair.
struct RsaKeyPair {
  int bits = 0;
  BigNum n, e, d;
};
void WipeKeyPair(RsaKeyPair& pair);

// The primes behind a generated pair, handed out only when asked for (tests, checks).
struct RsaPrimes {
  BigNum p, q;
};

// The k = bits / 8 byte block around `payload`: the payload, k - |payload| - 1 filler bytes from
// RandomByte, one zero byte. When k is at most |payload| + 1 it is the payload alone
// (k <= |payload|) or the payload and the zero byte.
Bytes RsaBlock(RandomContext& ctx, std::string_view payload, int bits);

// The box for a payload that is not 32 bytes; encryption warns and goes on.
void RsaWarnPayloadLength(Ui& ui, std::string_view payload);

// Encrypts a session key: the block raised to e mod n, as many words long as n. A payload that
// is not 32 bytes (RsaWarnPayloadLength) and a block that does not fit below n are warned about
// in a box and the operation goes on, so the caller decides. A public exponent below 3 (it would
// leave the block readable) or a zero modulus gives an empty result without a box.
BigNum RsaEncrypt(RandomContext& ctx, Ui& ui, std::string_view payload, const RsaKey& key);

// A private half made ready for repeated use, in constant time: the exponentiation runs in
// fixed windows with masked table reads and branch-free reductions, so its time and memory
// accesses do not depend on d, the primes or the input. With the public exponent e (record 006
// for 007, 008 for 009) the primes are recovered from n, e and d, checked (p q = n and one round
// trip) and used for the Chinese remainder theorem, and every input is blinded with r^e (the
// result unblinded with r^-1, a fresh pair each time). Without e, or when the recovery fails,
// the plain constant-time power of d is used. Everything is kept in memory only and wiped when
// the object goes.
class RsaPrivateKey {
 public:
  RsaPrivateKey();
  ~RsaPrivateKey();
  RsaPrivateKey(RsaPrivateKey&&) noexcept;
  RsaPrivateKey& operator=(RsaPrivateKey&&) noexcept;

  // Prepares the private half `key` with `public_exponent` ("" when unknown). False, and not
  // ready, when n is even or below 3 (no key of ours; the caller takes the plain route).
  bool Prepare(RandomContext& ctx, const RsaKey& key, std::string_view public_exponent);
  // The same without e: the plain constant-time power, no random needed.
  bool Prepare(const RsaKey& key);
  bool Ready() const;
  bool UsesCrt() const;
  bool Blinded() const;
  // True when the CRT halves run on the 52-bit vector path (AVX-512 IFMA; bignum_ifma.h).
  bool UsesVectorPath() const;
  // True when prepared from this n, d and e (a key replaced under the same KeyID is not).
  bool Matches(const RsaKey& key, std::string_view public_exponent) const;
  // input^d mod n for an input below n (the caller checks that), normalised.
  BigNum Apply(std::string_view input);
  // The recovered primes, empty without CRT (tests).
  RsaPrimes Primes() const;
  // Every buffer that holds a secret (d, primes, CRT exponents and inverse, blinding pair),
  // for the constant-time check that marks them as unknown to valgrind.
  void ForEachSecret(const std::function<void(void* data, size_t bytes)>& visit);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Recovers the 32 low-order bytes of C^d mod n with a prepared key (RsaDecrypt below).
Bytes RsaDecrypt(std::string_view ciphertext, const RsaKey& key, RsaPrivateKey& prepared);
// Signs as RsaSign below with a prepared key.
BigNum RsaSign(RandomContext& ctx, Ui& ui, std::string_view data, const RsaKey& key,
               RsaPrivateKey& prepared);

// Recovers the 32 low-order bytes of C^d mod n. A ciphertext not below n, or an unusable key,
// gives an empty string without a message. The result is a secret: the caller wipes it.
// Constant time without CRT (the key carries no e); the keys layer uses a prepared key.
Bytes RsaDecrypt(std::string_view ciphertext, const RsaKey& key);

// Signs SHA256_Hash(data): the block around the digest raised to d mod n, as many words long as
// n. The filler is random, so two signatures of the same data differ. Warns (and goes on) when
// the block does not fit below n; an unusable key gives an empty result.
BigNum RsaSign(RandomContext& ctx, Ui& ui, std::string_view data, const RsaKey& key);

// True when the 32 low-order bytes of S^e mod n equal SHA256_Hash(data); filler and top byte
// are not checked. A signature not below n, or a public exponent below 3 (anyone could forge
// with it), is not valid.
bool RsaVerify(std::string_view data, std::string_view signature, const RsaKey& key);

// Progress of one key generation: called with steps_done = 1..5 as each step ends
// (candidates 0), and with the steps done so far and a running count once for every prime
// candidate a search tests, so the caller can keep its window alive and its bar moving.
using RsaProgress = std::function<void(int steps_done, long candidates)>;

// The public exponent: values from `draw` (RandomBits(24) in the product) until one is at least
// 3 and coprime to phi. An exponent of 1 would make every block its own ciphertext and
// signature; 0 and 2 are never coprime to an even phi but are skipped before the gcd anyway.
BigNum RsaPickExponent(const BigNum& phi, const std::function<BigNum()>& draw);

// Generates a key pair of `bits` bits (a multiple of 32, at least 64) in the five reported
// steps: primes p and q of bits/2 bits with `rounds` Miller-Rabin rounds, n = p q and
// phi = (p - 1)(q - 1), e from RsaPickExponent, d = e^-1 mod phi (new primes when it does not
// exist). Returns false with `pair` empty when the length is not usable, or when a prime search
// passes the time limit of `limit` (kRsaPrimeSearchTimeoutTrace goes to the trace; telling the
// user is the caller's part). p, q and phi are wiped; `primes`, when given, receives p and q.
bool RsaGenerateKeyPair(RandomContext& ctx, TraceSink& trace, int bits, int rounds,
                        RsaKeyPair& pair, const RsaProgress& progress = {},
                        const PrimeSearchLimit& limit = {}, RsaPrimes* primes = nullptr);

}  // namespace lq
