// Text capture and paste through the clipboard and synthesised keys. Every loop here waits for
// the user or for another program, so each one lets the program's own events run (Pump) and
// sleeps between its tests: the main window stays painted and answering meanwhile.
#include "app/text_capture.h"

#include "mail/key_strings.h"

namespace lq {

namespace {

// How long the focused window is given to copy its selection, then its whole text.
constexpr uint64_t kSelectionWaitMs = 300;
constexpr uint64_t kWholeTextWaitMs = 10000;
// Polling steps of the click wait and the release wait.
constexpr int kClickPollMs = 20;
constexpr int kReleasePollMs = 50;
// The loops that wait for buttons or keys the user still holds would otherwise spin the
// processor at full speed.
constexpr int kHeldPollMs = 10;

const std::vector<std::string>& FetchingLines() {
  static const std::vector<std::string> lines = {"Fetching text.", "Just a moment..."};
  return lines;
}

// Any button down or pressed since the last test. All three are asked every time, so that an
// old press of one button is forgotten together with the others'.
bool AnyButtonPressed(Desktop& d) {
  const bool left = d.MouseButtonPressed(MouseButton::kLeft);
  const bool right = d.MouseButtonPressed(MouseButton::kRight);
  const bool middle = d.MouseButtonPressed(MouseButton::kMiddle);
  return left || right || middle;
}

void MoveSticky(CaptureContext& c) { c.surface.MoveStickyForm(c.desktop.CursorPosition()); }

}  // namespace

void WaitForClick(CaptureContext& context, const std::vector<std::string>& lines) {
  Desktop& d = context.desktop;
  if (context.minimize_during_click) context.surface.MinimizeMainWindow();
  // A button still held from the click that started this (a toolbar button, a menu) is not
  // the click we wait for.
  do {
    d.Pump();
    d.Pump();
    if (!AnyButtonPressed(d)) break;
    d.Sleep(kHeldPollMs);
  } while (true);
  context.surface.ShowStickyForm(lines);
  bool pressed = false;
  do {
    d.Pump();
    d.Sleep(kClickPollMs);
    pressed = AnyButtonPressed(d);
    MoveSticky(context);
  } while (!pressed);
  context.surface.CloseStickyForm();
  // The click goes on to the window under the cursor; wait until it is over.
  do {
    d.Pump();
    d.Sleep(kReleasePollMs);
  } while (AnyButtonPressed(d));
}

void WaitForModifierKeysReleased(CaptureContext& context) {
  Desktop& d = context.desktop;
  for (;;) {
    d.Pump();
    // All three asked, so the test does not depend on which is released last.
    const bool ctrl = d.IsKeyDown(17), shift = d.IsKeyDown(16), alt = d.IsKeyDown(18);
    if (!ctrl && !shift && !alt) return;
    d.Sleep(kHeldPollMs);
  }
}

std::string FetchTextFromFocusedWindow(CaptureContext& context) {
  Desktop& d = context.desktop;
  CaptureSurface& s = context.surface;
  if (context.log) context.log("Copying text from window");
  std::string text;
  if (!d.ClearClipboard()) return text;
  d.Pump();

  // First the selection.
  s.ShowStickyForm(FetchingLines());
  uint64_t start = d.Milliseconds();
  do {
    SendKeys(d, "^c");
    d.Sleep(50);
    d.GetClipboardText(text);
    d.Pump();
    MoveSticky(context);
  } while (text.empty() && d.Milliseconds() - start <= kSelectionWaitMs);
  s.CloseStickyForm();
  if (!text.empty()) return text;

  // Nothing selected: select everything and copy that. The window may be slow to answer.
  SendKeys(d, "^a");
  d.Pump();
  d.Sleep(20);
  SendKeys(d, "^c");
  d.Pump();
  d.Sleep(20);
  s.ShowStickyForm(FetchingLines());
  start = d.Milliseconds();
  do {
    d.GetClipboardText(text);
    d.Pump();
    d.Sleep(10);
    MoveSticky(context);
    SendKeys(d, "^c");
    d.Pump();
    d.Sleep(20);
  } while (text.empty() && d.Milliseconds() - start <= kWholeTextWaitMs);
  s.CloseStickyForm();
  return text;
}

bool PasteIntoFocusedWindow(CaptureContext& context, std::string_view text, bool secret) {
  if (!context.desktop.SetClipboardText(text, secret)) return false;
  SendKeys(context.desktop, "^v");
  return true;
}

bool PasteIntoClickedWindow(CaptureContext& context, std::string_view text,
                            const std::vector<std::string>& lines, bool secret) {
  if (!context.desktop.SetClipboardText(text, secret)) return false;
  WaitForClick(context, lines);
  SendKeys(context.desktop, "^v");
  if (context.minimize_during_click) context.surface.RestoreMainWindow();
  return true;
}

}  // namespace lq
