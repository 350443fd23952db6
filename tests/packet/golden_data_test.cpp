// Golden files: a keyfile with every record kind, packets of every kind, a signed text and both
// key exports, made once and committed under tests/data/golden. Each is opened and its exact
// content checked, and packets made now must have the same layout, so a change of a stored
// format fails here even when its writer and reader change together.
// LQ_WRITE_GOLDEN=<folder> makes the files anew into that folder (never needed again unless a
// format is meant to change, which it is not).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "base/records.h"
#include "crypto/hex.h"
#include "crypto/rsa.h"
#include "keys/key_export.h"
#include "keys/rsa_keys.h"
#include "packet/armor.h"
#include "packet/encryption_packet.h"
#include "packet/passphrase_packet.h"
#include "packet/signature_packet.h"
#include "packet_fixture.h"

namespace lq::test {
namespace {

constexpr char kGoldenPassphrase[] = "golden pass";
constexpr char kFileA[] = "notes.txt";
constexpr char kFileAContents[] = "first attached file\r\nline two\r\n";
constexpr char kFileB[] = "blob.bin";
std::string FileBContents() {
  std::string b;
  for (int i = 0; i < 3000; ++i) b.push_back(static_cast<char>((i * 7 + i / 13) & 0xFF));
  return b;
}
constexpr char kSecretText[] = "Golden text for Bob's shared secret.";
constexpr char kPublicText[] = "Golden text for Carol's public key.";
constexpr char kSignedText[] = "Golden text, signed by Alice and encrypted to the team.";
constexpr char kFilesText[] = "Golden text with two files for Alice.";
constexpr char kSignedFilesText[] = "Golden signed text with one file.";
constexpr char kPassNote[] = "Golden note in the clear";
constexpr char kPassText[] = "Golden text behind a passphrase.";
constexpr char kPassPhrase[] = "golden packet pass";
constexpr char kClearSigned[] = "Dear Bob,\r\n\r\nthis golden text is signed.\r\n\tAlice";

std::string DataPath(const std::string& name) {
  return std::string(LQ_TEST_DATA) + "/golden/" + name;
}

// The nested layout of a record: its header, then per field its length, or the layout of a
// field that is itself a record. Random bytes (IVs, session keys, filler) keep their lengths,
// so two packets of the same content have the same layout; what depends on the real clock (a
// date record, anything holding one, any ciphertext or compressed stream of it) shows as "*".
std::string Shape(std::string_view record, int depth) {
  if (record.size() < 6) return "?";
  std::string out(record.substr(0, 6));
  if (out == "110001") return out + "(date)";
  out += "(";
  long pos = 7;
  int count = 0;
  while (pos >= 0 && count < 64) {
    const Bytes f = NextField(record, pos);
    if (pos < -1) break;
    const bool is_record = f.size() >= 6 && std::all_of(f.begin(), f.begin() + 6, [](char c) {
                             return c >= '0' && c <= '9';
                           });
    if (is_record && depth > 0) {
      out += Shape(f, depth - 1);
    } else if (!is_record && f.size() <= 128 && f.find("110001") == std::string::npos) {
      out += std::to_string(f.size());
    } else {
      out += "*";
    }
    out += ",";
    ++count;
  }
  return out + ")";
}

// The packet inside a packet file (its hash record holds "Encrypted" or "Signed" and it).
std::string PacketFileShape(PacketSession& ps, const std::string& path) {
  const Bytes file = ReadFile(path);
  const auto outer = Fields(file);
  if (outer.size() < 2) return "?";
  const auto inner = Fields(Decompose_HashRecord(ps, outer[1]), 1);
  if (inner.size() < 2) return "?";
  return Shape(file, 0) + inner[0] + Shape(inner[1], 4);
}

// The golden keyfile's keys: Alice (everything, the signing key), Bob (a secret key that
// expires in 2030), Carol (RSA pairs), Dave (public halves only, imported), the group "team".
struct GoldenKeys {
  Bytes alice, bob, carol, dave, team;
};

Bytes KeyIdByName(Keyfile& kf, const std::string& name) {
  for (const auto& k : kf.keys) {
    if (k.keyname == name) return k.key_id;
  }
  return {};
}

GoldenKeys FindGoldenKeys(Keyfile& kf) {
  GoldenKeys k;
  k.alice = KeyIdByName(kf, "Alice");
  k.bob = KeyIdByName(kf, "Bob");
  k.carol = KeyIdByName(kf, "Carol");
  k.dave = KeyIdByName(kf, "Dave");
  for (const auto& g : kf.groups) {
    if (g.name == "team") k.team = g.group_id;
  }
  return k;
}

// The packets, each made by `make` on a session of the golden keyfile.
struct GoldenPackets {
  std::string secret_armor, public_armor, signed_armor, signed_text;
  Bytes passphrase_packet;
};

void SetRecipients(PacketSession& ps, std::vector<Bytes> ids, bool prefer_secret) {
  ps.SetRecipients(std::move(ids));
  ps.SetPreferSecretKeys(prefer_secret);
  ps.key_type_answer = kIdYes;
}

GoldenPackets MakePackets(PacketSession& ps, const GoldenKeys& k, const std::string& files_lqe,
                          const std::string& signed_lqe, const std::string& in_folder) {
  GoldenPackets p;
  ps.sign = false;
  ps.attachments.clear();
  SetRecipients(ps, {k.bob}, true);
  p.secret_armor = Compose_PacketArmor(ps, kSecretText);
  SetRecipients(ps, {k.carol}, false);
  p.public_armor = Compose_PacketArmor(ps, kPublicText);
  SetRecipients(ps, {k.team}, false);
  ps.sign = true;
  p.signed_armor = Compose_PacketArmor(ps, kSignedText);
  ps.sign = false;
  const std::string a = in_folder + "/" + kFileA, b = in_folder + "/" + kFileB;
  WriteFile(a, kFileAContents);
  WriteFile(b, FileBContents());
  ps.attachments = {a, b};
  SetRecipients(ps, {k.alice}, false);
  EXPECT_EQ(Compose_PacketFile(ps, files_lqe, kFilesText, true), 0);
  ps.attachments = {a};
  EXPECT_EQ(Compose_PacketFile(ps, signed_lqe, kSignedFilesText, false), 0);
  ps.attachments = {b};
  p.passphrase_packet = Compose_PassphrasePacket(ps, kPassNote, kPassText, kPassPhrase);
  ps.attachments.clear();
  p.signed_text = Compose_SignedTextArmor(ps, kClearSigned);
  return p;
}

std::string ExportArmor(Keyfile& kf, const Bytes& id, bool with_private) {
  KeyExport e;
  EXPECT_TRUE(PrepareKeyExport(kf, id, e));
  std::string armor =
      ArmorExportedKey(with_private ? e.private_record : e.public_record, with_private);
  WipeKeyExport(e);
  return armor;
}

void WriteGolden(const std::string& folder) {
  std::filesystem::create_directories(folder);
  TempDir tmp;
  // Dave lives in another keyfile; only his public halves come over, by import.
  std::string dave_armor;
  {
    Session d;
    d.Create(tmp.File("dave.lqk"), "dave pass");
    const Bytes id = d.AddKey("Dave");
    UserId user;
    ASSERT_TRUE(ReadUserId(d.kf, id, user));
    user.first_name = "Dave";
    user.last_name = "Elsewhere";
    StoreKeyDetails(d.kf, user);
    KeyPairRequest r;
    r.bits = 512;
    ASSERT_EQ(CalculateNewPublicKey(d.kf, id, r), kKeyPairsStored);
    dave_armor = ExportArmor(d.kf, id, false);
  }
  const std::string kf_path = folder + "/golden.lqk";
  std::filesystem::remove(kf_path);
  Session s;
  s.Create(kf_path, kGoldenPassphrase);
  auto person = [&](const std::string& name, const std::string& last) {
    const Bytes id = s.AddKey(name);
    UserId user;
    EXPECT_TRUE(ReadUserId(s.kf, id, user));
    user.first_name = name;
    user.last_name = last;
    user.company = name + " & Co";
    user.department = "Keys";
    user.email_subject = "About keys";
    user.email_address = name + "@example.org";
    StoreKeyDetails(s.kf, user);
    return id;
  };
  GoldenKeys k;
  k.alice = person("Alice", "Liddell");
  k.bob = person("Bob", "Builder");
  k.carol = person("Carol", "Singer");
  std::string text = "alice shared secret";
  ASSERT_TRUE(SetSecretKey(s.kf, k.alice, text, 0, 0, 0));
  text = "bob shared secret";
  ASSERT_TRUE(SetSecretKey(s.kf, k.bob, text, 2030, 6, 30));
  KeyPairRequest r;
  r.bits = 512;
  r.flags.company = 1;
  r.flags.email = 1;
  ASSERT_EQ(CalculateNewPublicKey(s.kf, k.alice, r), kKeyPairsStored);
  r.flags = {};
  r.expiry_year = 2030;
  r.expiry_month = 12;
  r.expiry_day = 31;
  ASSERT_EQ(CalculateNewPublicKey(s.kf, k.carol, r), kKeyPairsStored);
  s.ui.texts.push_back("Dave");
  ASSERT_EQ(ImportExportedKey(s.kf, dave_armor, k.dave), kImportStored);
  SetSigningKey(s.kf, k.alice);
  SetAlwaysEncrypt(s.kf, false);
  k.team = s.AddGroup("team");
  AddGroupMember(s.kf, k.team, k.bob);
  AddGroupMember(s.kf, k.team, k.carol);
  s.kf.selected_recipients = {k.bob};
  ASSERT_EQ(SaveKeyfile(s.kf, kf_path), kKeyfileSaved);

  PacketSession ps(s.ui, s.random, s.kf);
  const std::string files_lqe = folder + "/packet_files.lqe";
  const std::string signed_lqe = folder + "/signed_files.lqe";
  std::filesystem::remove(files_lqe);
  std::filesystem::remove(signed_lqe);
  const GoldenPackets p = MakePackets(ps, k, files_lqe, signed_lqe, tmp.Path());
  WriteFile(folder + "/packet_secret_key.txt", p.secret_armor);
  WriteFile(folder + "/packet_public_key.txt", p.public_armor);
  WriteFile(folder + "/packet_signed.txt", p.signed_armor);
  WriteFile(folder + "/passphrase_packet.bin", p.passphrase_packet);
  WriteFile(folder + "/signed_text.txt", p.signed_text);
  WriteFile(folder + "/export_public.txt", ExportArmor(s.kf, k.alice, false));
  WriteFile(folder + "/export_private.txt", ExportArmor(s.kf, k.alice, true));
  // The keyfile again: packets advanced the random state, which a save stores.
  ASSERT_EQ(SaveKeyfile(s.kf, kf_path), kKeyfileSaved);
}

TEST(GoldenWriter, WritesWhenAsked) {
  const char* folder = std::getenv("LQ_WRITE_GOLDEN");
  if (!folder || !*folder) GTEST_SKIP() << "LQ_WRITE_GOLDEN not set";
  WriteGolden(folder);
}

// A session on a copy of the golden keyfile (opening never writes it, but a test must not be
// able to change a committed file).
class Golden : public PacketTest {
 protected:
  void SetUp() override {
    kf_copy = in.File("golden.lqk");
    std::filesystem::copy_file(DataPath("golden.lqk"), kf_copy);
    ASSERT_EQ(s.Open(kf_copy, kGoldenPassphrase), kKeyfileOpened);
    ps = std::make_unique<PacketSession>(s.ui, s.random, s.kf);
    std::filesystem::create_directories(out.Path() + "/store");
    ps->store_folder = out.Path() + "/store/";
    k = FindGoldenKeys(s.kf);
    Forget();
  }
  Bytes FieldOf(std::string_view type, const Bytes& id, size_t field) {
    long index = 0;
    const Bytes r = FindRecord(s.kf, type, id, index);
    const auto f = Fields(r);
    return field < f.size() ? f[field] : Bytes("<missing>");
  }
  std::string kf_copy;
  GoldenKeys k;
};

TEST_F(Golden, KeyfileHoldsEveryRecordKindWithItsContent) {
  ASSERT_EQ(k.alice.size(), 32u);
  ASSERT_EQ(k.bob.size(), 32u);
  ASSERT_EQ(k.carol.size(), 32u);
  ASSERT_EQ(k.dave.size(), 32u);
  ASSERT_EQ(k.team.size(), 32u);
  // Every record type 001..016, each as often as the keys above give it.
  std::map<std::string, int> types;
  for (const auto& r : s.kf.table) types[r.substr(0, 6)]++;
  const std::map<std::string, int> expected = {
      {"001001", 1}, {"002001", 1}, {"003001", 1}, {"004001", 4}, {"005001", 2}, {"006001", 3},
      {"007001", 2}, {"008001", 3}, {"009001", 2}, {"010001", 2}, {"011001", 3}, {"012001", 1},
      {"013001", 1}, {"014001", 1}, {"015001", 1}, {"016001", 1}};
  EXPECT_EQ(types, expected);
  std::vector<std::pair<std::string, char>> keys;
  for (const auto& e : s.kf.keys) keys.emplace_back(e.keyname, e.category);
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(keys, (std::vector<std::pair<std::string, char>>{
                      {"Alice", 'm'}, {"Bob", 'r'}, {"Carol", 'm'}, {"Dave", 'r'}}));
  UserId alice;
  ASSERT_TRUE(ReadUserId(s.kf, k.alice, alice));
  EXPECT_EQ(alice.first_name, "Alice");
  EXPECT_EQ(alice.last_name, "Liddell");
  EXPECT_EQ(alice.company, "Alice & Co");
  EXPECT_EQ(alice.department, "Keys");
  EXPECT_EQ(alice.email_subject, "About keys");
  EXPECT_EQ(alice.email_address, "Alice@example.org");
  UserId dave;
  ASSERT_TRUE(ReadUserId(s.kf, k.dave, dave));
  EXPECT_EQ(dave.first_name, "Dave");
  EXPECT_EQ(dave.last_name, "Elsewhere");
  EXPECT_EQ(FieldOf(rec::kSecretKey, k.alice, 1), "alice shared secret");
  EXPECT_EQ(FieldOf(rec::kSecretKey, k.bob, 1), "bob shared secret");
  KeyDates dates;
  ASSERT_TRUE(ReadKeyDates(s.kf, rec::kSecretKeyDates, k.bob, dates));
  EXPECT_EQ(dates.expiry_year, 2030);
  EXPECT_EQ(dates.expiry_month, 6);
  EXPECT_EQ(dates.expiry_day, 30);
  ASSERT_TRUE(ReadKeyDates(s.kf, rec::kPublicKeyDates, k.carol, dates));
  EXPECT_EQ(dates.expiry_year, 2030);
  EXPECT_EQ(dates.created.year, 2005);
  EXPECT_EQ(SigningKey(s.kf), k.alice);
  EXPECT_FALSE(AlwaysEncrypt(s.kf));
  KeyGroupEntry team;
  ASSERT_TRUE(ReadKeyGroup(s.kf, k.team, team));
  EXPECT_EQ(team.name, "team");
  std::vector<Bytes> members = team.members, want = {k.bob, k.carol};
  std::sort(members.begin(), members.end());
  std::sort(want.begin(), want.end());
  EXPECT_EQ(members, want);
  EXPECT_EQ(s.kf.selected_recipients, std::vector<Bytes>{k.bob});
  EXPECT_FALSE(StoredRandomState(s.kf).empty());
}

TEST_F(Golden, RsaRecordsAreWholeKeyPairs) {
  for (const Bytes* id : {&k.alice, &k.carol}) {
    RsaKeyRecord pub, priv, spub, spriv;
    ASSERT_TRUE(ReadRsaKeyRecord(s.kf, rec::kEncryptionPublicKey, *id, pub));
    ASSERT_TRUE(ReadRsaKeyRecord(s.kf, rec::kEncryptionPrivateKey, *id, priv));
    ASSERT_TRUE(ReadRsaKeyRecord(s.kf, rec::kSigningPublicKey, *id, spub));
    ASSERT_TRUE(ReadRsaKeyRecord(s.kf, rec::kSigningPrivateKey, *id, spriv));
    EXPECT_EQ(pub.bits, 512);
    EXPECT_EQ(spub.bits, 512);
    EXPECT_EQ(pub.modulus, priv.modulus);
    EXPECT_EQ(spub.modulus, spriv.modulus);
    const Bytes session_key(32, '\x5a');
    const BigNum c = PublicKey_Encrypt_PKCS1_V15(s.kf, session_key, *id);
    EXPECT_EQ(PublicKey_Decrypt(s.kf, c, *id), session_key);
    const BigNum sig = PublicKey_GenerateSignature_PKCS1_V15(s.kf, "data", *id);
    EXPECT_EQ(PublicKey_VerifySignature_PKCS1_V15(s.kf, "data", sig, *id), 1);
  }
  RsaKeyRecord dave;
  EXPECT_TRUE(ReadRsaKeyRecord(s.kf, rec::kEncryptionPublicKey, k.dave, dave));
  EXPECT_FALSE(ReadRsaKeyRecord(s.kf, rec::kEncryptionPrivateKey, k.dave, dave));
}

TEST_F(Golden, EveryPacketOpensToItsText) {
  struct Case {
    const char* file;
    const char* text;
  };
  for (const Case& c :
       {Case{"packet_secret_key.txt", kSecretText}, Case{"packet_public_key.txt", kPublicText},
        Case{"packet_signed.txt", kSignedText}}) {
    Forget();
    const OpenedText opened = ReadArmoredText(*ps, ReadFile(DataPath(c.file)));
    EXPECT_TRUE(opened.shown) << c.file;
    EXPECT_EQ(opened.text, c.text) << c.file;
    EXPECT_TRUE(s.ui.boxes.empty()) << c.file << ": " << s.ui.boxes[0].key;
    const bool is_signed = c.text == std::string(kSignedText);
    EXPECT_EQ(
        ps->Status().find(is_signed ? "Signature OK! Signed at: " : "Packet was encrypted at: "),
        0u)
        << c.file << ps->Status();
  }
  EXPECT_NE(ps->Status().find(" by Alice Liddell."), std::string::npos) << ps->Status();
}

TEST_F(Golden, PacketFilesGiveTextAndFiles) {
  const OpenedText opened = Decompose_PacketFile(*ps, DataPath("packet_files.lqe"));
  EXPECT_EQ(opened.text, kFilesText);
  EXPECT_TRUE(s.ui.boxes.empty());
  EXPECT_EQ(StoredNames(), (std::vector<std::string>{kFileB, kFileA}));
  EXPECT_EQ(ReadFile(Stored(kFileA)), kFileAContents);
  EXPECT_EQ(ReadFile(Stored(kFileB)), FileBContents());
  std::filesystem::remove(Stored(kFileA));
  std::filesystem::remove(Stored(kFileB));
  Forget();
  const OpenedText signed_opened = Decompose_PacketFile(*ps, DataPath("signed_files.lqe"));
  EXPECT_EQ(signed_opened.text, kSignedFilesText);
  EXPECT_TRUE(s.ui.boxes.empty());
  EXPECT_EQ(ps->Status().find("Signature OK! Signed at: "), 0u) << ps->Status();
  EXPECT_EQ(StoredNames(), std::vector<std::string>{kFileA});
  EXPECT_EQ(ReadFile(Stored(kFileA)), kFileAContents);
}

TEST_F(Golden, PassphrasePacketAndSignedText) {
  const Bytes packet = ReadFile(DataPath("passphrase_packet.bin"));
  EXPECT_EQ(PassphrasePacketNote(*ps, packet), kPassNote);
  std::string pass = kPassPhrase;
  const OpenedPassphrasePacket opened = Open_PassphrasePacket(*ps, packet, pass);
  EXPECT_TRUE(opened.ok);
  EXPECT_EQ(opened.text, kPassText);
  EXPECT_EQ(opened.files_in_packet, 1);
  EXPECT_EQ(ReadFile(Stored(kFileB)), FileBContents());
  Forget();
  const std::string armor = ReadFile(DataPath("signed_text.txt"));
  EXPECT_NE(armor.find(kClearSigned), std::string::npos);
  ReadArmoredText(*ps, armor);
  EXPECT_TRUE(s.ui.boxes.empty());
  EXPECT_EQ(ps->Status().find("Signature OK! Signed at: "), 0u) << ps->Status();
}

TEST_F(Golden, ExportsAreExactlyWhatTheKeyfileExportsNow) {
  const std::string pub = ReadFile(DataPath("export_public.txt"));
  const std::string priv = ReadFile(DataPath("export_private.txt"));
  EXPECT_EQ(ExportArmor(s.kf, k.alice, false), pub);
  EXPECT_EQ(ExportArmor(s.kf, k.alice, true), priv);
  ExportedKey key;
  ASSERT_TRUE(DecomposeExportedKeyRecord(s.ui, DearmorExportedKey(s.ui, priv), key));
  EXPECT_EQ(key.key_id, k.alice);
  EXPECT_EQ(key.first_name, "Alice");
  EXPECT_EQ(key.company, "Alice & Co");
  EXPECT_EQ(key.email, "Alice@example.org");
  EXPECT_EQ(key.encryption_bits, " 512");
  EXPECT_FALSE(key.d.empty());
  WipeExportedKey(key);
  // Imported into another keyfile, the public export is a recipient key under Alice's KeyID.
  Session other;
  TempDir dir;
  other.Create(dir.File("other.lqk"), "other pass");
  other.ui.texts.push_back("Alice imported");
  Bytes id;
  ASSERT_EQ(ImportExportedKey(other.kf, pub, id), kImportStored);
  EXPECT_EQ(id, k.alice);
  EXPECT_EQ(Fingerprint(other.kf, id), Fingerprint(s.kf, k.alice));
}

// Packets made now have the layout of the golden ones (same content, same date).
TEST_F(Golden, PacketsMadeNowHaveTheGoldenLayout) {
  const GoldenPackets now =
      MakePackets(*ps, k, in.File("files.lqe"), in.File("signed.lqe"), in.Path());
  auto armored = [&](const std::string& armor) {
    return Shape(Decompose_HashRecord(*ps, Dearmor_Packet(s.ui, armor)), 4);
  };
  EXPECT_EQ(armored(now.secret_armor), armored(ReadFile(DataPath("packet_secret_key.txt"))));
  EXPECT_EQ(armored(now.public_armor), armored(ReadFile(DataPath("packet_public_key.txt"))));
  EXPECT_EQ(armored(now.signed_armor), armored(ReadFile(DataPath("packet_signed.txt"))));
  EXPECT_EQ(Shape(now.passphrase_packet, 3), Shape(ReadFile(DataPath("passphrase_packet.bin")), 3));
  EXPECT_EQ(PacketFileShape(*ps, in.File("files.lqe")),
            PacketFileShape(*ps, DataPath("packet_files.lqe")));
  EXPECT_EQ(PacketFileShape(*ps, in.File("signed.lqe")),
            PacketFileShape(*ps, DataPath("signed_files.lqe")));
  // The layouts carry the fixed-size parts: session entries, KeyIDs, digests, signatures.
  EXPECT_EQ(armored(now.public_armor), "111001(104001(*,),106001(64,32,64,),)");
  const Bytes sig_now = Dearmor_SignedText(s.ui, now.signed_text);
  const Bytes sig_golden = Dearmor_SignedText(s.ui, ReadFile(DataPath("signed_text.txt")));
  EXPECT_EQ(Fields(sig_now, 1)[1], Fields(sig_golden, 1)[1]);
  EXPECT_EQ(Shape(Fields(sig_now, 1)[0], 4), Shape(Fields(sig_golden, 1)[0], 4));
}

}  // namespace
}  // namespace lq::test
