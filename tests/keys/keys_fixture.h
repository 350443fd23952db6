// Shared pieces of the keyfile tests: a temporary folder, a session (Ui, random state, files,
// keyfile) that can be made afresh to reopen a file as a new program run would, and a file
// layer that fails after a number of operations.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "keys/key_records.h"
#include "keys/keyfile.h"
#include "support/recording_ui.h"

namespace lq::test {

class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("lq-keys-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  std::string Path() const { return path_.string(); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(path_)) {
      names.push_back(e.path().filename().string());
    }
    return names;
  }

 private:
  std::filesystem::path path_;
};

// Passes every call to the real files until its budget is spent, then fails: a full disk, a
// failing flush or close, a refused rename.
class FailingOps : public FileOps {
 public:
  explicit FailingOps(int budget) : budget_(budget) {}
  int ReadAll(const std::string& p, std::string& c) override { return RealFileOps().ReadAll(p, c); }
  int CreateExclusive(const std::string& p, FileHandle& h) override {
    return Spend() ? RealFileOps().CreateExclusive(p, h) : fe::kDiskFull;
  }
  int Write(FileHandle h, std::string_view d) override {
    if (!Spend()) {
      RealFileOps().Write(h, d.substr(0, d.size() / 2));  // a partial write, as a full disk does
      return fe::kDiskFull;
    }
    return RealFileOps().Write(h, d);
  }
  int Flush(FileHandle h) override { return Spend() ? RealFileOps().Flush(h) : fe::kDeviceIoError; }
  int Close(FileHandle h) override {
    const int err = RealFileOps().Close(h);
    return Spend() ? err : fe::kDeviceIoError;
  }
  int Rename(const std::string& a, const std::string& b) override {
    return Spend() ? RealFileOps().Rename(a, b) : fe::kPermissionDenied;
  }
  int Remove(const std::string& p) override { return RealFileOps().Remove(p); }
  bool Exists(const std::string& p) override { return RealFileOps().Exists(p); }
  bool Exhausted() const { return budget_ < 0; }

 private:
  bool Spend() { return budget_-- > 0; }
  int budget_;
};

// One program run: its own Ui, random state and keyfile state.
struct Session {
  explicit Session(FileOps& files = RealFileOps()) : kf(ui, random, files) {
    kf.hooks.clock = [this] { return today; };
  }
  RecordingUi ui;
  RandomContext random;
  Keyfile kf;
  LocalTime today{2005, 1, 2, 9, 5, 7};

  // Creates and opens a keyfile with `passphrase`.
  void Create(const std::string& path, const std::string& passphrase) {
    kf.prompt = "new";
    ChangePassphraseReply reply;
    reply.new_text = passphrase;
    reply.retyped = passphrase;
    ui.change_replies.push_back(reply);
    ASSERT_EQ(CreateNewKeyfile(kf, path), 0);
    ASSERT_TRUE(kf.open);
  }
  int Open(const std::string& path, const std::string& passphrase) {
    std::string p = passphrase;
    return OpenKeyfile(kf, path, p);
  }
  // Makes a key through the new-key dialog; fails the test when none was made.
  Bytes AddKey(const std::string& name) {
    ui.texts.push_back(name);
    Bytes id = NewKey(kf);
    EXPECT_EQ(id.size(), 32u) << name;
    return id;
  }
  Bytes AddGroup(const std::string& name) {
    ui.texts.push_back(name);
    Bytes id = NewKeyGroup(kf);
    EXPECT_EQ(id.size(), 32u) << name;
    return id;
  }
  std::vector<std::string> KeyNames() {
    std::vector<std::string> names;
    for (const auto& k : kf.keys) names.push_back(k.keyname);
    return names;
  }
  // A save sorts the records, so keys come back in the order of their encrypted bytes.
  std::vector<std::string> SortedKeyNames() {
    std::vector<std::string> names = KeyNames();
    std::sort(names.begin(), names.end());
    return names;
  }
};

inline std::string ReadFile(const std::string& path) {
  std::string data;
  EXPECT_EQ(ReadWholeFile(path, data), fe::kOk) << path;
  return data;
}

inline void WriteFile(const std::string& path, std::string_view data) {
  ASSERT_EQ(ReplaceWholeFile(path, data), fe::kOk) << path;
}

inline std::vector<Bytes> FileRecords(const std::string& path) {
  std::vector<Bytes> table;
  EXPECT_TRUE(ReadKeyfileRecords(ReadFile(path), table));
  return table;
}

}  // namespace lq::test
