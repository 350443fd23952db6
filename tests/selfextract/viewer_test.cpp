// The viewer's work on the host: the note before any passphrase, a wrong then a right
// passphrase from either box, the folder asked once, file times restored, stored names that
// try to leave the chosen folder, and packet files that are missing or damaged.
#include "selfextract/viewer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "base/records.h"
#include "crypto/random.h"
#include "crypto/sha256.h"
#include "keys/keyfile.h"
#include "packet/packet_records.h"
#include "packet/passphrase_packet.h"
#include "support/file_fakes.h"
#include "support/recording_ui.h"

namespace lq {
namespace {

using test::RecordingUi;
using test::TempDir;

const LocalTime kWritten{2021, 4, 5, 6, 7, 8};
const LocalTime kCreated{2020, 1, 2, 3, 4, 5};

class Viewer : public ::testing::Test {
 protected:
  Viewer() : kf(ui, random), s(ui, random, kf), viewer(s) {}

  std::string PacketFile(const Bytes& packet) {
    const std::string path = dir.File("Data.txt");
    EXPECT_EQ(ReplaceWholeFile(path, packet), fe::kOk);
    return path;
  }
  PacketViewer::Result Enter(std::string masked, std::string plain = {}) {
    PacketViewer::Result r = viewer.Enter(masked, plain);
    EXPECT_TRUE(masked.empty());
    EXPECT_TRUE(plain.empty());
    return r;
  }
  int Asked(const std::string& what) const {
    int n = 0;
    for (const auto& c : ui.calls) n += c.what == what;
    return n;
  }
  // A file record with a name of the sender's choosing.
  static Bytes FileRecord(std::string_view name, std::string_view contents) {
    return RecordHeader(pkt::kPlainTextFile) + Field(name) + Field(MakeDateTimeRecord(kWritten)) +
           Field(MakeDateTimeRecord(kCreated)) + Field(contents);
  }
  // A passphrase packet built by hand around any plaintext list.
  Bytes HandMadePacket(const std::string& note, const Bytes& list, const std::string& passphrase) {
    const Bytes salt(kPassphraseSaltSize, '\x42');
    const Bytes key = SHA256_Iterated(passphrase, salt, kPassphraseRounds);
    const Bytes data = Compose_EncryptedDataRecord(
        s, Compose_CompressedRecord(s, Compose_HMACrecord(key, list)), key);
    const Bytes check = Compose_EncryptedDataRecord(s, Bytes("0123456789ab0123456789ab"), key);
    return Compose_HashRecord(s, Field(note) + Field(salt) + Field(check) + Field(data));
  }

  TempDir dir;
  TempDir store;
  RecordingUi ui;
  RandomContext random;
  Keyfile kf;
  PacketSession s;
  PacketViewer viewer;
};

TEST(ViewerCommandLine, ThePathIsTheWholeRestWithoutQuotes) {
  EXPECT_EQ(PacketPathFromCommandLine("C:\\Temp\\LQSX1\\Data.txt"), "C:\\Temp\\LQSX1\\Data.txt");
  EXPECT_EQ(PacketPathFromCommandLine("  C:\\Documents and Settings\\x\\Data.txt "),
            "C:\\Documents and Settings\\x\\Data.txt");
  EXPECT_EQ(PacketPathFromCommandLine("\"C:\\a b\\Data.txt\""), "C:\\a b\\Data.txt");
  EXPECT_EQ(PacketPathFromCommandLine(""), "");
  EXPECT_EQ(PacketPathFromCommandLine("   "), "");
}

TEST_F(Viewer, NoteFirstThenWrongThenRightPassphraseWithFilesAndTimes) {
  const std::string a = dir.File("report.txt"), b = dir.File("photo.bin");
  ASSERT_EQ(ReplaceWholeFile(a, "the report"), fe::kOk);
  ASSERT_EQ(ReplaceWholeFile(b, Bytes(5000, '\0') + "end"), fe::kOk);
  ASSERT_TRUE(WriteFileTimes(a, kWritten, kCreated));
  s.attachments = {a, b};
  const Bytes packet =
      Compose_PassphrasePacket(s, "Call me for the passphrase", "the text", "pw 1");
  s.attachments.clear();
  const std::string path = PacketFile(packet);

  EXPECT_EQ(viewer.Open(path), "Call me for the passphrase");
  EXPECT_EQ(ui.traces.back(), "FileName:" + path);
  ui.boxes.clear();

  PacketViewer::Result r = Enter("wrong");
  EXPECT_FALSE(r.opened);
  EXPECT_TRUE(r.text.empty());
  ASSERT_EQ(ui.MessageKeys(), std::vector<std::string>{"EnDec_WrongPassphrase"});
  EXPECT_EQ(ui.boxes[0].style & mb::kIconMask, mb::kIconHand);
  EXPECT_EQ(Asked("ChooseFolder"), 0);

  ui.chosen_folders.push_back(store.Path());
  r = Enter("pw 1");
  EXPECT_TRUE(r.opened);
  EXPECT_EQ(r.text, "the text");
  EXPECT_EQ(r.date_line.rfind("Packet was encrypted at: ", 0), 0u);
  EXPECT_EQ(r.files, 2);
  EXPECT_EQ(Asked("ChooseFolder"), 1);
  Bytes got;
  ASSERT_EQ(ReadWholeFile(store.File("report.txt"), got), fe::kOk);
  EXPECT_EQ(got, "the report");
  ASSERT_EQ(ReadWholeFile(store.File("photo.bin"), got), fe::kOk);
  EXPECT_EQ(got, Bytes(5000, '\0') + "end");
  LocalTime written, created;
  ASSERT_TRUE(ReadFileTimes(store.File("report.txt"), written, created));
  EXPECT_EQ(written.year, kWritten.year);
  EXPECT_EQ(written.minute, kWritten.minute);
  EXPECT_EQ(written.second, kWritten.second);

  // A second opening asks no folder again; the existing files are asked about.
  ui.overwrite_replies.push_back({OverwriteChoice::kNo, false});
  ui.overwrite_replies.push_back({OverwriteChoice::kNo, false});
  r = Enter("", "pw 1");  // the plain box, when the masked one is empty
  EXPECT_TRUE(r.opened);
  EXPECT_EQ(Asked("ChooseFolder"), 1);
  EXPECT_EQ(ui.overwrite_requests.size(), 2u);
}

TEST_F(Viewer, TheMaskedBoxWinsOverThePlainOne) {
  const std::string path = PacketFile(Compose_PassphrasePacket(s, "", "text", "masked"));
  viewer.Open(path);
  EXPECT_FALSE(Enter("plain", "masked").opened);
  EXPECT_TRUE(Enter("masked", "plain").opened);
}

TEST_F(Viewer, APacketWithoutFilesNeverAsksForAFolder) {
  const std::string path = PacketFile(Compose_PassphrasePacket(s, "", "only text", "pw"));
  EXPECT_EQ(viewer.Open(path), "");
  const auto r = Enter("pw");
  EXPECT_TRUE(r.opened);
  EXPECT_EQ(r.text, "only text");
  EXPECT_EQ(Asked("ChooseFolder"), 0);
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(Viewer, ACancelledFolderSavesNothingAndIsAskedAgain) {
  const std::string a = dir.File("a.txt");
  ASSERT_EQ(ReplaceWholeFile(a, "A"), fe::kOk);
  s.attachments = {a};
  const std::string path = PacketFile(Compose_PassphrasePacket(s, "", "t", "pw"));
  s.attachments.clear();
  viewer.Open(path);
  EXPECT_TRUE(Enter("pw").opened);
  EXPECT_EQ(store.Count(), 0u);
  ui.chosen_folders.push_back(store.Path());
  EXPECT_TRUE(Enter("pw").opened);
  EXPECT_EQ(Asked("ChooseFolder"), 2);
  EXPECT_EQ(store.Names(), std::vector<std::string>{"a.txt"});
}

TEST_F(Viewer, StoredNamesNeverLeaveTheChosenFolder) {
  const std::filesystem::path inner = std::filesystem::path(store.Path()) / "inside";
  std::filesystem::create_directories(inner);
  Bytes list = Field(MakeDateTimeRecord(kWritten)) + Field(Compose_TextMessageRecord("hi"));
  for (const char* name : {"../escaped.txt", "..\\escaped2.txt", "/tmp/abs.txt",
                           "C:\\Windows\\evil.dll", "..", "ok.txt"}) {
    list += Field(FileRecord(name, std::string("from ") + name));
  }
  const std::string path = PacketFile(HandMadePacket("note", list, "pw"));
  EXPECT_EQ(viewer.Open(path), "note");
  ui.chosen_folders.push_back(inner.string());
  const auto r = Enter("pw");
  EXPECT_TRUE(r.opened);
  EXPECT_EQ(r.text, "hi");
  // Only bare names inside the folder; nothing beside it, ".." refused with a message.
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(inner)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"abs.txt", "escaped.txt", "escaped2.txt", "evil.dll",
                                             "ok.txt"}));
  EXPECT_EQ(store.Names(), std::vector<std::string>{"inside"});
  EXPECT_EQ(ui.MessageKeys(), std::vector<std::string>{"Error_BadFilename"});
}

TEST_F(Viewer, MissingAndDamagedPacketFilesShowTheHashMessage) {
  EXPECT_EQ(viewer.Open(dir.File("nothing here")), "");
  EXPECT_FALSE(ui.boxes.empty());
  EXPECT_FALSE(Enter("pw").opened);

  Bytes packet = Compose_PassphrasePacket(s, "note", "text", "pw");
  packet[packet.size() / 2] ^= 1;
  ui.boxes.clear();
  const std::string path = PacketFile(packet);
  EXPECT_EQ(viewer.Open(path), "");
  EXPECT_EQ(ui.MessageKeys(), std::vector<std::string>{"Endec_HashDoesNotMatch"});
  EXPECT_FALSE(Enter("pw").opened);
  // Every truncation fails cleanly too.
  const Bytes good = Compose_PassphrasePacket(s, "note", "text", "pw");
  for (size_t n = 0; n < good.size(); n += 7) {
    PacketFile(good.substr(0, n));
    EXPECT_FALSE(Enter("pw").opened) << n;
  }
}

}  // namespace
}  // namespace lq
