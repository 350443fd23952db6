// "&Calculate new public key": the checks before the dialog, then two RSA key pairs (encryption,
// then signing) of the chosen length, stored as the key's records 006-009 and 011.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "crypto/primes.h"
#include "keys/key_records.h"
#include "keys/keyfile.h"

namespace lq {

inline constexpr char kKeyLengthNotMultipleText[] =
    "Public keylength must be a multiple of 32 bits (4 bytes)!!\r\n"
    "Calculation of public key is aborted...";
inline constexpr char kKeyLengthRangeText[] =
    "Public keylength must be from 288 to 32768 bits!!\r\n"
    "Calculation of public key is aborted...";
inline constexpr char kPrimeSearchTimeoutText[] =
    "No prime number was found within the time limit of the search!!\r\n"
    "No key was made. Calculation of public key is aborted...";
inline constexpr char kKeyGoneText[] =
    "The keyfile was closed or the key was deleted while its public key was calculated!!\r\n"
    "Calculation of public key is aborted...";

// What the key-pair dialog returns.
struct KeyPairRequest {
  int bits = 0;  // 0: the dialog was cancelled
  PublicKeyFlags flags;
  int expiry_year = 0, expiry_month = 0, expiry_day = 0;  // 0/0/0: never expires
  // True when the user cancelled a running generation: a search that then fails stores
  // nothing and shows nothing. Unset: no cancel.
  std::function<bool()> cancelled;
};

// Results of the procedure.
constexpr int kKeyPairsStored = 0;
constexpr int kKeyPairsCancelled = 1;  // a question answered no, or the dialog cancelled
constexpr int kKeyPairsRefused = 2;    // a check failed; its message was shown
constexpr int kKeyPairsFailed = 3;     // generation failed or the key went away; shown

// Progress of the two generations: pair 1 (encryption) or 2 (signing), then as RsaProgress.
using KeyPairProgress = std::function<void(int pair, int steps_done, long candidates)>;

// The dialog's progress label: "Step" + step + " of" + step count ("Step 2 of 5").
std::string KeyGenerationStepText(int step);

// The checks before the dialog: both first and last name filled in (else
// "PubKey_UsersName_undefined"), and "PubKey_Overwrite?" answered yes when the key already has
// an encryption public key. kKeyPairsStored when the dialog may be shown.
int CheckNewKeyPairs(Keyfile& kf, std::string_view key_id);

// After the dialog: refuses a length that is not a multiple of 32 or outside 288..32768 (boxes
// above), generates the encryption pair and then the signing pair, and stores records 006-009
// and 011 (creation now), replacing the key's earlier ones. Nothing is stored unless both pairs
// were made and the key still exists in the open keyfile. The in-memory pairs are wiped.
// Between prime candidates the Ui is pumped (limit.ui; else, without a progress receiver, the
// keyfile's Ui: a receiver processes the front end's events itself). A generation that fails
// after request.cancelled turned true returns kKeyPairsCancelled without a message.
int StoreNewKeyPairs(Keyfile& kf, std::string_view key_id, const KeyPairRequest& request,
                     const KeyPairProgress& progress = {}, const PrimeSearchLimit& limit = {});

// The whole procedure with the dialog's answers given: CheckNewKeyPairs, then (unless
// request.bits is 0) StoreNewKeyPairs.
int CalculateNewPublicKey(Keyfile& kf, std::string_view key_id, const KeyPairRequest& request,
                          const KeyPairProgress& progress = {}, const PrimeSearchLimit& limit = {});

}  // namespace lq
