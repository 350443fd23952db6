// The key manager's logic: what every control of KEYMANAGER, CALCPUBKEY, EXPORT and IMPORT
// does, over the key records and the keyfile. The forms only draw the view kept here and route
// their events to these commands, so everything below is tested on the host.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/session.h"
#include "app/text_capture.h"
#include "keys/key_export.h"
#include "keys/key_records.h"
#include "keys/keypair.h"

namespace lq {

inline constexpr char kKeymanagerCaption[] = "Lockquill V1.0 - Keymanager";
inline constexpr char kCalcPubKeyCaption[] = "Lockquill V1.0 - Public key calculation";
inline constexpr char kExportCaption[] = "Lockquill V1.0 - Export public key";
inline constexpr char kImportCaption[] = "Lockquill V1.0 - Import public key";
inline constexpr char kKeymanagerTabs[] = "My keys|Recipient keys|Key groups|Signing key|Keyfile";
inline constexpr char kUndefinedText[] = "Undefined";
inline constexpr char kNeverText[] = "Never";
inline constexpr char kEditSecretPrompt[] = "Edit the secret key and/or the expiration date";
inline constexpr char kStartupKeyfileTitle[] = "Select keyfile to load on startup";

// The key lengths the calculation dialog offers, and the one it starts at: keys of 4096 bits
// are what a user should make today.
inline constexpr char kKeyLengthList[] = "288|512|768|1024|1536|2048|4096|8192|16384|32768";
inline constexpr char kDefaultKeyLength[] = "4096";
// Shorter keys stay selectable (for correspondents with old programs) but are warned about.
constexpr int kShortKeyBits = 2048;
inline constexpr char kShortKeyWarningText[] =
    "Keys shorter than 2048 bits can be broken today with enough computing power.\r\n"
    "Anyone who breaks this key can read every message encrypted to it and sign in its name.\r\n"
    "\r\nCalculate the short key anyway?";
// Keys that expire within this many days are marked in the lists and logged on opening.
constexpr int kExpiryWarningDays = 30;
inline constexpr char kExpiresSoonMark[] = "  (expires soon)";
inline constexpr char kExpiredMark[] = "  (expired)";

// Key manager tabs.
constexpr int kTabMyKeys = 1;
constexpr int kTabRecipientKeys = 2;
constexpr int kTabGroups = 3;
constexpr int kTabSigning = 4;
constexpr int kTabKeyfile = 5;

// Colours of the date labels: the toolkit's default, red (expired) and green (valid).
constexpr int kDateColourDefault = 0;

// The seven detail text boxes (keyname, first name, last name, company, department, e-mail
// subject, e-mail address) and the trust slider (1..3).
struct KeyDetails {
  std::string fields[7];
  int trust = 1;
};

// Everything the KEYMANAGER form shows; the form draws it after every command.
struct KeyManagerView {
  bool keyfile_open = false;
  int tab = kTabMyKeys;
  // Tabs 1 and 2: the list, the key shown and its panel.
  std::vector<std::string> key_names;  // as shown, with the expiry marks
  int key_selected = 0;                // 1-based, 0 none
  bool key_shown = false;              // detail boxes and key buttons enabled
  KeyDetails details;
  std::string trust_label = "Trust: Low";
  std::string secret_created = kUndefinedText, secret_expiry = kUndefinedText;
  std::string public_created = kUndefinedText, public_expiry = kUndefinedText;
  int secret_expiry_colour = kDateColourDefault, public_expiry_colour = kDateColourDefault;
  std::string fingerprint;
  std::string public_frame = "Public key";
  bool calculate_enabled = true;  // "&Calculate new public key": tab 1
  bool import_enabled = false;    // "&Import public key": tab 2
  // Tab 3: groups, members of the selected one, all other keys.
  std::vector<std::string> group_names;
  int group_selected = 0;
  std::vector<std::string> member_names, other_names;
  // Tab 4: keys that can sign, the signing key and always-encrypt.
  std::vector<std::string> signing_names;
  int signing_selected = 0;
  std::string signing_label = kNoSigningKeyText;
  bool always_encrypt = false, always_encrypt_enabled = false, unselect_enabled = false;
  // Tab 5.
  std::string keyfile_name;
  std::string startup_keyfile = kUndefinedText;
  bool no_keyfile_enabled = false;
};

// "Trust: Low" / "Trust: Medium" / "Trust: High".
std::string TrustLabel(int trust);
// The days from `today` to a date (negative when it lies before); both must be calendar dates.
long DaysBetween(const LocalTime& today, int year, int month, int day);
// Days until the key's nearest expiry (public key pair or secret key), or a large number when
// it never expires or has no dates.
long DaysUntilExpiry(Keyfile& kf, std::string_view key_id);
// The list text of a key: its name, marked when it expired or expires within 30 days.
std::string KeyListText(Keyfile& kf, const KeyListEntry& key);
// Logs one line for each of the user's own keys ("My keys") that expires within 30 days.
void LogKeysExpiringSoon(Session& s);

class KeyManager {
 public:
  explicit KeyManager(Session& s);

  Session& s;
  // The form's detail boxes and slider as they are now; unset: nothing pending is stored.
  std::function<KeyDetails()> read_details;
  // The dialogs the commands open for the current key, modally; each returns when it closed.
  std::function<void()> open_calculation;
  std::function<void()> open_export;
  std::function<void()> open_import;
  std::function<void(int tab)> open_help;
  std::function<void()> close_window;
  // After the lists changed (a key, group or the keyfile): the popup redraws its lists.
  std::function<void()> lists_changed;

  const KeyManagerView& view() const { return view_; }
  const Bytes& current_key() const { return current_; }
  bool details_changed() const { return details_changed_; }

  // The window opens on tab 1.
  void Open();
  // Redraws from the keyfile: after it was opened, closed or changed elsewhere.
  void Refresh();
  // A detail box or the slider changed while a key is shown.
  void DetailsChanged();

  void SelectTab(int tab);
  void SelectKey(int entry);  // 1-based entry of the key list
  void Previous();
  void Next();
  void NewKey();
  void StoreDetails();
  void DeleteKey();
  void EditSecretKey();
  void CalculatePublicKey();
  void ExportPublicKey();
  void ImportPublicKey();
  // The dialogs report the key they stored, so the list shows it.
  void ShowStoredKey(const Bytes& key_id);

  void SelectGroup(int entry);
  void AddMember(int entry);     // entry of the other keys' list
  void RemoveMember(int entry);  // entry of the members' list
  void AddGroup();
  void DeleteGroup();

  void SelectSigningKey(int entry);
  void UnselectSigningKey();
  void SetAlwaysEncrypt(bool on);

  void BackupKeyfile();
  void ChangePassphrase();
  void RenameKeyfile();
  void LoadNewKeyfile();
  void MakeNewKeyfile();
  void SelectStartupKeyfile();
  void NoStartupKeyfile();

  void Help();
  void Exit();
  // The frame's close box: a changed keyfile is saved. True when the window may close.
  void CloseByFrame();

  // Saves the keyfile to its own file; on failure the modified flag stays set and
  // "Keyfile_write-error" names the file. True when written.
  bool SaveNow();

 private:
  void StorePending();
  void BuildKeyList();
  void ShowKey();
  void ClearKeyPanel();
  void BuildGroups();
  void BuildSigning();
  void BuildKeyfilePage();
  void Changed();

  KeyManagerView view_;
  Bytes current_;
  bool details_changed_ = false;
  std::vector<Bytes> list_ids_;  // ids of view_.key_names
  Bytes made_here_;              // a key made on this tab stays listed here until the tab changes
  Bytes group_;                  // the selected group
  std::vector<Bytes> member_ids_, other_ids_, signing_ids_;
};

// --- Key pair calculation (CALCPUBKEY) ---------------------------------------------------------

// The narrow receiver of a running calculation: told after every prime candidate and every
// finished step, the front end moves its bar and processes pending events here (so its Cancel
// can be clicked); Cancelled() is asked between candidates.
class KeyGenerationReceiver {
 public:
  virtual ~KeyGenerationReceiver() = default;
  virtual void Progress(int pair, int steps_done, long candidates) = 0;
  virtual bool Cancelled() = 0;
};

// The progress label ("Step 2 of 5", the step running now) and the bar position out of
// kCalcProgressMaximum over both pairs.
constexpr int kCalcProgressMaximum = 100;
std::string CalcProgressLabel(int steps_done);
int CalcProgressPosition(int pair, int steps_done, long candidates);

// "Calculate &key" with the dialog's answers: the length text from the list (refused with the
// 32-bit message when it is not a multiple of 32), the warning for lengths below 2048 bits
// (Cancel returns kKeyPairsCancelled and the dialog stays), then both pairs generated and
// stored. A cancel during the generation stores nothing and returns kKeyPairsCancelled.
int CalculateKeyPairs(Session& s, std::string_view key_id, std::string_view length_text,
                      KeyPairRequest request, KeyGenerationReceiver& receiver,
                      PrimeSearchLimit limit = {});

// --- Export (EXPORT)
// -------------------------------------------------------------------------------

inline constexpr char kPrivatePartText[] =
    "This public key also has a private key part. This means that\r\n"
    "this key can be used for both encryption AND decryption of\r\n"
    "messages, IF you select to include the private key part.";
inline constexpr char kNoPrivatePartText[] =
    "This public key has no private key part. This means that\r\n"
    "this key can only be used for encryption of messages.";
inline constexpr char kClipboardRefusedText[] =
    "The clipboard could not be opened: the keydata was not copied.\r\nPlease try again.";
inline constexpr char kExportFileName[] = "ExpKey.txt";
inline constexpr char kTextFileFilter[] = "Text Files|*.txt";

// The export dialog's state for one key.
struct ExportDialogState {
  KeyExport data;
  bool include_private = false;
  std::string Armor() const;  // the variant the check box chooses
  const char* PrivateNote() const {
    return data.has_private ? kPrivatePartText : kNoPrivatePartText;
  }
};

// Reads the key for the dialog; false (the dialog does not open) with the reason shown.
bool OpenExport(Session& s, std::string_view key_id, ExportDialogState& state);
void ExportToClipboard(Session& s, const ExportDialogState& state);
void ExportByClickAndDrop(Session& s, CaptureSurface& surface, const ExportDialogState& state);
// Save-file dialog "Enter filename" with "ExpKey.txt"; an existing file is replaced only after
// "EnDec_FileExists". 0 written, 1 not.
int ExportToFile(Session& s, const ExportDialogState& state);

// --- Import (IMPORT)
// -------------------------------------------------------------------------------

// The three ways in; each returns the text (empty, with the reason shown, when there is none).
std::string ImportTextFromWindow(Session& s, CaptureSurface& surface);
std::string ImportTextFromFile(Session& s);
std::string ImportTextFromClipboard(Session& s);

// The question shown before an imported key is stored: its owner and fingerprint, so the user
// can compare them with what the correspondent reads out.
std::string ImportPreviewText(const ExportedKey& key);
// Processes an imported text: the key is decomposed and previewed (Yes stores it, No stops),
// then imported with the decisions for a known KeyID. kImportStored with `stored_key_id`.
int ProcessImportedText(Session& s, std::string_view text, Bytes& stored_key_id);

}  // namespace lq
