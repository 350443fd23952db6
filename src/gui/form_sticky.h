// The sticky form "STICKYFORM": a small borderless note that follows the mouse cursor and tells
// the user what to do while the program waits for a click or fetches text. It is the GUI's side
// of text capture (CaptureSurface); at most one exists, owned by the hidden form "DUMMY".
#pragma once

#include <string>
#include <vector>

#include "app/text_capture.h"

namespace lq::gui {

inline constexpr char kStickyForm[] = "STICKYFORM";

namespace sticky_ctl {
constexpr int kText = 100;  // the label that fills the form
}

class StickyForm : public CaptureSurface {
 public:
  // Replaces any sticky form shown with one for `lines`, sized to them and placed at the
  // cursor, on top of every window and without taking the activation.
  void ShowStickyForm(const std::vector<std::string>& lines) override;
  // Puts the form's top-left corner one character unit right of and below the cursor (left of
  // or above it where the screen ends) and keeps it on top.
  void MoveStickyForm(ScreenPoint cursor) override;
  void CloseStickyForm() override;
  // MAIN minimised and restored through the toolkit; a main-window adapter may do more.
  void MinimizeMainWindow() override;
  void RestoreMainWindow() override;

  // The form's size in character units for these lines: 0.70 x the longest line by 0.87 x the
  // number of lines, rounded, and never smaller than the text as measured (text_cx x text_cy
  // pixels in the label's font) with a margin.
  static void SizeFor(const std::vector<std::string>& lines, int text_cx, int text_cy, double& w,
                      double& h);

 private:
  ScreenPoint last_cursor_{-100000, -100000};
};

}  // namespace lq::gui
