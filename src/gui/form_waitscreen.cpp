// The wait screen: shown without taking the focus, painted at once, gone when the work ends.
#include "gui/form_waitscreen.h"

#include <windows.h>

#include <algorithm>

#include "gui/desk.h"

namespace lq::gui {

namespace {
constexpr int kText = 100;
constexpr int kIcon = 101;
}  // namespace

void WaitScreen::Show(std::string_view text) {
  text_ = std::string(text);
  // Trim the leading line breaks some callers put before the text.
  while (!text_.empty() && (text_.front() == '\r' || text_.front() == '\n')) text_.erase(0, 1);
  if (FK_FORMEXISTS(kWaitScreenForm)) {
    FK_SETTEXT(kWaitScreenForm, kText, text_.c_str());
  } else {
    const bool main_exists = FK_FORMEXISTS(kMainForm) != 0;
    FK_FORM(kWaitScreenForm, main_exists ? kMainForm : "", "Lockquill V1.0 - Please wait", -1, -1,
            60, 6, "CDT");
  }
  FK_SHOWFORM(kWaitScreenForm, FK_SHOW_NORMAL);
  FK_REDRAWFORM(kWaitScreenForm);
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  FK_DOEVENTS();
}

void WaitScreen::Hide() {
  if (FK_FORMEXISTS(kWaitScreenForm)) FK_UNLOADFORM(kWaitScreenForm);
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

void WaitScreen::Design() {
  FK_ICON(kWaitScreenForm, kIcon, "$LQICON", 1.5, 1.2, 4, 2, "");
  FK_LABEL(kWaitScreenForm, kText, text_.c_str(), 8, 1, 50, 4, "");
}

}  // namespace lq::gui
