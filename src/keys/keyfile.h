// The keyfile, the one passphrase-protected file that holds all of a user's keys: its layout,
// record encryption and integrity check, its whole-file operations (create, open, save, lock,
// load, back up, rename, re-key, start-up choice) and the lookups every other layer uses.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/bytes.h"
#include "base/datetime.h"
#include "base/file_io.h"
#include "base/file_lock.h"
#include "base/ui.h"
#include "crypto/random.h"
#include "crypto/rsa.h"

namespace lq {

inline constexpr char kKeyfileHeaderText[] = "Lockquill Keyfile V001";
inline constexpr char kKeyfileMarker[] = "Lockquill Keyfile";
inline constexpr char kDeletedRecord[] = "zzzzzz";
inline constexpr char kDefaultKeyfileName[] = "Keyfile.lqk";
inline constexpr char kKeyfileFilter[] = "Lockquill keyfiles|*.lqk";
// Rounds of the passphrase digest for every keyfile this program writes.
constexpr int kKeyfileRounds = 8000;
// A stored round count above this is not one we wrote; deriving with it could stall the
// program for hours, so such a file fails the passphrase check at once.
constexpr long long kMaxKeyfileRounds = 1000000;

// Results of OpenKeyfile.
constexpr int kKeyfileOpened = 0;
constexpr int kKeyfileUnreadable = 1;
constexpr int kKeyfileWrongPassphrase = 2;
constexpr int kKeyfileTampered = 3;
constexpr int kKeyfileNotRecognised = 4;

// Results of SaveKeyfile.
constexpr int kKeyfileSaved = 0;
constexpr int kKeyfileSaveFailed = 1;  // a file error or a busy lock; the reason was shown
// The keyfile's own file on disk is no longer the one this state was loaded from (or last
// saved to): another program saved it in between. Nothing was written and nothing was shown,
// so the caller decides: lq reports it (ReportKeyfileChangedOnDisk) and fails; the desktop
// program can ask whether to keep the other program's file (load it again, losing the changes
// made here) or to replace it (SaveKeyfile with SaveCheck::kReplaceChanged).
constexpr int kKeyfileChangedOnDisk = 2;

// Whether a save of the keyfile's own file first checks that the file is unchanged.
enum class SaveCheck { kUnchangedOnly, kReplaceChanged };

// Results of LockKeyfile.
constexpr int kKeyfileLockHeld = 0;
constexpr int kKeyfileLockBusy = 1;    // another program kept it for the whole wait; shown
constexpr int kKeyfileLockFailed = 2;  // the lock file could not be made; shown

// How long a writer waits for another program's lock on the keyfile before it gives up.
constexpr int kKeyfileLockWaitMs = 10000;
// Temporary files of a save older than this are a crashed save's leftovers.
constexpr int kLeftoverMinAgeSeconds = 300;

// The texts shown for a busy keyfile and for a keyfile changed on disk, naming the file.
std::string KeyfileBusyText(const std::string& name);
std::string KeyfileChangedText(const std::string& name);

// The file a keyfile was loaded from, as it was then (or after this state last saved it): what
// a save compares the file on disk with.
struct KeyfileDiskState {
  bool known = false;  // false: no check (nothing was loaded from or saved to the file)
  FileStamp stamp;     // exists false: the file did not exist (a keyfile being created)
  Bytes digest;        // SHA256_Hash of the whole file
};

// One entry of the key list: a key's identifier, its keyname and its category, 'm' ("My keys",
// the key has an encryption private key record) or 'r' ("Recipient keys").
struct KeyListEntry {
  Bytes key_id;
  std::string keyname;
  char category = 'r';
};

struct KeyGroupEntry {
  Bytes group_id;
  std::string name;
  std::vector<Bytes> members;
};

// What the keyfile needs from the layers above it, supplied by the program (or a test).
struct KeyfileHooks {
  // The mouse cursor position, mixed into new identifiers. Unset: 0, 0.
  std::function<void(int& x, int& y)> mouse_position;
  // The local clock for creation dates and expiry tests. Unset: the system clock.
  std::function<LocalTime()> clock;
  // Called after the derived lists (keys, groups, selected recipients) were rebuilt, so the
  // key manager and the pop-up window can redraw them.
  std::function<void()> lists_changed;
  // Called after the keyfile was locked: key controls off, menu text "&Reopen closed keyfile".
  std::function<void()> closed;
};

// The keyfile state: one per process (one per test). It registers itself as the random
// generator's source of the stored random state and unregisters when destroyed; the
// destructor wipes the key.
struct Keyfile {
  Keyfile(Ui& ui, RandomContext& random, FileOps& files = RealFileOps());
  ~Keyfile();
  Keyfile(const Keyfile&) = delete;
  Keyfile& operator=(const Keyfile&) = delete;

  Ui& ui;
  RandomContext& random;
  FileOps& files;
  KeyfileHooks hooks;

  // The records in table order; one empty record while no keyfile is open.
  std::vector<Bytes> table{Bytes()};
  std::string name;       // full path of the open keyfile, empty when closed
  std::string last_name;  // the name CloseKeyfile cleared, for reopening
  Bytes key;              // 32-byte keyfile key, empty when closed
  bool open = false;
  bool modified = false;  // set by every change of a record, cleared by a save to `name`
  std::string prompt;     // text above the passphrase dialogs' input
  KeyfileDiskState disk;  // the open keyfile's file as loaded or last saved
  // The lock a caller took with LockKeyfile for a whole read-modify-write; a save of the
  // keyfile's own file takes an exclusive one for its duration when this is not one.
  FileLock lock;
  int lock_wait_ms = kKeyfileLockWaitMs;

  // Derived lists, rebuilt from the table after every change.
  std::vector<KeyListEntry> keys;
  std::vector<KeyGroupEntry> groups;
  // The pop-up window's selected recipients: saved as the selected recipients record, restored
  // after every open.
  std::vector<Bytes> selected_recipients;

  // Private halves made ready for the constant-time operation (primes recovered, blinding set
  // up), by record type and KeyID: made at a key's first use, kept in memory only, wiped when
  // the keyfile closes or another one opens.
  std::map<Bytes, RsaPrivateKey> private_keys;

  LocalTime Now() const;
};

// --- File layout and record encryption ---------------------------------------------------

// The file bytes of a table: each record with a 2-byte little-endian length, or FF FF and a
// 4-byte length when it holds 65535 bytes or more.
Bytes KeyfileBytes(const std::vector<Bytes>& table);
// Splits file bytes into records; false when a length runs past the end of the data.
bool ReadKeyfileRecords(std::string_view data, std::vector<Bytes>& table);

// type + format + AES_Encrypt_CBC(fields, key) with a fresh IV.
Bytes EncryptRecord(Keyfile& kf, std::string_view type, std::string_view format,
                    std::string_view fields, std::string_view key);
// The decrypted payload (bytes 7... of the record). Empty, and quiet, when the record is too
// short or its payload is not whole cipher blocks: a damaged record is the caller's verdict.
Bytes DecryptRecord(Keyfile& kf, std::string_view record, std::string_view key);

// HMAC_SHA256(key, every record except the one at `skip` (0-based), concatenated in order).
Bytes KeyfileHmac(std::string_view key, const std::vector<Bytes>& table, size_t skip);

// --- Status bar -----------------------------------------------------------------------------

// "Keyfile_loaded" -> info (the keyfile name); "Keyfile_not_loaded" and "Keyfile_unloaded" ->
// their fixed texts; any other key -> "<<< Undefined message >>>".
std::string KeyfileStatusText(std::string_view key, std::string_view info);
void SetKeyfileStatus(Keyfile& kf, std::string_view key, std::string_view info = {});

// --- Lifecycle --------------------------------------------------------------------------------

// Opens `name` with `passphrase` (wiped here in every case). Results kKeyfileOpened...; the
// reason of every failure has been shown. On failure the table is emptied and the key wiped.
int OpenKeyfile(Keyfile& kf, const std::string& name, std::string& passphrase);

// Writes the open keyfile to `name`: stores the random state and the selected recipients,
// sorts, drops deleted records, computes a fresh HMAC and replaces the file through a
// temporary file, so a failed write leaves the old file whole. A symbolic link is followed and
// the file it points to replaced in its own folder; the new file keeps the old one's
// permissions (owner-only when new).
// When `name` is the keyfile's own file the save holds the keyfile's exclusive lock (the
// caller's, or one taken here for up to lock_wait_ms), removes leftovers of crashed saves,
// and with kUnchangedOnly first checks that the file on disk is still the one that was loaded
// (stamp and digest).
// kKeyfileSaved written (or nothing open), kKeyfileSaveFailed (file error or busy lock shown),
// kKeyfileChangedOnDisk (nothing written, nothing shown; see there).
[[nodiscard]] int SaveKeyfile(Keyfile& kf, const std::string& name,
                              SaveCheck check = SaveCheck::kUnchangedOnly);

// Shows that the keyfile `name` was changed on disk by another program and was not saved.
void ReportKeyfileChangedOnDisk(Keyfile& kf, const std::string& name);

// Whether the keyfile's own file on disk differs from the one this state loaded or last saved
// (a caller may ask before it starts a change). False when nothing is known of the file.
bool KeyfileChangedOnDisk(Keyfile& kf);

// The lock file of keyfile `name`: beside the file its links lead to, named "<file>.lock".
std::string KeyfileLockPath(const std::string& name);

// Takes the lock of keyfile `name` into kf.lock, waiting up to kf.lock_wait_ms for other
// programs: kExclusive around a read-modify-write, kShared around a read. Busy or failed: the
// reason is shown (KeyfileBusyText, or the file error). A shared lock whose lock file cannot be
// made (a folder the user cannot write, where nobody of theirs can replace the keyfile) counts
// as held without a lock. kKeyfileLockHeld...
[[nodiscard]] int LockKeyfile(Keyfile& kf, const std::string& name, LockKind kind);
void UnlockKeyfile(Keyfile& kf);

// Asks for a new passphrase (twice), sets up the random generator, writes and reopens a new
// keyfile. 0 created and open (also when only the write failed: the keyfile then lives in
// memory), 1 failed to reopen it or the user closed the dialog.
int CreateNewKeyfile(Keyfile& kf, const std::string& name);

// Asks for the passphrase and opens; a wrong passphrase gets one more attempt. 0 opened or
// cancelled at the first prompt, 1 failed.
int OpenKeyfileWithPrompt(Keyfile& kf, const std::string& name);

// Switches to keyfile `name`; when it fails or is cancelled the previous keyfile (name, key,
// records, open state) stays in place. True when the new keyfile is open.
bool LoadNewKeyfile(Keyfile& kf, const std::string& name);

// Saves and locks. When the save fails the keyfile stays open (nothing unsaved is lost) and
// "Keyfile_write-error" is shown; result 1. 0 when locked.
int CloseKeyfile(Keyfile& kf);

// Reopens the keyfile CloseKeyfile locked.
bool ReopenKeyfile(Keyfile& kf);

// Re-keys the open keyfile: new salt, record 003 and every key record encrypted anew, saved.
// All three texts are wiped. 0 changed and saved, 1 refused or not saved (message shown).
int ChangePassphrase(Keyfile& kf, std::string& current, std::string& new_passphrase,
                     std::string& retyped);

// Writes the open keyfile to another name; the open keyfile keeps its name.
// "Keyfile_savedOK" or "Keyfile_write-error". 0 written.
int BackupKeyfile(Keyfile& kf, const std::string& backup_name);

// Moves the keyfile by copy-and-verify and makes the new name the keyfile's name. 0 renamed.
int RenameKeyfile(Keyfile& kf, const std::string& new_name);

// Chooses the keyfile at start-up: the command line's ".lqk" argument, then the settings'
// startup keyfile, then "Keyfile.lqk" in the program folder (created when missing).
void SelectStartupKeyfile(Keyfile& kf, std::string_view command_line,
                          const std::string& settings_keyfile, const std::string& program_folder);

// The default keyfile path in `folder`.
std::string DefaultKeyfilePath(const std::string& folder);

// --- Commands with their dialogs (key manager and menus) -------------------------------------

void LoadNewKeyfileCommand(Keyfile& kf);    // "&Load new keyfile"
void MakeNewKeyfileCommand(Keyfile& kf);    // "&Make new keyfile"
void BackupKeyfileCommand(Keyfile& kf);     // "&Backup keyfile as ..."
void RenameKeyfileCommand(Keyfile& kf);     // "&Rename this keyfile"
void ChangePassphraseCommand(Keyfile& kf);  // "&Change passphrase"

// --- Lookups ------------------------------------------------------------------------------------

// The next record of `type` after the 1-based `index` (0 or below: from the top), as its
// 6-character prefix followed by its decrypted payload; `index` becomes the hit's index, or -1
// (and the result is empty) when there is none. Finds nothing while no keyfile is open.
Bytes FindRecordOfType(Keyfile& kf, std::string_view type, long& index);

// The same for the next record of `type` whose first decrypted field equals `key_id`.
Bytes FindRecord(Keyfile& kf, std::string_view type, std::string_view key_id, long& index);

}  // namespace lq
