// Shared pieces of the keyfile tests: a session (Ui, random state, files, keyfile) that can be
// made afresh to reopen a file as a new program run would; the temporary folder and the failing
// file layer come from support/file_fakes.h.
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
#include "support/file_fakes.h"
#include "support/recording_ui.h"

namespace lq::test {

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
