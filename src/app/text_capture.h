// Text capture and paste: how the program reads the text of another program's window and puts
// text into it, through the clipboard and synthesised keys only. While it waits for the user a
// small note (the sticky form) follows the cursor and says what to do.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/desktop.h"

namespace lq {

// What capture needs of the program's own windows; the GUI draws it, tests record it.
class CaptureSurface {
 public:
  virtual ~CaptureSurface() = default;
  // The sticky form: shown at the cursor with these lines, moved next to the cursor, closed.
  // Showing it again replaces the one shown.
  virtual void ShowStickyForm(const std::vector<std::string>& lines) = 0;
  virtual void MoveStickyForm(ScreenPoint cursor) = 0;
  virtual void CloseStickyForm() = 0;
  // The main window while the user clicks another window (the minimise-during-click setting).
  virtual void MinimizeMainWindow() = 0;
  virtual void RestoreMainWindow() = 0;
};

struct CaptureContext {
  Desktop& desktop;
  CaptureSurface& surface;
  bool minimize_during_click = false;         // settings option 3
  std::function<void(std::string_view)> log;  // a log line; unset: none
};

// Returns once the user has clicked anywhere (a button held at the start does not count); the
// click itself reaches the clicked window. Minimises the main window first when the setting is
// on; the caller restores it.
void WaitForClick(CaptureContext& context, const std::vector<std::string>& lines);
// Returns when Ctrl, Shift and Alt are all up.
void WaitForModifierKeysReleased(CaptureContext& context);
// The selection of the focused window, or else its whole text (left selected); empty when the
// window gave nothing within its time, or when the clipboard could not be emptied first (its
// old text would have passed for the window's).
std::string FetchTextFromFocusedWindow(CaptureContext& context);
// Puts `text` on the clipboard (marked secret when asked) and sends Ctrl+V. False, and no
// Ctrl+V, when the clipboard did not take the text: pasting then would put whatever the
// clipboard held before into the other window.
bool PasteIntoFocusedWindow(CaptureContext& context, std::string_view text, bool secret = false);
// Clipboard, WaitForClick with `lines`, Ctrl+V, and the main window restored when it was
// minimised for the click. False, without waiting for a click, when the clipboard did not take
// the text.
bool PasteIntoClickedWindow(CaptureContext& context, std::string_view text,
                            const std::vector<std::string>& lines, bool secret = false);

}  // namespace lq
