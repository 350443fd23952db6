// Public-key export and import: the exported key record (type 107) with the owner's
// identification, dates and both key pairs (private exponents on request), its two armors,
// and the import's decisions when the KeyID is already known.
#pragma once

#include <string>
#include <string_view>

#include "base/bytes.h"
#include "keys/key_records.h"
#include "keys/keyfile.h"

namespace lq {

inline constexpr char kExportPublicStart[] = "-----Start_Lockquill_public_key-----";
inline constexpr char kExportPublicEnd[] = "-----End_Lockquill_public_key-----";
inline constexpr char kExportPrivateStart[] = "-----Start_Lockquill_public_+_private_key-----";
inline constexpr char kExportPrivateEnd[] = "-----End_Lockquill_public_+_private_key-----";
inline constexpr char kExportedKeyType[] = "107";
inline constexpr char kHashRecordType[] = "108";

// The 18 fields of an exported key, as the record carries them (numbers as decimal text).
struct ExportedKey {
  Bytes key_id;
  std::string first_name, last_name, company, department, email;
  Bytes dates_record;  // "011" + "001" + KeyID and the nine date fields
  std::string encryption_bits;
  Bytes n, e, d;  // d empty: no private part
  std::string signing_bits;
  Bytes n2, e2, d2;
  std::string company_flag, department_flag, email_flag;
};

// What the export of one key offers: both record variants and the text of the information box.
struct KeyExport {
  Bytes public_record;   // private exponents left empty
  Bytes private_record;  // empty when the key has no private part
  bool has_private = false;
  std::string info_text;  // lines ending in CR LF
};

// Reads a key for export. False, with the reason shown, when its UserIDRecord
// ("Keyfile_UserIDRecord_not_found"), its public key or dates ("Export_No_publickey_found") are
// missing, or the public key expired before today ("Export_Publickey_expired").
bool PrepareKeyExport(Keyfile& kf, std::string_view key_id, KeyExport& out);
void WipeKeyExport(KeyExport& e);

// "107001" + field(HashRecord(the 18 fields)).
Bytes ComposeExportedKeyRecord(const ExportedKey& key);
// The armor of a record: start marker, CR LF, Base64 in 60-character lines, CR LF, end marker.
std::string ArmorExportedKey(std::string_view record, bool with_private);

// The record inside a key armor (either variant): markers found, foreign characters dropped,
// Base64 decoded. Empty, after "EnDec_NoAsciiArmorFormat", when a marker is missing.
Bytes DearmorExportedKey(Ui& ui, std::string_view text);
// Checks type, format and digest of a record and reads its fields; false with the message
// shown (record checks, "Endec_HashDoesNotMatch", or "EnDec_NoAsciiArmorFormat" for fields that
// cannot be a key).
bool DecomposeExportedKeyRecord(Ui& ui, std::string_view record, ExportedKey& key);
void WipeExportedKey(ExportedKey& key);

// Results of ImportExportedKey.
constexpr int kImportStored = 0;
constexpr int kImportCancelled = 1;  // question cancelled or no name given; nothing changed
constexpr int kImportRefused = 2;    // damaged or not key data; shown

// Imports an armored key into the open keyfile. A known KeyID asks "Imported_KeyID_exists":
// yes replaces that key's records (it keeps its keyname), no makes a new key with a new KeyID
// and a name asked with kNewKeyPrompt, cancel stops. An unknown KeyID makes a key with that
// KeyID and a name asked the same way. `stored_key_id` receives the KeyID used.
int ImportExportedKey(Keyfile& kf, std::string_view text, Bytes& stored_key_id);

}  // namespace lq
