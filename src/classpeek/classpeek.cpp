// classpeek: a small always-on-top dialog that shows, five times a second, the title and class
// of the window under the mouse pointer and of its parent, for writing e-mail driver scripts.
#include <windows.h>

#include "base/winstr_win32.h"
#include "classpeek_ids.h"
#include "peek_text.h"

namespace {

constexpr UINT_PTR kTimerId = 123;
constexpr UINT kTimerPeriodMs = 200;

INT_PTR CALLBACK PeekDialogProc(HWND dialog, UINT msg, WPARAM wparam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
      SetTimer(dialog, kTimerId, kTimerPeriodMs, nullptr);
      return TRUE;
    case WM_TIMER: {
      if (wparam != kTimerId) return FALSE;
      POINT pt;
      if (!GetCursorPos(&pt)) return TRUE;
      HWND under = WindowFromPoint(pt);
      if (!under) return TRUE;  // nothing under the pointer: keep the last text
      std::wstring text = lq::WideFromUtf8(lq::PeekText(under));
      SetDlgItemTextW(dialog, IDC_PEEK_TEXT, text.c_str());
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      KillTimer(dialog, kTimerId);
      SetWindowPos(dialog, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
      return FALSE;
  }
  return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_CLASSPEEK), nullptr, PeekDialogProc, 0);
  return 0;
}
