// A Desktop for host tests: it records every call as one line of text and answers from a
// script (plain state the test sets: clipboard, cursor, windows, taken hotkeys, failures).
// It models the parts of Win32 the program relies on, such as a hotkey id that keeps its old
// combination when it is registered again.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/desktop.h"

namespace lq {

class ScriptedDesktop : public Desktop {
 public:
  // --- The script ------------------------------------------------------------------------
  std::string clipboard;  // current clipboard text
  bool clipboard_has_text = true;
  bool clipboard_secret = false;  // the `secret` flag of the last SetClipboardText
  ScreenPoint cursor{0, 0};
  std::set<MouseButton> buttons_down;
  // Presses since the last MouseButtonPressed query of that button (a click that is over).
  std::set<MouseButton> buttons_pressed;
  std::set<int> keys_down;
  WindowId foreground = 0;
  struct Window {
    std::string text, class_name;
    WindowId parent = 0;     // 0: a top-level window
    ScreenPoint at{-1, -1};  // WindowAt answers with this window for that point
  };
  std::map<WindowId, Window> windows;  // in this order (topmost first) for enumeration
  // Combinations (modifiers, key) that another program holds: registering them fails.
  std::set<std::pair<unsigned, unsigned>> taken_hotkeys;
  // Names of operations ("SetClipboardText", "RegisterHotkey", "StartProcess", ...) whose next
  // call fails; each entry is used up by one failure.
  std::multiset<std::string> fail_next;
  // Exit codes of started processes, in start order; a process without one does not end
  // (waiting times out).
  std::deque<int> exit_codes;
  std::string temporary_folder = "C:\\TEMP\\";
  // Exported symbols per library name; OpenLibrary of a name not listed fails.
  std::map<std::string, std::map<std::string, void*>> libraries;
  // Called by Pump and Sleep, so a test can change the script while the code waits.
  std::function<void()> on_pump;
  // Called for every synthesised key event after it was recorded (a fake target program).
  std::function<void(const KeyEvent&)> on_key;
  // Keyboard layout answers that replace the built-in US layout's (code point -> result).
  std::map<uint32_t, int> layout;
  // The monotonic clock: it starts here and advances only with Sleep (and timed-out waits) and
  // by `pump_ms` for each Pump, so timing tests need no real waiting.
  uint64_t clock_ms = 1000000;
  int pump_ms = 0;
  // Whether SwitchToThisWindow is there to be bound.
  bool has_switch_to_window = true;

  // --- What happened -----------------------------------------------------------------------
  // One line per call, e.g. "RegisterHotkey 100 49152 1 122 -> 1".
  std::vector<std::string> calls;
  std::vector<KeyEvent> sent_keys;
  std::vector<std::pair<ScreenPoint, MouseButton>> clicks;
  // Live hotkey registrations: (window, id) -> every combination registered under it.
  std::multimap<std::pair<WindowId, int>, std::pair<unsigned, unsigned>> hotkeys;
  std::map<std::string, uint16_t> atoms;
  std::vector<ProcessRequest> started;
  std::vector<std::string> opened;  // ShellOpen targets
  std::set<WindowId> session_watchers;
  WindowId focus = 0;  // FocusWindow's last window
  int beeps = 0;
  int slept_ms = 0;

  // The calls whose line starts with `prefix`.
  std::vector<std::string> CallsStartingWith(std::string_view prefix) const;
  // True when (modifiers, key) is registered under (window, id).
  bool HasHotkey(WindowId window, int id, unsigned modifiers, unsigned key) const;
  // True when any id of any window holds (modifiers, key).
  bool HotkeyHeld(unsigned modifiers, unsigned key) const;

  bool GetClipboardText(std::string& text) override;
  bool SetClipboardText(std::string_view text, bool secret) override;
  bool ClearClipboard() override;
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

 private:
  bool Fails(const std::string& operation);
  void Log(std::string line) { calls.push_back(std::move(line)); }
  uint16_t next_atom_ = 0xC000;
  std::map<ProcessId, std::pair<int, bool>> processes_;  // exit code, has one
  ProcessId next_process_ = 1;
  std::map<LibraryId, std::string> loaded_;
  LibraryId next_library_ = 1;
};

}  // namespace lq
