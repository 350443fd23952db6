// FileLock between two holders (as two programs would hold it), the bounded wait, and the file
// helpers behind safe shared saves: leftover temporaries, link resolution and file stamps.
#include "base/file_lock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "base/file_io.h"
#include "support/file_fakes.h"

namespace lq::test {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

TEST(FileLock, SharedLocksMixButExclusiveExcludes) {
  TempDir dir;
  const std::string path = dir.File("k.lqk.lock");
  FileLock a, b, c;
  int err = -1;
  ASSERT_EQ(a.Acquire(path, LockKind::kShared, 0, err), LockResult::kLocked);
  EXPECT_EQ(err, 0);
  EXPECT_TRUE(fs::exists(path)) << "the lock file is made when missing";
  EXPECT_EQ(b.Acquire(path, LockKind::kShared, 0, err), LockResult::kLocked);
  EXPECT_EQ(c.Acquire(path, LockKind::kExclusive, 0, err), LockResult::kBusy);
  EXPECT_FALSE(c.Held());
  a.Release();
  EXPECT_EQ(c.Acquire(path, LockKind::kExclusive, 0, err), LockResult::kBusy) << "b still reads";
  b.Release();
  ASSERT_EQ(c.Acquire(path, LockKind::kExclusive, 0, err), LockResult::kLocked);
  EXPECT_EQ(a.Acquire(path, LockKind::kShared, 0, err), LockResult::kBusy);
  EXPECT_EQ(a.Acquire(path, LockKind::kExclusive, 0, err), LockResult::kBusy);
}

TEST(FileLock, ABusyLockIsWaitedForUpToTheBound) {
  TempDir dir;
  const std::string path = dir.File("k.lqk.lock");
  int err = 0;
  {
    FileLock holder, waiter;
    ASSERT_EQ(holder.Acquire(path, LockKind::kExclusive, 0, err), LockResult::kLocked);
    const auto start = steady_clock::now();
    EXPECT_EQ(waiter.Acquire(path, LockKind::kExclusive, 300, err), LockResult::kBusy);
    EXPECT_GE(steady_clock::now() - start, milliseconds(300));
  }
  // Released while the other one waits: the waiter gets it.
  FileLock holder, waiter;
  ASSERT_EQ(holder.Acquire(path, LockKind::kExclusive, 0, err), LockResult::kLocked);
  std::thread release([&] {
    std::this_thread::sleep_for(milliseconds(100));
    holder.Release();
  });
  EXPECT_EQ(waiter.Acquire(path, LockKind::kExclusive, 5000, err), LockResult::kLocked);
  release.join();
}

TEST(FileLock, ALockInAMissingFolderIsAFileError) {
  TempDir dir;
  FileLock lock;
  int err = 0;
  EXPECT_EQ(lock.Acquire(dir.File("no/such/folder/k.lock"), LockKind::kShared, 0, err),
            LockResult::kError);
  EXPECT_EQ(err, fe::kPathNotFound);
  EXPECT_FALSE(lock.Held());
}

TEST(FileHelpers, OnlyOldLeftoversOfOurOwnPatternAreRemoved) {
  TempDir dir;
  const std::string path = dir.File("k.lqk");
  ASSERT_EQ(ReplaceWholeFile(path, "keyfile"), fe::kOk);
  const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(10);
  for (const char* name : {"k.lqk.~0.tmp", "k.lqk.~7.tmp", "k.lqk.~x.tmp", "other.~0.tmp"}) {
    ASSERT_EQ(ReplaceWholeFile(dir.File(name), "left over"), fe::kOk);
    fs::last_write_time(dir.File(name), old);
  }
  ASSERT_EQ(ReplaceWholeFile(dir.File("k.lqk.~3.tmp"), "a save running now"), fe::kOk);
  EXPECT_EQ(RemoveLeftoverTemporaries(path, std::chrono::seconds(300)), 2);
  std::vector<std::string> names = dir.Names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names,
            (std::vector<std::string>{"k.lqk", "k.lqk.~3.tmp", "k.lqk.~x.tmp", "other.~0.tmp"}));
}

TEST(FileHelpers, StampsTellMissingGrownAndRewrittenFilesApart) {
  TempDir dir;
  const std::string path = dir.File("k.lqk");
  FileStamp missing, first, second;
  ASSERT_EQ(ReadFileStamp(path, missing), fe::kOk);
  EXPECT_FALSE(missing.exists);
  ASSERT_EQ(ReplaceWholeFile(path, "one"), fe::kOk);
  ASSERT_EQ(ReadFileStamp(path, first), fe::kOk);
  EXPECT_TRUE(first.exists);
  EXPECT_EQ(first.size, 3u);
  ASSERT_EQ(ReplaceWholeFile(path, "two!"), fe::kOk);
  ASSERT_EQ(ReadFileStamp(path, second), fe::kOk);
  EXPECT_NE(first, second);
  EXPECT_EQ(ReadFileStamp(dir.Path(), second), fe::kPathFileAccessError) << "a folder";
}

#ifndef _WIN32
TEST(FileHelpers, LinksAreFollowedToTheRealFile) {
  TempDir dir;
  fs::create_directories(dir.File("real"));
  const std::string real = dir.File("real/k.lqk");
  ASSERT_EQ(ReplaceWholeFile(real, "keyfile"), fe::kOk);
  fs::create_symlink("real/k.lqk", dir.File("near.lqk"));
  fs::create_symlink(dir.File("near.lqk"), dir.File("far.lqk"));
  EXPECT_EQ(fs::path(ResolveFileLinks(dir.File("near.lqk"))), fs::path(real));
  EXPECT_EQ(fs::path(ResolveFileLinks(dir.File("far.lqk"))), fs::path(real));
  EXPECT_EQ(ResolveFileLinks(real), real);
  EXPECT_EQ(ResolveFileLinks(dir.File("none.lqk")), dir.File("none.lqk"));
  // A link to a file not made yet still names where it will be.
  fs::create_symlink("real/later.lqk", dir.File("later.lqk"));
  EXPECT_EQ(fs::path(ResolveFileLinks(dir.File("later.lqk"))),
            fs::path(dir.File("real/later.lqk")));
  // A loop ends without hanging.
  fs::create_symlink("loop2", dir.File("loop1"));
  fs::create_symlink("loop1", dir.File("loop2"));
  (void)ResolveFileLinks(dir.File("loop1"));
}
#endif

}  // namespace
}  // namespace lq::test
