// RSA key generation and the four block operations on explicit keys. Private operations use
// the full exponent d (the key records keep n and d only, so there is nothing for a CRT split);
// their speed comes from the big-integer layer's Montgomery power modulo.
#include "crypto/rsa.h"

#include <utility>

#include "base/catalogue.h"
#include "crypto/sha256.h"

namespace lq {
namespace {

constexpr int kWarningStyle = mb::kOk | mb::kIconExclamation | mb::kSystemModal | mb::kTopmost;

void ShowPlainBox(Ui& ui, std::string text) {
  MessageBoxRequest request;
  request.text = std::move(text);
  request.caption = kMessageCaption;
  request.style = kWarningStyle;
  ui.ShowMessageBox(request);
}

void ShowModulusWarning(Ui& ui, std::string_view first_line) {
  std::string text(first_line);
  text += "\r\nthis modulus!! This is likely to cause a decryption error...\r\n";
  text += "Increase public key bitlength to avoid this error.\r\n";
  ShowPlainBox(ui, std::move(text));
}

// Ciphertexts and signatures are as many words long as the modulus, whatever their value, so
// their length says nothing about them and readers can rely on it.
BigNum Widen(BigNum value, size_t bytes) {
  if (value.size() < bytes) value.resize(bytes, '\0');
  return value;
}

size_t ModulusBytes(const BigNum& n) {
  const size_t words = (static_cast<size_t>(BigBitLength(n)) + 31) / 32;
  return 4 * (words == 0 ? 1 : words);
}

bool ExponentBelow3(const BigNum& e) { return BigLessThan(e, BigFromWord(3)); }

// The prime search calls Ui::Pump once per candidate; this stand-in turns that call into the
// generation's candidate report and passes everything else on to the caller's Ui, if any.
class CandidatePump final : public Ui {
 public:
  CandidatePump(Ui* inner, std::function<void()> on_candidate)
      : inner_(inner), on_candidate_(std::move(on_candidate)) {}

  void Pump() override {
    on_candidate_();
    if (inner_) inner_->Pump();
  }
  void Trace(std::string_view text) override {
    if (inner_) inner_->Trace(text);
  }
  int ShowMessageBox(const MessageBoxRequest& request) override {
    return inner_ ? inner_->ShowMessageBox(request) : kIdOk;
  }
  OverwriteReply ConfirmOverwrite(const OverwriteRequest& request) override {
    return inner_ ? inner_->ConfirmOverwrite(request) : OverwriteReply{};
  }
  std::string AskPassphrase(std::string_view prompt) override {
    return inner_ ? inner_->AskPassphrase(prompt) : kPassphraseCancelled;
  }
  ChangePassphraseReply AskChangePassphrase(const ChangePassphraseRequest& request) override {
    if (inner_) return inner_->AskChangePassphrase(request);
    ChangePassphraseReply reply;
    reply.current = kPassphraseCancelled;
    return reply;
  }
  std::string AskText(std::string_view prompt, std::string_view initial, bool& ok) override {
    if (inner_) return inner_->AskText(prompt, initial, ok);
    ok = false;
    return {};
  }
  std::vector<std::string> ChooseFiles(const FileChooserRequest& request) override {
    return inner_ ? inner_->ChooseFiles(request) : std::vector<std::string>{};
  }
  std::string ChooseFolder(std::string_view title, std::string_view initial) override {
    return inner_ ? inner_->ChooseFolder(title, initial) : std::string{};
  }

 private:
  Ui* inner_;
  std::function<void()> on_candidate_;
};

}  // namespace

void WipeKeyPair(RsaKeyPair& pair) {
  Wipe(pair.n);
  Wipe(pair.e);
  Wipe(pair.d);
  pair.bits = 0;
}

Bytes RsaBlock(RandomContext& ctx, std::string_view payload, int bits) {
  const size_t k = bits > 0 ? static_cast<size_t>(bits) / 8 : 0;
  Bytes block(payload);
  if (k <= payload.size()) return block;
  block.reserve(k);
  for (size_t i = payload.size() + 1; i < k; ++i)
    block.push_back(static_cast<char>(RandomByte(ctx)));
  block.push_back('\0');
  return block;
}

void RsaWarnPayloadLength(Ui& ui, std::string_view payload) {
  if (payload.size() != kRsaPayloadBytes) ShowPlainBox(ui, kRsaLengthWarning);
}

BigNum RsaEncrypt(RandomContext& ctx, Ui& ui, std::string_view payload, const RsaKey& key) {
  RsaWarnPayloadLength(ui, payload);
  if (BigIsZero(key.modulus) || ExponentBelow3(key.exponent)) return {};
  Bytes block = RsaBlock(ctx, payload, key.bits);
  // A block at or above n comes back reduced and cannot be recovered; n < payload is the
  // common case of that (a modulus shorter than its stated length).
  if (BigCompare(key.modulus, block) <= 0) ShowModulusWarning(ui, kRsaEncryptTooLarge);
  BigNum c = BigPowMod(block, key.exponent, key.modulus);
  Wipe(block);
  if (BigLessThan(key.modulus, c)) ShowPlainBox(ui, std::string(kRsaCiphertextTooLarge) + "\r\n");
  return Widen(std::move(c), ModulusBytes(key.modulus));
}

Bytes RsaDecrypt(std::string_view ciphertext, const RsaKey& key) {
  const BigNum c(ciphertext);
  // A value not below n is no ciphertext of this key; n = 0 lands here as well.
  if (BigCompare(c, key.modulus) >= 0) return {};
  BigNum m = Widen(BigPowMod(c, key.exponent, key.modulus), kRsaPayloadBytes);
  Bytes payload = m.substr(0, kRsaPayloadBytes);
  Wipe(m);
  return payload;
}

BigNum RsaSign(RandomContext& ctx, Ui& ui, std::string_view data, const RsaKey& key) {
  if (BigIsZero(key.modulus) || BigIsZero(key.exponent)) return {};
  const Bytes digest = SHA256_Hash(data);
  Bytes block = RsaBlock(ctx, digest, key.bits);
  if (BigCompare(key.modulus, block) <= 0) ShowModulusWarning(ui, kRsaSignTooLarge);
  BigNum s = BigPowMod(block, key.exponent, key.modulus);
  Wipe(block);
  return Widen(std::move(s), ModulusBytes(key.modulus));
}

bool RsaVerify(std::string_view data, std::string_view signature, const RsaKey& key) {
  if (ExponentBelow3(key.exponent)) return false;
  const BigNum s(signature);
  // s + n would recover the same block; only the reduced value is a signature.
  if (BigCompare(s, key.modulus) >= 0) return false;
  const BigNum m = Widen(BigPowMod(s, key.exponent, key.modulus), kRsaPayloadBytes);
  return ConstantTimeEqual(std::string_view(m).substr(0, kRsaPayloadBytes), SHA256_Hash(data));
}

BigNum RsaPickExponent(const BigNum& phi, const std::function<BigNum()>& draw) {
  while (true) {
    const BigNum e = BigAdd(draw(), BigFromWord(0));
    if (!ExponentBelow3(e) && BigCoprime(e, phi)) return e;
  }
}

bool RsaGenerateKeyPair(RandomContext& ctx, TraceSink& trace, int bits, int rounds,
                        RsaKeyPair& pair, const RsaProgress& progress,
                        const PrimeSearchLimit& limit, RsaPrimes* primes) {
  WipeKeyPair(pair);
  if (bits < 64 || bits % 32 != 0) return false;
  int steps_done = 0;
  long candidates = 0;
  CandidatePump pump(limit.ui, [&] {
    ++candidates;
    if (progress) progress(steps_done, candidates);
  });
  PrimeSearchLimit search = limit;
  search.ui = &pump;
  auto step = [&](int done) {
    steps_done = done;
    candidates = 0;
    if (progress) progress(done, 0);
  };
  const BigNum one = BigFromWord(1);
  while (true) {
    steps_done = 0;
    candidates = 0;
    BigNum p = RandomPrime(ctx, bits / 2, rounds, search);
    if (p.empty()) {
      trace.Trace(kRsaPrimeSearchTimeoutTrace);
      return false;
    }
    step(1);
    BigNum q;
    do {
      q = RandomPrime(ctx, bits / 2, rounds, search);
    } while (!q.empty() && q == p);
    if (q.empty()) {
      Wipe(p);
      trace.Trace(kRsaPrimeSearchTimeoutTrace);
      return false;
    }
    step(2);
    BigNum n = BigMultiply(p, q);
    BigNum p1 = BigSubtract(p, one), q1 = BigSubtract(q, one);
    BigNum phi = BigMultiply(p1, q1);
    Wipe(p1);
    Wipe(q1);
    step(3);
    BigNum e = RsaPickExponent(phi, [&] { return RandomBits(ctx, kRsaExponentBits); });
    step(4);
    bool exists = false;
    BigNum d = BigModInverse(e, phi, exists);
    Wipe(phi);
    if (!exists) {
      trace.Trace(kRsaInverseMissingTrace);
      Wipe(p), Wipe(q), Wipe(n), Wipe(e), Wipe(d);
      continue;
    }
    step(5);
    pair.bits = bits;
    pair.n = std::move(n);
    pair.e = std::move(e);
    pair.d = std::move(d);
    if (primes) {
      primes->p = p;
      primes->q = q;
    }
    Wipe(p);
    Wipe(q);
    return true;
  }
}

}  // namespace lq
