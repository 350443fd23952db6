// lqdesk.exe: the Lockquill desktop program. Everything it does is in the Desk; this is only the
// Windows entry point with the command line (an optional keyfile path).
#include <windows.h>

#include "base/winstr_win32.h"
#include "gui/desk.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR command_line, int show) {
  lq::gui::DeskOptions options;
  options.command_line = lq::Utf8FromWide(command_line ? command_line : L"");
  options.show = show;
  return lq::gui::RunDesk(options);
}
