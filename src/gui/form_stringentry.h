// The text-entry dialog "STRINGENTRY": a prompt, one text box, OK and Cancel.
#pragma once

#include <string>

namespace lq::gui {

class Desk;

inline constexpr char kStringEntryForm[] = "STRINGENTRY";

namespace entry_ctl {
constexpr int kPrompt = 100;
constexpr int kText = 101;
constexpr int kOk = 102;
constexpr int kCancel = 103;
}  // namespace entry_ctl

class StringEntryForm {
 public:
  explicit StringEntryForm(Desk& desk) : desk_(desk) {}
  // The typed text, or the one byte 0 when cancelled.
  std::string Ask(std::string_view prompt, std::string_view initial);
  void Design();
  void OnEvent(int id, int code, intptr_t value, int* cancel);

 private:
  Desk& desk_;
  std::string prompt_, initial_, result_;
};

}  // namespace lq::gui
