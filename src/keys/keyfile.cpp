// The keyfile's byte layout, record encryption, integrity check and whole-file lifecycle.
// Everything about a keyfile as a file lives here; what the records mean is in key_records.cpp.
#include "keys/keyfile.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <utility>

#include "base/catalogue.h"
#include "base/records.h"
#include "crypto/aes.h"
#include "crypto/sha256.h"
#include "keys/key_records.h"

namespace lq {

namespace {

constexpr size_t kMarkerWindow = 100;
constexpr size_t kShortLengthLimit = 65535;
constexpr size_t kCipherBlock = 16;

constexpr char kWaitText[] =
    "\r\nInitializing the random number generator.\r\n"
    "This is only necessary when creating a new keyfile.\r\n"
    "Just a moment please...";
constexpr char kPromptOpen[] = "Enter passphrase for keyfile:\r\n";
constexpr char kPromptRetry[] = "Try, once more, to enter the correct passphrase for keyfile:\r\n";
constexpr char kPromptChange[] =
    "Enter current passphrase,\r\nthen type and retype the new passphrase";

bool HasType(std::string_view record, std::string_view type) {
  return record.size() >= type.size() && record.substr(0, type.size()) == type;
}

// 0-based index of the first record of `type` in the whole table, or -1.
long FindFirst(const std::vector<Bytes>& table, std::string_view type) {
  for (size_t i = 0; i < table.size(); ++i) {
    if (HasType(table[i], type)) return static_cast<long>(i);
  }
  return -1;
}

void WipeTable(std::vector<Bytes>& table) {
  for (Bytes& record : table) Wipe(record);
  table.clear();
}

// The closed state's table: one empty record, no key.
void EmptyTable(Keyfile& kf) {
  kf.private_keys.clear();
  WipeTable(kf.table);
  kf.table.assign(1, Bytes());
  Wipe(kf.key);
}

Bytes HeaderRecord(std::string_view salt) {
  Bytes record = RecordHeader(rec::kHeader);
  AppendField(kKeyfileHeaderText, record);
  AppendField(salt, record);
  AppendField(NumText(kKeyfileRounds), record);
  return record;
}

Bytes HmacRecord(std::string_view hmac) {
  Bytes record = RecordHeader(rec::kHmac);
  AppendField(hmac, record);
  return record;
}

// Salt and round count of a header record.
void ReadHeader(std::string_view record, Bytes& salt, long long& rounds) {
  long position = 7;
  NextField(record, position);  // the header text is not needed
  salt = NextField(record, position);
  rounds = ParseNumber(NextField(record, position));
}

// The keyfile key of `passphrase`; empty when the round count is beyond any we write.
Bytes DeriveKey(std::string_view passphrase, std::string_view salt, long long rounds) {
  if (rounds > kMaxKeyfileRounds) return {};
  return SHA256_Iterated(passphrase, salt, static_cast<int32_t>(rounds));
}

bool PassphraseCheckHolds(Keyfile& kf, std::string_view check_record, std::string_view key) {
  if (key.size() != kSha256Size) return false;
  Bytes plain = DecryptRecord(kf, check_record, key);
  const size_t half = plain.size() / 2;
  const bool ok = ConstantTimeEqual(SHA256_Hash(std::string_view(plain).substr(0, half)),
                                    std::string_view(plain).substr(half));
  Wipe(plain);
  return ok;
}

// Paths are UTF-8 text; going through char8_t keeps Windows from applying its code page.
std::filesystem::path PathOf(const std::string& name) {
  return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

std::string NormalisedPath(const std::string& path) {
  const std::u8string u8 = PathOf(path).lexically_normal().generic_u8string();
  std::string s(u8.begin(), u8.end());
#ifdef _WIN32
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) {
    return static_cast<char>(c == '\\' ? '/' : (c >= 'A' && c <= 'Z') ? c + 32 : c);
  });
#endif
  return s;
}

// Whether two names refer to one file: copying a file onto itself and deleting the "old" one
// would delete the only copy.
bool SameFile(const std::string& a, const std::string& b) {
  if (NormalisedPath(a) == NormalisedPath(b)) return true;
  std::error_code ec;
  return std::filesystem::equivalent(PathOf(a), PathOf(b), ec) && !ec;
}

// The disk state of `path` as it is now, with the digest of `contents` (what was read or
// written). Unknown when the stamp cannot be read: no later save is refused for that.
KeyfileDiskState DiskStateOf(const std::string& path, std::string_view contents) {
  KeyfileDiskState state;
  if (ReadFileStamp(path, state.stamp) != fe::kOk) return state;
  state.known = true;
  if (state.stamp.exists) state.digest = SHA256_Hash(contents);
  return state;
}

void ShowPlainBox(Ui& ui, const std::string& text, int icon) {
  MessageBoxRequest request;
  request.text = text;
  request.caption = kMessageCaption;
  request.style = icon | mb::kSystemModal | mb::kTopmost;
  ui.ShowMessageBox(request);
}

// Whether this state holds the keyfile's lock on `lock_path` in a way that allows writing.
bool HoldsExclusiveLock(const Keyfile& kf, const std::string& lock_path) {
  return kf.lock.Held() && kf.lock.Kind() == LockKind::kExclusive && kf.lock.Path() == lock_path;
}

// What the callers of a failed save show: the file was changed by another program, or (the
// file error or busy lock was shown already) that the keyfile could not be written.
void ReportSaveFailure(Keyfile& kf, int saved, const std::string& name) {
  if (saved == kKeyfileChangedOnDisk) {
    ShowPlainBox(kf.ui, KeyfileChangedText(name), mb::kIconHand);
  } else {
    ShowMessage(kf.ui, "Keyfile_write-error", MessageStyle("Keyfile_write-error"), name);
  }
}

// Prompts for the passphrase and opens, with one more attempt after a wrong passphrase.
// `cancelled` tells a cancel at the first prompt (nothing was opened or changed but the name).
int PromptAndOpen(Keyfile& kf, const std::string& name, bool& cancelled) {
  cancelled = false;
  kf.name = name;
  kf.prompt = kPromptOpen + name;
  std::string passphrase = kf.ui.AskPassphrase(kf.prompt);
  if (passphrase == kPassphraseCancelled) {
    Wipe(passphrase);
    cancelled = true;
    return kKeyfileOpened;
  }
  int result = OpenKeyfile(kf, name, passphrase);
  if (result == kKeyfileWrongPassphrase) {
    // A cancel here is not special: the cancel text is tried as a passphrase and fails.
    kf.prompt = kPromptRetry + name;
    passphrase = kf.ui.AskPassphrase(kf.prompt);
    result = OpenKeyfile(kf, name, passphrase);
  }
  Wipe(passphrase);
  return result;
}

std::string ChooseKeyfileName(Keyfile& kf, const char* title, bool save) {
  FileChooserRequest request;
  request.title = title;
  request.filter = kKeyfileFilter;
  request.save = save;
  std::vector<std::string> chosen = kf.ui.ChooseFiles(request);
  return chosen.empty() ? std::string() : chosen.front();
}

}  // namespace

Keyfile::Keyfile(Ui& ui_in, RandomContext& random_in, FileOps& files_in)
    : ui(ui_in), random(random_in), files(files_in) {
  random.stored_state = [this] { return StoredRandomState(*this); };
}

Keyfile::~Keyfile() {
  random.stored_state = nullptr;
  WipeTable(table);
  Wipe(key);
}

LocalTime Keyfile::Now() const { return hooks.clock ? hooks.clock() : CurrentLocalTime(); }

// --- Layout and encryption ----------------------------------------------------------------------

Bytes KeyfileBytes(const std::vector<Bytes>& table) {
  Bytes out;
  for (const Bytes& record : table) {
    if (record.size() < kShortLengthLimit) {
      out.push_back(static_cast<char>(record.size() & 0xFF));
      out.push_back(static_cast<char>((record.size() >> 8) & 0xFF));
    } else {
      out.append("\xFF\xFF", 2);
      AppendLe32(out, static_cast<uint32_t>(record.size()));
    }
    out += record;
  }
  return out;
}

bool ReadKeyfileRecords(std::string_view data, std::vector<Bytes>& table) {
  WipeTable(table);
  size_t pos = 0;
  while (pos < data.size()) {
    if (data.size() - pos < 2) return false;
    size_t length = static_cast<unsigned char>(data[pos]) |
                    (static_cast<size_t>(static_cast<unsigned char>(data[pos + 1])) << 8);
    pos += 2;
    if (length == 0xFFFF) {
      if (data.size() - pos < 4) return false;
      length = LoadLe32(data.data() + pos);
      pos += 4;
    }
    if (data.size() - pos < length) return false;
    table.emplace_back(data.substr(pos, length));
    pos += length;
  }
  return true;
}

Bytes EncryptRecord(Keyfile& kf, std::string_view type, std::string_view format,
                    std::string_view fields, std::string_view key) {
  Bytes record(type);
  record.append(format);
  record += AES_Encrypt_CBC(kf.random, kf.ui, fields, key, {});
  return record;
}

Bytes DecryptRecord(Keyfile& kf, std::string_view record, std::string_view key) {
  if (record.size() < 6 + kCipherBlock || (record.size() - 6) % kCipherBlock != 0) return {};
  if (key.size() != 16 && key.size() != 24 && key.size() != 32) return {};
  return AES_Decrypt_CBC(kf.ui, record.substr(6), key);
}

Bytes KeyfileHmac(std::string_view key, const std::vector<Bytes>& table, size_t skip) {
  Bytes message;
  for (size_t i = 0; i < table.size(); ++i) {
    if (i != skip) message += table[i];
  }
  return HMAC_SHA256(key, message);
}

// --- Status
// ---------------------------------------------------------------------------------------

std::string KeyfileStatusText(std::string_view key, std::string_view info) {
  if (key == "Keyfile_loaded") return std::string(info);
  if (key == "Keyfile_not_loaded") return "No valid keyfile could be opened..";
  if (key == "Keyfile_unloaded") return "Keyfile closed. Reopen to continue...";
  return kUndefinedMessage;
}

void SetKeyfileStatus(Keyfile& kf, std::string_view key, std::string_view info) {
  kf.ui.SetStatusText(KeyfileStatusText(key, info));
}

// --- Open and save ----------------------------------------------------------------------------

int OpenKeyfile(Keyfile& kf, const std::string& name, std::string& passphrase) {
  kf.open = false;
  SetKeyfileStatus(kf, "Keyfile_not_loaded");

  auto fail = [&](int result, const char* message_key, std::string_view info) {
    Wipe(passphrase);
    EmptyTable(kf);
    if (message_key) ShowMessage(kf.ui, message_key, MessageStyle(message_key), info);
    RebuildLists(kf);
    return result;
  };

  // The stamp is taken before the read: a file replaced in between then looks changed to the
  // next save, which is the safe side.
  FileStamp stamp_before;
  const bool stamped = ReadFileStamp(ResolveFileLinks(name), stamp_before) == fe::kOk;
  Bytes data;
  if (int err = ReadWholeFile(kf.files, name, data); err != fe::kOk) {
    ReportFileError(kf.ui, err, name);
    return fail(kKeyfileUnreadable, nullptr, {});
  }
  if (std::string_view(data).substr(0, kMarkerWindow).find(kKeyfileMarker) ==
      std::string_view::npos) {
    return fail(kKeyfileNotRecognised, "Keyfile_not_recognised", name);
  }
  std::vector<Bytes> table;
  // A length that runs past the end means the file was cut short.
  if (!ReadKeyfileRecords(data, table)) {
    WipeTable(table);
    return fail(kKeyfileTampered, "Keyfile_tampered", name);
  }
  if (table.size() < 3) return fail(kKeyfileNotRecognised, "Keyfile_HMAC_error", {});
  const long header = FindFirst(table, rec::kHeader);
  const long hmac = FindFirst(table, rec::kHmac);
  const long check = FindFirst(table, rec::kPassphraseCheck);
  if (header < 0 || hmac < 0 || check < 0) return fail(kKeyfileTampered, "Keyfile_tampered", name);

  Bytes salt;
  long long rounds = 0;
  ReadHeader(table[header], salt, rounds);
  kf.private_keys.clear();
  Wipe(kf.key);
  kf.key = DeriveKey(passphrase, salt, rounds);
  Wipe(passphrase);
  if (!PassphraseCheckHolds(kf, table[check], kf.key)) {
    return fail(kKeyfileWrongPassphrase, "Keyfile_passphrase_not_correct", name);
  }
  long position = 7;
  const Bytes stored_hmac = NextField(table[hmac], position);
  if (!ConstantTimeEqual(KeyfileHmac(kf.key, table, static_cast<size_t>(hmac)), stored_hmac)) {
    return fail(kKeyfileTampered, "Keyfile_tampered", name);
  }

  WipeTable(kf.table);
  kf.table = std::move(table);
  kf.name = name;
  kf.open = true;
  kf.modified = false;
  kf.disk = KeyfileDiskState();
  kf.disk.known = stamped;
  kf.disk.stamp = stamp_before;
  kf.disk.digest = SHA256_Hash(data);
  SetKeyfileStatus(kf, "Keyfile_loaded", name);
  RestoreSelectedRecipients(kf);
  RebuildLists(kf);
  return kKeyfileOpened;
}

std::string KeyfileBusyText(const std::string& name) {
  return "The keyfile is in use by another program:\r\n" + name +
         "\r\nIt was not changed. Try again when the other program has finished.";
}

std::string KeyfileChangedText(const std::string& name) {
  return "The keyfile was changed by another program since it was loaded:\r\n" + name +
         "\r\nIt was not saved: the file keeps the other program's changes, and the changes "
         "made here are not in it.";
}

void ReportKeyfileChangedOnDisk(Keyfile& kf, const std::string& name) {
  ShowPlainBox(kf.ui, KeyfileChangedText(name), mb::kIconHand);
}

std::string KeyfileLockPath(const std::string& name) { return ResolveFileLinks(name) + ".lock"; }

int LockKeyfile(Keyfile& kf, const std::string& name, LockKind kind) {
  int err = 0;
  switch (kf.lock.Acquire(KeyfileLockPath(name), kind, kf.lock_wait_ms, err)) {
    case LockResult::kLocked:
      return kKeyfileLockHeld;
    case LockResult::kBusy:
      ShowPlainBox(kf.ui, KeyfileBusyText(name), mb::kIconHand);
      return kKeyfileLockBusy;
    case LockResult::kError:
      break;
  }
  // No lock file can be made beside a keyfile in a folder this user cannot write: no program
  // of this user can replace the keyfile there either, so a reader goes ahead without one.
  if (kind == LockKind::kShared) return kKeyfileLockHeld;
  ReportFileError(kf.ui, err, KeyfileLockPath(name));
  return kKeyfileLockFailed;
}

void UnlockKeyfile(Keyfile& kf) { kf.lock.Release(); }

bool KeyfileChangedOnDisk(Keyfile& kf) {
  if (!kf.disk.known || kf.name.empty()) return false;
  const std::string target = ResolveFileLinks(kf.name);
  FileStamp now;
  if (ReadFileStamp(target, now) != fe::kOk) return true;
  if (now != kf.disk.stamp) return true;
  if (!now.exists) return false;
  // Equal stamps can still hide a rewrite of equal size within the clock's resolution.
  Bytes contents;
  if (ReadWholeFile(kf.files, target, contents) != fe::kOk) return true;
  return SHA256_Hash(contents) != kf.disk.digest;
}

int SaveKeyfile(Keyfile& kf, const std::string& name, SaveCheck check) {
  if (!kf.open) return kKeyfileSaved;
  // The keyfile's own file is guarded by its lock and by the check against other writers; a
  // backup under another name is a plain write.
  const bool own = !name.empty() && (name == kf.name || SameFile(name, kf.name));
  const std::string target = ResolveFileLinks(name);
  FileLock save_lock;
  if (own) {
    const std::string lock_path = KeyfileLockPath(name);
    if (!HoldsExclusiveLock(kf, lock_path)) {
      // A shared lock of this state would make our own exclusive lock wait for itself.
      const bool had_shared = kf.lock.Held() && kf.lock.Path() == lock_path;
      if (had_shared) kf.lock.Release();
      int err = 0;
      const LockResult locked =
          save_lock.Acquire(lock_path, LockKind::kExclusive, kf.lock_wait_ms, err);
      if (locked == LockResult::kBusy) {
        ShowPlainBox(kf.ui, KeyfileBusyText(name), mb::kIconHand);
        return kKeyfileSaveFailed;
      }
      if (locked == LockResult::kError) {
        ReportFileError(kf.ui, err, lock_path);
        return kKeyfileSaveFailed;
      }
    }
    if (check == SaveCheck::kUnchangedOnly && KeyfileChangedOnDisk(kf)) {
      return kKeyfileChangedOnDisk;
    }
    RemoveLeftoverTemporaries(target, std::chrono::seconds(kLeftoverMinAgeSeconds));
  }

  StoreRandomState(kf);
  StoreSelectedRecipients(kf);

  // A stable sort keeps equal records in place, so saving twice gives the same bytes.
  std::stable_sort(kf.table.begin(), kf.table.end());
  // Deleted records never reach the file (all of them, not only a trailing run).
  std::erase_if(kf.table, [](const Bytes& record) { return HasType(record, "zzz"); });

  const long hmac = FindFirst(kf.table, rec::kHmac);
  if (kf.table.size() <= 2) {
    ShowMessage(kf.ui, "Keyfile_HMAC_error", MessageStyle("Keyfile_HMAC_error"));
  } else if (hmac >= 0) {
    kf.table[hmac].clear();
    kf.table[hmac] = HmacRecord(KeyfileHmac(kf.key, kf.table, static_cast<size_t>(hmac)));
  }

  // The new file goes to a temporary name and replaces the old one only once it is complete.
  const Bytes bytes = KeyfileBytes(kf.table);
  const int err = ReplaceWholeFile(kf.files, target, bytes);
  if (err != fe::kOk) {
    ReportFileError(kf.ui, err, name);
    return kKeyfileSaveFailed;
  }
  if (own) {
    kf.disk = DiskStateOf(target, bytes);
    kf.modified = false;
  }
  return kKeyfileSaved;
}

// --- Create and prompt ---------------------------------------------------------------------------

int CreateNewKeyfile(Keyfile& kf, const std::string& name) {
  // A keyfile's key and salt come from the random sources: none is made without the OS's.
  if (!CheckEntropy(kf.random, kf.ui)) return 1;
  // The passphrase is asked first, so that closing the dialog leaves the state as it was.
  ChangePassphraseRequest request;
  request.mode = ChangePassphraseMode::kNewKeyfile;
  request.prompt = kf.prompt;
  std::string passphrase;
  for (;;) {
    ChangePassphraseReply reply = kf.ui.AskChangePassphrase(request);
    const bool cancelled = reply.current == kPassphraseCancelled;
    const bool same = reply.new_text == reply.retyped;
    if (!cancelled && same) passphrase = reply.new_text;
    Wipe(reply.current);
    Wipe(reply.new_text);
    Wipe(reply.retyped);
    // The dialog has no cancel button in this mode, but a closed window or a terminal at its
    // end still answers; no keyfile is made with an empty passphrase from that.
    if (cancelled) return 1;
    if (same) break;
    ShowMessage(kf.ui, "Keyfile_Passphrases_not_identical",
                MessageStyle("Keyfile_Passphrases_not_identical"));
  }

  EmptyTable(kf);
  kf.table.assign(3, Bytes());
  kf.name = name;
  kf.open = false;
  kf.selected_recipients.clear();
  // The file the user chose to make (missing, or one they agreed to replace) is what the first
  // save may replace; a file another program writes meanwhile is not.
  {
    Bytes existing;
    const std::string target = ResolveFileLinks(name);
    if (kf.files.Exists(target)) ReadWholeFile(kf.files, target, existing);
    kf.disk = DiskStateOf(target, existing);
    Wipe(existing);
  }

  kf.ui.ShowWaitScreen(kWaitText);
  BBS_Setup(kf.random, kf.random.bbs_n, kf.random.bbs_x, 512, 5);
  const Bytes salt = BBS_RandomBytes(kf.random, kf.ui, 32);
  kf.key = SHA256_Iterated(passphrase, salt, kKeyfileRounds);
  kf.table[0] = HeaderRecord(salt);
  kf.table[1] = HmacRecord({});
  Bytes check = BBS_RandomBytes(kf.random, kf.ui, 32);
  check += SHA256_Hash(check);
  kf.table[2] = EncryptRecord(kf, rec::kPassphraseCheck, kRecordFormat001, check, kf.key);
  Wipe(check);
  kf.ui.HideWaitScreen();

  kf.open = true;
  kf.modified = true;
  if (const int saved = SaveKeyfile(kf, name); saved != kKeyfileSaved) {
    ReportSaveFailure(kf, saved, name);
    Wipe(passphrase);
    RebuildLists(kf);
    return 0;
  }
  const int result = OpenKeyfile(kf, name, passphrase);
  Wipe(passphrase);
  kf.open = result == kKeyfileOpened;
  return kf.open ? 0 : 1;
}

int OpenKeyfileWithPrompt(Keyfile& kf, const std::string& name) {
  bool cancelled = false;
  const int result = PromptAndOpen(kf, name, cancelled);
  if (cancelled) return 0;
  kf.open = result == kKeyfileOpened;
  return kf.open ? 0 : 1;
}

bool LoadNewKeyfile(Keyfile& kf, const std::string& name) {
  if (name.empty()) return false;
  // The current keyfile is set aside whole and comes back if the new one does not open.
  std::string saved_name = kf.name;
  std::vector<Bytes> saved_table = std::move(kf.table);
  Bytes saved_key = std::move(kf.key);
  std::vector<Bytes> saved_recipients = kf.selected_recipients;
  const bool saved_open = kf.open;
  const bool saved_modified = kf.modified;
  const KeyfileDiskState saved_disk = kf.disk;
  kf.table.assign(1, Bytes());
  kf.key.clear();

  bool cancelled = false;
  const int result = PromptAndOpen(kf, name, cancelled);
  if (!cancelled && result == kKeyfileOpened) {
    WipeTable(saved_table);
    Wipe(saved_key);
    return true;
  }
  EmptyTable(kf);
  kf.table = std::move(saved_table);
  kf.key = std::move(saved_key);
  kf.name = std::move(saved_name);
  kf.selected_recipients = std::move(saved_recipients);
  // Only a keyfile that was open before is open again: marking an empty state open would
  // let the next save write a keyfile without keys.
  kf.open = saved_open;
  kf.modified = saved_modified;
  kf.disk = saved_disk;
  if (!cancelled) ShowMessage(kf.ui, "Keyfile_LoadFailed", MessageStyle("Keyfile_LoadFailed"));
  if (kf.open) SetKeyfileStatus(kf, "Keyfile_loaded", kf.name);
  RebuildLists(kf);
  return false;
}

int CloseKeyfile(Keyfile& kf) {
  if (kf.open) {
    // Locking now would throw away what the file does not hold yet.
    if (const int saved = SaveKeyfile(kf, kf.name); saved != kKeyfileSaved) {
      ReportSaveFailure(kf, saved, kf.name);
      return 1;
    }
  }
  if (!kf.name.empty()) kf.last_name = kf.name;
  kf.name.clear();
  EmptyTable(kf);
  kf.open = false;
  kf.modified = false;
  kf.disk = KeyfileDiskState();
  kf.selected_recipients.clear();
  SetKeyfileStatus(kf, "Keyfile_unloaded");
  RebuildLists(kf);
  if (kf.hooks.closed) kf.hooks.closed();
  return 0;
}

bool ReopenKeyfile(Keyfile& kf) { return LoadNewKeyfile(kf, kf.last_name); }

// --- Re-key, back up, rename ----------------------------------------------------------------

int ChangePassphrase(Keyfile& kf, std::string& current, std::string& new_passphrase,
                     std::string& retyped) {
  auto finish = [&](int result) {
    Wipe(current);
    Wipe(new_passphrase);
    Wipe(retyped);
    return result;
  };
  const long header = FindFirst(kf.table, rec::kHeader);
  if (!kf.open || header < 0) return finish(1);

  Bytes salt;
  long long rounds = 0;
  ReadHeader(kf.table[header], salt, rounds);
  // The stored count, as the open used it: a file with another count could never be re-keyed.
  Bytes current_key = DeriveKey(current, salt, rounds);
  const bool correct = ConstantTimeEqual(current_key, kf.key);
  Wipe(current_key);
  if (!correct) {
    ShowMessage(kf.ui, "Keyfile_passphrase_not_correct",
                MessageStyle("Keyfile_passphrase_not_correct"), kf.name);
    return finish(1);
  }
  if (new_passphrase != retyped) {
    ShowMessage(kf.ui, "Keyfile_Passphrases_not_identical",
                MessageStyle("Keyfile_Passphrases_not_identical"));
    return finish(1);
  }

  const Bytes new_salt = BBS_RandomBytes(kf.random, kf.ui, 32);
  StoreRandomState(kf);
  Bytes old_key = std::move(kf.key);
  kf.key = SHA256_Iterated(new_passphrase, new_salt, kKeyfileRounds);
  for (Bytes& record : kf.table) {
    if (HasType(record, rec::kHeader)) {
      record = HeaderRecord(new_salt);
    } else if (!HasType(record, rec::kHmac) && !HasType(record, "zzz") && record.size() >= 6) {
      Bytes plain = DecryptRecord(kf, record, old_key);
      record = EncryptRecord(kf, record.substr(0, 3), record.substr(3, 3), plain, kf.key);
      Wipe(plain);
    }
  }
  Wipe(old_key);
  kf.modified = true;
  if (const int saved = SaveKeyfile(kf, kf.name); saved != kKeyfileSaved) {
    ReportSaveFailure(kf, saved, kf.name);
    return finish(1);
  }
  ShowMessage(kf.ui, "Keyfile_savedOK", MessageStyle("Keyfile_savedOK"));
  return finish(0);
}

int BackupKeyfile(Keyfile& kf, const std::string& backup_name) {
  if (!kf.open) return 1;  // nothing to back up; the command is only offered while open
  if (const int saved = SaveKeyfile(kf, backup_name); saved != kKeyfileSaved) {
    ReportSaveFailure(kf, saved, backup_name);
    return 1;
  }
  ShowMessage(kf.ui, "Keyfile_savedOK", MessageStyle("Keyfile_savedOK"));
  return 0;
}

int RenameKeyfile(Keyfile& kf, const std::string& new_name) {
  const std::string old_name = kf.name;
  if (!kf.open || old_name.empty() || new_name.empty()) return 1;
  if (SameFile(old_name, new_name)) {
    SetKeyfileStatus(kf, "Keyfile_loaded", kf.name);
    return 0;
  }
  if (!kf.files.Exists(old_name)) {
    ReportFileError(kf.ui, fe::kFileNotFound, old_name);
    return 1;
  }
  Bytes original;
  if (int err = ReadWholeFile(kf.files, old_name, original); err != fe::kOk) {
    ReportFileError(kf.ui, err, old_name);
    return 1;
  }
  if (int err = ReplaceWholeFile(kf.files, new_name, original); err != fe::kOk) {
    ReportFileError(kf.ui, err, new_name);
    return 1;
  }
  Bytes copy;
  ReadWholeFile(kf.files, new_name, copy);
  Bytes again;
  ReadWholeFile(kf.files, old_name, again);
  if (copy != again || copy != original) {
    ReportRenameError(kf.ui, old_name, new_name);
    return 1;
  }
  // The verified copy is the keyfile from now on, even if the old file cannot be removed.
  if (int err = kf.files.Remove(old_name); err != fe::kOk) ReportFileError(kf.ui, err, old_name);
  kf.name = new_name;
  kf.disk = DiskStateOf(ResolveFileLinks(new_name), copy);
  SetKeyfileStatus(kf, "Keyfile_loaded", kf.name);
  if (kf.hooks.lists_changed) kf.hooks.lists_changed();
  return 0;
}

// --- Start-up -----------------------------------------------------------------------------------

std::string DefaultKeyfilePath(const std::string& folder) {
  if (folder.empty()) return kDefaultKeyfileName;
  const char last = folder.back();
  if (last == '/' || last == '\\') return folder + kDefaultKeyfileName;
#ifdef _WIN32
  return folder + '\\' + kDefaultKeyfileName;
#else
  return folder + '/' + kDefaultKeyfileName;
#endif
}

namespace {

// The first argument of a command line: quoted up to the next quote, else up to a blank.
std::string FirstArgument(std::string_view command_line) {
  const size_t start = command_line.find_first_not_of(' ');
  if (start == std::string_view::npos) return {};
  command_line.remove_prefix(start);
  if (command_line.front() == '"') {
    command_line.remove_prefix(1);
    return std::string(command_line.substr(0, command_line.find('"')));
  }
  return std::string(command_line.substr(0, command_line.find(' ')));
}

bool EndsWithLqk(std::string_view name) {
  if (name.size() < 4) return false;
  std::string tail(name.substr(name.size() - 4));
  for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return tail == ".lqk";
}

}  // namespace

void SelectStartupKeyfile(Keyfile& kf, std::string_view command_line,
                          const std::string& settings_keyfile, const std::string& program_folder) {
  const std::string argument = FirstArgument(command_line);
  if (EndsWithLqk(argument)) {
    if (kf.files.Exists(argument)) {
      if (OpenKeyfileWithPrompt(kf, argument) == 0) return;
    } else {
      ShowMessage(kf.ui, "Keyfile_CommandlineNotFound", MessageStyle("Keyfile_CommandlineNotFound"),
                  argument);
    }
  }
  if (!settings_keyfile.empty()) {
    if (kf.files.Exists(settings_keyfile)) {
      if (OpenKeyfileWithPrompt(kf, settings_keyfile) == 0) return;
    } else {
      ShowMessage(kf.ui, "Keyfile_INIKeyfileNotFound", MessageStyle("Keyfile_INIKeyfileNotFound"),
                  settings_keyfile);
    }
  }
  const std::string path = DefaultKeyfilePath(program_folder);
  if (kf.files.Exists(path)) {
    OpenKeyfileWithPrompt(kf, path);
    return;
  }
  kf.prompt = "The default keyfile:\r\n" + path +
              "\r\ndoes not exist.\r\nSuch a file is created now.\r\n"
              "You have to enter a passphrase to protect the keyfile.";
  CreateNewKeyfile(kf, path);
}

// --- Commands ------------------------------------------------------------------------------------

void LoadNewKeyfileCommand(Keyfile& kf) {
  // A current keyfile that cannot be saved is not given up for another one.
  if (const int saved = SaveKeyfile(kf, kf.name); saved != kKeyfileSaved) {
    if (saved == kKeyfileChangedOnDisk) ReportKeyfileChangedOnDisk(kf, kf.name);
    return;
  }
  const std::string name = ChooseKeyfileName(kf, "Load a new keyfile", false);
  if (!name.empty()) LoadNewKeyfile(kf, name);
}

void MakeNewKeyfileCommand(Keyfile& kf) {
  std::string name = ChooseKeyfileName(kf, "Select name for new keyfile", true);
  if (name.empty()) return;
  // The dialog's default extension.
  if (PathOf(name).extension().empty()) name += ".lqk";
  if (const int saved = SaveKeyfile(kf, kf.name); saved != kKeyfileSaved) {
    if (saved == kKeyfileChangedOnDisk) ReportKeyfileChangedOnDisk(kf, kf.name);
    return;
  }
  kf.prompt = "\r\n\r\nEnter a passphrase for the new keyfile:\r\n" + name;
  CreateNewKeyfile(kf, name);
  if (kf.open && kf.name == name) SetKeyfileStatus(kf, "Keyfile_loaded", name);
}

void BackupKeyfileCommand(Keyfile& kf) {
  const std::string name = ChooseKeyfileName(kf, "Backup keyfile as", true);
  if (!name.empty()) BackupKeyfile(kf, name);
}

void RenameKeyfileCommand(Keyfile& kf) {
  const std::string name = ChooseKeyfileName(kf, "Rename keyfile as", true);
  if (!name.empty()) RenameKeyfile(kf, name);
}

void ChangePassphraseCommand(Keyfile& kf) {
  if (!kf.open) return;
  ChangePassphraseRequest request;
  request.mode = ChangePassphraseMode::kChange;
  request.prompt = kPromptChange;
  ChangePassphraseReply reply = kf.ui.AskChangePassphrase(request);
  if (reply.current == kPassphraseCancelled) {
    Wipe(reply.current);
    Wipe(reply.new_text);
    Wipe(reply.retyped);
    return;
  }
  ChangePassphrase(kf, reply.current, reply.new_text, reply.retyped);
}

// --- Lookups
// --------------------------------------------------------------------------------------

Bytes FindRecordOfType(Keyfile& kf, std::string_view type, long& index) {
  const size_t start = index > 0 ? static_cast<size_t>(index) : 0;
  if (kf.key.size() == kSha256Size) {
    for (size_t i = start; i < kf.table.size(); ++i) {
      const Bytes& record = kf.table[i];
      if (record.size() >= 6 && HasType(record, type)) {
        index = static_cast<long>(i + 1);
        return record.substr(0, 6) + DecryptRecord(kf, record, kf.key);
      }
    }
  }
  index = -1;
  return {};
}

Bytes FindRecord(Keyfile& kf, std::string_view type, std::string_view key_id, long& index) {
  for (;;) {
    Bytes record = FindRecordOfType(kf, type, index);
    if (index < 0) return {};
    long position = 7;
    if (NextField(record, position) == key_id) return record;
    Wipe(record);  // other keys' records may hold secrets
  }
}

}  // namespace lq
