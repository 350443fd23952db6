// The sticky form: created anew for each text, moved with the cursor by the capture loops, and
// unloaded when they end. Its owner DUMMY keeps it out of the task bar and above nothing of
// ours in particular; "T" keeps it above other programs' windows.
#include "gui/form_sticky.h"

#include <windows.h>

#include <algorithm>
#include <cmath>

#include "base/winstr_win32.h"
#include "formkit/formkit.h"
#include "gui/form_main.h"

namespace lq::gui {

namespace {

// The note's colours: tooltip yellow with black text, as a note on the screen looks.
constexpr int kTextColour = 0;
constexpr int kNoteColour = 21;
// Room around the text, in character units.
constexpr double kMarginX = 1.0, kMarginY = 0.4;

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) text += "\r\n";
    text += lines[i];
  }
  return text;
}

size_t Characters(const std::string& utf8) {
  size_t n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

// The text's size in pixels in the font of `window` (the label).
SIZE MeasuredText(HWND window, const std::string& text) {
  SIZE size{0, 0};
  HDC dc = GetDC(window);
  if (!dc) return size;
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
  HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
  const std::wstring w = WideFromUtf8(text);
  RECT r{0, 0, 0, 0};
  DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, DT_CALCRECT | DT_NOPREFIX);
  size.cx = r.right - r.left;
  size.cy = r.bottom - r.top;
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return size;
}

void EnsureDummy() {
  if (!FK_FORMEXISTS(kDummyForm)) FK_FORM(kDummyForm, "", "Dummy", 0, 0, 10, 3, "N");
}

}  // namespace

void StickyForm::SizeFor(const std::vector<std::string>& lines, int text_cx, int text_cy, double& w,
                         double& h) {
  size_t longest = 0;
  for (const auto& line : lines) longest = std::max(longest, Characters(line));
  w = std::round(0.70 * static_cast<double>(longest));
  h = std::round(0.87 * static_cast<double>(lines.size()));
  // Our character unit is the font's average width, wider than the rule above assumes for
  // the average letter: the measured text with a margin wins, so that nothing is clipped.
  w = std::max(w, std::ceil(FK_SCALETOCHARSIZE(text_cx, 0) + 2 * kMarginX));
  h = std::max(h, FK_SCALETOCHARSIZE(text_cy, 1) + 2 * kMarginY);
}

void StickyForm::ShowStickyForm(const std::vector<std::string>& lines) {
  if (FK_FORMEXISTS(kStickyForm)) FK_UNLOADFORM(kStickyForm);
  EnsureDummy();
  const std::string text = Joined(lines);
  double w = 0, h = 0;
  SizeFor(lines, 0, 0, w, h);
  POINT p{0, 0};
  GetCursorPos(&p);
  const double x = FK_SCALETOCHARSIZE(p.x, 0) + 1, y = FK_SCALETOCHARSIZE(p.y, 1) + 1;
  if (!FK_FORM(kStickyForm, kDummyForm, "", x, y, std::max(w, 1.0), std::max(h, 1.0), "BT")) {
    return;
  }
  FK_SETCOLOR(kStickyForm, 0, kTextColour, kNoteColour);
  FK_LABEL(kStickyForm, sticky_ctl::kText, text.c_str(), 0, 0, w, h, "C");
  FK_SETCOLOR(kStickyForm, sticky_ctl::kText, kTextColour, kNoteColour);
  const SIZE measured =
      MeasuredText(static_cast<HWND>(FK_HANDLE(kStickyForm, sticky_ctl::kText)), text);
  SizeFor(lines, measured.cx, measured.cy, w, h);
  FK_APPENDSTYLE(kStickyForm, 0, WS_BORDER, WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW);
  FK_RESIZEFORM(kStickyForm, -1, -1, w, h);
  // The label fills the form; its text is centred across and starts below a small margin.
  FK_RESIZEC(kStickyForm, sticky_ctl::kText, 0, kMarginY, w, h - kMarginY);
  last_cursor_ = {-100000, -100000};
  MoveStickyForm({static_cast<int>(p.x), static_cast<int>(p.y)});
  FK_SHOWFORM(kStickyForm, FK_SHOW_NOACTIVATE);
}

void StickyForm::MoveStickyForm(ScreenPoint cursor) {
  HWND form = static_cast<HWND>(FK_HANDLE(kStickyForm, 0));
  if (!form) return;
  if (!(cursor == last_cursor_)) {
    last_cursor_ = cursor;
    RECT r{};
    GetWindowRect(form, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    int x = cursor.x + FK_CHARX(1), y = cursor.y + FK_CHARY(1);
    // Near the screen's right or bottom edge the note goes to the other side of the cursor.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromPoint(POINT{cursor.x, cursor.y}, MONITOR_DEFAULTTONEAREST),
                        &monitor)) {
      const RECT& work = monitor.rcWork;
      if (x + w > work.right) x = std::max<int>(work.left, cursor.x - FK_CHARX(1) - w);
      if (y + h > work.bottom) y = std::max<int>(work.top, cursor.y - FK_CHARY(1) - h);
    }
    SetWindowPos(form, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  } else {
    // Another program's window may have gone on top meanwhile.
    FK_SETTOPMOST(kStickyForm, 1);
  }
}

void StickyForm::CloseStickyForm() {
  if (FK_FORMEXISTS(kStickyForm)) FK_UNLOADFORM(kStickyForm);
}

void StickyForm::MinimizeMainWindow() {
  if (FK_FORMEXISTS(kMainForm)) FK_SHOWFORM(kMainForm, FK_SHOW_MINIMIZED);
}

void StickyForm::RestoreMainWindow() {
  if (FK_FORMEXISTS(kMainForm)) FK_SHOWFORM(kMainForm, FK_SHOW_RESTORE);
}

}  // namespace lq::gui
