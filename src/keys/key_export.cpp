// Public-key export and import: see key_export.h.
#include "keys/key_export.h"

#include <vector>

#include "base/catalogue.h"
#include "base/records.h"
#include "crypto/base64.h"
#include "crypto/sha256.h"

namespace lq {
namespace {

constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
constexpr int kExportedFieldCount = 18;

// Every field of a record read from the keyfile (prefix + decrypted list); empty when missing.
std::vector<Bytes> KeyRecordFields(Keyfile& kf, std::string_view type, std::string_view key_id) {
  long index = 0;
  Bytes record = FindRecord(kf, type, key_id, index);
  if (index < 0) return {};
  std::vector<Bytes> fields = RecordFields(record);
  Wipe(record);
  return fields;
}

void WipeAll(std::vector<Bytes>& fields) {
  for (Bytes& f : fields) Wipe(f);
  fields.clear();
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

bool IsNumberText(std::string_view text) {
  bool ok = false;
  return ParseNumber(text, &ok) > 0 && ok;
}

// A private record that no longer pairs with the key's (new) public modulus would decrypt or
// sign with the wrong key; it is removed.
void DropStalePrivate(Keyfile& kf, std::string_view type, std::string_view key_id,
                      std::string_view modulus) {
  std::vector<Bytes> old = KeyRecordFields(kf, type, key_id);
  const bool stale = old.size() >= 3 && old[2] != modulus;
  WipeAll(old);
  if (stale) DeleteKeyRecord(kf, type, key_id);
}

}  // namespace

// --- Export ----------------------------------------------------------------------------------

bool PrepareKeyExport(Keyfile& kf, std::string_view key_id, KeyExport& out) {
  out = KeyExport();
  UserId user;
  if (!ReadUserId(kf, key_id, user)) return false;
  std::vector<Bytes> enc = KeyRecordFields(kf, rec::kEncryptionPublicKey, key_id);
  std::vector<Bytes> sign = KeyRecordFields(kf, rec::kSigningPublicKey, key_id);
  long index = 0;
  const Bytes dates_record = FindRecord(kf, rec::kPublicKeyDates, key_id, index);
  if (enc.size() < 7 || sign.size() < 4 || index < 0) {
    ShowMessage(kf.ui, "Export_No_publickey_found", MessageStyle("Export_No_publickey_found"));
    return false;
  }
  KeyDates dates;
  ReadKeyDates(kf, rec::kPublicKeyDates, key_id, dates);
  if (PublicKeyExpired(kf, key_id) == 1) {
    ShowMessage(kf.ui, "Export_Publickey_expired", MessageStyle("Export_Publickey_expired"));
    return false;
  }
  std::vector<Bytes> enc_private = KeyRecordFields(kf, rec::kEncryptionPrivateKey, key_id);
  std::vector<Bytes> sign_private = KeyRecordFields(kf, rec::kSigningPrivateKey, key_id);

  PublicKeyFlags flags{static_cast<int>(ParseNumber(enc[4])), static_cast<int>(ParseNumber(enc[5])),
                       static_cast<int>(ParseNumber(enc[6]))};
  ExportedKey key;
  key.key_id = Bytes(key_id);
  key.first_name = user.first_name;
  key.last_name = user.last_name;
  key.company = flags.company != 0 ? user.company : std::string();
  key.department = flags.department != 0 ? user.department : std::string();
  key.email = flags.email != 0 ? user.email_address : std::string();
  key.dates_record = dates_record;
  key.encryption_bits = enc[1];
  key.n = enc[2];
  key.e = enc[3];
  key.signing_bits = sign[1];
  key.n2 = sign[2];
  key.e2 = sign[3];
  key.company_flag = enc[4];
  key.department_flag = enc[5];
  key.email_flag = enc[6];
  out.public_record = ComposeExportedKeyRecord(key);
  out.has_private = enc_private.size() >= 4;
  if (out.has_private) {
    key.d = enc_private[3];
    if (sign_private.size() >= 4) key.d2 = sign_private[3];
    out.private_record = ComposeExportedKeyRecord(key);
  }
  WipeExportedKey(key);
  WipeAll(enc_private);
  WipeAll(sign_private);

  std::string& info = out.info_text;
  info += "     First name: " + user.first_name + "\r\n";
  info += "      Last name: " + user.last_name + "\r\n";
  if (flags.company != 0) info += "   Company name: " + user.company + "\r\n";
  if (flags.department != 0) info += "Department name: " + user.department + "\r\n";
  if (flags.email != 0) info += " E-mail address: " + user.email_address + "\r\n";
  if (dates.expiry_year == 0) {
    info += "Expiration date: Never\r\n";
  } else {
    LocalTime expiry;
    expiry.year = dates.expiry_year;
    expiry.month = dates.expiry_month;
    expiry.day = dates.expiry_day;
    info += "Expiration date: " + ShortDateText(expiry) + "\r\n";
  }
  info += "  Creation date: " + ShortDateText(dates.created) +
          " - Time: " + TimeText(dates.created) + "\r\n";
  return true;
}

void WipeKeyExport(KeyExport& e) {
  Wipe(e.public_record);
  Wipe(e.private_record);
  e.has_private = false;
}

Bytes ComposeExportedKeyRecord(const ExportedKey& key) {
  Bytes list;
  for (std::string_view field :
       {std::string_view(key.key_id), std::string_view(key.first_name),
        std::string_view(key.last_name), std::string_view(key.company),
        std::string_view(key.department), std::string_view(key.email),
        std::string_view(key.dates_record), std::string_view(key.encryption_bits),
        std::string_view(key.n), std::string_view(key.e), std::string_view(key.d),
        std::string_view(key.signing_bits), std::string_view(key.n2), std::string_view(key.e2),
        std::string_view(key.d2), std::string_view(key.company_flag),
        std::string_view(key.department_flag), std::string_view(key.email_flag)}) {
    AppendField(field, list);
  }
  Bytes hash_record = RecordHeader(kHashRecordType);
  AppendField(SHA256_Hash(list), hash_record);
  AppendField(list, hash_record);
  Wipe(list);
  Bytes record = RecordHeader(kExportedKeyType);
  AppendField(hash_record, record);
  Wipe(hash_record);
  return record;
}

std::string ArmorExportedKey(std::string_view record, bool with_private) {
  Bytes body;
  Base64_Encode(record, kBase64GroupsPerLine, body);
  std::string text = with_private ? kExportPrivateStart : kExportPublicStart;
  text += "\r\n";
  text += body;
  text += "\r\n";
  text += with_private ? kExportPrivateEnd : kExportPublicEnd;
  Wipe(body);
  return text;
}

// --- Import ----------------------------------------------------------------------------------

Bytes DearmorExportedKey(Ui& ui, std::string_view text) {
  // The text may hold private exponents: every copy made here wipes itself on the way out.
  SecretBytes copy{std::string(text)};
  std::string& s = copy.str();
  ReplaceAll(s, kExportPrivateStart, kExportPublicStart);
  ReplaceAll(s, kExportPrivateEnd, kExportPublicEnd);
  const size_t start = s.find(kExportPublicStart);
  const size_t body_at = start == std::string::npos ? start : start + sizeof kExportPublicStart - 1;
  const size_t end = start == std::string::npos ? start : s.find(kExportPublicEnd, body_at);
  if (start == std::string::npos || end == std::string::npos) {
    ShowMessage(ui, "EnDec_NoAsciiArmorFormat", MessageStyle("EnDec_NoAsciiArmorFormat"));
    return {};
  }
  SecretBytes body;
  body.str().reserve(end - body_at);
  for (size_t i = body_at; i < end; ++i) {
    if (std::string_view(kBase64Alphabet).find(s[i]) != std::string_view::npos) {
      body.str().push_back(s[i]);
    }
  }
  Bytes record;
  Base64_Decode(body.str(), record);
  return record;
}

bool DecomposeExportedKeyRecord(Ui& ui, std::string_view record, ExportedKey& key) {
  key = ExportedKey();
  if (!CheckRecordType(ui, record, kExportedKeyType)) return false;
  if (!CheckRecordFormat(ui, record, kRecordFormat001)) return false;
  long position = 7;
  const SecretBytes hash_record(NextField(record, position));
  if (!CheckRecordType(ui, hash_record.view(), kHashRecordType) ||
      !CheckRecordFormat(ui, hash_record.view(), kRecordFormat001)) {
    return false;
  }
  position = 7;
  const Bytes digest = NextField(hash_record.view(), position);
  const SecretBytes list(NextField(hash_record.view(), position));
  if (!ConstantTimeEqual(SHA256_Hash(list.view()), digest)) {
    ShowMessage(ui, "Endec_HashDoesNotMatch", MessageStyle("Endec_HashDoesNotMatch"));
    return false;
  }
  std::vector<SecretBytes> f;
  position = 1;
  while (position > 0 && static_cast<int>(f.size()) < kExportedFieldCount) {
    f.emplace_back(NextField(list.view(), position));
  }
  const bool complete = static_cast<int>(f.size()) == kExportedFieldCount && position > -2;
  // A digest over a list that is not a key can only come from a different program or a
  // forger; storing it would leave a key that cannot encrypt or verify.
  auto at = [&](size_t i) -> const std::string& { return f[i].str(); };
  const bool sound = complete && at(0).size() == 32 && at(6).size() >= 6 &&
                     at(6).compare(0, 6, "011001") == 0 && IsNumberText(at(7)) && !at(8).empty() &&
                     !at(9).empty() && IsNumberText(at(11)) && !at(12).empty() && !at(13).empty();
  if (!sound) {
    ShowMessage(ui, "EnDec_NoAsciiArmorFormat", MessageStyle("EnDec_NoAsciiArmorFormat"));
    return false;
  }
  key.key_id = at(0);
  key.first_name = at(1);
  key.last_name = at(2);
  key.company = at(3);
  key.department = at(4);
  key.email = at(5);
  key.dates_record = at(6);
  key.encryption_bits = at(7);
  key.n = at(8);
  key.e = at(9);
  key.d = at(10);
  key.signing_bits = at(11);
  key.n2 = at(12);
  key.e2 = at(13);
  key.d2 = at(14);
  key.company_flag = at(15);
  key.department_flag = at(16);
  key.email_flag = at(17);
  return true;
}

void WipeExportedKey(ExportedKey& key) {
  Wipe(key.d);
  Wipe(key.d2);
  key = ExportedKey();
}

int ImportExportedKey(Keyfile& kf, std::string_view text, Bytes& stored_key_id) {
  stored_key_id.clear();
  kf.ui.LogLine("Processing imported keydata: decomposing ascii armor message");
  Bytes record = DearmorExportedKey(kf.ui, text);
  if (record.empty()) return kImportRefused;
  ExportedKey key;
  const bool read = DecomposeExportedKeyRecord(kf.ui, record, key);
  Wipe(record);
  if (!read) return kImportRefused;

  UserId existing;
  const bool key_known = ReadUserId(kf, key.key_id, existing, false);
  KeyGroupEntry group;
  const bool group_known = ReadKeyGroup(kf, key.key_id, group);
  Bytes key_id = key.key_id;
  std::string keyname;
  if (key_known || group_known) {
    const int answer =
        AskUser(kf.ui, "Imported_KeyID_exists", MessageStyle("Imported_KeyID_exists"),
                key_known ? existing.keyname : group.name);
    if (answer == kIdYes && key_known) {
      keyname = existing.keyname;
    } else if (answer == kIdYes || answer == kIdNo) {
      keyname = AskNewName(kf, kNewKeyPrompt);
      if (keyname.empty()) {
        WipeExportedKey(key);
        return kImportCancelled;
      }
      if (answer == kIdNo) key_id = NewUniqueIdentifier(kf);
    } else {
      WipeExportedKey(key);
      return kImportCancelled;
    }
  } else {
    keyname = AskNewName(kf, kNewKeyPrompt);
    if (keyname.empty()) {
      WipeExportedKey(key);
      return kImportCancelled;
    }
  }

  UserId user;
  user.key_id = key_id;
  user.keyname = keyname;
  user.first_name = key.first_name;
  user.last_name = key.last_name;
  user.company = key.company;
  user.department = key.department;
  user.email_subject = "--";
  user.email_address = key.email;
  user.trust.assign(1, '1');  // (assigning the literal trips a GCC 12 -Wrestrict false positive)
  StoreKeyRecord(kf, rec::kUserId, UserIdFields(user));

  // The dates record is written anew around the KeyID used, so a new KeyID reaches it too.
  Bytes dates;
  AppendField(key_id, dates);
  long position = 7;
  NextField(key.dates_record, position);
  while (position > 0) AppendField(NextField(key.dates_record, position), dates);
  StoreKeyRecord(kf, rec::kPublicKeyDates, dates);

  auto fields = [&key_id](std::initializer_list<std::string_view> values) {
    Bytes list;
    AppendField(key_id, list);
    for (std::string_view v : values) AppendField(v, list);
    return list;
  };
  StoreKeyRecord(kf, rec::kEncryptionPublicKey,
                 fields({key.encryption_bits, key.n, key.e, key.company_flag, key.department_flag,
                         key.email_flag}));
  StoreKeyRecord(kf, rec::kSigningPublicKey, fields({key.signing_bits, key.n2, key.e2}));
  if (!key.d.empty()) {
    Bytes list = fields({key.encryption_bits, key.n, key.d});
    StoreKeyRecord(kf, rec::kEncryptionPrivateKey, list);
    Wipe(list);
  } else {
    DropStalePrivate(kf, rec::kEncryptionPrivateKey, key_id, key.n);
  }
  if (!key.d2.empty()) {
    Bytes list = fields({key.signing_bits, key.n2, key.d2});
    StoreKeyRecord(kf, rec::kSigningPrivateKey, list);
    Wipe(list);
  } else {
    DropStalePrivate(kf, rec::kSigningPrivateKey, key_id, key.n2);
  }

  KeyGroupEntry clash;
  if (ReadKeyGroup(kf, key_id, clash)) {
    DeleteKeyRecord(kf, rec::kKeyGroup, key_id);
    Bytes list;
    AppendField(NewUniqueIdentifier(kf), list);
    AppendField(clash.name, list);
    for (const Bytes& member : clash.members) AppendField(member, list);
    StoreKeyRecord(kf, rec::kKeyGroup, list);
  }
  WipeExportedKey(key);
  RebuildLists(kf);
  stored_key_id = key_id;
  return kImportStored;
}

}  // namespace lq
