// The passphrase dialogs "PASSPHRASE" (one passphrase) and "CHANGEPASSP" (current, new and
// retyped passphrase; new keyfile; a key's secret with its expiry). Hiding is the program's own:
// the boxes are plain edit controls whose messages go through the hiding state machine.
#pragma once

#include <memory>
#include <string>

#include "app/passphrase_entry.h"
#include "base/ui.h"

namespace lq::gui {

class Desk;

inline constexpr char kPassphraseForm[] = "PASSPHRASE";
inline constexpr char kChangePassphraseForm[] = "CHANGEPASSP";

namespace pass_ctl {
constexpr int kPrompt = 100;
constexpr int kCurrentLabel = 101;
constexpr int kCurrent = 102;
constexpr int kNewLabel = 103;
constexpr int kNew = 104;  // PASSPHRASE's one box
constexpr int kRetypeLabel = 105;
constexpr int kRetype = 106;
constexpr int kHide = 110;
constexpr int kOk = 111;
constexpr int kCancel = 112;
constexpr int kNeverExpires = 120;
constexpr int kExpiryLabel = 121;
constexpr int kExpiry = 122;
constexpr int kNote = 130;  // "character not accepted" note under the boxes
constexpr int kWatchTimer = 1;
constexpr int kNoteTimer = 2;
}  // namespace pass_ctl

class PassphraseForms {
 public:
  explicit PassphraseForms(Desk& desk) : desk_(desk) {}

  std::string AskPassphrase(std::string_view prompt);
  ChangePassphraseReply AskChangePassphrase(const ChangePassphraseRequest& request);

  void Design(const std::string& form);
  void OnEvent(const std::string& form, int id, int code, intptr_t value, int* cancel);
  // The boxes' messages, through the hiding state machine. Non-zero: handled (swallowed).
  int OnBoxMessage(int id, unsigned msg, uintptr_t wp, intptr_t lp, intptr_t* result);
  bool Active() const { return model_ != nullptr; }

 private:
  void Run(const char* form);
  void Finish(bool ok);
  void SetBox(int id, const std::string& text);
  std::string BoxText(int id);
  void ShowPrompt();
  void NoteRefused();
  PassphraseBox BoxOf(int id) const;
  int FocusedBox() const;

  Desk& desk_;
  std::unique_ptr<PassphraseDialogModel> model_;
  const char* form_ = nullptr;
  double prompt_h_ = 3.3;
  bool change_ = false;
  ChangePassphraseRequest request_;
  std::string single_result_;
  ChangePassphraseReply change_result_;
  bool answered_ = false;
};

}  // namespace lq::gui
