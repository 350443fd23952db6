// The key manager's commands on the host: a real keyfile, the recording Ui for every dialog and
// message, and the scripted desktop as clipboard and other program.
#include "app/keymanager.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/actions.h"
#include "base/catalogue.h"
#include "crypto/rsa.h"
#include "packet/signature_packet.h"
#include "platform/scripted_desktop.h"
#include "support/fake_editor.h"
#include "support/file_fakes.h"
#include "support/recording_ui.h"

namespace lq {
namespace {

using test::RecordingUi;
using test::TempDir;

constexpr LocalTime kToday{2005, 1, 2, 9, 5, 7};

// One program run: its Ui, desktop, session and an open keyfile.
struct Program {
  explicit Program(const std::string& path) : s(ui, desktop) {
    s.env.clock = [] { return kToday; };
    s.keyfile.hooks.clock = [] { return kToday; };
    ChangePassphraseReply reply;
    reply.new_text = reply.retyped = "pass";
    ui.change_replies.push_back(reply);
    EXPECT_EQ(CreateNewKeyfile(s.keyfile, path), 0);
    ui.calls.clear();
    ui.boxes.clear();
    ui.log.clear();
  }
  // A key with a name, first and last name.
  Bytes Person(const std::string& name) {
    ui.texts.push_back(name);
    Bytes id = NewKey(s.keyfile);
    UserId user;
    EXPECT_TRUE(ReadUserId(s.keyfile, id, user));
    user.first_name = name;
    user.last_name = "Example";
    user.company = "Acme";
    user.email_address = name + "@example.org";
    StoreKeyDetails(s.keyfile, user);
    RebuildLists(s.keyfile);
    return id;
  }
  bool Logged(const std::string& line) const {
    return std::find(ui.log.begin(), ui.log.end(), line) != ui.log.end();
  }
  RecordingUi ui;
  ScriptedDesktop desktop;
  Session s;
};

// The form's boxes: what the test "typed".
struct Boxes {
  KeyDetails details;
  bool read = false;
};

class Receiver : public KeyGenerationReceiver {
 public:
  void Progress(int pair, int steps_done, long candidates) override {
    ++calls;
    positions.push_back(CalcProgressPosition(pair, steps_done, candidates));
    if (candidates == 0) steps.emplace_back(pair, steps_done);
  }
  bool Cancelled() override { return cancel_after >= 0 && calls >= cancel_after; }
  long calls = 0;
  long cancel_after = -1;
  std::vector<int> positions;
  std::vector<std::pair<int, int>> steps;
};

class KeyManagerTest : public ::testing::Test {
 protected:
  KeyManagerTest() : a(dir.File("a.lqk")), km(a.s) {
    km.read_details = [this] { return boxes; };
  }
  // Shows the key with this name on the current tab and copies the panel into the boxes.
  void Show(const std::string& name) {
    const auto& names = km.view().key_names;
    auto it = std::find(names.begin(), names.end(), name);
    ASSERT_NE(it, names.end()) << name;
    km.SelectKey(static_cast<int>(it - names.begin()) + 1);
    boxes = km.view().details;
  }
  std::string Shown() const { return km.view().details.fields[0]; }
  size_t Count(Program& r, const char* type) {
    size_t n = 0;
    for (long i = 0; !FindRecordOfType(r.s.keyfile, type, i).empty();) ++n;
    return n;
  }

  TempDir dir;
  Program a;
  KeyManager km;
  KeyDetails boxes;
};

TEST_F(KeyManagerTest, NextStoresEditedDetailsAndPreviousWraps) {
  a.Person("ann");
  a.Person("bob");
  a.Person("cid");
  km.Open();
  km.SelectTab(kTabRecipientKeys);
  ASSERT_EQ(km.view().key_names, (std::vector<std::string>{"ann", "bob", "cid"}));
  EXPECT_EQ(Shown(), "ann");
  boxes = km.view().details;
  boxes.fields[1] = "Annie";
  km.DetailsChanged();
  km.Next();
  EXPECT_EQ(Shown(), "bob");
  UserId user;
  ASSERT_TRUE(ReadUserId(a.s.keyfile, a.s.keyfile.keys[0].key_id, user));
  EXPECT_EQ(user.first_name, "Annie");
  EXPECT_EQ(user.trust, " 1");  // stored from the slider, with the leading blank
  EXPECT_FALSE(km.details_changed());

  boxes = km.view().details;
  km.Previous();
  EXPECT_EQ(Shown(), "ann");
  km.Previous();  // the first wraps to the last
  EXPECT_EQ(Shown(), "cid");
  km.Next();  // and the last to the first
  EXPECT_EQ(Shown(), "ann");
  // Nothing was changed on the way, so nothing more was stored.
  EXPECT_TRUE(a.ui.boxes.empty());
}

TEST_F(KeyManagerTest, AnUnchangedKeyIsNotStoredAndChangedDetailsSurviveATabChange) {
  a.Person("ann");
  km.Open();
  km.SelectTab(kTabRecipientKeys);
  boxes = km.view().details;
  boxes.fields[6] = "new@example.org";
  km.SelectTab(kTabMyKeys);  // no DetailsChanged: not stored
  UserId user;
  ASSERT_TRUE(ReadUserId(a.s.keyfile, a.s.keyfile.keys[0].key_id, user));
  EXPECT_EQ(user.email_address, "ann@example.org");
  km.SelectTab(kTabRecipientKeys);
  boxes = km.view().details;
  boxes.fields[6] = "new@example.org";
  boxes.trust = 3;
  km.DetailsChanged();
  km.SelectTab(kTabGroups);
  ASSERT_TRUE(ReadUserId(a.s.keyfile, a.s.keyfile.keys[0].key_id, user));
  EXPECT_EQ(user.email_address, "new@example.org");
  EXPECT_EQ(user.trust, " 3");
}

TEST_F(KeyManagerTest, EnteringTheKeyfileTabAfterAChangeSavesOnce) {
  km.Open();
  const std::string path = a.s.keyfile.name;
  std::string before;
  ASSERT_EQ(ReadWholeFile(path, before), fe::kOk);
  km.SelectTab(kTabKeyfile);  // nothing changed: nothing written
  std::string same;
  ASSERT_EQ(ReadWholeFile(path, same), fe::kOk);
  EXPECT_EQ(same, before);
  EXPECT_EQ(km.view().keyfile_name, path);

  km.SelectTab(kTabMyKeys);
  a.ui.texts.push_back("dan");
  km.NewKey();
  EXPECT_TRUE(a.s.keyfile.modified);
  km.SelectTab(kTabKeyfile);
  EXPECT_FALSE(a.s.keyfile.modified);
  std::string after;
  ASSERT_EQ(ReadWholeFile(path, after), fe::kOk);
  EXPECT_NE(after, before);
  km.SelectTab(kTabSigning);
  km.SelectTab(kTabKeyfile);  // the second time: unchanged, not written again
  std::string again;
  ASSERT_EQ(ReadWholeFile(path, again), fe::kOk);
  EXPECT_EQ(again, after);
  // The saved file holds the new key.
  Program b(dir.File("other.lqk"));
  std::string p = "pass";
  ASSERT_EQ(OpenKeyfile(b.s.keyfile, path, p), kKeyfileOpened);
  ASSERT_EQ(b.s.keyfile.keys.size(), 1u);
  EXPECT_EQ(b.s.keyfile.keys[0].keyname, "dan");
}

TEST_F(KeyManagerTest, TabsOneAndTwoSwapCalculateAndImport) {
  km.Open();
  EXPECT_TRUE(km.view().calculate_enabled);
  EXPECT_FALSE(km.view().import_enabled);
  km.SelectTab(kTabRecipientKeys);
  EXPECT_FALSE(km.view().calculate_enabled);
  EXPECT_TRUE(km.view().import_enabled);
  km.SelectTab(kTabMyKeys);
  EXPECT_TRUE(km.view().calculate_enabled);
  EXPECT_FALSE(km.view().import_enabled);
}

TEST_F(KeyManagerTest, AnEmptyListClearsThePanel) {
  km.Open();
  EXPECT_TRUE(km.view().key_names.empty());
  EXPECT_FALSE(km.view().key_shown);
  EXPECT_EQ(km.view().public_created, "Undefined");
  EXPECT_EQ(km.view().public_expiry, "Undefined");
  EXPECT_EQ(km.view().secret_created, "Undefined");
  EXPECT_EQ(km.view().secret_expiry, "Undefined");
  EXPECT_EQ(km.view().fingerprint, "");
}

TEST_F(KeyManagerTest, ANewKeyStaysUnderTheTabWhereItWasMadeUntilTheTabChanges) {
  km.Open();
  a.ui.texts.push_back("mine");
  km.NewKey();
  EXPECT_EQ(km.view().key_names, std::vector<std::string>{"mine"});
  EXPECT_EQ(Shown(), "mine");
  km.SelectTab(kTabRecipientKeys);  // without a key pair it is a recipient's key
  EXPECT_EQ(km.view().key_names, std::vector<std::string>{"mine"});
  km.SelectTab(kTabMyKeys);
  EXPECT_TRUE(km.view().key_names.empty());
}

TEST_F(KeyManagerTest, CalculationRefusesThreeHundredBitsAndAccepts288AfterTheWarning) {
  const Bytes ann = a.Person("ann");
  km.Open();
  km.SelectTab(kTabRecipientKeys);
  Receiver r;
  KeyPairRequest request;
  EXPECT_EQ(CalculateKeyPairs(a.s, ann, "300", request, r), kKeyPairsRefused);
  ASSERT_EQ(a.ui.boxes.size(), 1u);
  EXPECT_EQ(a.ui.boxes[0].text, kKeyLengthNotMultipleText);
  EXPECT_EQ(a.ui.boxes[0].caption, "Lockquill V1.0");
  EXPECT_EQ(r.calls, 0);
  EXPECT_EQ(Count(a, rec::kEncryptionPublicKey), 0u);
  EXPECT_EQ(CalculateKeyPairs(a.s, ann, "abc", request, r), kKeyPairsRefused);

  // Below 2048 bits the warning comes first; Cancel there stores nothing.
  a.ui.boxes.clear();
  a.ui.buttons.push_back(kIdCancel);
  EXPECT_EQ(CalculateKeyPairs(a.s, ann, "288", request, r), kKeyPairsCancelled);
  ASSERT_EQ(a.ui.boxes.size(), 1u);
  EXPECT_EQ(a.ui.boxes[0].text, kShortKeyWarningText);
  EXPECT_EQ(r.calls, 0);

  a.ui.boxes.clear();
  a.ui.buttons.push_back(kIdOk);
  request.flags.company = 1;
  EXPECT_EQ(CalculateKeyPairs(a.s, ann, "288", request, r), kKeyPairsStored);
  EXPECT_EQ(a.ui.boxes.size(), 1u);  // the warning only
  for (const char* type : {rec::kEncryptionPublicKey, rec::kEncryptionPrivateKey,
                           rec::kSigningPublicKey, rec::kSigningPrivateKey, rec::kPublicKeyDates})
    EXPECT_EQ(Count(a, type), 1u) << type;
  std::vector<std::pair<int, int>> expected;
  for (int pair : {1, 2})
    for (int step = 1; step <= 5; ++step) expected.emplace_back(pair, step);
  EXPECT_EQ(r.steps, expected);
  EXPECT_TRUE(std::is_sorted(r.positions.begin(), r.positions.end()));
  EXPECT_EQ(r.positions.back(), kCalcProgressMaximum);
  // After the pair the key is one of "My keys", with its size and fingerprint shown.
  km.SelectTab(kTabMyKeys);
  ASSERT_EQ(km.view().key_names, std::vector<std::string>{"ann"});
  EXPECT_EQ(km.view().public_frame, "Public key: 288 bits");
  EXPECT_EQ(km.view().fingerprint.size(), 45u);
  EXPECT_EQ(km.view().public_expiry, "Never");
  EXPECT_EQ(km.view().public_expiry_colour, kStatusColourGreen);
}

TEST_F(KeyManagerTest, CancelDuringTheGenerationStoresNothingAndSaysNothing) {
  const Bytes ann = a.Person("ann");
  for (long after : {1L, 40L}) {
    Receiver r;
    r.cancel_after = after;
    KeyPairRequest request;
    a.ui.boxes.clear();
    a.s.keyfile.modified = false;
    EXPECT_EQ(CalculateKeyPairs(a.s, ann, "4096", request, r), kKeyPairsCancelled);
    EXPECT_TRUE(a.ui.boxes.empty());
    EXPECT_LT(r.calls, after + 3);  // the search stopped at the next candidate
    EXPECT_EQ(Count(a, rec::kEncryptionPublicKey), 0u);
    EXPECT_EQ(Count(a, rec::kPublicKeyDates), 0u);
    EXPECT_FALSE(a.s.keyfile.modified);
  }
}

TEST_F(KeyManagerTest, ProgressLabelAndBar) {
  EXPECT_EQ(CalcProgressLabel(0), "Step 1 of 5");
  EXPECT_EQ(CalcProgressLabel(1), "Step 2 of 5");
  EXPECT_EQ(CalcProgressLabel(5), "Step 5 of 5");
  EXPECT_EQ(CalcProgressPosition(1, 0, 0), 0);
  EXPECT_EQ(CalcProgressPosition(1, 5, 0), 50);
  EXPECT_EQ(CalcProgressPosition(2, 5, 0), 100);
  EXPECT_LT(CalcProgressPosition(1, 0, 1000000), CalcProgressPosition(1, 1, 0));
}

TEST_F(KeyManagerTest, CalculateNeedsBothNamesAndAsksBeforeReplacingAPair) {
  a.ui.texts.push_back("noname");
  km.Open();
  km.NewKey();
  int opened = 0;
  km.open_calculation = [&] { ++opened; };
  km.CalculatePublicKey();
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(a.ui.MessageKeys(), std::vector<std::string>{"PubKey_UsersName_undefined"});
  boxes = km.view().details;
  boxes.fields[1] = "No";
  boxes.fields[2] = "Name";
  km.DetailsChanged();
  km.CalculatePublicKey();  // pending details are stored first
  EXPECT_EQ(opened, 1);
}

TEST_F(KeyManagerTest, GroupsAddAndRemoveMembers) {
  a.Person("ann");
  a.Person("bob");
  a.Person("cid");
  int changes = 0;
  km.lists_changed = [&] { ++changes; };
  km.Open();
  km.SelectTab(kTabGroups);
  a.ui.texts.push_back("team");
  km.AddGroup();
  ASSERT_EQ(km.view().group_names, std::vector<std::string>{"team"});
  EXPECT_EQ(km.view().group_selected, 1);
  EXPECT_EQ(km.view().other_names, (std::vector<std::string>{"ann", "bob", "cid"}));
  km.AddMember(1);  // ann
  km.AddMember(2);  // cid (bob is first of the others now)
  EXPECT_EQ(km.view().member_names, (std::vector<std::string>{"ann", "cid"}));
  EXPECT_EQ(km.view().other_names, std::vector<std::string>{"bob"});
  ASSERT_EQ(a.s.keyfile.groups.size(), 1u);
  EXPECT_EQ(a.s.keyfile.groups[0].members.size(), 2u);
  km.RemoveMember(1);
  EXPECT_EQ(km.view().member_names, std::vector<std::string>{"cid"});
  EXPECT_GE(changes, 4);
  a.ui.buttons.push_back(kIdYes);
  km.DeleteGroup();
  EXPECT_TRUE(km.view().group_names.empty());
  EXPECT_EQ(a.ui.MessageKeys().back(), "KeyGroup_SureToDelete?");
}

TEST_F(KeyManagerTest, SigningKeyWithAlwaysEncrypt) {
  const Bytes ann = a.Person("ann");
  KeyPairRequest request;
  request.bits = 288;
  ASSERT_EQ(StoreNewKeyPairs(a.s.keyfile, ann, request), kKeyPairsStored);
  km.Open();
  km.SelectTab(kTabSigning);
  EXPECT_EQ(km.view().signing_names, std::vector<std::string>{"ann"});
  EXPECT_EQ(km.view().signing_label, "No signingkey selected");
  EXPECT_FALSE(km.view().always_encrypt_enabled);
  EXPECT_FALSE(km.view().unselect_enabled);
  km.SelectSigningKey(1);
  EXPECT_EQ(km.view().signing_label, "ann");
  EXPECT_TRUE(km.view().always_encrypt_enabled);
  EXPECT_TRUE(km.view().unselect_enabled);
  EXPECT_EQ(SigningKey(a.s.keyfile), ann);
  km.SetAlwaysEncrypt(true);
  EXPECT_TRUE(AlwaysEncrypt(a.s.keyfile));
  EXPECT_TRUE(km.view().always_encrypt);
  km.UnselectSigningKey();
  EXPECT_TRUE(SigningKey(a.s.keyfile).empty());
  EXPECT_EQ(Count(a, rec::kAlwaysEncrypt), 0u);
  EXPECT_EQ(km.view().signing_label, "No signingkey selected");
  EXPECT_FALSE(km.view().always_encrypt);
}

TEST_F(KeyManagerTest, StartupKeyfileSelectAndNone) {
  km.Open();
  km.SelectTab(kTabKeyfile);
  EXPECT_EQ(km.view().startup_keyfile, "Undefined");
  EXPECT_FALSE(km.view().no_keyfile_enabled);
  a.ui.chosen_files.push_back({"C:\\keys\\start.lqk"});
  km.SelectStartupKeyfile();
  EXPECT_EQ(km.view().startup_keyfile, "C:\\keys\\start.lqk");
  EXPECT_EQ(a.s.settings.keyfile_path, "C:\\keys\\start.lqk");
  EXPECT_TRUE(km.view().no_keyfile_enabled);
  km.NoStartupKeyfile();
  EXPECT_EQ(a.s.settings.keyfile_path, "");
  EXPECT_EQ(km.view().startup_keyfile, "Undefined");
  EXPECT_FALSE(km.view().no_keyfile_enabled);
}

TEST_F(KeyManagerTest, ExitStoresPendingDetailsAndSaves) {
  a.Person("ann");
  km.Open();
  km.SelectTab(kTabRecipientKeys);
  bool closed = false;
  km.close_window = [&] { closed = true; };
  boxes = km.view().details;
  boxes.fields[3] = "Initech";
  km.DetailsChanged();
  km.Exit();
  EXPECT_TRUE(closed);
  EXPECT_FALSE(a.s.keyfile.modified);
  Program b(dir.File("b.lqk"));
  std::string p = "pass";
  ASSERT_EQ(OpenKeyfile(b.s.keyfile, a.s.keyfile.name, p), kKeyfileOpened);
  UserId user;
  ASSERT_TRUE(ReadUserId(b.s.keyfile, b.s.keyfile.keys[0].key_id, user));
  EXPECT_EQ(user.company, "Initech");
}

TEST_F(KeyManagerTest, AClosedKeyfileShowsNothing) {
  a.Person("ann");
  km.Open();
  km.SelectTab(kTabRecipientKeys);
  ASSERT_EQ(km.view().key_names.size(), 1u);
  ASSERT_EQ(CloseKeyfile(a.s.keyfile), 0);
  km.Refresh();
  EXPECT_FALSE(km.view().keyfile_open);
  EXPECT_TRUE(km.view().key_names.empty());
  EXPECT_FALSE(km.view().key_shown);
  km.Next();  // nothing to do, nothing breaks
  a.ui.texts.push_back("x");
  km.NewKey();
  EXPECT_EQ(a.ui.texts.size(), 1u);  // not even asked
}

TEST_F(KeyManagerTest, KeysExpiringWithinThirtyDaysAreMarkedAndLogged) {
  const Bytes soon = a.Person("soon");
  const Bytes later = a.Person("later");
  const Bytes gone = a.Person("gone");
  for (const Bytes& id : {soon, later, gone}) {
    KeyPairRequest request;
    request.bits = 288;
    if (id == soon) request.expiry_year = 2005, request.expiry_month = 1, request.expiry_day = 30;
    if (id == later) request.expiry_year = 2005, request.expiry_month = 2, request.expiry_day = 2;
    if (id == gone) request.expiry_year = 2004, request.expiry_month = 12, request.expiry_day = 31;
    ASSERT_EQ(StoreNewKeyPairs(a.s.keyfile, id, request), kKeyPairsStored);
  }
  EXPECT_EQ(DaysBetween(kToday, 2005, 2, 1), 30);
  EXPECT_EQ(DaysBetween(kToday, 2004, 2, 29), -308);
  km.Open();
  EXPECT_EQ(km.view().key_names,
            (std::vector<std::string>{"soon  (expires soon)", "later", "gone  (expired)"}));
  km.SelectKey(3);
  EXPECT_EQ(km.view().public_expiry_colour, kStatusColourRed);
  km.SelectKey(2);
  EXPECT_EQ(km.view().public_expiry_colour, kStatusColourGreen);
  a.ui.log.clear();
  LogKeysExpiringSoon(a.s);
  EXPECT_EQ(a.ui.log, std::vector<std::string>{"Your key \"soon\" expires in 28 days: calculate "
                                               "a new public key or extend its date."});
}

// --- Export and import --------------------------------------------------------------------------

class ExportImportTest : public KeyManagerTest {
 protected:
  void SetUp() override {
    ann = a.Person("ann");
    KeyPairRequest request;
    request.bits = 288;
    request.flags.company = 1;
    ASSERT_EQ(StoreNewKeyPairs(a.s.keyfile, ann, request), kKeyPairsStored);
    a.ui.boxes.clear();
  }
  // Exports ann through the clipboard of run a.
  std::string Exported(bool with_private) {
    ExportDialogState state;
    EXPECT_TRUE(OpenExport(a.s, ann, state));
    state.include_private = with_private;
    ExportToClipboard(a.s, state);
    EXPECT_TRUE(a.Logged("Keydata copied to the clipboard"));
    return a.desktop.clipboard;
  }
  Bytes ann;
};

TEST_F(ExportImportTest, PublicAndPrivateExportsImportAsRecipientAndOwnKey) {
  const std::string pub = Exported(false);
  EXPECT_NE(pub.find(kExportPublicStart), std::string::npos);
  EXPECT_FALSE(a.desktop.clipboard_secret);
  const std::string priv = Exported(true);
  EXPECT_NE(priv.find(kExportPrivateStart), std::string::npos);
  EXPECT_TRUE(a.desktop.clipboard_secret);  // private parts stay out of clipboard history

  Program b(dir.File("b.lqk"));
  b.desktop.clipboard = pub;
  Bytes id;
  b.ui.texts.push_back("ann at acme");
  ASSERT_EQ(ProcessImportedText(b.s, ImportTextFromClipboard(b.s), id), kImportStored);
  EXPECT_EQ(id, ann);
  // The preview named the owner and the fingerprint before anything was stored.
  ASSERT_EQ(b.ui.boxes.size(), 1u);
  EXPECT_NE(b.ui.boxes[0].text.find("      Last name: Example"), std::string::npos);
  EXPECT_NE(b.ui.boxes[0].text.find(Fingerprint(a.s.keyfile, ann)), std::string::npos);
  ASSERT_EQ(b.s.keyfile.keys.size(), 1u);
  EXPECT_EQ(b.s.keyfile.keys[0].category, 'r');
  EXPECT_EQ(Fingerprint(b.s.keyfile, id), Fingerprint(a.s.keyfile, ann));

  Program c(dir.File("c.lqk"));
  c.ui.texts.push_back("me");
  ASSERT_EQ(ProcessImportedText(c.s, priv, id), kImportStored);
  ASSERT_EQ(c.s.keyfile.keys.size(), 1u);
  EXPECT_EQ(c.s.keyfile.keys[0].category, 'm');
}

TEST_F(ExportImportTest, ThePreviewAnsweredNoStoresNothing) {
  const std::string pub = Exported(false);
  Program b(dir.File("b.lqk"));
  b.ui.buttons.push_back(kIdNo);
  Bytes id;
  EXPECT_EQ(ProcessImportedText(b.s, pub, id), kImportCancelled);
  EXPECT_TRUE(b.s.keyfile.keys.empty());
  EXPECT_FALSE(b.s.keyfile.modified);
}

TEST_F(ExportImportTest, ImportingTwiceYesReplacesNoMakesASecondKey) {
  const std::string pub = Exported(false);
  Program b(dir.File("b.lqk"));
  Bytes id;
  b.ui.texts.push_back("ann");
  ASSERT_EQ(ProcessImportedText(b.s, pub, id), kImportStored);
  // Again, answering yes to the known KeyID: still one key, its name kept.
  b.ui.buttons = {kIdYes, kIdYes};
  ASSERT_EQ(ProcessImportedText(b.s, pub, id), kImportStored);
  ASSERT_EQ(b.s.keyfile.keys.size(), 1u);
  EXPECT_EQ(b.s.keyfile.keys[0].keyname, "ann");
  EXPECT_EQ(b.ui.MessageKeys().back(), "Imported_KeyID_exists");
  // And no: a second key with a new KeyID and the name asked for.
  b.ui.buttons = {kIdYes, kIdNo};
  b.ui.texts.push_back("ann copy");
  Bytes second;
  ASSERT_EQ(ProcessImportedText(b.s, pub, second), kImportStored);
  ASSERT_EQ(b.s.keyfile.keys.size(), 2u);
  EXPECT_NE(second, ann);
  EXPECT_EQ(b.s.keyfile.keys[1].keyname, "ann copy");
}

TEST_F(ExportImportTest, DamagedOrForeignTextIsRefused) {
  std::string pub = Exported(false);
  Program b(dir.File("b.lqk"));
  Bytes id;
  EXPECT_EQ(ProcessImportedText(b.s, "no key here", id), kImportRefused);
  EXPECT_EQ(b.ui.MessageKeys(), std::vector<std::string>{"EnDec_NoAsciiArmorFormat"});
  const size_t body = pub.find("\r\n") + 10;
  pub[body] = pub[body] == 'A' ? 'B' : 'A';
  b.ui.boxes.clear();
  EXPECT_EQ(ProcessImportedText(b.s, pub, id), kImportRefused);
  EXPECT_EQ(b.ui.boxes.size(), 1u);  // the record or digest error, no preview
  EXPECT_TRUE(b.s.keyfile.keys.empty());
  // A truncated block.
  b.ui.boxes.clear();
  EXPECT_EQ(ProcessImportedText(b.s, pub.substr(0, pub.size() / 2), id), kImportRefused);
  EXPECT_TRUE(b.s.keyfile.keys.empty());
}

TEST_F(ExportImportTest, SaveAsFileProposesExpKeyAndAsksBeforeReplacing) {
  ExportDialogState state;
  ASSERT_TRUE(OpenExport(a.s, ann, state));
  EXPECT_EQ(std::string(state.PrivateNote()), kPrivatePartText);
  EXPECT_NE(state.data.info_text.find("   Company name: Acme\r\n"), std::string::npos);
  const std::string path = dir.File("ExpKey.txt");
  a.ui.chosen_files.push_back({path});
  ASSERT_EQ(ExportToFile(a.s, state), 0);
  std::string written;
  ASSERT_EQ(ReadWholeFile(path, written), fe::kOk);
  EXPECT_EQ(written, state.Armor());
  EXPECT_TRUE(a.Logged("Saving file with keydata: " + path));

  // Again with the private part: the existing file is kept when the answer is no.
  state.include_private = true;
  a.ui.chosen_files.push_back({path});
  a.ui.buttons.push_back(kIdNo);
  EXPECT_EQ(ExportToFile(a.s, state), 1);
  EXPECT_TRUE(a.Logged("File was not saved"));
  std::string kept;
  ASSERT_EQ(ReadWholeFile(path, kept), fe::kOk);
  EXPECT_EQ(kept, written);

  // The file imports into another keyfile.
  Program b(dir.File("b.lqk"));
  b.ui.chosen_files.push_back({path});
  const std::string text = ImportTextFromFile(b.s);
  EXPECT_TRUE(b.Logged("Keydata was read from file: " + path));
  Bytes id;
  b.ui.texts.push_back("ann");
  EXPECT_EQ(ProcessImportedText(b.s, text, id), kImportStored);
}

// The whole way of a public key: made here, saved as a file, imported by a second program,
// which encrypts to it; the owner reads the packet.
TEST_F(KeyManagerTest, AnExportedKeyImportedElsewhereIsEncryptedToAndReadByItsOwner) {
  const Bytes owner = a.Person("owner");
  KeyPairRequest request;
  request.bits = 512;
  ASSERT_EQ(StoreNewKeyPairs(a.s.keyfile, owner, request), kKeyPairsStored);
  ExportDialogState state;
  ASSERT_TRUE(OpenExport(a.s, owner, state));
  const std::string path = dir.File("ExpKey.txt");
  a.ui.chosen_files.push_back({path});
  ASSERT_EQ(ExportToFile(a.s, state), 0);

  Program b(dir.File("second.lqk"));
  b.ui.chosen_files.push_back({path});
  Bytes id;
  b.ui.texts.push_back("owner");
  ASSERT_EQ(ProcessImportedText(b.s, ImportTextFromFile(b.s), id), kImportStored);
  b.s.keyfile.selected_recipients = {id};
  ASSERT_TRUE(CheckRecipients(b.s));
  const std::string armor = ComposeArmor(b.s, "for the owner only");
  ASSERT_FALSE(armor.empty()) << (b.ui.boxes.empty() ? "" : b.ui.boxes.back().text);
  EXPECT_EQ(ReadArmoredText(a.s.packets, armor).text, "for the owner only");
}

TEST_F(ExportImportTest, ExpiredKeysAreNotExported) {
  const Bytes old = a.Person("old");
  KeyPairRequest request;
  request.bits = 288;
  request.expiry_year = 2005, request.expiry_month = 1, request.expiry_day = 1;
  ASSERT_EQ(StoreNewKeyPairs(a.s.keyfile, old, request), kKeyPairsStored);
  ExportDialogState state;
  EXPECT_FALSE(OpenExport(a.s, old, state));
  EXPECT_EQ(a.ui.MessageKeys().back(), "Export_Publickey_expired");
}

TEST_F(ExportImportTest, ClickAndDropPastesIntoTheClickedWindow) {
  FakeEditor pad;
  pad.Attach(a.desktop);
  class Surface : public CaptureSurface {
   public:
    explicit Surface(ScriptedDesktop& d) : desktop(d) {}
    void ShowStickyForm(const std::vector<std::string>& lines) override {
      if (shown.empty()) shown = lines;  // the first note: what the user is asked to click
      desktop.buttons_pressed.insert(MouseButton::kLeft);
    }
    void MoveStickyForm(ScreenPoint) override {}
    void CloseStickyForm() override {}
    void MinimizeMainWindow() override {}
    void RestoreMainWindow() override {}
    ScriptedDesktop& desktop;
    std::vector<std::string> shown;
  } surface(a.desktop);
  ExportDialogState state;
  ASSERT_TRUE(OpenExport(a.s, ann, state));
  ExportByClickAndDrop(a.s, surface, state);
  EXPECT_EQ(surface.shown, (std::vector<std::string>{"Click a window to paste", "keydata."}));
  EXPECT_TRUE(a.Logged("Pasting text in window"));
  EXPECT_EQ(pad.pastes, 1);
  EXPECT_EQ(pad.text, state.Armor());

  // And back in: the window's text is fetched and imported elsewhere.
  Program b(dir.File("b.lqk"));
  pad.Attach(b.desktop);
  Surface other(b.desktop);
  const std::string fetched = ImportTextFromWindow(b.s, other);
  EXPECT_EQ(other.shown,
            (std::vector<std::string>{"Click the window that contains", "the keydata."}));
  EXPECT_EQ(fetched, state.Armor());
}

}  // namespace
}  // namespace lq
