// The wait screen "WAITSCREEN": a small top-most window with a text, shown while a long
// operation (the random generator's set-up) runs without a progress bar.
#pragma once

#include <string>

namespace lq::gui {

class Desk;

inline constexpr char kWaitScreenForm[] = "WAITSCREEN";

class WaitScreen {
 public:
  explicit WaitScreen(Desk& desk) : desk_(desk) {}
  void Show(std::string_view text);
  void Hide();
  void Design();

 private:
  Desk& desk_;
  std::string text_;
};

}  // namespace lq::gui
