// The key-pair procedure. Generation can run for minutes while the front end keeps processing
// events, so the keyfile is checked again before anything is stored.
#include "keys/keypair.h"

#include "base/catalogue.h"
#include "crypto/rsa.h"

namespace lq {
namespace {

void ShowAbortBox(Ui& ui, const char* text) {
  MessageBoxRequest request;
  request.text = text;
  request.caption = kMessageCaption;
  request.style = mb::kOk | mb::kIconExclamation | mb::kSystemModal | mb::kTopmost;
  ui.ShowMessageBox(request);
}

// Stores one RSA half; the field list holds a copy of the exponent and is wiped.
void StoreHalf(Keyfile& kf, const char* type, std::string_view key_id, int bits,
               const BigNum& modulus, const BigNum& exponent,
               const PublicKeyFlags* flags = nullptr) {
  RsaKeyRecord half{bits, modulus, exponent};
  Bytes fields =
      flags ? EncryptionPublicKeyFields(key_id, half, *flags) : RsaKeyFields(key_id, half);
  StoreKeyRecord(kf, type, fields);
  Wipe(fields);
  Wipe(half.modulus);
  Wipe(half.exponent);
}

}  // namespace

std::string KeyGenerationStepText(int step) {
  return "Step" + NumText(step) + " of" + NumText(kRsaGenerationSteps);
}

int CheckNewKeyPairs(Keyfile& kf, std::string_view key_id) {
  UserId user;
  if (!ReadUserId(kf, key_id, user)) return kKeyPairsRefused;
  const bool named = !user.first_name.empty() && !user.last_name.empty();
  if (!named) {
    ShowMessage(kf.ui, "PubKey_UsersName_undefined", MessageStyle("PubKey_UsersName_undefined"));
    return kKeyPairsRefused;
  }
  long index = 0;
  Bytes existing = FindRecord(kf, rec::kEncryptionPublicKey, key_id, index);
  Wipe(existing);
  if (index > 0 &&
      AskUser(kf.ui, "PubKey_Overwrite?", MessageStyle("PubKey_Overwrite?")) != kIdYes) {
    return kKeyPairsCancelled;
  }
  return kKeyPairsStored;
}

int StoreNewKeyPairs(Keyfile& kf, std::string_view key_id, const KeyPairRequest& request,
                     const KeyPairProgress& progress, const PrimeSearchLimit& limit) {
  if (request.bits == 0) return kKeyPairsCancelled;
  if (!CheckEntropy(kf.random, kf.ui)) return kKeyPairsRefused;
  if (request.bits % 32 != 0) {
    ShowAbortBox(kf.ui, kKeyLengthNotMultipleText);
    return kKeyPairsRefused;
  }
  if (request.bits < kRsaMinKeyBits || request.bits > kRsaMaxKeyBits) {
    ShowAbortBox(kf.ui, kKeyLengthRangeText);
    return kKeyPairsRefused;
  }
  PrimeSearchLimit search = limit;
  if (!search.ui && !progress) search.ui = &kf.ui;
  RsaKeyPair pairs[2];
  for (int i = 0; i < 2; ++i) {
    RsaProgress report;
    if (progress) {
      report = [&progress, i](int steps_done, long candidates) {
        progress(i + 1, steps_done, candidates);
      };
    }
    if (!RsaGenerateKeyPair(kf.random, kf.ui, request.bits, kRsaKeyRounds, pairs[i], report,
                            search)) {
      WipeKeyPair(pairs[0]);
      if (request.cancelled && request.cancelled()) return kKeyPairsCancelled;
      ShowAbortBox(kf.ui, kPrimeSearchTimeoutText);
      return kKeyPairsFailed;
    }
  }
  // A cancel that came while the last candidate was being tested still stops the calculation:
  // the user who pressed Cancel finds no new key pair.
  if (request.cancelled && request.cancelled()) {
    for (RsaKeyPair& pair : pairs) WipeKeyPair(pair);
    return kKeyPairsCancelled;
  }
  UserId user;
  const bool still_there = kf.open && ReadUserId(kf, key_id, user, false);
  if (still_there) {
    const RsaKeyPair& enc = pairs[0];
    const RsaKeyPair& sig = pairs[1];
    StoreHalf(kf, rec::kEncryptionPublicKey, key_id, enc.bits, enc.n, enc.e, &request.flags);
    StoreHalf(kf, rec::kEncryptionPrivateKey, key_id, enc.bits, enc.n, enc.d);
    StoreHalf(kf, rec::kSigningPublicKey, key_id, sig.bits, sig.n, sig.e);
    StoreHalf(kf, rec::kSigningPrivateKey, key_id, sig.bits, sig.n, sig.d);
    KeyDates dates;
    dates.expiry_year = request.expiry_year;
    dates.expiry_month = request.expiry_month;
    dates.expiry_day = request.expiry_day;
    dates.created = kf.Now();
    StoreKeyRecord(kf, rec::kPublicKeyDates, KeyDatesFields(key_id, dates));
    kf.modified = true;
    RebuildLists(kf);
  }
  for (RsaKeyPair& pair : pairs) WipeKeyPair(pair);
  if (!still_there) {
    ShowAbortBox(kf.ui, kKeyGoneText);
    return kKeyPairsFailed;
  }
  return kKeyPairsStored;
}

int CalculateNewPublicKey(Keyfile& kf, std::string_view key_id, const KeyPairRequest& request,
                          const KeyPairProgress& progress, const PrimeSearchLimit& limit) {
  const int checked = CheckNewKeyPairs(kf, key_id);
  if (checked != kKeyPairsStored) return checked;
  return StoreNewKeyPairs(kf, key_id, request, progress, limit);
}

}  // namespace lq
