// The viewer program's one form "SEEXE": the sender's note, the passphrase (masked or plain,
// switched by "Hide text when typing"), "Enter", "Copy text to clipboard" and "Exit", and the
// line with the time the packet was encrypted. The work is PacketViewer's; this draws it.
#pragma once

#include <cstdint>
#include <string>

#include "base/ui.h"
#include "crypto/random.h"
#include "gui/form_overwrite.h"
#include "keys/keyfile.h"
#include "packet/packet_session.h"
#include "selfextract/viewer.h"

namespace lq::sxview {

namespace seexe_ctl {
constexpr int kIntro = 100;
constexpr int kNote = 101;  // "Usernote": the note, later the message
constexpr int kPlain = 103;
constexpr int kMasked = 104;
constexpr int kHide = 105;
constexpr int kEnter = 106;
constexpr int kCopy = 107;
constexpr int kExit = 108;
constexpr int kDateLine = 109;
}  // namespace seexe_ctl

class ViewerApp;

// The viewer's Ui: message boxes, the overwrite dialog and the folder dialog on the toolkit.
// It asks nothing else (no passphrase prompts, no file choosers).
class ViewerUi final : public Ui {
 public:
  explicit ViewerUi(ViewerApp& app) : app_(app) {}
  int ShowMessageBox(const MessageBoxRequest& request) override;
  OverwriteReply ConfirmOverwrite(const OverwriteRequest& request) override;
  std::string AskPassphrase(std::string_view prompt) override;
  ChangePassphraseReply AskChangePassphrase(const ChangePassphraseRequest& request) override;
  std::string AskText(std::string_view prompt, std::string_view initial, bool& ok) override;
  void Pump() override;
  std::vector<std::string> ChooseFiles(const FileChooserRequest& request) override;
  std::string ChooseFolder(std::string_view title, std::string_view initial) override;

 private:
  ViewerApp& app_;
};

class ViewerApp {
 public:
  explicit ViewerApp(std::string packet_path);
  ~ViewerApp();
  ViewerApp(const ViewerApp&) = delete;
  ViewerApp& operator=(const ViewerApp&) = delete;

  // The toolkit's callbacks.
  void Start();
  void CreateForm(const std::string& form);
  void DispatchEvent(const std::string& form, int id, int code, intptr_t value, int* cancel);

  gui::OverwriteForm overwrite;

 private:
  void Design();
  void OnEvent(int id, int code, intptr_t value, int* cancel);
  void OnHide(bool on);
  void OnEnter();
  void ClearBox(int id);

  std::string packet_path_;
  ViewerUi ui_;
  RandomContext random_;
  Keyfile keyfile_;  // never opened: the packet needs no keys
  PacketSession session_;
  PacketViewer viewer_;
  Bytes note_;
  bool hiding_ = true;
};

// Runs the viewer on the packet file named by `command_line`; the run's exit code.
int RunViewer(void* instance, const std::string& command_line, int show);

}  // namespace lq::sxview
