// The key manager's commands: automatic storing of pending details, the list rules, the key
// panel, groups, the signing key, the keyfile page, the key-pair calculation with its progress
// and cancel, and the export and import dialogs' ways out and in.
#include "app/keymanager.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <limits>

#include "base/catalogue.h"
#include "base/file_io.h"
#include "base/records.h"
#include "crypto/rsa.h"

namespace lq {

namespace {

constexpr long kNoExpiry = LONG_MAX;

// Days since 1970-01-01 of a proleptic Gregorian date.
long DayNumber(int y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long yoe = y - era * 400;
  const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

bool IsCalendarDate(int y, int m, int d) {
  LocalTime t;
  t.year = y, t.month = m, t.day = d;
  return IsValidLocalTime(t);
}

// "Date: " + short date, with " - Time: " + time for creation dates.
std::string DateLabel(int y, int m, int d, const LocalTime* time) {
  LocalTime t;
  t.year = y, t.month = m, t.day = d;
  if (time) t.hour = time->hour, t.minute = time->minute, t.second = time->second;
  std::string text = "Date: " + ShortDateText(t);
  if (time) text += " - Time: " + TimeText(t);
  return text;
}

// Fills a pair of date labels from record 010 or 011.
void DateLabels(Keyfile& kf, const char* type, std::string_view key_id, std::string& created,
                std::string& expiry, int& colour) {
  KeyDates dates;
  colour = kDateColourDefault;
  if (!ReadKeyDates(kf, type, key_id, dates)) {
    created = expiry = kUndefinedText;
    return;
  }
  created = DateLabel(dates.created.year, dates.created.month, dates.created.day, &dates.created);
  if (dates.expiry_year == 0) {
    expiry = kNeverText;
    colour = kStatusColourGreen;
    return;
  }
  expiry = DateLabel(dates.expiry_year, dates.expiry_month, dates.expiry_day, nullptr);
  const int expired = type == std::string_view(rec::kPublicKeyDates) ? PublicKeyExpired(kf, key_id)
                                                                     : SecretKeyExpired(kf, key_id);
  colour = expired == 1 ? kStatusColourRed : kStatusColourGreen;
}

long DaysToExpiryOf(Keyfile& kf, const char* type, std::string_view key_id) {
  KeyDates dates;
  if (!ReadKeyDates(kf, type, key_id, dates) || dates.expiry_year == 0) return kNoExpiry;
  if (!IsCalendarDate(dates.expiry_year, dates.expiry_month, dates.expiry_day)) return kNoExpiry;
  const LocalTime today = kf.Now();
  return DaysBetween(today, dates.expiry_year, dates.expiry_month, dates.expiry_day);
}

void ShowBox(Ui& ui, const std::string& text, int style) {
  MessageBoxRequest request;
  request.text = text;
  request.caption = kMessageCaption;
  request.style = style | mb::kSystemModal | mb::kTopmost;
  ui.ShowMessageBox(request);
}

int AskBox(Ui& ui, const std::string& text, int style) {
  MessageBoxRequest request;
  request.text = text;
  request.caption = kMessageCaption;
  request.style = style | mb::kSystemModal | mb::kTopmost;
  return ui.ShowMessageBox(request);
}

int Entry(int entry, size_t size) {
  return entry >= 1 && static_cast<size_t>(entry) <= size ? entry : 0;
}

// Parses the length list's text: digits only, else -1 (refused as not a multiple of 32).
int ParseKeyLength(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty() || text.size() > 6) return -1;
  int bits = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    bits = bits * 10 + (c - '0');
  }
  return bits;
}

}  // namespace

// --- Display helpers ----------------------------------------------------------------------------

std::string TrustLabel(int trust) {
  if (trust >= 3) return "Trust: High";
  if (trust == 2) return "Trust: Medium";
  return "Trust: Low";
}

long DaysBetween(const LocalTime& today, int year, int month, int day) {
  return DayNumber(year, month, day) - DayNumber(today.year, today.month, today.day);
}

long DaysUntilExpiry(Keyfile& kf, std::string_view key_id) {
  return std::min(DaysToExpiryOf(kf, rec::kPublicKeyDates, key_id),
                  DaysToExpiryOf(kf, rec::kSecretKeyDates, key_id));
}

std::string KeyListText(Keyfile& kf, const KeyListEntry& key) {
  const long days = DaysUntilExpiry(kf, key.key_id);
  if (days < 0) return key.keyname + kExpiredMark;
  if (days <= kExpiryWarningDays) return key.keyname + kExpiresSoonMark;
  return key.keyname;
}

void LogKeysExpiringSoon(Session& s) {
  Keyfile& kf = s.keyfile;
  if (!kf.open) return;
  for (const KeyListEntry& key : kf.keys) {
    if (key.category != 'm') continue;
    const long days = DaysUntilExpiry(kf, key.key_id);
    if (days < 0 || days > kExpiryWarningDays) continue;
    std::string when = days == 0   ? std::string("today")
                       : days == 1 ? std::string("tomorrow")
                                   : "in " + std::to_string(days) + " days";
    SessionLogLine(s, "Your key \"" + key.keyname + "\" expires " + when +
                          ": calculate a new public key or extend its date.");
  }
}

// --- The key manager
// ------------------------------------------------------------------------------

KeyManager::KeyManager(Session& session) : s(session) {}

void KeyManager::Open() {
  view_ = KeyManagerView();
  current_.clear();
  made_here_.clear();
  group_.clear();
  details_changed_ = false;
  view_.tab = kTabMyKeys;
  Refresh();
}

void KeyManager::Refresh() {
  Keyfile& kf = s.keyfile;
  view_.keyfile_open = kf.open;
  view_.calculate_enabled = view_.tab == kTabMyKeys;
  view_.import_enabled = view_.tab == kTabRecipientKeys;
  BuildKeyList();
  BuildGroups();
  BuildSigning();
  BuildKeyfilePage();
}

void KeyManager::Changed() {
  if (lists_changed) lists_changed();
}

void KeyManager::DetailsChanged() {
  if (!current_.empty()) details_changed_ = true;
}

void KeyManager::StorePending() {
  if (details_changed_ && !current_.empty()) StoreDetails();
  details_changed_ = false;
}

void KeyManager::BuildKeyList() {
  Keyfile& kf = s.keyfile;
  view_.key_names.clear();
  list_ids_.clear();
  if (kf.open && (view_.tab == kTabMyKeys || view_.tab == kTabRecipientKeys)) {
    const char category = view_.tab == kTabMyKeys ? 'm' : 'r';
    for (const KeyListEntry& key : kf.keys) {
      if (key.category == category || key.key_id == made_here_) {
        view_.key_names.push_back(KeyListText(kf, key));
        list_ids_.push_back(key.key_id);
      }
    }
  }
  // The key shown stays shown when it is still listed; otherwise the first one.
  auto it = std::find(list_ids_.begin(), list_ids_.end(), current_);
  if (current_.empty() || it == list_ids_.end()) {
    current_ = list_ids_.empty() ? Bytes() : list_ids_.front();
    details_changed_ = false;
  }
  ShowKey();
}

void KeyManager::ClearKeyPanel() {
  view_.key_selected = 0;
  view_.key_shown = false;
  view_.details = KeyDetails();
  view_.trust_label = TrustLabel(1);
  view_.secret_created = view_.secret_expiry = kUndefinedText;
  view_.public_created = view_.public_expiry = kUndefinedText;
  view_.secret_expiry_colour = view_.public_expiry_colour = kDateColourDefault;
  view_.fingerprint.clear();
  view_.public_frame = "Public key";
}

void KeyManager::ShowKey() {
  Keyfile& kf = s.keyfile;
  ClearKeyPanel();
  if (current_.empty()) return;
  auto it = std::find(list_ids_.begin(), list_ids_.end(), current_);
  view_.key_selected = it == list_ids_.end() ? 0 : static_cast<int>(it - list_ids_.begin()) + 1;
  UserId user;
  if (!ReadUserId(kf, current_, user)) return;
  view_.key_shown = true;
  const std::string* texts[7] = {&user.keyname,      &user.first_name, &user.last_name,
                                 &user.company,      &user.department, &user.email_subject,
                                 &user.email_address};
  for (int i = 0; i < 7; ++i) view_.details.fields[i] = *texts[i];
  int trust = std::atoi(user.trust.c_str());
  view_.details.trust = std::clamp(trust, 1, 3);
  view_.trust_label = TrustLabel(view_.details.trust);
  DateLabels(kf, rec::kSecretKeyDates, current_, view_.secret_created, view_.secret_expiry,
             view_.secret_expiry_colour);
  DateLabels(kf, rec::kPublicKeyDates, current_, view_.public_created, view_.public_expiry,
             view_.public_expiry_colour);
  RsaKeyRecord pub;
  if (ReadRsaKeyRecord(kf, rec::kEncryptionPublicKey, current_, pub)) {
    view_.public_frame = "Public key:" + NumText(pub.bits) + " bits";
    view_.fingerprint = Fingerprint(kf, current_);
  }
}

void KeyManager::BuildGroups() {
  Keyfile& kf = s.keyfile;
  view_.group_names.clear();
  view_.member_names.clear();
  view_.other_names.clear();
  member_ids_.clear();
  other_ids_.clear();
  view_.group_selected = 0;
  if (!kf.open) {
    group_.clear();
    return;
  }
  const KeyGroupEntry* selected = nullptr;
  for (size_t i = 0; i < kf.groups.size(); ++i) {
    view_.group_names.push_back(kf.groups[i].name);
    if (kf.groups[i].group_id == group_) {
      selected = &kf.groups[i];
      view_.group_selected = static_cast<int>(i) + 1;
    }
  }
  if (!selected) {
    group_.clear();
    return;
  }
  for (const KeyListEntry& key : kf.keys) {
    const bool member = std::find(selected->members.begin(), selected->members.end(), key.key_id) !=
                        selected->members.end();
    (member ? view_.member_names : view_.other_names).push_back(key.keyname);
    (member ? member_ids_ : other_ids_).push_back(key.key_id);
  }
}

void KeyManager::BuildSigning() {
  Keyfile& kf = s.keyfile;
  view_.signing_names.clear();
  signing_ids_.clear();
  view_.signing_selected = 0;
  view_.signing_label = kNoSigningKeyText;
  view_.always_encrypt = view_.always_encrypt_enabled = view_.unselect_enabled = false;
  if (!kf.open) return;
  const Bytes signing = SigningKey(kf);
  for (const KeyListEntry& key : kf.keys) {
    if (key.category != 'm') continue;
    view_.signing_names.push_back(KeyListText(kf, key));
    signing_ids_.push_back(key.key_id);
    if (key.key_id == signing) {
      view_.signing_selected = static_cast<int>(signing_ids_.size());
      view_.signing_label = key.keyname;
    }
  }
  if (!signing.empty()) {
    if (view_.signing_selected == 0) {
      UserId user;
      if (ReadUserId(kf, signing, user, false)) view_.signing_label = user.keyname;
    }
    view_.always_encrypt_enabled = view_.unselect_enabled = true;
    view_.always_encrypt = AlwaysEncrypt(kf);
  }
}

void KeyManager::BuildKeyfilePage() {
  view_.keyfile_name = s.keyfile.name;
  const std::string& startup = s.settings.keyfile_path;
  view_.startup_keyfile = startup.empty() ? std::string(kUndefinedText) : startup;
  view_.no_keyfile_enabled = !startup.empty();
}

void KeyManager::SelectTab(int tab) {
  if (tab < kTabMyKeys || tab > kTabKeyfile) return;
  StorePending();
  if (tab != view_.tab) made_here_.clear();
  view_.tab = tab;
  if (tab == kTabMyKeys || tab == kTabRecipientKeys) current_.clear();
  if (tab == kTabKeyfile && s.keyfile.modified) {
    s.keyfile.modified = false;
    SaveNow();
  }
  Refresh();
}

void KeyManager::SelectKey(int entry) {
  entry = Entry(entry, list_ids_.size());
  if (entry == 0) return;
  if (list_ids_[entry - 1] == current_) return;
  StorePending();
  // Storing may have renamed the key; the list is rebuilt and the entry taken by its id.
  const Bytes wanted = entry <= static_cast<int>(list_ids_.size()) ? list_ids_[entry - 1] : Bytes();
  current_ = wanted;
  BuildKeyList();
}

void KeyManager::Previous() {
  if (list_ids_.empty()) return;
  StorePending();
  BuildKeyList();
  const int n = static_cast<int>(list_ids_.size());
  const int at = view_.key_selected == 0 ? 1 : view_.key_selected;
  current_ = list_ids_[(at - 2 + n) % n];
  ShowKey();
}

void KeyManager::Next() {
  if (list_ids_.empty()) return;
  StorePending();
  BuildKeyList();
  const int n = static_cast<int>(list_ids_.size());
  const int at = view_.key_selected == 0 ? n : view_.key_selected;
  current_ = list_ids_[at % n];
  ShowKey();
}

void KeyManager::NewKey() {
  if (!s.keyfile.open) return;
  StorePending();
  const Bytes id = lq::NewKey(s.keyfile);
  if (id.empty()) return;
  made_here_ = id;
  current_ = id;
  details_changed_ = false;
  Refresh();
  Changed();
}

void KeyManager::StoreDetails() {
  if (current_.empty() || !s.keyfile.open) return;
  KeyDetails d = read_details ? read_details() : view_.details;
  UserId user;
  if (!ReadUserId(s.keyfile, current_, user)) return;
  std::string* texts[7] = {&user.keyname,    &user.first_name,    &user.last_name,    &user.company,
                           &user.department, &user.email_subject, &user.email_address};
  for (int i = 0; i < 7; ++i) *texts[i] = d.fields[i];
  user.trust = NumText(std::clamp(d.trust, 1, 3));
  StoreKeyDetails(s.keyfile, user);
  details_changed_ = false;
  RebuildLists(s.keyfile);
  BuildKeyList();
  BuildGroups();
  BuildSigning();
  Changed();
}

void KeyManager::DeleteKey() {
  if (current_.empty()) return;
  if (!lq::DeleteKey(s.keyfile, current_)) return;
  if (made_here_ == current_) made_here_.clear();
  current_.clear();
  details_changed_ = false;
  Refresh();
  Changed();
}

void KeyManager::EditSecretKey() {
  if (current_.empty()) return;
  StorePending();
  Keyfile& kf = s.keyfile;
  ChangePassphraseRequest request = SecretKeyEditRequest(kf, current_);
  request.prompt = kEditSecretPrompt;
  ChangePassphraseReply reply = kf.ui.AskChangePassphrase(request);
  Wipe(request.current_secret);
  const bool cancelled = reply.current == kPassphraseCancelled;
  Wipe(reply.current);
  Wipe(reply.retyped);
  if (cancelled || !kf.open) {
    Wipe(reply.new_text);
    return;
  }
  // The dialog waited: the key may have gone meanwhile.
  UserId user;
  if (!ReadUserId(kf, current_, user, false)) {
    Wipe(reply.new_text);
    Refresh();
    return;
  }
  if (SetSecretKey(kf, current_, reply.new_text, reply.expiry_year, reply.expiry_month,
                   reply.expiry_day)) {
    RebuildLists(kf);
    Changed();
  }
  Wipe(reply.new_text);
  Refresh();
}

void KeyManager::CalculatePublicKey() {
  if (current_.empty() || view_.tab != kTabMyKeys) return;
  StorePending();
  if (CheckNewKeyPairs(s.keyfile, current_) != kKeyPairsStored) return;
  if (open_calculation) open_calculation();
  Refresh();
}

void KeyManager::ExportPublicKey() {
  if (current_.empty()) return;
  StorePending();
  if (open_export) open_export();
  Refresh();
}

void KeyManager::ImportPublicKey() {
  if (!s.keyfile.open) return;
  StorePending();
  if (open_import) open_import();
  Refresh();
}

void KeyManager::ShowStoredKey(const Bytes& key_id) {
  current_ = key_id;
  details_changed_ = false;
  Refresh();
  Changed();
}

void KeyManager::SelectGroup(int entry) {
  entry = Entry(entry, s.keyfile.groups.size());
  if (entry == 0) return;
  group_ = s.keyfile.groups[entry - 1].group_id;
  BuildGroups();
}

void KeyManager::AddMember(int entry) {
  entry = Entry(entry, other_ids_.size());
  if (entry == 0 || group_.empty()) return;
  AddGroupMember(s.keyfile, group_, other_ids_[entry - 1]);
  RebuildLists(s.keyfile);
  BuildGroups();
  Changed();
}

void KeyManager::RemoveMember(int entry) {
  entry = Entry(entry, member_ids_.size());
  if (entry == 0 || group_.empty()) return;
  RemoveGroupMember(s.keyfile, group_, member_ids_[entry - 1]);
  RebuildLists(s.keyfile);
  BuildGroups();
  Changed();
}

void KeyManager::AddGroup() {
  if (!s.keyfile.open) return;
  const Bytes id = NewKeyGroup(s.keyfile);
  if (id.empty()) return;
  RebuildLists(s.keyfile);
  group_ = id;
  BuildGroups();
  Changed();
}

void KeyManager::DeleteGroup() {
  if (group_.empty()) return;
  if (!DeleteKeyGroup(s.keyfile, group_)) return;
  group_.clear();
  RebuildLists(s.keyfile);
  BuildGroups();
  Changed();
}

void KeyManager::SelectSigningKey(int entry) {
  entry = Entry(entry, signing_ids_.size());
  if (entry == 0) return;
  SetSigningKey(s.keyfile, signing_ids_[entry - 1]);
  BuildSigning();
}

void KeyManager::UnselectSigningKey() {
  ClearSigningKey(s.keyfile);
  BuildSigning();
}

void KeyManager::SetAlwaysEncrypt(bool on) {
  if (SigningKey(s.keyfile).empty()) return;
  lq::SetAlwaysEncrypt(s.keyfile, on);
  BuildSigning();
}

bool KeyManager::SaveNow() {
  Keyfile& kf = s.keyfile;
  if (!kf.open) return true;
  const int r = SaveKeyfile(kf, kf.name);
  if (r == kKeyfileSaved) return true;
  // Nothing is lost: the changes stay marked and are saved again at the next chance.
  kf.modified = true;
  if (r == kKeyfileChangedOnDisk) {
    ReportKeyfileChangedOnDisk(kf, kf.name);
  } else {
    ShowMessage(kf.ui, "Keyfile_write-error", MessageStyle("Keyfile_write-error"), kf.name);
  }
  return false;
}

void KeyManager::BackupKeyfile() {
  BackupKeyfileCommand(s.keyfile);
  Refresh();
}

void KeyManager::ChangePassphrase() {
  ChangePassphraseCommand(s.keyfile);
  Refresh();
}

void KeyManager::RenameKeyfile() {
  RenameKeyfileCommand(s.keyfile);
  Refresh();
}

void KeyManager::LoadNewKeyfile() {
  LoadNewKeyfileCommand(s.keyfile);
  current_.clear();
  group_.clear();
  made_here_.clear();
  Refresh();
  Changed();
}

void KeyManager::MakeNewKeyfile() {
  MakeNewKeyfileCommand(s.keyfile);
  current_.clear();
  group_.clear();
  made_here_.clear();
  Refresh();
  Changed();
}

void KeyManager::SelectStartupKeyfile() {
  FileChooserRequest request;
  request.title = kStartupKeyfileTitle;
  request.filter = kKeyfileFilter;
  const std::vector<std::string> chosen = s.ui.ChooseFiles(request);
  if (chosen.empty()) {
    // Cancelled: the page shows "Undefined" (the setting itself is left as it was).
    BuildKeyfilePage();
    view_.startup_keyfile = kUndefinedText;
    view_.no_keyfile_enabled = false;
    return;
  }
  s.settings.keyfile_path = chosen.front();
  BuildKeyfilePage();
}

void KeyManager::NoStartupKeyfile() {
  s.settings.keyfile_path.clear();
  BuildKeyfilePage();
}

void KeyManager::Help() {
  if (open_help) open_help(view_.tab);
}

void KeyManager::Exit() {
  StorePending();
  s.keyfile.modified = false;
  SaveNow();
  if (close_window) close_window();
}

void KeyManager::CloseByFrame() {
  // Details typed but not stored are stored too: closing by the frame loses nothing.
  StorePending();
  if (s.keyfile.modified) {
    s.keyfile.modified = false;
    SaveNow();
  }
}

// --- Key pair calculation
// -------------------------------------------------------------------------

std::string CalcProgressLabel(int steps_done) {
  return KeyGenerationStepText(std::clamp(steps_done + 1, 1, kRsaGenerationSteps));
}

int CalcProgressPosition(int pair, int steps_done, long candidates) {
  const int per_pair = kCalcProgressMaximum / 2;
  const int per_step = per_pair / kRsaGenerationSteps;
  pair = std::clamp(pair, 1, 2);
  steps_done = std::clamp(steps_done, 0, kRsaGenerationSteps);
  // Within a prime search the bar creeps on with the candidates, never past its step.
  int within = 0;
  if (steps_done < kRsaGenerationSteps && candidates > 0)
    within = static_cast<int>(std::min<long>(per_step - 1, candidates / 16));
  return (pair - 1) * per_pair + steps_done * per_step + within;
}

int CalculateKeyPairs(Session& s, std::string_view key_id, std::string_view length_text,
                      KeyPairRequest request, KeyGenerationReceiver& receiver,
                      PrimeSearchLimit limit) {
  request.bits = ParseKeyLength(length_text);
  if (request.bits <= 0 || request.bits % 32 != 0) {
    // Refused before anything runs; a non-number is not a multiple of 32 either.
    ShowBox(s.ui, kKeyLengthNotMultipleText, mb::kOk | mb::kIconExclamation);
    return kKeyPairsRefused;
  }
  if (request.bits >= kRsaMinKeyBits && request.bits < kShortKeyBits &&
      AskBox(s.ui, kShortKeyWarningText, mb::kOkCancel | mb::kIconExclamation) != kIdOk) {
    return kKeyPairsCancelled;
  }
  bool cancelled = false;
  request.cancelled = [&] { return cancelled || receiver.Cancelled(); };
  // A cancel makes the search's clock run past its budget, so the search ends at the next
  // candidate; the procedure then stores nothing and shows nothing.
  std::function<double()> clock = limit.clock;
  limit.clock = [&, clock]() -> double {
    if (!cancelled && receiver.Cancelled()) cancelled = true;
    if (cancelled) return std::numeric_limits<double>::infinity();
    if (clock) return clock();
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
  const KeyPairProgress progress = [&receiver](int pair, int steps_done, long candidates) {
    receiver.Progress(pair, steps_done, candidates);
  };
  return StoreNewKeyPairs(s.keyfile, key_id, request, progress, limit);
}

// --- Export
// -----------------------------------------------------------------------------------------

std::string ExportDialogState::Armor() const {
  const bool with_private = include_private && data.has_private;
  return ArmorExportedKey(with_private ? data.private_record : data.public_record, with_private);
}

bool OpenExport(Session& s, std::string_view key_id, ExportDialogState& state) {
  WipeKeyExport(state.data);
  state.include_private = false;
  return PrepareKeyExport(s.keyfile, key_id, state.data);
}

void ExportToClipboard(Session& s, const ExportDialogState& state) {
  std::string armor = state.Armor();
  const bool secret = state.include_private && state.data.has_private;
  if (s.desktop.SetClipboardText(armor, secret)) {
    SessionLogLine(s, "Keydata copied to the clipboard");
  } else {
    ShowBox(s.ui, kClipboardRefusedText, mb::kOk | mb::kIconExclamation);
  }
  Wipe(armor);
}

void ExportByClickAndDrop(Session& s, CaptureSurface& surface, const ExportDialogState& state) {
  std::string armor = state.Armor();
  const bool secret = state.include_private && state.data.has_private;
  SessionLogLine(s, "Pasting text in window");
  CaptureContext c{s.desktop, surface, s.settings.minimise_on_click != 0,
                   [&s](std::string_view line) { SessionLogLine(s, line); }};
  PasteIntoClickedWindow(c, armor, {"Click a window to paste", "keydata."}, secret);
  Wipe(armor);
}

int ExportToFile(Session& s, const ExportDialogState& state) {
  FileChooserRequest request;
  request.title = "Enter filename";
  request.filter = kTextFileFilter;
  request.default_name = kExportFileName;
  request.save = true;
  const std::vector<std::string> chosen = s.ui.ChooseFiles(request);
  if (chosen.empty()) return 1;
  std::string path = chosen.front();
  // The dialog's default extension "TXT".
  const size_t slash = path.find_last_of("\\/");
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  if (base.find('.') == std::string::npos) path += ".txt";
  if (s.files.Exists(path) &&
      AskUser(s.ui, "EnDec_FileExists", MessageStyle("EnDec_FileExists"), path) != kIdYes) {
    SessionLogLine(s, "File was not saved");
    return 1;
  }
  std::string armor = state.Armor();
  const int error = ReplaceWholeFile(s.files, path, armor);
  Wipe(armor);
  if (error != fe::kOk) {
    ReportFileError(s.ui, error, path);
    return 1;
  }
  SessionLogLine(s, "Saving file with keydata: " + path);
  return 0;
}

// --- Import
// -----------------------------------------------------------------------------------------

std::string ImportTextFromWindow(Session& s, CaptureSurface& surface) {
  CaptureContext c{s.desktop, surface, s.settings.minimise_on_click != 0,
                   [&s](std::string_view line) { SessionLogLine(s, line); }};
  WaitForClick(c, {"Click the window that contains", "the keydata."});
  if (c.minimize_during_click) surface.RestoreMainWindow();
  std::string text = FetchTextFromFocusedWindow(c);
  if (text.empty()) {
    ShowMessage(s.ui, "EnDec_NoTextFetched", MessageStyle("EnDec_NoTextFetched"));
    SessionLogLine(s, "Could not fetch text!");
  }
  return text;
}

std::string ImportTextFromFile(Session& s) {
  FileChooserRequest request;
  request.title = "Select file that contains keydata";
  request.filter = kTextFileFilter;
  const std::vector<std::string> chosen = s.ui.ChooseFiles(request);
  if (chosen.empty()) return {};
  std::string text;
  const int error = ReadWholeFile(s.files, chosen.front(), text);
  if (error != fe::kOk) {
    ReportFileError(s.ui, error, chosen.front());
    return {};
  }
  SessionLogLine(s, "Keydata was read from file: " + chosen.front());
  if (text.empty())
    ShowMessage(s.ui, "EnDec_NoAsciiArmorFormat", MessageStyle("EnDec_NoAsciiArmorFormat"));
  return text;
}

std::string ImportTextFromClipboard(Session& s) {
  std::string text;
  if (!s.desktop.GetClipboardText(text) || text.empty()) {
    ShowMessage(s.ui, "EnDec_NoAsciiArmorFormat", MessageStyle("EnDec_NoAsciiArmorFormat"));
    return {};
  }
  return text;
}

std::string ImportPreviewText(const ExportedKey& key) {
  std::string text = "The keydata holds the key of:\r\n\r\n";
  text += "     First name: " + key.first_name + "\r\n";
  text += "      Last name: " + key.last_name + "\r\n";
  if (!key.company.empty()) text += "   Company name: " + key.company + "\r\n";
  if (!key.department.empty()) text += "Department name: " + key.department + "\r\n";
  if (!key.email.empty()) text += " E-mail address: " + key.email + "\r\n";
  text += "    Fingerprint: " + FingerprintText(key.n, key.e) + "\r\n";
  if (!key.d.empty()) text += "\r\nThe keydata includes the private key parts.\r\n";
  text +=
      "\r\nCompare the fingerprint with the one the owner of the key reads out to you.\r\n"
      "Import this key?";
  return text;
}

int ProcessImportedText(Session& s, std::string_view text, Bytes& stored_key_id) {
  stored_key_id.clear();
  if (!s.keyfile.open) return kImportCancelled;
  // The preview reads the same record the import will; a damaged one is reported here.
  Bytes record = DearmorExportedKey(s.ui, text);
  if (record.empty()) return kImportRefused;
  ExportedKey key;
  const bool read = DecomposeExportedKeyRecord(s.ui, record, key);
  Wipe(record);
  if (!read) return kImportRefused;
  const int answer = AskBox(s.ui, ImportPreviewText(key), mb::kYesNo | mb::kIconQuestion);
  WipeExportedKey(key);
  if (answer != kIdYes) {
    SessionLogLine(s, "Import of keydata cancelled");
    return kImportCancelled;
  }
  const int result = ImportExportedKey(s.keyfile, text, stored_key_id);
  if (result == kImportStored) SessionLogLine(s, "Keydata imported");
  return result;
}

}  // namespace lq
