// The keyfile, key, group and signer commands of lq and its self-test: each parses its
// arguments, opens the keyfile, calls the keys layer and saves when a record changed.
#include <algorithm>
#include <cstdio>
#include <sstream>

#include "base/bytes.h"
#include "base/catalogue.h"
#include "base/file_io.h"
#include "base/records.h"
#include "cli/lq.h"
#include "crypto/aes.h"
#include "crypto/base64.h"
#include "crypto/hex.h"
#include "crypto/lz78.h"
#include "crypto/rsa.h"
#include "crypto/sha256.h"
#include "keys/key_export.h"
#include "keys/key_records.h"
#include "keys/keypair.h"

namespace lq::cli {
namespace {

void Print(Context& ctx, const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), ctx.out);
  std::fputc('\n', ctx.out);
}

std::string DateText(int year, int month, int day) {
  if (year == 0) return "never";
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", year, month, day);
  return buffer;
}

// Parses the arguments of `command`; a usage error is reported and its status returned.
int Parse(Context& ctx, const std::string& command, const std::vector<std::string>& args,
          const ArgSyntax& syntax, ParsedArgs& parsed) {
  std::string error;
  if (!ParseArgs(args, syntax, parsed, error)) return ctx.UsageError(command, error);
  return kExitOk;
}

// Opens the keyfile under its lock, runs `body`, saves when something changed. The body's
// status wins when it failed; a failed save turns success into failure. Commands that only
// read take the shared lock.
template <typename Body>
int WithKeyfile(Context& ctx, Body body, LockKind kind = LockKind::kExclusive) {
  if (const int status = ctx.OpenKeyfile(kind); status != kExitOk) return status;
  const int status = body();
  const int saved = ctx.SaveIfModified();
  return status != kExitOk ? status : saved;
}

// --- keyfile -------------------------------------------------------------------------------

int KeyfileCreate(Context& ctx, const std::vector<std::string>& args) {
  ParsedArgs p;
  if (int s = Parse(ctx, "keyfile create", args, {}, p); s != kExitOk) return s;
  const std::string& path = ctx.options.keyfile;
  if (ctx.kf.files.Exists(path)) {
    ShowMessage(ctx.ui, "Error_FileAlreadyExists", MessageStyle("Error_FileAlreadyExists"), path);
    return kExitFailed;
  }
  if (!ctx.options.passphrase_env.empty() || !ctx.options.passphrase_fd.empty()) {
    std::string secret;
    const int s = ReadSecret(ctx.ui, ctx.options.passphrase_env, ctx.options.passphrase_fd, secret);
    if (s != kExitOk) return s;
    ctx.ui.passphrases.push_back(std::move(secret));
  }
  // Two programs making the same keyfile at once: the second finds the first one's file.
  ctx.kf.lock_wait_ms = ctx.options.lock_wait_ms;
  if (LockKeyfile(ctx.kf, path, LockKind::kExclusive) != kKeyfileLockHeld) return kExitFailed;
  if (ctx.kf.files.Exists(path)) {
    ShowMessage(ctx.ui, "Error_FileAlreadyExists", MessageStyle("Error_FileAlreadyExists"), path);
    return kExitFailed;
  }
  ctx.kf.prompt = "\r\n\r\nEnter a passphrase for the new keyfile:\r\n" + path;
  if (CreateNewKeyfile(ctx.kf, path) != 0 || !ctx.kf.files.Exists(path)) return kExitFailed;
  ctx.ui.Note("Keyfile created: " + path);
  return kExitOk;
}

int KeyfilePasswd(Context& ctx, const std::vector<std::string>& args) {
  ArgSyntax syntax;
  syntax.values = {"--new-passphrase-env", "--new-passphrase-fd"};
  ParsedArgs p;
  if (int s = Parse(ctx, "keyfile passwd", args, syntax, p); s != kExitOk) return s;
  const std::string env = p.Value("--new-passphrase-env");
  const std::string fd = p.Value("--new-passphrase-fd");
  if (!env.empty() && !fd.empty()) {
    return ctx.UsageError("keyfile passwd",
                          "give one of --new-passphrase-env and --new-passphrase-fd");
  }
  // The current passphrase is read first, so one descriptor can carry both lines.
  return WithKeyfile(ctx, [&]() {
    std::string new_passphrase, retyped;
    if (!env.empty() || !fd.empty()) {
      if (int s = ReadSecret(ctx.ui, env, fd, new_passphrase); s != kExitOk) return s;
      retyped = new_passphrase;
    } else {
      ChangePassphraseRequest request;
      request.mode = ChangePassphraseMode::kNewKeyfile;
      request.prompt = "Enter the new passphrase:";
      ChangePassphraseReply reply = ctx.ui.AskChangePassphrase(request);
      if (reply.current == kPassphraseCancelled) return kExitFailed;
      new_passphrase = std::move(reply.new_text);
      retyped = std::move(reply.retyped);
    }
    std::string current = ctx.passphrase;
    return ChangePassphrase(ctx.kf, current, new_passphrase, retyped) == 0 ? kExitOk : kExitFailed;
  });
}

std::string KeyName(Context& ctx, std::string_view key_id) {
  for (const KeyListEntry& k : ctx.kf.keys) {
    if (k.key_id == key_id) return k.keyname;
  }
  return "?";
}

// The keys by name: a save orders the table by encrypted bytes, which is no order for people.
std::vector<KeyListEntry> SortedKeys(Context& ctx) {
  std::vector<KeyListEntry> keys = ctx.kf.keys;
  std::stable_sort(keys.begin(), keys.end(), [](const KeyListEntry& a, const KeyListEntry& b) {
    return a.keyname < b.keyname;
  });
  return keys;
}

int KeyfileInfo(Context& ctx, const std::vector<std::string>& args) {
  ParsedArgs p;
  if (int s = Parse(ctx, "keyfile info", args, {}, p); s != kExitOk) return s;
  return WithKeyfile(
      ctx,
      [&]() {
        size_t live = 0;
        for (const Bytes& r : ctx.kf.table) live += r.rfind(kDeletedRecord, 0) == 0 ? 0 : 1;
        const size_t mine = static_cast<size_t>(
            std::count_if(ctx.kf.keys.begin(), ctx.kf.keys.end(),
                          [](const KeyListEntry& k) { return k.category == 'm'; }));
        Print(ctx, "Keyfile: " + ctx.kf.name);
        Print(ctx, "Records:" + NumText(static_cast<long long>(live)));
        Print(ctx, "Keys:" + NumText(static_cast<long long>(ctx.kf.keys.size())) + " (" +
                       std::to_string(mine) + " with a private part)");
        for (const KeyListEntry& k : SortedKeys(ctx))
          Print(ctx, "  " + k.keyname + " " + k.category);
        Print(ctx, "Groups:" + NumText(static_cast<long long>(ctx.kf.groups.size())));
        for (const KeyGroupEntry& g : ctx.kf.groups) Print(ctx, "  " + g.name);
        const Bytes signer = SigningKey(ctx.kf);
        Print(ctx, "Signing key: " + (signer.empty() ? std::string("none") : KeyName(ctx, signer)));
        if (!signer.empty()) {
          Print(ctx,
                std::string("Always encrypt to it: ") + (AlwaysEncrypt(ctx.kf) ? "yes" : "no"));
        }
        return kExitOk;
      },
      LockKind::kShared);
}

// --- key -------------------------------------------------------------------------------------

int KeyNew(Context& ctx, const std::vector<std::string>& args) {
  ArgSyntax syntax;
  syntax.values = {"--first",   "--last",  "--company", "--department",
                   "--subject", "--email", "--trust"};
  syntax.min_positional = syntax.max_positional = 1;
  ParsedArgs p;
  if (int s = Parse(ctx, "key new", args, syntax, p); s != kExitOk) return s;
  const std::string trust = p.Value("--trust", "1");
  if (trust != "1" && trust != "2" && trust != "3") {
    return ctx.UsageError("key new", "--trust must be 1, 2 or 3");
  }
  if (p.positional[0].empty()) return ctx.UsageError("key new", "the keyname must not be empty");
  return WithKeyfile(ctx, [&]() {
    ctx.ui.texts.push_back(p.positional[0]);
    const Bytes key_id = NewKey(ctx.kf);
    ctx.ui.texts.clear();
    if (key_id.empty()) return kExitFailed;
    UserId user;
    if (!ReadUserId(ctx.kf, key_id, user)) return kExitFailed;
    user.first_name = p.Value("--first");
    user.last_name = p.Value("--last");
    user.company = p.Value("--company");
    user.department = p.Value("--department");
    user.email_subject = p.Value("--subject");
    user.email_address = p.Value("--email");
    // A chosen trust level is stored as the key manager stores its slider; a new key keeps "1".
    if (p.Has("--trust")) user.trust = NumText(std::stoi(trust));
    StoreKeyDetails(ctx.kf, user);
    RebuildLists(ctx.kf);
    return kExitOk;
  });
}

// The secret typed on the terminal without echo, twice so that a typing error is caught.
int AskSecretTwice(Context& ctx, std::string& secret) {
  std::string again;
  if (!ctx.ui.AskHidden("Secret key (empty removes it): ", secret) ||
      !ctx.ui.AskHidden("Type the secret key again: ", again)) {
    Wipe(secret);
    Wipe(again);
    return ctx.Fail("no secret key (give --secret-env or --secret-fd, or run on a terminal)");
  }
  const bool same = secret == again;
  Wipe(again);
  if (!same) {
    Wipe(secret);
    return ctx.Fail("the two secret keys typed differ; nothing was changed");
  }
  return kExitOk;
}

int KeySecret(Context& ctx, const std::vector<std::string>& args) {
  ArgSyntax syntax;
  syntax.values = {"--secret-env", "--secret-fd", "--expires"};
  syntax.min_positional = syntax.max_positional = 1;
  ParsedArgs p;
  if (int s = Parse(ctx, "key secret", args, syntax, p); s != kExitOk) return s;
  const std::string env = p.Value("--secret-env"), fd = p.Value("--secret-fd");
  if (!env.empty() && !fd.empty()) {
    return ctx.UsageError("key secret", "give one of --secret-env and --secret-fd");
  }
  int year = 0, month = 0, day = 0;
  if (int s = ExpiryOption(ctx, "key secret", "--expires", p.Value("--expires", "never"), year,
                           month, day);
      s != kExitOk) {
    return s;
  }
  std::string secret;
  if (!env.empty() || !fd.empty()) {
    if (int s = ReadSecret(ctx.ui, env, fd, secret); s != kExitOk) return s;
  } else if (int s = AskSecretTwice(ctx, secret); s != kExitOk) {
    return s;
  }
  return WithKeyfile(ctx, [&]() {
    const std::string key_id = FindKeyByName(ctx, p.positional[0]);
    if (key_id.empty()) {
      Wipe(secret);
      return kExitFailed;
    }
    if (!SetSecretKey(ctx.kf, key_id, secret, year, month, day)) {
      ctx.ui.Note("The secret key is unchanged.");
    }
    return kExitOk;
  });
}

int KeyGen(Context& ctx, const std::vector<std::string>& args) {
  ArgSyntax syntax;
  syntax.values = {"--bits", "--expires", "--share"};
  syntax.min_positional = syntax.max_positional = 1;
  ParsedArgs p;
  if (int s = Parse(ctx, "key gen", args, syntax, p); s != kExitOk) return s;
  KeyPairRequest request;
  bool ok = false;
  const std::string bits_text = p.Value("--bits");
  const long long bits = ParseNumber(bits_text, &ok);
  if (!ok || bits <= 0 || bits > 1000000 ||
      bits_text.find_first_not_of("0123456789") != std::string::npos) {
    return ctx.UsageError("key gen", "--bits needs a key length in bits, e.g. 2048");
  }
  // The key manager's own rules, checked before anything is opened or asked.
  if (bits < kRsaMinKeyBits || bits > kRsaMaxKeyBits || bits % 32 != 0) {
    return ctx.UsageError("key gen", "--bits must be a multiple of 32 from " +
                                         std::to_string(kRsaMinKeyBits) + " to " +
                                         std::to_string(kRsaMaxKeyBits));
  }
  request.bits = static_cast<int>(bits);
  if (int s = ExpiryOption(ctx, "key gen", "--expires", p.Value("--expires", "never"),
                           request.expiry_year, request.expiry_month, request.expiry_day);
      s != kExitOk) {
    return s;
  }
  std::stringstream share(p.Value("--share"));
  for (std::string item; std::getline(share, item, ',');) {
    if (item == "company") {
      request.flags.company = 1;
    } else if (item == "department") {
      request.flags.department = 1;
    } else if (item == "email") {
      request.flags.email = 1;
    } else if (!item.empty()) {
      return ctx.UsageError("key gen", "--share takes company, department and email");
    }
  }
  return WithKeyfile(ctx, [&]() {
    const std::string key_id = FindKeyByName(ctx, p.positional[0]);
    if (key_id.empty()) return kExitFailed;
    if (CheckNewKeyPairs(ctx.kf, key_id) != kKeyPairsStored) return kExitFailed;
    const bool draw = ctx.ui.ProgressShown();
    auto progress = [&](int pair, int steps_done, long candidates) {
      if (!draw) return;
      std::fprintf(stderr, "\rkey pair %d of 2: %s (%ld candidates)   ", pair,
                   KeyGenerationStepText(steps_done < kRsaGenerationSteps ? steps_done + 1
                                                                          : kRsaGenerationSteps)
                       .c_str(),
                   candidates);
      std::fflush(stderr);
    };
    const int result = StoreNewKeyPairs(ctx.kf, key_id, request, progress);
    if (draw) std::fputs("\n", stderr);
    return result == kKeyPairsStored ? kExitOk : kExitFailed;
  });
}

int KeyList(Context& ctx, const std::vector<std::string>& args) {
  ParsedArgs p;
  if (int s = Parse(ctx, "key list", args, {}, p); s != kExitOk) return s;
  return WithKeyfile(
      ctx,
      [&]() {
        for (const KeyListEntry& k : SortedKeys(ctx)) {
          std::string fingerprint = Fingerprint(ctx.kf, k.key_id);
          while (!fingerprint.empty() && fingerprint.back() == ' ') fingerprint.pop_back();
          KeyDates dates;
          std::string expiry = "-";
          if (ReadKeyDates(ctx.kf, rec::kPublicKeyDates, k.key_id, dates) ||
              ReadKeyDates(ctx.kf, rec::kSecretKeyDates, k.key_id, dates)) {
            expiry = DateText(dates.expiry_year, dates.expiry_month, dates.expiry_day);
          }
          Print(ctx, k.keyname + "\t" + k.category + "\t" + Bytes_ToHex(k.key_id) + "\t" +
                         (fingerprint.empty() ? "-" : fingerprint) + "\t" + expiry);
        }
        return kExitOk;
      },
      LockKind::kShared);
}

std::string DateTimeText(const LocalTime& t) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  return buffer;
}

const char* TrustName(const std::string& trust) {
  switch (ParseNumber(trust)) {
    case 1:
      return "1 (Low)";
    case 2:
      return "2 (Medium)";
    case 3:
      return "3 (High)";
    default:
      return "undefined";
  }
}

// "Created" and "Expires" lines of a dates record, "-" for both when the key has none.
void PrintDates(Context& ctx, const std::string& part, std::string_view type,
                std::string_view key_id) {
  KeyDates dates;
  if (ReadKeyDates(ctx.kf, type, key_id, dates)) {
    Print(ctx, part + " created: " + DateTimeText(dates.created));
    Print(ctx,
          part + " expires: " + DateText(dates.expiry_year, dates.expiry_month, dates.expiry_day));
  } else {
    Print(ctx, part + " created: -");
    Print(ctx, part + " expires: -");
  }
}

int KeyShow(Context& ctx, const std::vector<std::string>& args) {
  ArgSyntax syntax;
  syntax.min_positional = syntax.max_positional = 1;
  ParsedArgs p;
  if (int s = Parse(ctx, "key show", args, syntax, p); s != kExitOk) return s;
  return WithKeyfile(
      ctx,
      [&]() {
        const std::string key_id = FindKeyByName(ctx, p.positional[0]);
        if (key_id.empty()) return kExitFailed;
        UserId user;
        if (!ReadUserId(ctx.kf, key_id, user)) return kExitFailed;
        char category = 'r';
        for (const KeyListEntry& k : ctx.kf.keys) {
          if (k.key_id == key_id) category = k.category;
        }
        Print(ctx, "Keyname: " + user.keyname);
        Print(ctx, "KeyID: " + Bytes_ToHex(key_id));
        Print(ctx,
              std::string("Category: ") + (category == 'm' ? "m (My keys)" : "r (Recipient keys)"));
        Print(ctx, "First name: " + user.first_name);
        Print(ctx, "Last name: " + user.last_name);
        Print(ctx, "Company: " + user.company);
        Print(ctx, "Department: " + user.department);
        Print(ctx, "E-mail subject: " + user.email_subject);
        Print(ctx, "E-mail address: " + user.email_address);
        Print(ctx, std::string("Trust: ") + TrustName(user.trust));
        long index = 0;
        Bytes secret = FindRecord(ctx.kf, rec::kSecretKey, key_id, index);
        Wipe(secret);
        Print(ctx, std::string("Secret key: ") + (index > 0 ? "yes" : "no"));
        PrintDates(ctx, "Secret key", rec::kSecretKeyDates, key_id);
        RsaKeyRecord encryption;
        PublicKeyFlags flags;
        if (ReadRsaKeyRecord(ctx.kf, rec::kEncryptionPublicKey, key_id, encryption, &flags)) {
          std::string fingerprint = Fingerprint(ctx.kf, key_id);
          while (!fingerprint.empty() && fingerprint.back() == ' ') fingerprint.pop_back();
          Print(ctx, "Key pair: " + std::to_string(encryption.bits) + " bits");
          Print(ctx, "Fingerprint: " + fingerprint);
          std::string shared;
          for (auto [on, name] :
               {std::pair{flags.company, "company"}, std::pair{flags.department, "department"},
                std::pair{flags.email, "email"}}) {
            if (on) shared += (shared.empty() ? "" : ",") + std::string(name);
          }
          Print(ctx, "Exported with the key: " + (shared.empty() ? std::string("-") : shared));
        } else {
          Print(ctx, "Key pair: none");
          Print(ctx, "Fingerprint: -");
        }
        RsaKeyRecord private_half;
        const bool has_private =
            ReadRsaKeyRecord(ctx.kf, rec::kEncryptionPrivateKey, key_id, private_half);
        Wipe(private_half.exponent);
        Print(ctx, std::string("Private part: ") + (has_private ? "yes" : "no"));
        PrintDates(ctx, "Public key", rec::kPublicKeyDates, key_id);
        std::string groups;
        for (const KeyGroupEntry& g : ctx.kf.groups) {
          if (std::find(g.members.begin(), g.members.end(), key_id) != g.members.end()) {
            groups += (groups.empty() ? "" : ", ") + g.name;
          }
        }
        Print(ctx, "Groups: " + (groups.empty() ? std::string("-") : groups));
        const bool signer = SigningKey(ctx.kf) == key_id;
        Print(ctx, std::string("Signing key: ") + (signer ? "yes" : "no"));
        Print(ctx, std::string("Always encrypt to it: ") +
                       (signer && AlwaysEncrypt(ctx.kf) ? "yes" : "no"));
        return kExitOk;
      },
      LockKind::kShared);
}

int KeyEdit(Context& ctx, const std::vector<std::string>& args) {
  ArgSyntax syntax;
  syntax.values = {"--name",    "--first", "--last",  "--company",       "--department",
                   "--subject", "--email", "--trust", "--secret-expires"};
  syntax.min_positional = syntax.max_positional = 1;
  ParsedArgs p;
  if (int s = Parse(ctx, "key edit", args, syntax, p); s != kExitOk) return s;
  const std::string trust = p.Value("--trust", "1");
  if (trust != "1" && trust != "2" && trust != "3") {
    return ctx.UsageError("key edit", "--trust must be 1, 2 or 3");
  }
  int year = 0, month = 0, day = 0;
  if (p.Has("--secret-expires")) {
    if (int s = ExpiryOption(ctx, "key edit", "--secret-expires", p.Value("--secret-expires"), year,
                             month, day);
        s != kExitOk) {
      return s;
    }
  }
  if (p.values.empty()) return ctx.UsageError("key edit", "nothing to change");
  return WithKeyfile(ctx, [&]() {
    const std::string key_id = FindKeyByName(ctx, p.positional[0]);
    if (key_id.empty()) return kExitFailed;
    UserId user;
    if (!ReadUserId(ctx.kf, key_id, user)) return kExitFailed;
    if (p.Has("--secret-expires")) {
      long index = 0;
      Bytes record = FindRecord(ctx.kf, rec::kSecretKey, key_id, index);
      if (index < 0) {
        return ctx.Fail("key \"" + p.positional[0] +
                        "\" has no secret key (set one with: lq key secret)");
      }
      long position = 7;
      NextField(record, position);
      std::string text = NextField(record, position);
      Wipe(record);
      // The same text with the new date: the key manager's secret-key dialog with its text kept.
      SetSecretKey(ctx.kf, key_id, text, year, month, day);
    }
    const std::vector<std::pair<const char*, std::string*>> fields = {
        {"--name", &user.keyname},          {"--first", &user.first_name},
        {"--last", &user.last_name},        {"--company", &user.company},
        {"--department", &user.department}, {"--subject", &user.email_subject},
        {"--email", &user.email_address}};
    bool details = false;
    for (const auto& [option, field] : fields) {
      if (!p.Has(option)) continue;
      *field = p.Value(option);
      details = true;
    }
    // Stored as the key manager stores its slider.
    if (p.Has("--trust")) {
      user.trust = NumText(std::stoi(trust));
      details = true;
    }
    if (details) {
      const std::string stored = StoreKeyDetails(ctx.kf, user);
      if (p.Has("--name") && stored != p.Value("--name")) {
        ctx.ui.Note("The key is now named \"" + stored + "\"");
      }
    }
    return kExitOk;
  });
}

int KeyDelete(Context& ctx, const std::vector<std::string>& args) {
  ArgSyntax syntax;
  syntax.min_positional = syntax.max_positional = 1;
  ParsedArgs p;
  if (int s = Parse(ctx, "key delete", args, syntax, p); s != kExitOk) return s;
  return WithKeyfile(ctx, [&]() {
    const std::string key_id = FindKeyByName(ctx, p.positional[0]);
    if (key_id.empty()) return kExitFailed;
    if (!DeleteKey(ctx.kf, key_id)) return ctx.Fail("the key was not deleted");
    return kExitOk;
  });
}

int KeyExportCommand(Context& ctx, const std::vector<std::string>& args) {
  ArgSyntax syntax;
  syntax.flags = {"--private"};
  syntax.values = {"-o", "--output"};
  syntax.min_positional = syntax.max_positional = 1;
  ParsedArgs p;
  if (int s = Parse(ctx, "key export", args, syntax, p); s != kExitOk) return s;
  const std::string output = p.Value("-o", p.Value("--output"));
  const bool with_private = p.Has("--private");
  return WithKeyfile(
      ctx,
      [&]() {
        const std::string key_id = FindKeyByName(ctx, p.positional[0]);
        if (key_id.empty()) return kExitFailed;
        KeyExport exported;
        if (!PrepareKeyExport(ctx.kf, key_id, exported)) return kExitFailed;
        if (with_private && !exported.has_private) {
          WipeKeyExport(exported);
          return ctx.Fail("key \"" + p.positional[0] +
                          "\" has no private key part; it can only be exported without --private");
        }
        ctx.ui.Note("Data that is included in the key:\n" + TerminalText(exported.info_text));
        if (with_private) ctx.ui.Note("Key can be used to encrypt and decrypt data!");
        std::string text = ArmorExportedKey(
            with_private ? exported.private_record : exported.public_record, with_private);
        WipeKeyExport(exported);
        int status = kExitOk;
        if (output.empty()) {
          text += "\r\n";
          std::fwrite(text.data(), 1, text.size(), ctx.out);
          std::fflush(ctx.out);
        } else if (ctx.kf.files.Exists(output) &&
                   AskUser(ctx.ui, "EnDec_FileExists", MessageStyle("EnDec_FileExists"), output) !=
                       kIdYes) {
          status = ctx.Fail("File was not saved");
        } else if (const int err = ReplaceWholeFile(ctx.kf.files, output, text); err != 0) {
          ReportFileError(ctx.ui, err, output);
          status = kExitFailed;
        } else {
          ctx.ui.LogLine("Saving file with keydata: " + output);
        }
        Wipe(text);
        return status;
      },
      LockKind::kShared);
}

// Reads standard input whole.
std::string ReadStandardInput() {
  std::string data;
  char buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;) data.append(buffer, n);
  return data;
}

// A keyname for an imported key without one: the owner's names, made unique with a number.
std::string ImportedKeyname(Context& ctx, const std::string& text) {
  std::string base;
  QuietUi quiet;
  Bytes record = DearmorExportedKey(quiet, text);
  ExportedKey key;
  if (!record.empty() && DecomposeExportedKeyRecord(quiet, record, key)) {
    base = key.first_name;
    if (!key.last_name.empty()) base += (base.empty() ? "" : " ") + key.last_name;
  }
  WipeExportedKey(key);
  Wipe(record);
  if (base.empty()) base = "Imported key";
  std::string name = base;
  for (int n = 2; KeynameUsed(ctx.kf, name, true) || GroupNameUsed(ctx.kf, name); ++n) {
    name = base + " " + std::to_string(n);
  }
  return name;
}

// What an import would store, without storing it: the owner, KeyID, fingerprint, whether the
// private part comes along, and which key of the keyfile has that KeyID already.
int ImportDryRun(Context& ctx, std::string& text) {
  Bytes record = DearmorExportedKey(ctx.ui, text);
  Wipe(text);
  ExportedKey key;
  const bool ok = !record.empty() && DecomposeExportedKeyRecord(ctx.ui, record, key);
  Wipe(record);
  if (!ok) {
    WipeExportedKey(key);
    return kExitFailed;
  }
  const int status = WithKeyfile(
      ctx,
      [&]() {
        std::string owner = key.first_name;
        if (!key.last_name.empty()) owner += (owner.empty() ? "" : " ") + key.last_name;
        std::string fingerprint = FingerprintText(key.n, key.e);
        while (!fingerprint.empty() && fingerprint.back() == ' ') fingerprint.pop_back();
        Print(ctx, "Key of: " + owner);
        Print(ctx, "KeyID: " + Bytes_ToHex(key.key_id));
        Print(ctx, "Fingerprint: " + fingerprint);
        Print(ctx, std::string("Private part: ") + (key.d.empty() ? "no" : "yes"));
        std::string known = "-";
        for (const KeyListEntry& k : ctx.kf.keys) {
          if (k.key_id == key.key_id) known = k.keyname;
        }
        Print(ctx, "Same KeyID in this keyfile: " + known);
        Print(ctx, "Not imported (--dry-run).");
        return kExitOk;
      },
      LockKind::kShared);
  WipeExportedKey(key);
  return status;
}

int KeyImportCommand(Context& ctx, const std::vector<std::string>& args) {
  ArgSyntax syntax;
  syntax.flags = {"--replace", "--dry-run"};
  syntax.values = {"--as"};
  syntax.max_positional = 1;
  ParsedArgs p;
  if (int s = Parse(ctx, "key import", args, syntax, p); s != kExitOk) return s;
  if (p.Has("--replace") && p.Has("--as")) {
    return ctx.UsageError("key import", "--replace and --as exclude each other");
  }
  if (p.Has("--as") && p.Value("--as").empty()) {
    return ctx.UsageError("key import", "--as needs a keyname");
  }
  const std::string source = p.positional.empty() ? "-" : p.positional[0];
  std::string text;
  if (source == "-") {
    text = ReadStandardInput();
  } else if (const int err = ReadWholeFile(ctx.kf.files, source, text); err != 0) {
    ReportFileError(ctx.ui, err, source);
    return kExitFailed;
  }
  if (p.Has("--dry-run")) return ImportDryRun(ctx, text);
  return WithKeyfile(ctx, [&]() {
    if (p.Has("--replace")) ctx.ui.answers.push_back(kIdYes);
    if (p.Has("--as")) {
      ctx.ui.answers.push_back(kIdNo);
      ctx.ui.texts.push_back(p.Value("--as"));
    } else {
      ctx.ui.texts.push_back(ImportedKeyname(ctx, text));
    }
    Bytes key_id;
    const int result = ImportExportedKey(ctx.kf, text, key_id);
    Wipe(text);
    ctx.ui.answers.clear();
    ctx.ui.texts.clear();
    if (result != kImportStored) return kExitFailed;
    std::string fingerprint = Fingerprint(ctx.kf, key_id);
    while (!fingerprint.empty() && fingerprint.back() == ' ') fingerprint.pop_back();
    Print(ctx, "Imported key: " + KeyName(ctx, key_id));
    Print(ctx, "Fingerprint: " + fingerprint);
    return kExitOk;
  });
}

// --- group -----------------------------------------------------------------------------------

int GroupMembers(Context& ctx, const std::string& command, const std::vector<std::string>& args,
                 bool add) {
  ArgSyntax syntax;
  syntax.min_positional = 2;
  syntax.max_positional = 10000;
  ParsedArgs p;
  if (int s = Parse(ctx, command, args, syntax, p); s != kExitOk) return s;
  return WithKeyfile(ctx, [&]() {
    const std::string group_id = FindGroupByName(ctx, p.positional[0]);
    if (group_id.empty()) return kExitFailed;
    std::vector<std::string> ids;
    for (size_t i = 1; i < p.positional.size(); ++i) {
      ids.push_back(FindKeyByName(ctx, p.positional[i]));
      if (ids.back().empty()) return kExitFailed;
    }
    for (const std::string& id : ids) {
      if (add) {
        AddGroupMember(ctx.kf, group_id, id);
      } else {
        RemoveGroupMember(ctx.kf, group_id, id);
      }
    }
    return kExitOk;
  });
}

}  // namespace

int RunKeyfileCommand(Context& ctx, const std::string& sub, const std::vector<std::string>& args) {
  if (sub == "create") return KeyfileCreate(ctx, args);
  if (sub == "passwd") return KeyfilePasswd(ctx, args);
  return KeyfileInfo(ctx, args);
}

int RunKeyCommand(Context& ctx, const std::string& sub, const std::vector<std::string>& args) {
  if (sub == "new") return KeyNew(ctx, args);
  if (sub == "secret") return KeySecret(ctx, args);
  if (sub == "gen") return KeyGen(ctx, args);
  if (sub == "list") return KeyList(ctx, args);
  if (sub == "show") return KeyShow(ctx, args);
  if (sub == "edit") return KeyEdit(ctx, args);
  if (sub == "delete") return KeyDelete(ctx, args);
  if (sub == "export") return KeyExportCommand(ctx, args);
  return KeyImportCommand(ctx, args);
}

int RunGroupCommand(Context& ctx, const std::string& sub, const std::vector<std::string>& args) {
  if (sub == "add") return GroupMembers(ctx, "group add", args, true);
  if (sub == "remove") return GroupMembers(ctx, "group remove", args, false);
  ArgSyntax syntax;
  syntax.min_positional = syntax.max_positional = sub == "list" ? 0 : 1;
  ParsedArgs p;
  if (int s = Parse(ctx, "group " + sub, args, syntax, p); s != kExitOk) return s;
  return WithKeyfile(
      ctx,
      [&]() {
        if (sub == "new") {
          ctx.ui.texts.push_back(p.positional[0]);
          const Bytes id = NewKeyGroup(ctx.kf);
          ctx.ui.texts.clear();
          return id.empty() ? kExitFailed : kExitOk;
        }
        if (sub == "delete") {
          const std::string id = FindGroupByName(ctx, p.positional[0]);
          if (id.empty()) return kExitFailed;
          return DeleteKeyGroup(ctx.kf, id) ? kExitOk : ctx.Fail("the group was not deleted");
        }
        for (const KeyGroupEntry& g : ctx.kf.groups) {
          std::string line = g.name + ":";
          for (size_t i = 0; i < g.members.size(); ++i) {
            line += (i == 0 ? " " : ", ") + KeyName(ctx, g.members[i]);
          }
          Print(ctx, line);
        }
        return kExitOk;
      },
      sub == "list" ? LockKind::kShared : LockKind::kExclusive);
}

int RunSignerCommand(Context& ctx, const std::string& sub, const std::vector<std::string>& args) {
  ArgSyntax syntax;
  if (sub == "set") {
    syntax.flags = {"--always-encrypt", "--no-always-encrypt"};
    syntax.min_positional = syntax.max_positional = 1;
  }
  ParsedArgs p;
  if (int s = Parse(ctx, "signer " + sub, args, syntax, p); s != kExitOk) return s;
  if (p.Has("--always-encrypt") && p.Has("--no-always-encrypt")) {
    return ctx.UsageError("signer set",
                          "--always-encrypt and --no-always-encrypt exclude each other");
  }
  const bool reads_only = sub == "show";
  return WithKeyfile(
      ctx,
      [&]() {
        if (sub == "set") {
          const std::string key_id = FindKeyByName(ctx, p.positional[0]);
          if (key_id.empty()) return kExitFailed;
          // Signing needs the private half; a key without it would fail at every signature.
          RsaKeyRecord private_half;
          if (!ReadRsaKeyRecord(ctx.kf, rec::kSigningPrivateKey, key_id, private_half)) {
            return ctx.Fail("key \"" + p.positional[0] +
                            "\" has no signing key pair (make one with: lq key gen)");
          }
          Wipe(private_half.exponent);
          // The flag stays as it was unless the command names it.
          const bool always = p.Has("--always-encrypt")      ? true
                              : p.Has("--no-always-encrypt") ? false
                                                             : AlwaysEncrypt(ctx.kf);
          SetSigningKey(ctx.kf, key_id);
          SetAlwaysEncrypt(ctx.kf, always);
          return kExitOk;
        }
        if (sub == "clear") {
          ClearSigningKey(ctx.kf);
          return kExitOk;
        }
        const Bytes signer = SigningKey(ctx.kf);
        if (signer.empty()) {
          Print(ctx, kNoSigningKeyText);
        } else {
          Print(ctx, KeyName(ctx, signer));
          Print(ctx, std::string("always encrypt: ") + (AlwaysEncrypt(ctx.kf) ? "yes" : "no"));
        }
        return kExitOk;
      },
      reads_only ? LockKind::kShared : LockKind::kExclusive);
}

// --- selftest --------------------------------------------------------------------------------

namespace {
class CaptureTrace : public TraceSink {
 public:
  void Trace(std::string_view text) override { texts += std::string(text) + "\n"; }
  std::string texts;
};
}  // namespace

int RunSelftest(Context& ctx, const std::vector<std::string>& args) {
  ParsedArgs p;
  if (int s = Parse(ctx, "selftest", args, {}, p); s != kExitOk) return s;
  int failures = 0;
  auto report = [&](const char* what, bool ok) {
    Print(ctx, std::string(what) + (ok ? ": ok" : ": FAILED"));
    failures += ok ? 0 : 1;
  };
  CaptureTrace trace;
  SHA256_SelfTest(trace);
  report("SHA-256 (FIPS 180-2 Appendix B)", trace.texts.find(" 0 errors") != std::string::npos);
  // The keyed digest uses the key at its own length and the digests as little-endian words, so
  // the RFC 4231 answers do not apply; this one was computed with Python's hashlib from that
  // definition (key "Jefe", the message of RFC 4231 case 2).
  report("HMAC-SHA-256 (key at its own length)",
         Bytes_ToHex(HMAC_SHA256("Jefe", "what do ya want for nothing?")) ==
             "A336763F06DABA5F19B24F6D6E0AE14EC85E88D5BB7ABE19A7AB471F9332C276");
  report("AES (FIPS 197, SP 800-38A)", AES_SelfTest(ctx.random, ctx.ui) == 0);
  Bytes b64;
  Base64_Encode("foobar", kBase64GroupsPerLine, b64);
  Bytes back;
  Base64_Decode(b64, back);
  report("Base64 (RFC 4648 section 10)", b64 == "Zm9vYmFy" && back == "foobar");
  const std::string sample(2000, 'x');
  Bytes packed, unpacked;
  LZ78_Compress(sample + "Lockquill", packed);
  LZ78_Decompress(packed, unpacked);
  report("LZ78 round trip", unpacked == sample + "Lockquill");
  RsaKeyPair pair;
  bool rsa_ok = RsaGenerateKeyPair(ctx.random, trace, 512, kRsaKeyRounds, pair);
  if (rsa_ok) {
    const Bytes session(32, '\x5a');
    const RsaKey pub{pair.bits, pair.n, pair.e}, priv{pair.bits, pair.n, pair.d};
    Bytes plain = RsaDecrypt(RsaEncrypt(ctx.random, ctx.ui, session, pub), priv);
    const BigNum signature = RsaSign(ctx.random, ctx.ui, "selftest", priv);
    rsa_ok = plain == session && RsaVerify("selftest", signature, pub) &&
             !RsaVerify("selftesT", signature, pub);
    Wipe(plain);
    WipeKeyPair(pair);
  }
  report("RSA 512-bit generate, encrypt, sign", rsa_ok);
  return failures == 0 ? kExitOk : kExitFailed;
}

}  // namespace lq::cli
