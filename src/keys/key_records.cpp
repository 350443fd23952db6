// Key records, key groups, the signing key and the keyfile's single-purpose records: field
// lists, identifiers, keynames, storing, deleting, expiry and fingerprints.
#include "keys/key_records.h"

#include <algorithm>

#include "base/catalogue.h"
#include "base/records.h"
#include "crypto/hex.h"
#include "crypto/sha256.h"

namespace lq {

namespace {

std::string FirstField(std::string_view list_or_record, long start) {
  long position = start;
  return NextField(list_or_record, position);
}

int ToInt(std::string_view text) {
  const long long v = ParseNumber(text);
  return v < -99999999 ? -99999999 : v > 99999999 ? 99999999 : static_cast<int>(v);
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string WithoutBlanks(std::string text) {
  std::erase(text, ' ');
  return text;
}

// The language's simple random numbers (not the Blum-Blum-Shub bytes): 1 to `top`.
long RandomWhole(Keyfile& kf, uint32_t top) {
  return static_cast<long>(RuntimeRandom(kf.random, 1, top));
}

// The 0-based table index of the record FindRecord / FindRecordOfType reported.
size_t TableIndex(long index) { return static_cast<size_t>(index - 1); }

// Every key's and every group's identifier, from the table itself (lists may be stale).
bool IdentifierInUse(Keyfile& kf, std::string_view id) {
  for (const char* type : {rec::kUserId, rec::kKeyGroup}) {
    long index = 0;
    if (!FindRecord(kf, type, id, index).empty()) return true;
  }
  return false;
}

Bytes GroupFields(const KeyGroupEntry& group) {
  Bytes fields;
  AppendField(group.group_id, fields);
  AppendField(group.name, fields);
  for (const Bytes& member : group.members) AppendField(member, fields);
  return fields;
}

KeyGroupEntry ReadGroupFields(std::string_view record) {
  KeyGroupEntry group;
  std::vector<Bytes> fields = RecordFields(record);
  if (!fields.empty()) group.group_id = fields[0];
  if (fields.size() > 1) group.name = fields[1];
  for (size_t i = 2; i < fields.size(); ++i) group.members.push_back(fields[i]);
  return group;
}

KeyDates ReadDatesFields(std::string_view record) {
  std::vector<Bytes> f = RecordFields(record);
  f.resize(10);
  KeyDates d;
  d.expiry_year = ToInt(f[1]);
  d.expiry_month = ToInt(f[2]);
  d.expiry_day = ToInt(f[3]);
  d.created =
      LocalTime{ToInt(f[4]), ToInt(f[5]), ToInt(f[6]), ToInt(f[7]), ToInt(f[8]), ToInt(f[9])};
  return d;
}

int Expired(Keyfile& kf, std::string_view type, std::string_view key_id) {
  KeyDates dates;
  if (!ReadKeyDates(kf, type, key_id, dates)) return -1;
  if (dates.expiry_year == 0) return 0;
  // yyyymmdd compared as numbers: the same order as the texts for four-digit years.
  const LocalTime today = kf.Now();
  const long long expiry =
      dates.expiry_year * 10000LL + dates.expiry_month * 100LL + dates.expiry_day;
  const long long now = today.year * 10000LL + today.month * 100LL + today.day;
  return expiry < now ? 1 : 0;
}

void ReplaceAt(Keyfile& kf, long index, Bytes record) {
  Wipe(kf.table[TableIndex(index)]);
  kf.table[TableIndex(index)] = std::move(record);
  kf.modified = true;
}

}  // namespace

// Asks for a name for a new key or group until it is non-empty and used by neither.
// Empty when the user cancelled.
std::string AskNewName(Keyfile& kf, const char* prompt) {
  for (;;) {
    bool ok = false;
    std::string name = kf.ui.AskText(prompt, {}, ok);
    if (!ok || name == kPassphraseCancelled) return {};
    if (name.empty()) continue;
    if (KeynameUsed(kf, name, true) || GroupNameUsed(kf, name)) {
      ShowMessage(kf.ui, "KeyName_exists", MessageStyle("KeyName_exists"), name);
      continue;
    }
    return name;
  }
}

// --- Field lists -----------------------------------------------------------------------------

Bytes UserIdFields(const UserId& user) {
  Bytes fields;
  for (const std::string* f :
       {&user.key_id, &user.keyname, &user.first_name, &user.last_name, &user.company,
        &user.department, &user.email_subject, &user.email_address, &user.trust}) {
    AppendField(*f, fields);
  }
  return fields;
}

UserId ReadUserIdFields(std::string_view record) {
  std::vector<Bytes> f = RecordFields(record);
  f.resize(9);
  UserId user;
  user.key_id = f[0];
  user.keyname = f[1];
  user.first_name = f[2];
  user.last_name = f[3];
  user.company = f[4];
  user.department = f[5];
  user.email_subject = f[6];
  user.email_address = f[7];
  user.trust = f[8];
  return user;
}

Bytes RsaKeyFields(std::string_view key_id, const RsaKeyRecord& key) {
  Bytes fields;
  AppendField(key_id, fields);
  AppendField(NumText(key.bits), fields);
  AppendField(key.modulus, fields);
  AppendField(key.exponent, fields);
  return fields;
}

Bytes EncryptionPublicKeyFields(std::string_view key_id, const RsaKeyRecord& key,
                                const PublicKeyFlags& flags) {
  Bytes fields = RsaKeyFields(key_id, key);
  AppendField(NumText(flags.company), fields);
  AppendField(NumText(flags.department), fields);
  AppendField(NumText(flags.email), fields);
  return fields;
}

Bytes KeyDatesFields(std::string_view key_id, const KeyDates& d) {
  Bytes fields;
  AppendField(key_id, fields);
  for (int v : {d.expiry_year, d.expiry_month, d.expiry_day, d.created.year, d.created.month,
                d.created.day, d.created.hour, d.created.minute, d.created.second}) {
    AppendField(NumText(v), fields);
  }
  return fields;
}

std::vector<Bytes> RecordFields(std::string_view record) {
  std::vector<Bytes> fields;
  long position = 7;
  while (position > 0) {
    Bytes field = NextField(record, position);
    if (position == kFieldShortLength || position == kFieldOverlong) break;
    fields.push_back(std::move(field));
  }
  return fields;
}

// --- Storing ---------------------------------------------------------------------------------

void StoreKeyRecord(Keyfile& kf, std::string_view type, std::string_view fields) {
  if (!kf.open) return;
  const Bytes id = FirstField(fields, 1);
  long index = 0;
  Bytes old = FindRecord(kf, type, id, index);
  Wipe(old);
  Bytes record = EncryptRecord(kf, type, kRecordFormat001, fields, kf.key);
  if (index > 0) {
    ReplaceAt(kf, index, std::move(record));
  } else {
    kf.table.push_back(std::move(record));
    kf.modified = true;
  }
}

void StoreSingleRecord(Keyfile& kf, std::string_view type, std::string_view fields) {
  if (!kf.open) return;
  long index = 0;
  Bytes old = FindRecordOfType(kf, type, index);
  Wipe(old);
  Bytes record = EncryptRecord(kf, type, kRecordFormat001, fields, kf.key);
  if (index > 0) {
    ReplaceAt(kf, index, std::move(record));
  } else {
    kf.table.push_back(std::move(record));
    kf.modified = true;
  }
}

bool DeleteKeyRecord(Keyfile& kf, std::string_view type, std::string_view key_id) {
  bool found = false;
  long index = 0;
  for (;;) {
    Bytes record = FindRecord(kf, type, key_id, index);
    Wipe(record);
    if (index < 0) return found;
    ReplaceAt(kf, index, kDeletedRecord);
    found = true;
  }
}

// --- Identifiers, lists, names -----------------------------------------------------------------

Bytes NewRecordIdentifier(Keyfile& kf) {
  Bytes seed = BBS_RandomBytes(kf.random, kf.ui, 32);
  StoreRandomState(kf);
  SeedMoment moment;
  moment.time = kf.Now();
  if (kf.hooks.mouse_position) kf.hooks.mouse_position(moment.mouse_x, moment.mouse_y);
  // Date, time, seconds since midnight and the mouse position, as the start-up seed has them.
  seed += RuntimeSeedText(moment);
  seed += NumText(RandomWhole(kf, 9999999));
  seed += NumText(RandomWhole(kf, 9999999));
  Bytes id = SHA256_Hash(seed);
  Wipe(seed);
  return id;
}

Bytes NewUniqueIdentifier(Keyfile& kf) {
  for (;;) {
    Bytes id = NewRecordIdentifier(kf);
    if (!IdentifierInUse(kf, id)) return id;
  }
}

void RebuildLists(Keyfile& kf) {
  kf.keys.clear();
  kf.groups.clear();
  long index = 0;
  for (;;) {
    Bytes record = FindRecordOfType(kf, rec::kUserId, index);
    if (index < 0) break;
    UserId user = ReadUserIdFields(record);
    long private_index = 0;
    Bytes private_key = FindRecord(kf, rec::kEncryptionPrivateKey, user.key_id, private_index);
    Wipe(private_key);
    kf.keys.push_back(KeyListEntry{user.key_id, user.keyname, private_index > 0 ? 'm' : 'r'});
  }
  index = 0;
  for (;;) {
    Bytes record = FindRecordOfType(kf, rec::kKeyGroup, index);
    if (index < 0) break;
    kf.groups.push_back(ReadGroupFields(record));
  }
  if (kf.hooks.lists_changed) kf.hooks.lists_changed();
}

bool KeynameUsed(Keyfile& kf, std::string_view name, bool ignore_case,
                 std::string_view except_key_id) {
  long index = 0;
  for (;;) {
    Bytes record = FindRecordOfType(kf, rec::kUserId, index);
    if (index < 0) return false;
    UserId user = ReadUserIdFields(record);
    if (!except_key_id.empty() && user.key_id == except_key_id) continue;
    if (ignore_case ? SameTextIgnoringCase(user.keyname, name) : user.keyname == name) {
      return true;
    }
  }
}

bool GroupNameUsed(Keyfile& kf, std::string_view name) {
  long index = 0;
  for (;;) {
    Bytes record = FindRecordOfType(kf, rec::kKeyGroup, index);
    if (index < 0) return false;
    if (SameTextIgnoringCase(ReadGroupFields(record).name, name)) return true;
  }
}

Bytes NewKey(Keyfile& kf) {
  if (!kf.open) return {};
  const std::string name = AskNewName(kf, kNewKeyPrompt);
  if (name.empty()) return {};
  UserId user;
  user.key_id = NewUniqueIdentifier(kf);
  user.keyname = name;
  user.trust.assign(1, '1');  // (assigning the literal trips a GCC 12 -Wrestrict false positive)
  StoreKeyRecord(kf, rec::kUserId, UserIdFields(user));
  RebuildLists(kf);
  return user.key_id;
}

std::string StoreKeyDetails(Keyfile& kf, UserId details) {
  UserId stored;
  const bool exists = ReadUserId(kf, details.key_id, stored, false);
  const bool changed = !exists || stored.keyname != details.keyname;
  if (changed) {
    if (details.keyname.empty()) {
      details.keyname = WithoutBlanks("Key_" + NumText(RandomWhole(kf, 1000)));
      ShowMessage(kf.ui, "KeyName_empty", MessageStyle("KeyName_empty"), details.keyname);
    }
    if (KeynameUsed(kf, details.keyname, false, details.key_id)) {
      const std::string typed = details.keyname;
      // Another draw when the first one happens to be taken too, so names stay unique.
      for (int attempt = 0; attempt < 100; ++attempt) {
        details.keyname = WithoutBlanks(typed + NumText(RandomWhole(kf, 1000)));
        if (!KeynameUsed(kf, details.keyname, false, details.key_id)) break;
      }
      ShowMessage(kf.ui, "KeyName_exists2", MessageStyle("KeyName_exists2"), typed,
                  details.keyname);
    }
  }
  StoreKeyRecord(kf, rec::kUserId, UserIdFields(details));
  RebuildLists(kf);
  return details.keyname;
}

bool ReadUserId(Keyfile& kf, std::string_view key_id, UserId& user, bool report) {
  long index = 0;
  Bytes record = FindRecord(kf, rec::kUserId, key_id, index);
  if (index < 0) {
    if (report) {
      ShowMessage(kf.ui, "Keyfile_UserIDRecord_not_found",
                  MessageStyle("Keyfile_UserIDRecord_not_found"));
    }
    return false;
  }
  user = ReadUserIdFields(record);
  return true;
}

// --- Key groups
// -----------------------------------------------------------------------------------

Bytes NewKeyGroup(Keyfile& kf) {
  if (!kf.open) return {};
  KeyGroupEntry group;
  group.name = AskNewName(kf, kNewGroupPrompt);
  if (group.name.empty()) return {};
  group.group_id = NewUniqueIdentifier(kf);
  StoreKeyRecord(kf, rec::kKeyGroup, GroupFields(group));
  RebuildLists(kf);
  return group.group_id;
}

bool ReadKeyGroup(Keyfile& kf, std::string_view group_id, KeyGroupEntry& group) {
  long index = 0;
  Bytes record = FindRecord(kf, rec::kKeyGroup, group_id, index);
  if (index < 0) return false;
  group = ReadGroupFields(record);
  return true;
}

void AddGroupMember(Keyfile& kf, std::string_view group_id, std::string_view key_id) {
  KeyGroupEntry group;
  if (!ReadKeyGroup(kf, group_id, group)) return;
  // A key that is already a member would otherwise be encrypted to twice.
  if (std::find(group.members.begin(), group.members.end(), key_id) != group.members.end()) {
    return;
  }
  group.members.emplace_back(key_id);
  StoreKeyRecord(kf, rec::kKeyGroup, GroupFields(group));
  RebuildLists(kf);
}

void RemoveGroupMember(Keyfile& kf, std::string_view group_id, std::string_view key_id) {
  KeyGroupEntry group;
  if (!ReadKeyGroup(kf, group_id, group)) return;
  std::erase(group.members, key_id);
  StoreKeyRecord(kf, rec::kKeyGroup, GroupFields(group));
  RebuildLists(kf);
}

bool DeleteKeyGroup(Keyfile& kf, std::string_view group_id) {
  KeyGroupEntry group;
  if (!ReadKeyGroup(kf, group_id, group)) return false;
  if (AskUser(kf.ui, "KeyGroup_SureToDelete?", MessageStyle("KeyGroup_SureToDelete?"),
              group.name) != kIdYes) {
    return false;
  }
  DeleteKeyRecord(kf, rec::kKeyGroup, group_id);
  RebuildLists(kf);
  return true;
}

bool DeleteKey(Keyfile& kf, std::string_view key_id) {
  if (!kf.open || key_id.empty()) return false;
  if (AskUser(kf.ui, "KeyRecord_Delete", MessageStyle("KeyRecord_Delete")) != kIdYes) {
    return false;
  }
  for (const char* type : {rec::kUserId, rec::kSecretKey, rec::kEncryptionPublicKey,
                           rec::kEncryptionPrivateKey, rec::kSigningPublicKey,
                           rec::kSigningPrivateKey, rec::kSecretKeyDates, rec::kPublicKeyDates}) {
    DeleteKeyRecord(kf, type, key_id);
  }
  long index = 0;
  for (;;) {
    Bytes record = FindRecordOfType(kf, rec::kKeyGroup, index);
    if (index < 0) break;
    KeyGroupEntry group = ReadGroupFields(record);
    const size_t before = group.members.size();
    std::erase(group.members, key_id);
    if (group.members.size() != before) {
      ReplaceAt(kf, index,
                EncryptRecord(kf, rec::kKeyGroup, kRecordFormat001, GroupFields(group), kf.key));
    }
  }
  if (SigningKey(kf) == key_id) ClearSigningKey(kf);
  std::erase(kf.selected_recipients, key_id);
  kf.modified = true;
  RebuildLists(kf);
  return true;
}

// --- Signing key and always-encrypt ------------------------------------------------------------

Bytes SigningKey(Keyfile& kf) {
  long index = 0;
  Bytes record = FindRecordOfType(kf, rec::kSigningKey, index);
  return index < 0 ? Bytes() : FirstField(record, 7);
}

void SetSigningKey(Keyfile& kf, std::string_view key_id) {
  Bytes fields;
  AppendField(key_id, fields);
  StoreSingleRecord(kf, rec::kSigningKey, fields);
}

void ClearSigningKey(Keyfile& kf) {
  for (const char* type : {rec::kSigningKey, rec::kAlwaysEncrypt}) {
    long index = 0;
    for (;;) {
      FindRecordOfType(kf, type, index);
      if (index < 0) break;
      ReplaceAt(kf, index, kDeletedRecord);
    }
  }
}

bool AlwaysEncrypt(Keyfile& kf) {
  if (SigningKey(kf).empty()) return false;
  long index = 0;
  Bytes record = FindRecordOfType(kf, rec::kAlwaysEncrypt, index);
  return index > 0 && ParseNumber(FirstField(record, 7)) != 0;
}

void SetAlwaysEncrypt(Keyfile& kf, bool on) {
  Bytes fields;
  AppendField(NumText(on ? 1 : 0), fields);
  StoreSingleRecord(kf, rec::kAlwaysEncrypt, fields);
}

// --- Random state and selected recipients ---------------------------------------------------

Bytes StoredRandomState(Keyfile& kf) {
  long index = 0;
  return FindRecordOfType(kf, rec::kRandomState, index);
}

void StoreRandomState(Keyfile& kf) {
  if (!kf.open || kf.random.bbs_n.empty() || kf.random.bbs_x.empty()) return;
  Bytes fields;
  AppendField(kf.random.bbs_n, fields);
  AppendField(kf.random.bbs_x, fields);
  Bytes stored = StoredRandomState(kf);
  // Unchanged state is not re-encrypted, so saving an unchanged keyfile gives the same bytes.
  const bool same = stored.size() >= 6 && std::string_view(stored).substr(6) == fields;
  Wipe(stored);
  if (!same) StoreSingleRecord(kf, rec::kRandomState, fields);
  Wipe(fields);
}

void StoreSelectedRecipients(Keyfile& kf) {
  if (!kf.open) return;
  Bytes fields;
  AppendField(NumText(static_cast<long long>(kf.selected_recipients.size())), fields);
  for (const Bytes& id : kf.selected_recipients) AppendField(id, fields);
  long index = 0;
  Bytes stored = FindRecordOfType(kf, rec::kSelectedRecipients, index);
  if (index > 0 && std::string_view(stored).substr(6) == fields) return;
  StoreSingleRecord(kf, rec::kSelectedRecipients, fields);
}

void RestoreSelectedRecipients(Keyfile& kf) {
  kf.selected_recipients.clear();
  long index = 0;
  Bytes record = FindRecordOfType(kf, rec::kSelectedRecipients, index);
  if (index < 0) return;
  std::vector<Bytes> fields = RecordFields(record);
  if (fields.empty()) return;
  const long long count = ParseNumber(fields[0]);
  for (size_t i = 1; i < fields.size() && static_cast<long long>(i) <= count; ++i) {
    // Keys and groups deleted since the selection was saved are dropped; a selected group
    // stays selected.
    long user_index = 0, group_index = 0;
    FindRecord(kf, rec::kUserId, fields[i], user_index);
    if (user_index <= 0) FindRecord(kf, rec::kKeyGroup, fields[i], group_index);
    if (user_index > 0 || group_index > 0) kf.selected_recipients.push_back(fields[i]);
  }
}

// --- Expiry, fingerprint, secret key ------------------------------------------------------------

bool ReadKeyDates(Keyfile& kf, std::string_view type, std::string_view key_id, KeyDates& dates) {
  long index = 0;
  Bytes record = FindRecord(kf, type, key_id, index);
  if (index < 0) return false;
  dates = ReadDatesFields(record);
  return true;
}

int PublicKeyExpired(Keyfile& kf, std::string_view key_id) {
  return Expired(kf, rec::kPublicKeyDates, key_id);
}

int SecretKeyExpired(Keyfile& kf, std::string_view key_id) {
  return Expired(kf, rec::kSecretKeyDates, key_id);
}

std::string FingerprintText(std::string_view modulus, std::string_view exponent) {
  Bytes data(modulus);
  data.append(exponent);
  const std::string hex = Bytes_ToHex(SHA256_Hash(data));
  std::string text;
  for (size_t group = 0; group < 9; ++group) {
    text += hex.substr(group * 4, 4);
    text += ' ';
  }
  return text;
}

std::string Fingerprint(Keyfile& kf, std::string_view key_id) {
  RsaKeyRecord key;
  if (!ReadRsaKeyRecord(kf, rec::kEncryptionPublicKey, key_id, key)) return {};
  return FingerprintText(key.modulus, key.exponent);
}

bool ReadRsaKeyRecord(Keyfile& kf, std::string_view type, std::string_view key_id,
                      RsaKeyRecord& key, PublicKeyFlags* flags) {
  long index = 0;
  Bytes record = FindRecord(kf, type, key_id, index);
  if (index < 0) return false;
  std::vector<Bytes> f = RecordFields(record);
  Wipe(record);
  f.resize(7);
  key.bits = ToInt(f[1]);
  key.modulus = f[2];
  key.exponent = f[3];
  if (flags) *flags = PublicKeyFlags{ToInt(f[4]), ToInt(f[5]), ToInt(f[6])};
  for (Bytes& field : f) Wipe(field);
  return true;
}

bool SetSecretKey(Keyfile& kf, std::string_view key_id, std::string& text, int expiry_year,
                  int expiry_month, int expiry_day) {
  if (!kf.open) {
    Wipe(text);
    return false;
  }
  long index = 0;
  Bytes record = FindRecord(kf, rec::kSecretKey, key_id, index);
  long position = 7;
  NextField(record, position);
  Bytes current = NextField(record, position);
  Wipe(record);
  KeyDates dates;
  const bool has_dates = ReadKeyDates(kf, rec::kSecretKeyDates, key_id, dates);
  const bool same_text = current == text;
  const bool same_expiry = has_dates ? dates.expiry_year == expiry_year &&
                                           dates.expiry_month == expiry_month &&
                                           dates.expiry_day == expiry_day
                                     : expiry_year == 0 && expiry_month == 0 && expiry_day == 0;
  Wipe(current);
  bool changed = false;
  if (same_text && same_expiry) {
    // Nothing to do.
  } else if (text.empty()) {
    changed = DeleteKeyRecord(kf, rec::kSecretKey, key_id);
    changed = DeleteKeyRecord(kf, rec::kSecretKeyDates, key_id) || changed;
  } else {
    Bytes fields;
    AppendField(key_id, fields);
    AppendField(text, fields);
    StoreKeyRecord(kf, rec::kSecretKey, fields);
    Wipe(fields);
    KeyDates fresh;
    fresh.expiry_year = expiry_year;
    fresh.expiry_month = expiry_month;
    fresh.expiry_day = expiry_day;
    fresh.created = kf.Now();
    StoreKeyRecord(kf, rec::kSecretKeyDates, KeyDatesFields(key_id, fresh));
    changed = true;
  }
  Wipe(text);
  if (changed) RebuildLists(kf);
  return changed;
}

ChangePassphraseRequest SecretKeyEditRequest(Keyfile& kf, std::string_view key_id) {
  ChangePassphraseRequest request;
  request.mode = ChangePassphraseMode::kEditSecretKey;
  long index = 0;
  Bytes record = FindRecord(kf, rec::kSecretKey, key_id, index);
  long position = 7;
  NextField(record, position);
  request.current_secret = NextField(record, position);
  Wipe(record);
  KeyDates dates;
  if (ReadKeyDates(kf, rec::kSecretKeyDates, key_id, dates)) {
    request.expiry_year = dates.expiry_year;
    request.expiry_month = dates.expiry_month;
    request.expiry_day = dates.expiry_day;
  }
  return request;
}

bool EditSecretKey(Keyfile& kf, std::string_view key_id) {
  if (!kf.open) return false;
  ChangePassphraseRequest request = SecretKeyEditRequest(kf, key_id);
  ChangePassphraseReply reply = kf.ui.AskChangePassphrase(request);
  Wipe(request.current_secret);
  const bool cancelled = reply.current == kPassphraseCancelled;
  Wipe(reply.current);
  Wipe(reply.retyped);
  if (cancelled) {
    Wipe(reply.new_text);
    return false;
  }
  return SetSecretKey(kf, key_id, reply.new_text, reply.expiry_year, reply.expiry_month,
                      reply.expiry_day);
}

}  // namespace lq
