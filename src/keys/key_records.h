// Key records, key groups and the keyfile's single-purpose records: their fields, identifiers
// and keynames, storing and deleting, the signing key, random state and selected recipients.
// The key manager, the packet engine and the lq tool all work through these functions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/bytes.h"
#include "crypto/bignum.h"
#include "keys/keyfile.h"

namespace lq {

// Record types of the keyfile.
namespace rec {
inline constexpr char kHeader[] = "001";
inline constexpr char kHmac[] = "002";
inline constexpr char kPassphraseCheck[] = "003";
inline constexpr char kUserId[] = "004";
inline constexpr char kSecretKey[] = "005";
inline constexpr char kEncryptionPublicKey[] = "006";
inline constexpr char kEncryptionPrivateKey[] = "007";
inline constexpr char kSigningPublicKey[] = "008";
inline constexpr char kSigningPrivateKey[] = "009";
inline constexpr char kSecretKeyDates[] = "010";
inline constexpr char kPublicKeyDates[] = "011";
inline constexpr char kKeyGroup[] = "012";
inline constexpr char kSigningKey[] = "013";
inline constexpr char kAlwaysEncrypt[] = "014";
inline constexpr char kRandomState[] = "015";
inline constexpr char kSelectedRecipients[] = "016";
}  // namespace rec

inline constexpr char kNewKeyPrompt[] = "Enter a unique name for the new keyrecord";
inline constexpr char kNewGroupPrompt[] = "Enter a unique name for the new keygroup";

// Asks with the text-entry prompt until the name is non-empty and used by no key and no group
// (compared ignoring case; "KeyName_exists" each time it is). Empty when the user cancelled.
std::string AskNewName(Keyfile& kf, const char* prompt);

inline constexpr char kNoSigningKeyText[] = "No signingkey selected";

// The owner's identification (record 004). `trust` is stored as given: "1" for a new key,
// the number text of the slider (" 2") when the key manager stores it.
struct UserId {
  Bytes key_id;
  std::string keyname, first_name, last_name, company, department, email_subject, email_address;
  std::string trust = "1";
};

// One RSA half as records 006-009 hold it: length in bits, modulus, exponent.
struct RsaKeyRecord {
  int bits = 0;
  BigNum modulus;
  BigNum exponent;
};

// Which identification fields travel with an exported public key (record 006).
struct PublicKeyFlags {
  int company = 0, department = 0, email = 0;
};

// Records 010 and 011: expiry (0/0/0 never expires) and creation time.
struct KeyDates {
  int expiry_year = 0, expiry_month = 0, expiry_day = 0;
  LocalTime created;
};

// --- Field lists and readers of the per-key records -------------------------------------

Bytes UserIdFields(const UserId& user);
// Reads a record (6-character prefix + field list) of type 004.
UserId ReadUserIdFields(std::string_view record);
Bytes RsaKeyFields(std::string_view key_id, const RsaKeyRecord& key);
Bytes EncryptionPublicKeyFields(std::string_view key_id, const RsaKeyRecord& key,
                                const PublicKeyFlags& flags);
Bytes KeyDatesFields(std::string_view key_id, const KeyDates& dates);

// The field values of a record read by FindRecord / FindRecordOfType, from position 7.
std::vector<Bytes> RecordFields(std::string_view record);

// --- Storing ------------------------------------------------------------------------------

// Replaces the record of `type` whose first field equals the first field of `fields`, or
// appends a new one; sets the modified flag. For the per-key records and groups.
void StoreKeyRecord(Keyfile& kf, std::string_view type, std::string_view fields);
// Replaces the one record of `type` (013-016), or appends it; sets the modified flag.
void StoreSingleRecord(Keyfile& kf, std::string_view type, std::string_view fields);
// Marks every record of `type` with this first field deleted. True when one was found.
bool DeleteKeyRecord(Keyfile& kf, std::string_view type, std::string_view key_id);

// --- Identifiers, lists, names ----------------------------------------------------------------

// 32 bytes: the digest of Blum-Blum-Shub bytes, the clock, the mouse position and two runtime
// random numbers. Stores the random state.
Bytes NewRecordIdentifier(Keyfile& kf);
// NewRecordIdentifier again until it differs from every key's and every group's identifier.
Bytes NewUniqueIdentifier(Keyfile& kf);

// Rebuilds kf.keys and kf.groups from the table and calls the lists_changed hook.
void RebuildLists(Keyfile& kf);

// Whether a key other than `except_key_id` has this keyname; `ignore_case` compares ASCII
// letters without case.
bool KeynameUsed(Keyfile& kf, std::string_view name, bool ignore_case,
                 std::string_view except_key_id = {});
// Whether a group has this name (letter case ignored).
bool GroupNameUsed(Keyfile& kf, std::string_view name);

// Asks for a unique keyname and makes the key's UserIDRecord. The new KeyID, or empty when
// the user cancelled.
Bytes NewKey(Keyfile& kf);

// Stores the key manager's details of an existing key, after the keyname rules: an empty name
// becomes "Key_" and a random number; a changed name that another key has exactly gets a random
// number appended (blanks removed). Returns the name stored, for the keyname box.
std::string StoreKeyDetails(Keyfile& kf, UserId details);

// Reads a key's UserIDRecord; false (and "Keyfile_UserIDRecord_not_found" when `report`) when
// there is none.
bool ReadUserId(Keyfile& kf, std::string_view key_id, UserId& user, bool report = true);

// --- Key groups ---------------------------------------------------------------------------------

Bytes NewKeyGroup(Keyfile& kf);  // asks for the name; empty when cancelled
bool ReadKeyGroup(Keyfile& kf, std::string_view group_id, KeyGroupEntry& group);
void AddGroupMember(Keyfile& kf, std::string_view group_id, std::string_view key_id);
void RemoveGroupMember(Keyfile& kf, std::string_view group_id, std::string_view key_id);
// Asks "KeyGroup_SureToDelete?"; true when the group was deleted.
bool DeleteKeyGroup(Keyfile& kf, std::string_view group_id);

// Asks "KeyRecord_Delete"; on yes deletes the key's eight record types, removes it from every
// group and clears the signing key when it was that key. True when deleted.
bool DeleteKey(Keyfile& kf, std::string_view key_id);

// --- Signing key and always-encrypt ---------------------------------------------------------

Bytes SigningKey(Keyfile& kf);  // empty when none is set
void SetSigningKey(Keyfile& kf, std::string_view key_id);
void ClearSigningKey(Keyfile& kf);  // records 013 and 014 are deleted
bool AlwaysEncrypt(Keyfile& kf);    // read only while a signing key is set
void SetAlwaysEncrypt(Keyfile& kf, bool on);

// --- Random state and selected recipients ---------------------------------------------------

// The random state record (prefix + N + x), empty when the keyfile has none.
Bytes StoredRandomState(Keyfile& kf);
// Writes the generator's N and x into record 015 when they differ from the stored ones.
void StoreRandomState(Keyfile& kf);
void StoreSelectedRecipients(Keyfile& kf);
// Reads record 016 back into kf.selected_recipients, keeping only keys that still exist.
void RestoreSelectedRecipients(Keyfile& kf);

// --- Expiry, fingerprint, secret key --------------------------------------------------------

// -1 no dates record, 0 never expires or expires today or later, 1 expired before today.
int PublicKeyExpired(Keyfile& kf, std::string_view key_id);
int SecretKeyExpired(Keyfile& kf, std::string_view key_id);
bool ReadKeyDates(Keyfile& kf, std::string_view type, std::string_view key_id, KeyDates& dates);

// Nine groups of four hex digits, each followed by a blank, of SHA256_Hash(n || e).
std::string FingerprintText(std::string_view modulus, std::string_view exponent);
// The fingerprint of a key's encryption public key; empty when it has none.
std::string Fingerprint(Keyfile& kf, std::string_view key_id);

bool ReadRsaKeyRecord(Keyfile& kf, std::string_view type, std::string_view key_id,
                      RsaKeyRecord& key, PublicKeyFlags* flags = nullptr);

// Sets a key's secret (records 005 and 010): unchanged text and expiry do nothing; an empty
// text removes both records. `text` is wiped. True when something changed.
bool SetSecretKey(Keyfile& kf, std::string_view key_id, std::string& text, int expiry_year,
                  int expiry_month, int expiry_day);
// What the dialog in its secret-key mode starts from: the key's secret text and expiry date.
ChangePassphraseRequest SecretKeyEditRequest(Keyfile& kf, std::string_view key_id);
// "&Edit secret key": the dialog in its secret-key mode, then SetSecretKey.
bool EditSecretKey(Keyfile& kf, std::string_view key_id);

}  // namespace lq
