// lq sfx: a self-extracting program from the command line, for a receiver without Lockquill.
// The note, the text (a file or standard input) and the files go into a passphrase packet; the
// launcher, viewer and toolkit library come from a folder of Windows programs, by default the
// 32-bit build, which runs on every Windows.
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "base/catalogue.h"
#include "base/file_io.h"
#include "cli/lq.h"
#include "packet/packet_session.h"
#include "packet/passphrase_packet.h"
#include "selfextract/builder.h"
#include "selfextract/container.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace lq::cli {

namespace {

std::string ReadAllStdin() {
  std::string data;
  char buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;) data.append(buffer, n);
  return data;
}

// Where the three programs lie when --programs is not given: $LQ_SFX_PROGRAMS, else on Windows
// the folder of lq.exe itself (they ship side by side), else the 32-bit build of this tree.
std::string DefaultProgramsFolder() {
  if (const char* env = std::getenv("LQ_SFX_PROGRAMS"); env != nullptr && *env != '\0') return env;
#if defined(_WIN32)
  wchar_t path[MAX_PATH * 4] = {};
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  if (n > 0 && n < MAX_PATH * 4) {
    return std::filesystem::path(path).parent_path().string();
  }
  return ".";
#elif defined(LQ_SFX_DEFAULT_PROGRAMS)
  return LQ_SFX_DEFAULT_PROGRAMS;
#else
  return ".";
#endif
}

// The programs of `folder`; a file system that tells letter case apart may hold the toolkit
// under the name the build gives it.
SelfExtractorPrograms FindPrograms(FileOps& files, const std::string& folder) {
  SelfExtractorPrograms p = ProgramsIn(folder);
  if (!files.Exists(p.toolkit)) {
    const size_t name = p.toolkit.size() - std::string_view(kToolkitFileName).size();
    const std::string lower = p.toolkit.substr(0, name) + "formkit30.dll";
    if (files.Exists(lower)) p.toolkit = lower;
  }
  return p;
}

// The passphrase: the global options' source, or asked twice on the terminal.
int SfxPassphrase(Context& ctx, std::string& passphrase) {
  if (!ctx.options.passphrase_env.empty() || !ctx.options.passphrase_fd.empty()) {
    return ReadSecret(ctx.ui, ctx.options.passphrase_env, ctx.options.passphrase_fd, passphrase);
  }
  ChangePassphraseRequest request;
  request.mode = ChangePassphraseMode::kNewKeyfile;
  request.prompt = "Enter the passphrase for the self-extracting program and then retype it:";
  ChangePassphraseReply reply = ctx.ui.AskChangePassphrase(request);
  int status = kExitOk;
  if (reply.current == kPassphraseCancelled) {
    status = kExitFailed;
  } else if (reply.new_text != reply.retyped) {
    ShowMessage(ctx.ui, "Keyfile_Passphrases_not_identical",
                MessageStyle("Keyfile_Passphrases_not_identical"));
    status = kExitFailed;
  } else {
    passphrase = reply.new_text;
  }
  Wipe(reply.current);
  Wipe(reply.new_text);
  Wipe(reply.retyped);
  return status;
}

}  // namespace

int RunSfxCommand(Context& ctx, const std::vector<std::string>& args) {
  ArgSyntax syntax;
  syntax.values = {"--note",   "--note-file", "--text", "--text-file",
                   "--attach", "--programs",  "-o",     "--output"};
  ParsedArgs p;
  std::string error;
  if (!ParseArgs(args, syntax, p, error)) return ctx.UsageError("sfx", error);
  if (p.Has("--note") && p.Has("--note-file")) {
    return ctx.UsageError("sfx", "give one of --note and --note-file");
  }
  if (p.Has("--text") && p.Has("--text-file")) {
    return ctx.UsageError("sfx", "give one of --text and --text-file");
  }
  const std::string output = p.Value("-o", p.Value("--output", "LQSEF.exe"));
  if (output.empty()) return ctx.UsageError("sfx", "-o needs a file name");
  FileOps& files = ctx.kf.files;

  std::string note = p.Value("--note");
  if (p.Has("--note-file")) {
    const std::string path = p.Value("--note-file");
    if (const int err = ReadWholeFile(files, path, note); err != fe::kOk) {
      ReportFileError(ctx.ui, err, path);
      return kExitFailed;
    }
  }
  PacketSession s(ctx.ui, ctx.random, ctx.kf);
  for (const std::string& path : p.All("--attach")) {
    std::error_code ec;
    if (!files.Exists(path) || std::filesystem::is_directory(path, ec)) {
      ShowMessage(ctx.ui, "Error_FileNotFound", MessageStyle("Error_FileNotFound"), path);
      return kExitFailed;
    }
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    s.attachments.push_back(ec ? path : full.string());
  }
  const SelfExtractorPrograms programs =
      FindPrograms(files, p.Value("--programs", DefaultProgramsFolder()));

  std::string passphrase;
  if (const int status = SfxPassphrase(ctx, passphrase); status != kExitOk) return status;
  if (passphrase.empty()) {
    ShowMessage(ctx.ui, "EnDec_NoPassphrase", MessageStyle("EnDec_NoPassphrase"));
    return kExitFailed;
  }
  std::string text;
  const std::string text_file = p.Value("--text-file", "-");
  if (p.Has("--text")) {
    text = p.Value("--text");
  } else if (text_file == "-") {
    text = ReadAllStdin();
  } else if (const int err = ReadWholeFile(files, text_file, text); err != fe::kOk) {
    Wipe(passphrase);
    ReportFileError(ctx.ui, err, text_file);
    return kExitFailed;
  }

  Bytes packet = Compose_PassphrasePacket(s, note, text, passphrase);
  Wipe(passphrase);
  Wipe(text);
  if (packet.empty()) return kExitFailed;
  const int written = WriteSelfExtractor(ctx.ui, files, programs, packet, output);
  if (written != kSelfExtractorWritten) return kExitFailed;
  ctx.ui.Note("Executable file saved as: " + output);
  return kExitOk;
}

}  // namespace lq::cli
