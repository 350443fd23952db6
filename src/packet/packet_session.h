// The state one packet operation works on: the user's request (text, files, recipients, flags,
// remembered answers, store folder) and the places it reports to (status, summary, history,
// progress). The application owns one; tests build a fresh one per case.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/bytes.h"
#include "base/file_io.h"
#include "base/ui.h"
#include "crypto/random.h"
#include "keys/keyfile.h"

namespace lq {

inline constexpr char kSummaryHeading[] =
    "This is a summary of all the decryption/verification operations\r\nperformed on ";

// The most plaintext one packet may state (each compressed layer is checked before anything
// is allocated): a 32-bit program has 2 to 4 GiB of address space, and a layer may state up to
// 4 GiB. lq can raise it for one run.
constexpr uint64_t kMaxPlaintextBytes = uint64_t{1} << 30;
// The most layers (encrypted, compressed, signed) a packet may have inside each other; ours
// have at most four.
constexpr int kMaxPacketLayers = 16;

// What joins the store folder and a file name when the folder lacks its own separator.
#ifdef _WIN32
constexpr char kStoreSeparator = '\\';
#else
constexpr char kStoreSeparator = '/';
#endif

// Stored overwrite answer: 0 none, 1 yes, 2 no, 3 yes to all, 4 no to all, plus the remember
// bit for the "to all" answers that last the whole session.
constexpr int kOverwriteRemember = 128;

class PacketSession {
 public:
  PacketSession(Ui& ui, RandomContext& random, Keyfile& kf)
      : ui(ui), random(random), kf(kf), files(kf.files) {}

  Ui& ui;
  RandomContext& random;
  Keyfile& kf;
  FileOps& files;

  // --- The request -------------------------------------------------------------------------
  std::vector<std::string> attachments;  // full paths, in list order
  bool encrypt = true;
  bool sign = false;
  bool never_compress = false;
  std::string store_folder;  // where decrypted files go (a separator is added when missing)
  uint64_t max_plaintext_bytes = kMaxPlaintextBytes;
  bool keep_history = true;  // "&Store decrypted plaintext"

  // Recipients (keys and groups) and the key type preference. Changing either forgets the
  // answer to the mixed-key-type question, so the user is asked again about the new choice.
  const std::vector<Bytes>& Recipients() const { return recipients_; }
  void SetRecipients(std::vector<Bytes> ids) {
    recipients_ = std::move(ids);
    key_type_answer = 0;
  }
  bool PreferSecretKeys() const { return prefer_secret_keys_; }
  void SetPreferSecretKeys(bool on) {
    if (on != prefer_secret_keys_) key_type_answer = 0;
    prefer_secret_keys_ = on;
  }
  int key_type_answer = 0;  // 0 not asked yet, else kIdYes / kIdNo
  int overwrite_answer = 0;

  // --- Reporting hooks ---------------------------------------------------------------------
  void LogLine(std::string_view text) { ui.LogLine(text); }
  void ClearStatus();
  void AppendStatus(std::string_view text);
  // "red" gives the red colour, any other name (exactly compared) green.
  void SetStatusColour(std::string_view name);
  const std::string& Status() const { return status_; }
  void ClearSummary(std::string_view when);
  void AppendSummary(std::string_view line);
  const std::string& Summary() const { return summary_; }
  // A history item under the current parent; kept texts are numbered from 1.
  int AddHistoryText(std::string_view label_prefix, std::string_view text);
  int AddHistoryFile(std::string_view label, std::string_view path);
  const std::vector<std::string>& HistoryStore() const { return history_store_; }
  int history_parent = 0;

  void StartProgress(long maximum);
  void StepProgress();
  void StretchProgress();
  void EndProgress();

 private:
  std::vector<Bytes> recipients_;
  bool prefer_secret_keys_ = false;
  std::string status_;
  std::string summary_;
  std::vector<std::string> history_store_;
  long progress_position_ = 0, progress_maximum_ = 0;
};

// Wipes a stage and gives its memory back at once, so a large packet never keeps dead copies.
inline void Drop(Bytes& b) {
  Wipe(b);
  Bytes().swap(b);
}

// Gives the memory of a stage that holds nothing secret (ciphertext) back without wiping it.
inline void Release(Bytes& b) { Bytes().swap(b); }

// A byte count as log lines show it: "600 Bytes", "1.500 Kb", "0.977 Kb" ...
std::string SizeText(double n);

// Clears the stored overwrite answer unless it is remembered for the session; called at the
// start of every decrypting action.
void ClearOverwriteAnswer(PacketSession& s);

// Whether an existing file may be replaced by a new one (its name, size and last-written time
// in `request`, for the dialog's "With file:" line): a stored "to all" answer decides without
// asking, else the user is asked. True means overwrite.
bool ConfirmOverwrite(PacketSession& s, const OverwriteRequest& request);

// Reduces a stored file name to a bare name that stays inside the store folder: the last
// component after any '/' or '\\', a drive or stream prefix removed (up to the last ':'),
// characters Windows forbids and control bytes turned into '_', trailing dots and blanks
// dropped, a device name (CON, NUL, COM1 ...) prefixed with '_', and the length capped at 200
// bytes (the extension kept). Empty when nothing usable remains ("", ".", "..").
std::string SafeStoreName(std::string_view name);

}  // namespace lq
