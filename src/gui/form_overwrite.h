// The overwrite confirmation "OVERWRITE": which file is replaced by which, with size and time of
// both, four answers and the remember box.
#pragma once

#include <functional>
#include <string>

#include "base/ui.h"

namespace lq::gui {

class Desk;

inline constexpr char kOverwriteForm[] = "OVERWRITE";

namespace over_ctl {
constexpr int kIcon = 100;
constexpr int kReplaceLabel = 101;
constexpr int kExistingName = 102;
constexpr int kExistingLine = 103;
constexpr int kWithLabel = 104;
constexpr int kNewName = 105;
constexpr int kNewLine = 106;
constexpr int kYes = 110;
constexpr int kYesToAll = 111;
constexpr int kNo = 112;
constexpr int kNoToAll = 113;
constexpr int kRemember = 114;
}  // namespace over_ctl

class OverwriteForm {
 public:
  // lqdesk's: over MAIN, on top when the settings say so.
  explicit OverwriteForm(Desk& desk);
  // Any program's: over `owner` when that form exists; `on_top` is asked at each question.
  OverwriteForm(const char* owner, std::function<bool()> on_top)
      : owner_(owner), on_top_(std::move(on_top)) {}
  OverwriteReply Ask(const OverwriteRequest& request);
  void Design();
  void OnEvent(int id, int code, intptr_t value, int* cancel);

 private:
  const char* owner_;
  std::function<bool()> on_top_;
  OverwriteRequest request_;
  OverwriteReply reply_;
  bool answered_ = false;
};

}  // namespace lq::gui
