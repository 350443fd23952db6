// sxview.exe: the self-extracting packet viewer, started by the launcher with the path of the
// packet it unpacked. Everything it does is in ViewerApp; this is only the entry point.
#include <windows.h>

#include "base/winstr_win32.h"
#include "sxview/form_seexe.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int show) {
  return lq::sxview::RunViewer(instance, lq::Utf8FromWide(command_line ? command_line : L""), show);
}
