// Desktop on Win32: the clipboard, SendInput, cursor and windows of user32, global atoms and
// hotkeys, CreateProcess, ShellExecute and LoadLibrary. Window handles cross the interface as
// integers of pointer width, so this builds for 32 and 64 bits alike.
#pragma once

#include <functional>

#include "platform/desktop.h"

namespace lq {

class Win32Desktop final : public Desktop {
 public:
  // The program's event pump (the toolkit's DOEVENTS); Pump() is a no-op until it is set.
  std::function<void()> pump;

  bool GetClipboardText(std::string& text) override;
  bool SetClipboardText(std::string_view text, bool secret) override;
  bool ClearClipboard() override;
  bool SetClipboardTextOnDemand(std::string_view text) override;
  bool WaitClipboardRead(int milliseconds) override;
  size_t SendKeys(const std::vector<KeyEvent>& events) override;
  bool ClickMouse(ScreenPoint at, MouseButton button) override;
  ScreenPoint CursorPosition() override;
  bool SetCursorPosition(ScreenPoint at) override;
  bool IsMouseButtonDown(MouseButton button) override;
  bool MouseButtonPressed(MouseButton button) override;
  bool IsKeyDown(int vk) override;
  int KeyForCharacter(uint32_t code_point) override;
  WindowId ForegroundWindow() override;
  bool ActivateWindow(WindowId window) override;
  bool SwitchToWindow(WindowId window) override;
  bool RestoreWindow(WindowId window) override;
  bool FocusWindow(WindowId window) override;
  std::vector<WindowId> TopLevelWindows() override;
  std::vector<WindowId> ChildWindows(WindowId parent) override;
  WindowId FindTopLevelWindow(std::string_view class_name, std::string_view title) override;
  WindowId WindowAt(ScreenPoint at) override;
  std::string WindowText(WindowId window) override;
  bool ReplaceWindowText(WindowId window, std::string_view text) override;
  std::string WindowClass(WindowId window) override;
  bool IsWindowValid(WindowId window) override;
  uint16_t AddGlobalAtom(std::string_view name) override;
  bool RegisterHotkey(WindowId window, int id, unsigned modifiers, unsigned key) override;
  bool UnregisterHotkey(WindowId window, int id) override;
  bool WatchSessionChanges(WindowId window) override;
  ProcessId StartProcess(const ProcessRequest& request) override;
  WaitResult WaitForProcess(ProcessId process, int milliseconds, int& exit_code) override;
  void CloseProcess(ProcessId process) override;
  bool ShellOpen(std::string_view target) override;
  LibraryId OpenLibrary(std::string_view name) override;
  void* LibrarySymbol(LibraryId library, std::string_view symbol) override;
  void CloseLibrary(LibraryId library) override;
  void Sleep(int milliseconds) override;
  uint64_t Milliseconds() override;
  void Pump() override;
  void Beep() override;
  std::string TemporaryFolder() override;
};

}  // namespace lq
