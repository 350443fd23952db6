// Whole-file reading and replacement on the real file system, and a replacement that fails at
// every step of the way without touching the old file.
#include "base/file_io.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>

namespace lq {
namespace {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    path_ = fs::temp_directory_path() / ("lq-test-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  size_t Count() const {
    size_t n = 0;
    for (auto& e : fs::directory_iterator(path_)) n += e.is_regular_file() ? 1 : 0;
    return n;
  }

 private:
  fs::path path_;
};

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

// Passes every call through to the real files until its budget runs out, then fails.
class FailingOps : public FileOps {
 public:
  explicit FailingOps(int budget) : budget_(budget) {}
  int ReadAll(const std::string& p, std::string& c) override { return RealFileOps().ReadAll(p, c); }
  int CreateExclusive(const std::string& p, FileHandle& h) override {
    return Spend() ? RealFileOps().CreateExclusive(p, h) : fe::kDiskFull;
  }
  int Write(FileHandle h, std::string_view d) override {
    if (!Spend()) {
      // A partial write before the failure, as a full disk does.
      RealFileOps().Write(h, d.substr(0, d.size() / 2));
      return fe::kDiskFull;
    }
    return RealFileOps().Write(h, d);
  }
  int Flush(FileHandle h) override { return Spend() ? RealFileOps().Flush(h) : fe::kDeviceIoError; }
  int Close(FileHandle h) override {
    int err = RealFileOps().Close(h);  // the handle is released either way
    return Spend() ? err : fe::kDeviceIoError;
  }
  int Rename(const std::string& a, const std::string& b) override {
    return Spend() ? RealFileOps().Rename(a, b) : fe::kPermissionDenied;
  }
  int Remove(const std::string& p) override { return RealFileOps().Remove(p); }
  bool Exists(const std::string& p) override { return RealFileOps().Exists(p); }
  bool exhausted() const { return budget_ < 0; }

 private:
  bool Spend() { return budget_-- > 0; }
  int budget_;
};

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
      EXPECT_FALSE(ops.exhausted());
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
