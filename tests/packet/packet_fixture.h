// Shared pieces of the packet engine tests: one keyfile with a cast of keys (made once per test
// program, RSA generation being slow), a fresh session per test opening it, and output folders.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "base/records.h"
#include "keys/key_records.h"
#include "keys/keypair.h"
#include "keys/keys_fixture.h"
#include "packet/packet_records.h"
#include "packet/packet_session.h"

namespace lq::test {

inline constexpr char kWorldPassphrase[] = "world pass";

// The cast: alice (secret key and RSA pairs, the signing key), bob (secret key only), carol
// (RSA pairs only), erin (an expired secret key), frank (RSA pairs that expired), gina (no key),
// and the group "team" of bob and carol.
struct World {
  std::string path;
  Bytes alice, bob, carol, erin, frank, gina, team;
};

// Builds the world keyfile once, in a folder that lives as long as the test program.
inline const World& TheWorld() {
  static World world;
  static std::unique_ptr<TempDir> dir;
  if (!world.path.empty()) return world;
  dir = std::make_unique<TempDir>();
  world.path = dir->File("world.lqk");
  Session s;
  s.Create(world.path, kWorldPassphrase);
  auto person = [&](const std::string& name, const std::string& last) {
    Bytes id = s.AddKey(name);
    UserId user;
    EXPECT_TRUE(ReadUserId(s.kf, id, user));
    user.first_name = name;
    user.last_name = last;
    StoreKeyDetails(s.kf, user);
    return id;
  };
  auto secret = [&](const Bytes& id, std::string text, int year) {
    EXPECT_TRUE(SetSecretKey(s.kf, id, text, year, year ? 1 : 0, year ? 1 : 0));
  };
  auto pairs = [&](const Bytes& id, int expiry_year) {
    KeyPairRequest r;
    r.bits = 512;
    r.expiry_year = expiry_year;
    r.expiry_month = expiry_year ? 1 : 0;
    r.expiry_day = expiry_year ? 1 : 0;
    EXPECT_EQ(CalculateNewPublicKey(s.kf, id, r), kKeyPairsStored);
  };
  world.alice = person("Alice", "Liddell");
  world.bob = person("Bob", "Builder");
  world.carol = person("Carol", "Singer");
  world.erin = person("Erin", "Old");
  world.frank = person("Frank", "Late");
  world.gina = person("Gina", "Nokey");
  secret(world.alice, "alice shared secret", 0);
  secret(world.bob, "bob shared secret", 0);
  secret(world.erin, "erin shared secret", 2004);
  pairs(world.alice, 0);
  pairs(world.carol, 0);
  pairs(world.frank, 2004);
  SetSigningKey(s.kf, world.alice);
  world.team = s.AddGroup("team");
  AddGroupMember(s.kf, world.team, world.bob);
  AddGroupMember(s.kf, world.team, world.carol);
  EXPECT_EQ(SaveKeyfile(s.kf, world.path), 0);
  return world;
}

// One program run on the world keyfile, with an output folder for decrypted files.
class PacketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    w = &TheWorld();
    ASSERT_EQ(s.Open(w->path, kWorldPassphrase), kKeyfileOpened);
    ps = std::make_unique<PacketSession>(s.ui, s.random, s.kf);
    std::filesystem::create_directories(out.Path() + "/store");
    ps->store_folder = out.Path() + "/store/";
    s.ui.calls.clear();
    s.ui.boxes.clear();
    s.ui.log.clear();
  }

  // A file in the input folder.
  std::string Input(const std::string& name, const std::string& contents) {
    const std::string p = in.File(name);
    WriteFile(p, contents);
    return p;
  }
  std::string Stored(const std::string& name) { return ps->store_folder + name; }
  std::vector<std::string> StoredNames() {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(out.Path() + "/store")) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // Names of every entry anywhere below the output folder, to prove nothing escaped.
  std::vector<std::string> AllOutputEntries() {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::recursive_directory_iterator(out.Path())) {
      names.push_back(std::filesystem::relative(e.path(), out.Path()).generic_string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  int CountLog(const std::string& line) {
    return static_cast<int>(std::count(s.ui.log.begin(), s.ui.log.end(), line));
  }
  std::vector<std::string> History() {
    std::vector<std::string> h;
    for (const auto& c : s.ui.calls) {
      if (c.what == "History") h.push_back(c.text);
    }
    return h;
  }
  void Forget() {
    s.ui.calls.clear();
    s.ui.boxes.clear();
    s.ui.log.clear();
  }

  const World* w = nullptr;
  TempDir in, out;
  Session s;
  std::unique_ptr<PacketSession> ps;
};

// The fields of a record from position 7 (or of a bare list from position 1).
inline std::vector<Bytes> Fields(std::string_view record, long start = 7) {
  std::vector<Bytes> fields;
  long pos = start;
  while (pos >= 0) fields.push_back(NextField(record, pos));
  return fields;
}

}  // namespace lq::test
