// Whole-file reading and replacement on the real file system, and a replacement that fails at
// every step of the way without touching the old file.
#include "base/file_io.h"

#include <gtest/gtest.h>

#include "support/file_fakes.h"

namespace lq {
namespace {

using test::FailingOps;
using test::TempDir;

TEST(FileIo, ReplaceThenReadRoundTripsAnyBytes) {
  TempDir dir;
  std::string path = dir.File("data.bin");
  std::string data;
  for (int i = 0; i < 300000; ++i) data.push_back(static_cast<char>(i * 7));
  ASSERT_EQ(ReplaceWholeFile(path, data), fe::kOk);
  std::string back;
  ASSERT_EQ(ReadWholeFile(path, back), fe::kOk);
  EXPECT_EQ(back, data);
  ASSERT_EQ(ReplaceWholeFile(path, "short"), fe::kOk);
  ASSERT_EQ(ReadWholeFile(path, back), fe::kOk);
  EXPECT_EQ(back, "short");
  ASSERT_EQ(ReplaceWholeFile(path, ""), fe::kOk);
  ASSERT_EQ(ReadWholeFile(path, back), fe::kOk);
  EXPECT_EQ(back, "");
  EXPECT_EQ(dir.Count(), 1u);  // no temporary file left behind
}

TEST(FileIo, AppendKeepsWhatWasThereAndFailsWithoutATrace) {
  TempDir dir;
  const std::string path = dir.File("tail.bin");
  std::string data(70000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 31);
  ASSERT_EQ(ReplaceWholeFile(path, data), fe::kOk);
  std::string list = "head";
  list.reserve(4 + data.size());
  const char* at = list.data();
  ASSERT_EQ(AppendWholeFile(RealFileOps(), path, list), fe::kOk);
  EXPECT_EQ(list, "head" + data);
  EXPECT_EQ(list.data(), at);  // read into the room the caller made
  EXPECT_EQ(AppendWholeFile(RealFileOps(), dir.File("none"), list), fe::kFileNotFound);
  EXPECT_EQ(list, "head" + data);
}

TEST(FileIo, MissingFileAndMissingFolderAreTold) {
  TempDir dir;
  std::string contents = "stale";
  EXPECT_EQ(ReadWholeFile(dir.File("nope.txt"), contents), fe::kFileNotFound);
  EXPECT_EQ(contents, "");
  EXPECT_EQ(ReadWholeFile(dir.File("no-such-dir/nope.txt"), contents), fe::kPathNotFound);
  EXPECT_EQ(ReplaceWholeFile(dir.File("no-such-dir/out.txt"), "x"), fe::kPathNotFound);
  EXPECT_EQ(ReplaceWholeFile("", "x"), fe::kBadFileName);
}

TEST(FileIo, ReadingAFolderIsAnAccessError) {
  TempDir dir;
  std::string contents;
  int err = ReadWholeFile(dir.File(""), contents);
  EXPECT_TRUE(err == fe::kPathFileAccessError || err == fe::kPermissionDenied) << err;
}

TEST(FileIo, AFailureAtAnyStepKeepsTheOldFile) {
  TempDir dir;
  std::string path = dir.File("Keyfile.lqk");
  const std::string old_data = "old contents that must survive";
  std::string new_data(3 << 20, 'n');  // several write chunks
  bool succeeded = false;
  for (int budget = 0; budget < 20 && !succeeded; ++budget) {
    ASSERT_EQ(ReplaceWholeFile(path, old_data), fe::kOk);
    FailingOps ops(budget);
    int err = ReplaceWholeFile(ops, path, new_data);
    std::string back;
    ASSERT_EQ(ReadWholeFile(path, back), fe::kOk);
    if (err == fe::kOk) {
      EXPECT_FALSE(ops.Exhausted());
      EXPECT_EQ(back, new_data);
      succeeded = true;
    } else {
      EXPECT_EQ(back, old_data) << "budget " << budget;
    }
    EXPECT_EQ(dir.Count(), 1u) << "temporary file left at budget " << budget;
  }
  EXPECT_TRUE(succeeded);
}

TEST(FileIo, TemporaryNameInUseIsSkipped) {
  TempDir dir;
  std::string path = dir.File("out.txt");
  ASSERT_EQ(ReplaceWholeFile(path + ".~0.tmp", "someone else's"), fe::kOk);
  ASSERT_EQ(ReplaceWholeFile(path, "mine"), fe::kOk);
  std::string back;
  ASSERT_EQ(ReadWholeFile(path + ".~0.tmp", back), fe::kOk);
  EXPECT_EQ(back, "someone else's");
  ASSERT_EQ(ReadWholeFile(path, back), fe::kOk);
  EXPECT_EQ(back, "mine");
}

}  // namespace
}  // namespace lq
