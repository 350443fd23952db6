// One keyfile used by several programs at once: the lock around saves, the check that the file
// on disk is still the one loaded, saves through symbolic links, leftovers of crashed saves and
// the permissions of the written file.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "base/file_lock.h"
#include "keys/keyfile.h"
#include "keys_fixture.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace lq::test {
namespace {

namespace fs = std::filesystem;

constexpr char kPass[] = "shared words";

// Two programs that opened the same keyfile.
struct TwoPrograms {
  TempDir dir;
  std::string path = dir.File("shared.lqk");
  Session first, second;
  TwoPrograms() {
    Session maker;
    maker.Create(path, kPass);
    maker.AddKey("original");
    EXPECT_EQ(SaveKeyfile(maker.kf, path), kKeyfileSaved);
    EXPECT_EQ(first.Open(path, kPass), kKeyfileOpened);
    EXPECT_EQ(second.Open(path, kPass), kKeyfileOpened);
  }
  std::vector<std::string> NamesOnDisk() {
    Session check;
    EXPECT_EQ(check.Open(path, kPass), kKeyfileOpened);
    return check.SortedKeyNames();
  }
};

TEST(KeyfileSharing, ASaveOverAnotherProgramsSaveIsRefusedWithItsOwnResult) {
  TwoPrograms p;
  p.second.AddKey("from second");
  ASSERT_EQ(SaveKeyfile(p.second.kf, p.path), kKeyfileSaved);
  const std::string after_second = ReadFile(p.path);

  p.first.AddKey("from first");
  EXPECT_TRUE(KeyfileChangedOnDisk(p.first.kf));
  p.first.ui.boxes.clear();
  EXPECT_EQ(SaveKeyfile(p.first.kf, p.path), kKeyfileChangedOnDisk);
  EXPECT_TRUE(p.first.ui.boxes.empty()) << "the caller decides what to show";
  EXPECT_EQ(ReadFile(p.path), after_second) << "the other program's save is kept";
  EXPECT_TRUE(p.first.kf.modified) << "the changes made here are still unsaved";
  EXPECT_EQ(p.NamesOnDisk(), (std::vector<std::string>{"from second", "original"}));

  // The desktop program's "replace it anyway".
  EXPECT_EQ(SaveKeyfile(p.first.kf, p.path, SaveCheck::kReplaceChanged), kKeyfileSaved);
  EXPECT_EQ(p.NamesOnDisk(), (std::vector<std::string>{"from first", "original"}));
  EXPECT_FALSE(KeyfileChangedOnDisk(p.first.kf));
  // Now the second program holds the stale copy.
  p.second.AddKey("again");
  EXPECT_EQ(SaveKeyfile(p.second.kf, p.path), kKeyfileChangedOnDisk);
}

TEST(KeyfileSharing, OwnSavesFollowEachOtherAndBackupsAreNotChecked) {
  TwoPrograms p;
  p.first.AddKey("a");
  ASSERT_EQ(SaveKeyfile(p.first.kf, p.path), kKeyfileSaved);
  p.first.AddKey("b");
  ASSERT_EQ(SaveKeyfile(p.first.kf, p.path), kKeyfileSaved) << "its own save is what it knows";
  EXPECT_EQ(p.NamesOnDisk(), (std::vector<std::string>{"a", "b", "original"}));
  // The stale second program may still write a backup elsewhere.
  const std::string backup = p.dir.File("backup.lqk");
  ASSERT_EQ(ReplaceWholeFile(backup, "an older backup"), fe::kOk);
  EXPECT_EQ(BackupKeyfile(p.second.kf, backup), 0);
  EXPECT_NE(ReadFile(backup), "an older backup");
  // But closing it (which saves) reports the change and keeps it open.
  p.second.AddKey("unsaved");
  p.second.ui.boxes.clear();
  EXPECT_EQ(CloseKeyfile(p.second.kf), 1);
  EXPECT_TRUE(p.second.kf.open);
  ASSERT_EQ(p.second.ui.boxes.size(), 1u);
  EXPECT_EQ(p.second.ui.boxes[0].text, KeyfileChangedText(p.path));
  EXPECT_NE(p.second.ui.boxes[0].text.find("changed by another program"), std::string::npos);
}

TEST(KeyfileSharing, ARewriteWithTheSameStampIsFoundByItsDigest) {
  TwoPrograms p;
  std::string bytes = ReadFile(p.path);
  const auto stamp = fs::last_write_time(p.path);
  bytes[bytes.size() - 1] ^= 1;  // same size
  WriteFile(p.path, bytes);
  fs::last_write_time(p.path, stamp);
  p.first.AddKey("x");
  EXPECT_EQ(SaveKeyfile(p.first.kf, p.path), kKeyfileChangedOnDisk);
  EXPECT_EQ(ReadFile(p.path), bytes);
}

TEST(KeyfileSharing, ADeletedOrNewlyMadeFileCountsAsChanged) {
  TwoPrograms p;
  fs::remove(p.path);
  p.first.AddKey("x");
  EXPECT_EQ(SaveKeyfile(p.first.kf, p.path), kKeyfileChangedOnDisk);
  EXPECT_FALSE(fs::exists(p.path));
  // A keyfile being made finds that another program made it meanwhile.
  Session maker;
  const std::string made = p.dir.File("made.lqk");
  maker.kf.prompt = "new";
  ChangePassphraseReply reply;
  reply.new_text = reply.retyped = "p";
  maker.ui.change_replies.push_back(reply);
  // The other program's file appears while the random generator is set up (the wait screen).
  maker.ui.on_wait_screen = [&] { ASSERT_EQ(ReplaceWholeFile(made, "theirs"), fe::kOk); };
  CreateNewKeyfile(maker.kf, made);
  EXPECT_EQ(ReadFile(made), "theirs");
  ASSERT_FALSE(maker.ui.boxes.empty());
  EXPECT_EQ(maker.ui.boxes.back().text, KeyfileChangedText(made));
}

TEST(KeyfileSharing, ASaveWaitsForTheLockAndGivesUpWhenItStaysTaken) {
  TwoPrograms p;
  FileLock other;
  int err = 0;
  ASSERT_EQ(other.Acquire(KeyfileLockPath(p.path), LockKind::kExclusive, 0, err),
            LockResult::kLocked);
  const std::string before = ReadFile(p.path);
  p.first.kf.lock_wait_ms = 200;
  p.second.kf.lock_wait_ms = 200;
  p.first.AddKey("x");
  p.first.ui.boxes.clear();
  EXPECT_EQ(SaveKeyfile(p.first.kf, p.path), kKeyfileSaveFailed);
  ASSERT_EQ(p.first.ui.boxes.size(), 1u);
  EXPECT_EQ(p.first.ui.boxes[0].text, KeyfileBusyText(p.path));
  EXPECT_EQ(ReadFile(p.path), before);
  // LockKeyfile says the same; a shared lock of a reader also keeps writers out.
  EXPECT_EQ(LockKeyfile(p.second.kf, p.path, LockKind::kShared), kKeyfileLockBusy);
  other.Release();
  ASSERT_EQ(LockKeyfile(p.second.kf, p.path, LockKind::kShared), kKeyfileLockHeld);
  EXPECT_EQ(SaveKeyfile(p.first.kf, p.path), kKeyfileSaveFailed);
  UnlockKeyfile(p.second.kf);
  EXPECT_EQ(SaveKeyfile(p.first.kf, p.path), kKeyfileSaved);
  // A program that holds the exclusive lock for its whole change saves under it.
  ASSERT_EQ(LockKeyfile(p.first.kf, p.path, LockKind::kExclusive), kKeyfileLockHeld);
  p.first.AddKey("y");
  EXPECT_EQ(SaveKeyfile(p.first.kf, p.path), kKeyfileSaved);
  EXPECT_EQ(LockKeyfile(p.second.kf, p.path, LockKind::kShared), kKeyfileLockBusy);
  // A shared lock of the saving program itself does not block its own save.
  UnlockKeyfile(p.first.kf);
  ASSERT_EQ(LockKeyfile(p.first.kf, p.path, LockKind::kShared), kKeyfileLockHeld);
  p.first.AddKey("z");
  EXPECT_EQ(SaveKeyfile(p.first.kf, p.path), kKeyfileSaved);
}

TEST(KeyfileSharing, OldLeftoversOfCrashedSavesGoAtTheNextSave) {
  TwoPrograms p;
  const std::string old_temp = p.path + ".~0.tmp", young_temp = p.path + ".~1.tmp";
  WriteFile(old_temp, "crashed save");
  WriteFile(young_temp, "save in progress");
  fs::last_write_time(old_temp, fs::file_time_type::clock::now() - std::chrono::minutes(6));
  p.first.AddKey("x");
  ASSERT_EQ(SaveKeyfile(p.first.kf, p.path), kKeyfileSaved);
  EXPECT_FALSE(fs::exists(old_temp));
  EXPECT_TRUE(fs::exists(young_temp));
}

#ifndef _WIN32
TEST(KeyfileSharing, ASaveThroughALinkReplacesTheRealFileInItsFolder) {
  TempDir dir;
  fs::create_directories(dir.File("vault"));
  const std::string real = dir.File("vault/keys.lqk"), link = dir.File("keys.lqk");
  {
    Session maker;
    maker.Create(real, kPass);
  }
  fs::create_symlink("vault/keys.lqk", link);
  Session s;
  ASSERT_EQ(s.Open(link, kPass), kKeyfileOpened);
  s.AddKey("through the link");
  ASSERT_EQ(SaveKeyfile(s.kf, link), kKeyfileSaved);
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
  EXPECT_TRUE(fs::exists(real + ".lock")) << "the lock is beside the real file";
  for (const std::string& name : dir.Names()) {
    EXPECT_TRUE(name == "vault" || name == "keys.lqk") << name;
  }
  Session check;
  ASSERT_EQ(check.Open(real, kPass), kKeyfileOpened);
  EXPECT_EQ(check.KeyNames(), std::vector<std::string>{"through the link"});
}

TEST(KeyfileSharing, TheWrittenFileKeepsItsPermissionsAndANewOneIsPrivate) {
  TempDir dir;
  const std::string path = dir.File("k.lqk");
  Session s;
  s.Create(path, kPass);
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  s.AddKey("x");
  ASSERT_EQ(SaveKeyfile(s.kf, path), kKeyfileSaved);
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  ASSERT_EQ(stat((path + ".lock").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0077, 0u) << "the lock file is private too";
}
#endif

}  // namespace
}  // namespace lq::test

namespace lq::test {
namespace {

TEST(KeyfileSharing, AReaderGoesOnWithoutALockFileThatCannotBeMade) {
  TempDir dir;
  Session s;
  const std::string name = dir.File("missing-folder/k.lqk");
  EXPECT_EQ(LockKeyfile(s.kf, name, LockKind::kShared), kKeyfileLockHeld);
  EXPECT_FALSE(s.kf.lock.Held());
  EXPECT_TRUE(s.ui.boxes.empty());
  EXPECT_EQ(LockKeyfile(s.kf, name, LockKind::kExclusive), kKeyfileLockFailed);
  EXPECT_FALSE(s.ui.boxes.empty()) << "a writer says why it cannot lock";
}

}  // namespace
}  // namespace lq::test
