// Shared pieces of the engine's fuzz targets: a Ui that answers nothing and shows nothing, and
// one session on a copy of the golden test keyfile (keys of every kind, so every pass of the
// key search can be reached), made once per fuzzing process in a folder of its own.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/ui.h"
#include "keys/keyfile.h"
#include "packet/packet_session.h"

#ifndef LQ_FUZZ_KEYFILE
#define LQ_FUZZ_KEYFILE "tests/data/golden/golden.lqk"
#endif

namespace lq::fuzz {

// Shows nothing, refuses every question and prompt, overwrites nothing.
class QuietUi : public Ui {
 public:
  int ShowMessageBox(const MessageBoxRequest&) override { return kIdCancel; }
  OverwriteReply ConfirmOverwrite(const OverwriteRequest&) override { return {}; }
  std::string AskPassphrase(std::string_view) override { return kPassphraseCancelled; }
  ChangePassphraseReply AskChangePassphrase(const ChangePassphraseRequest&) override {
    ChangePassphraseReply reply;
    reply.current = kPassphraseCancelled;
    return reply;
  }
  std::string AskText(std::string_view, std::string_view, bool& ok) override {
    ok = false;
    return {};
  }
  std::vector<std::string> ChooseFiles(const FileChooserRequest&) override { return {}; }
  std::string ChooseFolder(std::string_view, std::string_view) override { return {}; }
};

// The golden keyfile opened once, a store folder beside it.
struct Engine {
  QuietUi ui;
  RandomContext random;
  Keyfile kf{ui, random};
  std::unique_ptr<PacketSession> ps;
  std::string folder;

  Engine() {
    folder = (std::filesystem::temp_directory_path() /
              ("lq-fuzz-" + std::to_string(static_cast<long>(getpid()))))
                 .string();
    std::filesystem::create_directories(folder + "/store");
    const std::string copy = folder + "/golden.lqk";
    std::filesystem::copy_file(LQ_FUZZ_KEYFILE, copy,
                               std::filesystem::copy_options::overwrite_existing);
    std::string passphrase = "golden pass";
    if (OpenKeyfile(kf, copy, passphrase) != kKeyfileOpened) std::abort();
    ps = std::make_unique<PacketSession>(ui, random, kf);
    ps->store_folder = folder + "/store/";
    // A small ceiling keeps the fuzzer's memory low; the check itself is what is under test.
    ps->max_plaintext_bytes = 1 << 22;
  }
  // A fresh request state, and the store folder emptied of what the last input wrote.
  PacketSession& Fresh() {
    std::error_code ec;
    for (auto& e : std::filesystem::directory_iterator(folder + "/store", ec)) {
      std::filesystem::remove_all(e.path(), ec);
    }
    const std::string store = ps->store_folder;
    ps = std::make_unique<PacketSession>(ui, random, kf);
    ps->store_folder = store;
    ps->max_plaintext_bytes = 1 << 22;
    return *ps;
  }
};

inline Engine& TheEngine() {
  static Engine engine;
  return engine;
}

}  // namespace lq::fuzz
