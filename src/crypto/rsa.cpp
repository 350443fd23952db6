// RSA key generation and the four block operations on explicit keys. Private operations run
// in constant time (bignum_kernel.h's CtRsa): with CRT and blinding when the public exponent is
// known (the two CRT powers on AVX-512 IFMA where the CPU has it), else the plain fixed-window
// power of d.
#include "crypto/rsa.h"

#include <algorithm>
#include <utility>

#include "base/catalogue.h"
#include "crypto/bignum_kernel.h"
#include "crypto/sha256.h"

namespace lq {
namespace {

#if defined(__SIZEOF_INT128__) && !defined(LQ_BIGNUM_LIMB32)
using Limb = uint64_t;
#else
using Limb = uint32_t;
#endif
using Ct = bignum_detail::CtRsa<Limb>;
using CtVec = Ct::Vec;

CtVec ToLimbs(std::string_view bytes) {
  CtVec v((bytes.size() + sizeof(Limb) - 1) / sizeof(Limb), 0);
  for (size_t i = 0; i < bytes.size(); ++i) {
    v[i / sizeof(Limb)] |= static_cast<Limb>(static_cast<unsigned char>(bytes[i]))
                           << (8 * (i % sizeof(Limb)));
  }
  while (!v.empty() && v.back() == 0) v.pop_back();
  return v;
}

// Fewest whole words, at least one (the BigNum form).
BigNum FromLimbs(const CtVec& v) { return Ct::K::ToBytes(v.data(), v.size()); }

// Bytes for the blinding value: the OS source, else the mixed source.
CtVec BlindingSeed(RandomContext& ctx, size_t limbs) {
  CtVec v(limbs + 1, 0);
  if (!OsEntropy(v.data(), v.size() * sizeof(Limb))) {
    for (size_t i = 0; i < v.size() * sizeof(Limb); ++i) {
      v[i / sizeof(Limb)] |= static_cast<Limb>(RandomByte(ctx)) << (8 * (i % sizeof(Limb)));
    }
  }
  return v;
}

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
  // Room for the whole block first: growing it later would leave a copy of the payload (a
  // session key) in freed memory.
  Bytes block;
  block.reserve(std::max(k, payload.size()));
  block.assign(payload);
  if (k <= payload.size()) return block;
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

struct RsaPrivateKey::State {
  Ct::Key key;
  Bytes n, d, e;  // as prepared, for Matches
  ~State() {
    Wipe(n);
    Wipe(d);
    Wipe(e);
  }
};

RsaPrivateKey::RsaPrivateKey() = default;
RsaPrivateKey::~RsaPrivateKey() = default;
RsaPrivateKey::RsaPrivateKey(RsaPrivateKey&&) noexcept = default;
RsaPrivateKey& RsaPrivateKey::operator=(RsaPrivateKey&&) noexcept = default;

bool RsaPrivateKey::Prepare(RandomContext& ctx, const RsaKey& key,
                            std::string_view public_exponent) {
  state_.reset();
  auto state = std::make_unique<State>();
  const CtVec n = ToLimbs(key.modulus), d = ToLimbs(key.exponent), e = ToLimbs(public_exponent);
  const CtVec seed = e.empty() ? CtVec{} : BlindingSeed(ctx, n.size());
  if (!Ct::Prepare(state->key, n, d, e, seed)) return false;
  state->n = key.modulus;
  state->d = key.exponent;
  state->e = Bytes(public_exponent);
  state_ = std::move(state);
  return true;
}

bool RsaPrivateKey::Prepare(const RsaKey& key) {
  state_.reset();
  auto state = std::make_unique<State>();
  if (!Ct::Prepare(state->key, ToLimbs(key.modulus), ToLimbs(key.exponent), {}, {})) return false;
  state->n = key.modulus;
  state->d = key.exponent;
  state_ = std::move(state);
  return true;
}

bool RsaPrivateKey::Ready() const { return state_ != nullptr; }
bool RsaPrivateKey::UsesCrt() const { return state_ && state_->key.crt; }
bool RsaPrivateKey::Blinded() const { return state_ && state_->key.blinded; }
bool RsaPrivateKey::UsesVectorPath() const { return state_ && state_->key.ifma; }

bool RsaPrivateKey::Matches(const RsaKey& key, std::string_view public_exponent) const {
  return state_ && state_->n == key.modulus && ConstantTimeEqual(state_->d, key.exponent) &&
         state_->e == public_exponent;
}

BigNum RsaPrivateKey::Apply(std::string_view input) {
  if (!state_) return {};
  CtVec c = ToLimbs(input);
  const CtVec m = Ct::Apply(state_->key, c);
  return FromLimbs(m);
}

RsaPrimes RsaPrivateKey::Primes() const {
  RsaPrimes primes;
  if (UsesCrt()) {
    primes.p = FromLimbs(state_->key.p.m);
    primes.q = FromLimbs(state_->key.q.m);
  }
  return primes;
}

void RsaPrivateKey::ForEachSecret(const std::function<void(void*, size_t)>& visit) {
  if (!state_) return;
  Ct::Key& k = state_->key;
  for (CtVec* v : {&k.d, &k.p.m, &k.p.r2, &k.p.one, &k.q.m, &k.q.r2, &k.q.one, &k.dp, &k.dq,
                   &k.qinv_mont, &k.blind_mont, &k.unblind_mont, &k.p_rr52, &k.q_rr52}) {
    if (!v->empty()) visit(v->data(), v->size() * sizeof(Limb));
  }
}

namespace {

// A ciphertext or block below n through the prepared key, or the plain route for a key that
// could not be prepared (an even modulus is no key of ours, but it is answered as before).
BigNum PrivatePower(const BigNum& input, const RsaKey& key, RsaPrivateKey& prepared) {
  if (prepared.Ready()) return prepared.Apply(input);
  return BigPowMod(input, key.exponent, key.modulus);
}

}  // namespace

Bytes RsaDecrypt(std::string_view ciphertext, const RsaKey& key, RsaPrivateKey& prepared) {
  const BigNum c(ciphertext);
  // A value not below n is no ciphertext of this key; n = 0 lands here as well.
  if (BigCompare(c, key.modulus) >= 0) return {};
  BigNum m = Widen(PrivatePower(c, key, prepared), kRsaPayloadBytes);
  Bytes payload = m.substr(0, kRsaPayloadBytes);
  Wipe(m);
  return payload;
}

Bytes RsaDecrypt(std::string_view ciphertext, const RsaKey& key) {
  RsaPrivateKey prepared;
  prepared.Prepare(key);
  return RsaDecrypt(ciphertext, key, prepared);
}

BigNum RsaSign(RandomContext& ctx, Ui& ui, std::string_view data, const RsaKey& key,
               RsaPrivateKey& prepared) {
  if (BigIsZero(key.modulus) || BigIsZero(key.exponent)) return {};
  const Bytes digest = SHA256_Hash(data);
  Bytes block = RsaBlock(ctx, digest, key.bits);
  const bool fits = BigCompare(key.modulus, block) > 0;
  if (!fits) ShowModulusWarning(ui, kRsaSignTooLarge);
  // A block at or above n is reduced first, as the plain power did.
  BigNum s =
      fits ? PrivatePower(block, key, prepared) : BigPowMod(block, key.exponent, key.modulus);
  Wipe(block);
  return Widen(std::move(s), ModulusBytes(key.modulus));
}

BigNum RsaSign(RandomContext& ctx, Ui& ui, std::string_view data, const RsaKey& key) {
  RsaPrivateKey prepared;
  prepared.Prepare(key);
  return RsaSign(ctx, ui, data, key, prepared);
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
