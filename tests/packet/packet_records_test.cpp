// Packet records: compression choices, damaged layers, saving included files (hostile names,
// the overwrite answers, replacement through a temporary file, the restored times).
#include "packet/packet_records.h"

#include <gtest/gtest.h>

#include <random>

#include "crypto/lz78.h"
#include "crypto/sha256.h"
#include "packet_fixture.h"

namespace lq::test {
namespace {

class PacketRecords : public PacketTest {
 protected:
  // A file record as a sender would make it, with any stored name.
  Bytes FileRecord(const std::string& name, const std::string& contents) {
    return "101001" + Field(name) + Field(MakeDateTimeRecord({2004, 3, 7, 12, 34, 56})) +
           Field(MakeDateTimeRecord({2003, 1, 1, 0, 0, 1})) + Field(contents);
  }
};

TEST_F(PacketRecords, CompressionChoices) {
  const std::string text(4000, 'a');
  const auto f = Fields(Compose_CompressedRecord(*ps, text));
  EXPECT_EQ(f[0], "LZ78");
  EXPECT_LT(f[1].size(), text.size());
  EXPECT_EQ(Decompose_CompressedRecord(*ps, "102001" + Field(f[0]) + Field(f[1])), text);
  // Random-looking data grows under LZ78 and is stored as it is.
  Bytes noise;
  for (int i = 0; i < 64; ++i) noise += SHA256_Hash(std::to_string(i));
  EXPECT_EQ(Fields(Compose_CompressedRecord(*ps, noise))[0], "None");
  EXPECT_EQ(CountLog("Data could not be compressed..."), 1);
  ps->never_compress = true;
  EXPECT_EQ(Fields(Compose_CompressedRecord(*ps, text))[0], "None");
  EXPECT_EQ(CountLog("Data must not be compressed"), 1);
  EXPECT_TRUE(s.ui.boxes.empty());
}

TEST_F(PacketRecords, CompressionKeptUpToTheInputsLengthExactly) {
  // Prefixes of growing length cross from streams longer than the data to shorter ones: one
  // exactly as long is kept as LZ78, one a byte longer is stored as it is.
  std::mt19937 rng(3);
  std::string source;
  while (source.size() < 4000) source += rng() % 3 ? "ab" : std::string(1, char('c' + rng() % 20));
  bool tie = false, over = false;
  for (size_t n = 1; n < source.size() && !(tie && over); ++n) {
    const std::string data = source.substr(0, n);
    Bytes z;
    ASSERT_EQ(LZ78_Compress(data, z), kLz78Ok);
    if (z.size() != n && z.size() != n + 1) continue;
    const auto f = Fields(Compose_CompressedRecord(*ps, data));
    if (z.size() == n) {
      tie = true;
      EXPECT_EQ(f[0], "LZ78") << n;
      EXPECT_EQ(f[1], z);
    } else {
      over = true;
      EXPECT_EQ(f[0], "None") << n;
      EXPECT_EQ(f[1], data);
    }
  }
  EXPECT_TRUE(tie && over);
}

TEST_F(PacketRecords, DamagedOrUnknownCompressionIsReported) {
  const Bytes good = Compose_CompressedRecord(*ps, std::string(3000, 'q') + "end");
  auto f = Fields(good);
  ASSERT_EQ(f[0], "LZ78");
  Bytes z = f[1];
  z[z.size() / 2] ^= 0x55;
  z[z.size() / 2 + 1] ^= 0x55;
  EXPECT_EQ(Decompose_CompressedRecord(*ps, "102001" + Field("LZ78") + Field(z)), "");
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"Endec_HMACDoesNotMatch"});
  EXPECT_NE(s.ui.LastBox().text.find("This packet is damaged!"), std::string::npos);
  Forget();
  EXPECT_EQ(Decompose_CompressedRecord(*ps, good.substr(0, good.size() - 7)), "");
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"Endec_HMACDoesNotMatch"});
  Forget();
  EXPECT_EQ(Decompose_CompressedRecord(*ps, "102001" + Field("ZIP") + Field("x")), "");
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"EnDec_WrongCompressionAlgo"});
  EXPECT_NE(s.ui.LastBox().text.find("ZIP"), std::string::npos);
}

TEST_F(PacketRecords, HashAndHmacRecords) {
  const Bytes h = Compose_HashRecord(*ps, "");
  EXPECT_EQ(h, "108001" + Field(SHA256_Hash("")) + Field(""));
  EXPECT_EQ(Decompose_HashRecord(*ps, Compose_HashRecord(*ps, "data")), "data");
  const Bytes m = Compose_HMACrecord("key", "data");
  EXPECT_EQ(Decompose_HMACrecord(*ps, "key", m), "data");
  EXPECT_TRUE(s.ui.boxes.empty());
  EXPECT_EQ(Decompose_HMACrecord(*ps, "kex", m), "");
  EXPECT_EQ(s.ui.LastBox().key, "Endec_HMACDoesNotMatch");
  // A digest field of the wrong length never matches, however the data looks.
  EXPECT_EQ(Decompose_HashRecord(*ps, "108001" + Field("") + Field("")), "");
  EXPECT_EQ(s.ui.LastBox().key, "Endec_HashDoesNotMatch");
  EXPECT_EQ(Decompose_HashRecord(*ps, "107001" + Field("") + Field("")), "");
  EXPECT_EQ(s.ui.LastBox().key, "EnDec_WrongRecordType");
}

TEST_F(PacketRecords, FileRecordRoundTripKeepsNameContentsAndTime) {
  const std::string path = Input("notes.txt", "file body");
  const Bytes r = Compose_PlainTextFileRecord(*ps, path);
  const auto f = Fields(r);
  ASSERT_EQ(f.size(), 4u);
  EXPECT_EQ(f[0], "notes.txt");
  EXPECT_EQ(f[3], "file body");
  EXPECT_EQ(CountLog("Including file: " + path), 1);
  EXPECT_EQ(Decompose_PlainTextFileRecord(*ps, FileRecord("old.txt", "old")), 0);
  EXPECT_EQ(ReadFile(Stored("old.txt")), "old");
  LocalTime written, created;
  ASSERT_TRUE(ReadFileTimes(Stored("old.txt"), written, created));
  EXPECT_EQ(MakeDateTimeRecord(written), MakeDateTimeRecord({2004, 3, 7, 12, 34, 56}));
  // The creation time is set too on Windows, but Wine on Linux file systems keeps none that can
  // be set, so only the last-write time is checked here.
  EXPECT_EQ(CountLog("-- File was saved as:" + Stored("old.txt")), 1);
  Forget();
  EXPECT_TRUE(Compose_PlainTextFileRecord(*ps, in.File("gone.txt")).empty());
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"Error_FileNotFound"});
  EXPECT_EQ(CountLog("File not found: " + in.File("gone.txt")), 1);
}

TEST_F(PacketRecords, HostileStoredNamesStayInsideTheStoreFolder) {
  const std::string hostile[] = {"..\\..\\x",
                                 "C:\\Windows\\x",
                                 "/etc/x",
                                 "a/../../b",
                                 "CON",
                                 "name.",
                                 "",
                                 std::string(300, 'L') + ".txt",
                                 "file:stream",
                                 "..",
                                 "sub/"};
  for (const auto& name : hostile) {
    Forget();
    Decompose_PlainTextFileRecord(*ps, FileRecord(name, "evil"));
    const std::string safe = SafeStoreName(name);
    if (safe.empty()) {
      EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"Error_BadFilename"}) << name;
    } else {
      EXPECT_TRUE(s.ui.boxes.empty()) << name;
      EXPECT_EQ(ReadFile(Stored(safe)), "evil") << name;
    }
  }
  std::vector<std::string> expected = {"store",
                                       "store/_CON",
                                       "store/b",
                                       "store/name",
                                       "store/stream",
                                       "store/x",
                                       "store/" + std::string(196, 'L') + ".txt"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(AllOutputEntries(), expected);
}

// The cut to 200 bytes can bring back what the checks before it removed: trailing blanks and
// dots, a device name, a name over the limit once the device prefix is added.
TEST(SafeStoreNameTest, CheckedAgainAfterTheCut) {
  EXPECT_EQ(SafeStoreName("CON" + std::string(300, ' ') + "x"), "_CON");
  const std::string dotted = SafeStoreName("nul" + std::string(300, '.') + "x");
  EXPECT_EQ(dotted.substr(0, 5), "_nul.");  // a device name with an extension
  EXPECT_EQ(dotted.substr(dotted.size() - 2), ".x");
  EXPECT_LE(dotted.size(), 200u);
  EXPECT_EQ(SafeStoreName("name" + std::string(300, ' ') + "x.txt"),
            "name" + std::string(192, ' ') + ".txt");
  // A device prefix that makes the name 201 bytes long is cut again.
  const std::string safe = SafeStoreName("CON" + std::string(196, ' ') + ".txt");
  EXPECT_EQ(safe, "_CON" + std::string(192, ' ') + ".txt");
  std::mt19937 rng(7);
  const char alphabet[] = "aC ON.x:/\\\x01";
  for (int i = 0; i < 2000; ++i) {
    std::string name;
    const int len = static_cast<int>(rng() % 400);
    for (int j = 0; j < len; ++j) name += alphabet[rng() % (sizeof alphabet - 1)];
    const std::string out = SafeStoreName(name);
    EXPECT_LE(out.size(), 200u) << name;
    EXPECT_EQ(SafeStoreName(out), out) << name;  // nothing left for a second pass to change
    if (!out.empty()) {
      EXPECT_NE(out.back(), ' ');
      EXPECT_NE(out.back(), '.');
      EXPECT_EQ(out.find_first_of("/\\:"), std::string::npos) << out;
    }
  }
}

TEST_F(PacketRecords, OverwriteAnswersAndReplacementKeepTheOldFileUntilTheNewIsWritten) {
  WriteFile(Stored("f.txt"), "old");
  s.ui.overwrite_replies.push_back({OverwriteChoice::kNo, false});
  EXPECT_EQ(Decompose_PlainTextFileRecord(*ps, FileRecord("f.txt", "new")), 1);
  EXPECT_EQ(ReadFile(Stored("f.txt")), "old");
  EXPECT_EQ(CountLog("-- File was not saved"), 1);
  // Yes with the box checked: a notice, one overwrite, and the next file is asked about again.
  s.ui.overwrite_replies.push_back({OverwriteChoice::kYes, true});
  EXPECT_EQ(Decompose_PlainTextFileRecord(*ps, FileRecord("f.txt", "new")), 0);
  EXPECT_EQ(ReadFile(Stored("f.txt")), "new");
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"Overwrite_RememberSelection"});
  EXPECT_EQ(StoredNames(), std::vector<std::string>{"f.txt"});  // no temporary file left
  // Yes to all without remembering: holds for this action only.
  s.ui.overwrite_replies.push_back({OverwriteChoice::kYesToAll, false});
  Decompose_PlainTextFileRecord(*ps, FileRecord("f.txt", "v3"));
  Decompose_PlainTextFileRecord(*ps, FileRecord("f.txt", "v4"));
  EXPECT_EQ(ReadFile(Stored("f.txt")), "v4");
  ClearOverwriteAnswer(*ps);
  s.ui.overwrite_replies.push_back({OverwriteChoice::kNoToAll, true});
  Decompose_PlainTextFileRecord(*ps, FileRecord("f.txt", "v5"));
  ClearOverwriteAnswer(*ps);  // remembered: survives the next action's start
  Decompose_PlainTextFileRecord(*ps, FileRecord("f.txt", "v6"));
  EXPECT_EQ(ReadFile(Stored("f.txt")), "v4");
  int asked = 0;
  for (const auto& c : s.ui.calls) asked += c.what == "ConfirmOverwrite";
  EXPECT_EQ(asked, 4);
}

// A file layer that fails the rename: the old file stays and the failure is shown.
TEST_F(PacketRecords, FailedReplacementLeavesTheOldFile) {
  WriteFile(Stored("keep.txt"), "precious");
  FailingOps failing(2);  // create and write succeed, the flush fails
  Keyfile kf2(s.ui, s.random, failing);
  PacketSession p2(s.ui, s.random, kf2);
  p2.store_folder = ps->store_folder;
  s.ui.overwrite_replies.push_back({OverwriteChoice::kYes, false});
  EXPECT_EQ(Decompose_PlainTextFileRecord(p2, FileRecord("keep.txt", "replacement")), 0);
  EXPECT_EQ(ReadFile(Stored("keep.txt")), "precious");
  EXPECT_EQ(s.ui.LastBox().key, "Error_DeviceIOError");
  EXPECT_EQ(StoredNames(), std::vector<std::string>{"keep.txt"});
}

// The overwrite question carries the new file's name, size and written time for the dialog's
// "With file:" line.
TEST_F(PacketRecords, OverwriteQuestionCarriesTheNewFilesSizeAndTime) {
  WriteFile(Stored("report.txt"), "old contents");
  s.ui.overwrite_replies.push_back({OverwriteChoice::kNo, false});
  EXPECT_EQ(Decompose_PlainTextFileRecord(*ps, FileRecord("sub/report.txt", "twelve bytes")), 1);
  ASSERT_EQ(s.ui.overwrite_requests.size(), 1u);
  const OverwriteRequest& r = s.ui.overwrite_requests[0];
  EXPECT_EQ(r.existing_file, Stored("report.txt"));
  EXPECT_EQ(r.new_file, "report.txt");
  EXPECT_EQ(r.new_size, 12u);
  EXPECT_EQ(r.new_written.year, 2004);
  EXPECT_EQ(r.new_written.month, 3);
  EXPECT_EQ(r.new_written.day, 7);
  EXPECT_EQ(r.new_written.hour, 12);
  EXPECT_EQ(r.new_written.minute, 34);
  EXPECT_EQ(r.new_written.second, 56);
  EXPECT_EQ(ReadFile(Stored("report.txt")), "old contents");
}

}  // namespace
}  // namespace lq::test
