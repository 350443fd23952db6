// The packet commands of lq: encrypt and sign text and files into armor or a packet file, and
// decrypt / verify either form, over the same packet engine the desktop program uses.
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "base/bytes.h"
#include "base/catalogue.h"
#include "base/file_io.h"
#include "base/records.h"
#include "cli/lq.h"
#include "keys/key_records.h"
#include "packet/armor.h"
#include "packet/encryption_packet.h"
#include "packet/packet_records.h"
#include "packet/packet_session.h"
#include "packet/signature_packet.h"

namespace lq::cli {
namespace {

std::string ReadAllStdin() {
  std::string data;
  char buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;) data.append(buffer, n);
  return data;
}

void WriteStdout(Context& ctx, std::string_view data) {
  std::fwrite(data.data(), 1, data.size(), ctx.out);
  std::fflush(ctx.out);
}

// The store folder with the trailing separator the engine expects.
std::string StoreFolder(const std::string& folder) {
  std::string f = folder.empty() ? std::string(".") : folder;
  if (f.back() != '/' && f.back() != '\\') f += '/';
  return f;
}

// A key or a group by name (keys first), else a key by KeyID or fingerprint prefix; empty
// with a message when none fits.
Bytes FindRecipient(Context& ctx, const std::string& name) {
  for (const KeyListEntry& k : ctx.kf.keys) {
    if (k.keyname == name) return k.key_id;
  }
  for (const KeyGroupEntry& g : ctx.kf.groups) {
    if (g.name == name) return g.group_id;
  }
  if (KeynameUsed(ctx.kf, name, true)) return FindKeyByName(ctx, name);
  if (GroupNameUsed(ctx.kf, name)) return FindGroupByName(ctx, name);
  bool ambiguous = false;
  if (Bytes id = FindKeyByIdPrefix(ctx, name, ambiguous); !id.empty()) return id;
  if (ambiguous) {
    ctx.ui.Error("\"" + name + "\" is the start of more than one KeyID or fingerprint");
    return {};
  }
  ctx.ui.Error("no key or group named \"" + name + "\"");
  return {};
}

// The attachments as full paths; false (message shown) when one does not exist.
bool Attachments(Context& ctx, const ParsedArgs& p, PacketSession& s) {
  for (const std::string& path : p.All("--attach")) {
    if (!ctx.kf.files.Exists(path) || std::filesystem::is_directory(path)) {
      ShowMessage(ctx.ui, "Error_FileNotFound", MessageStyle("Error_FileNotFound"), path);
      return false;
    }
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    s.attachments.push_back(ec ? path : full.string());
  }
  return true;
}

int Compose(Context& ctx, const std::string& command, const std::vector<std::string>& args,
            bool encrypt) {
  ArgSyntax syntax;
  syntax.values = {"--attach", "--text", "-o", "--output"};
  if (encrypt) {
    syntax.values.insert({"--to", "--prefer"});
    syntax.flags = {"--sign"};
  }
  ParsedArgs p;
  std::string error;
  if (!ParseArgs(args, syntax, p, error)) return ctx.UsageError(command, error);
  std::vector<std::string> names;
  for (const std::string& list : p.All("--to")) {
    std::stringstream in(list);
    for (std::string name; std::getline(in, name, ',');) {
      if (!name.empty()) names.push_back(name);
    }
  }
  if (encrypt && names.empty()) return ctx.UsageError(command, "--to names no recipient");
  const std::string prefer = p.Value("--prefer", "public");
  if (prefer != "public" && prefer != "secret") {
    return ctx.UsageError(command, "--prefer takes secret or public");
  }
  const std::string output = p.Value("-o", p.Value("--output"));
  return [&]() {
    if (const int status = ctx.OpenKeyfile(); status != kExitOk) return status;
    PacketSession s(ctx.ui, ctx.random, ctx.kf);
    s.encrypt = encrypt;
    s.sign = encrypt ? p.Has("--sign") : true;
    s.SetPreferSecretKeys(prefer == "secret");
    std::vector<Bytes> ids;
    for (const std::string& name : names) {
      ids.push_back(FindRecipient(ctx, name));
      if (ids.back().empty()) return kExitFailed;
    }
    s.SetRecipients(ids);
    if (!Attachments(ctx, p, s)) return kExitFailed;
    std::string text = p.Has("--text") ? p.Value("--text") : ReadAllStdin();
    int status = kExitOk;
    if (!output.empty()) {
      if (Compose_PacketFile(s, output, text, encrypt) != 0) status = kExitFailed;
    } else if (encrypt) {
      // The armor of a large packet goes out as it is made, a piece at a time.
      const bool made = Compose_PacketArmor(
          s, text, [&ctx](std::string_view piece) { WriteStdout(ctx, piece); });
      if (made) {
        WriteStdout(ctx, "\r\n");
      } else {
        status = kExitFailed;
      }
    } else {
      std::string armor = Compose_SignedTextArmor(s, text);
      if (armor.empty()) {
        status = kExitFailed;
      } else {
        armor += "\r\n";
        WriteStdout(ctx, armor);
      }
    }
    Wipe(text);
    // The random state and anything else the engine changed go back into the keyfile.
    const int saved = ctx.SaveIfModified();
    return status != kExitOk ? status : saved;
  }();
}

// The clear text of a signed-text armor as it was written: between the CR LF after the start
// marker and the CR LF before the signature marker.
std::string SignedClearText(std::string_view armor) {
  QuietUi quiet;
  const Bytes list = Dearmor_SignedText(quiet, armor);
  long pos = 1;
  NextField(list, pos);
  std::string text = NextField(list, pos);
  if (text.rfind("\r\n", 0) == 0) text.erase(0, 2);
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) {
    text.resize(text.size() - 2);
  }
  return text;
}

bool IsPacketFile(std::string_view data) {
  return data.substr(0, 3) == pkt::kPacketFile &&
         data.substr(0, 100).find(kPacketFileIdentification) != std::string_view::npos;
}

int Decrypt(Context& ctx, const std::vector<std::string>& args) {
  ArgSyntax syntax;
  syntax.max_positional = 1;
  ParsedArgs p;
  std::string error;
  if (!ParseArgs(args, syntax, p, error)) return ctx.UsageError("decrypt", error);
  const std::string source = p.positional.empty() ? "-" : p.positional[0];
  std::string data;
  if (source == "-") {
    data = ReadAllStdin();
  } else if (const int err = ReadWholeFile(ctx.kf.files, source, data); err != 0) {
    ReportFileError(ctx.ui, err, source);
    return kExitFailed;
  }
  if (std::error_code ec; !std::filesystem::is_directory(ctx.options.store, ec)) {
    ShowMessage(ctx.ui, "Error_PathNotFound", MessageStyle("Error_PathNotFound"),
                ctx.options.store);
    return kExitFailed;
  }
  if (const int status = ctx.OpenKeyfile(); status != kExitOk) return status;
  PacketSession s(ctx.ui, ctx.random, ctx.kf);
  s.max_plaintext_bytes = ctx.options.max_plaintext_bytes;
  s.store_folder = StoreFolder(ctx.options.store);
  s.keep_history = false;
  ClearOverwriteAnswer(s);
  s.ClearSummary(source == "-" ? "standard input" : source);
  const size_t summary_heading = s.Summary().size();

  OpenedText opened;
  std::string clear_text;
  if (IsPacketFile(data)) {
    // Opened where it was read: the content is given up to the engine.
    opened = Decompose_PacketFileContent(s, source == "-" ? "standard input" : source, data);
    clear_text = opened.text;
  } else {
    const std::string kind = DetectArmor(ctx.ui, data, false);
    if (kind.empty()) {
      ShowMessage(ctx.ui, "EnDec_NoAsciiArmorFormat", MessageStyle("EnDec_NoAsciiArmorFormat"));
      return kExitFailed;
    }
    if (kind == kSignedTextStart) {
      opened = ReadArmoredText(s, data);
      clear_text = SignedClearText(data);
    } else {
      // Given up to the engine, which decodes and opens the packet inside it.
      opened = ReadArmoredTextInPlace(s, std::move(data));
      clear_text = opened.text;
    }
  }
  Wipe(data);
  WriteStdout(ctx, clear_text);
  Wipe(clear_text);
  Wipe(opened.text);
  // The summary holds every verdict; without one the status line says what happened.
  if (s.Summary().size() > summary_heading) {
    ctx.ui.Verdict(TerminalText(s.Summary()));
  } else if (!s.Status().empty()) {
    ctx.ui.Verdict(TerminalText(s.Status()));
  }
  const int saved = ctx.SaveIfModified();
  for (const std::string& key : ctx.ui.shown_keys) {
    if (key == "Endec_SignatureDoesNotMatch") return kExitBadSignature;
  }
  if (ctx.ui.errors_shown > 0) return kExitFailed;
  return saved;
}

}  // namespace

int RunPacketCommand(Context& ctx, const std::string& command,
                     const std::vector<std::string>& args) {
  if (command == "encrypt") return Compose(ctx, "encrypt", args, true);
  if (command == "sign") return Compose(ctx, "sign", args, false);
  return Decrypt(ctx, args);
}

}  // namespace lq::cli
