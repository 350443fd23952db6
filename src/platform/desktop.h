// The Desktop interface: everything the program does to other programs and to the OS shell
// (clipboard, synthesised keys and clicks, cursor, windows, atoms and hotkeys, processes, shell,
// libraries). The Win32 build implements it in platform/win32; tests use ScriptedDesktop.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lq {

// A window handle as an integer (HWND on Windows), 0 for "none". Integers of pointer width, so
// the same code serves the 32-bit and the 64-bit build.
using WindowId = uintptr_t;
// A started process (its process handle), 0 for "none".
using ProcessId = uintptr_t;
// A loaded library (its module handle), 0 for "none".
using LibraryId = uintptr_t;

struct ScreenPoint {
  int x = 0, y = 0;
  bool operator==(const ScreenPoint&) const = default;
};

enum class MouseButton { kLeft, kRight, kMiddle };

// One synthesised key event: a virtual-key code going down or up. `extended` marks the keys of
// the extended block (arrows, Insert, Delete, Home, End, Page Up/Down, right Ctrl/Alt).
struct KeyEvent {
  int vk = 0;
  bool up = false;
  bool extended = false;
  bool operator==(const KeyEvent&) const = default;
};

// How a process is started.
struct ProcessRequest {
  std::string program;    // full path or a name found on the search path
  std::string arguments;  // the command line after the program, as the program receives it
  std::string folder;     // working folder; empty: the program's current folder
  bool hidden = false;    // start without showing a window
};

enum class WaitResult { kExited, kTimedOut, kFailed };

class Desktop {
 public:
  virtual ~Desktop() = default;

  // --- Clipboard ---------------------------------------------------------------------------
  // The clipboard's text as UTF-8. False (text emptied) when the clipboard holds no text or
  // cannot be opened.
  virtual bool GetClipboardText(std::string& text) = 0;
  // Replaces the clipboard's contents with `text`. `secret` marks the text as not to be kept in
  // clipboard history or sent to cloud clipboards (plaintext, passphrases). False on failure.
  virtual bool SetClipboardText(std::string_view text, bool secret) = 0;
  // Empties the clipboard, so that a later read tells whether something new arrived. False when
  // the clipboard could not be opened (its old contents may still be there).
  virtual bool ClearClipboard() = 0;
  // Replaces the clipboard's contents with `text` that is handed over only when a program asks
  // for it, so that WaitClipboardRead can tell when a paste has read it (synthesised keys are
  // handled when the target gets to them, not when they are sent). Never for secrets. A desktop
  // without that notion puts the text there at once.
  virtual bool SetClipboardTextOnDemand(std::string_view text) {
    return SetClipboardText(text, false);
  }
  // Waits up to `milliseconds` for a program to read the text SetClipboardTextOnDemand offered;
  // afterwards the text is on the clipboard as SetClipboardText puts it, read or not. True when
  // it was read.
  virtual bool WaitClipboardRead(int milliseconds) {
    (void)milliseconds;
    return true;
  }

  // --- Keyboard and mouse --------------------------------------------------------------------
  // Sends the key events in order as one input batch. Returns how many were sent.
  virtual size_t SendKeys(const std::vector<KeyEvent>& events) = 0;
  // Moves the cursor to `at` (screen coordinates) and presses and releases `button` there.
  virtual bool ClickMouse(ScreenPoint at, MouseButton button) = 0;
  virtual ScreenPoint CursorPosition() = 0;
  virtual bool SetCursorPosition(ScreenPoint at) = 0;
  // Whether the mouse button is held down now (asynchronous state).
  virtual bool IsMouseButtonDown(MouseButton button) = 0;
  // Whether the mouse button is down now or was pressed since the last query of this button
  // (any non-zero GetAsyncKeyState); the query forgets the earlier press.
  virtual bool MouseButtonPressed(MouseButton button) = 0;
  // Whether the key with virtual-key code `vk` is held down now (asynchronous state).
  virtual bool IsKeyDown(int vk) = 0;
  // The keyboard layout's key for a character (VkKeyScanA's result for an ANSI character,
  // VkKeyScanW's for any other UTF-16 unit): the virtual-key code in the low byte and the shift
  // state in the high byte (1 Shift, 2 Ctrl, 4 Alt); -1 (both bytes 255) when no key types it.
  virtual int KeyForCharacter(uint32_t code_point) = 0;

  // --- Windows ------------------------------------------------------------------------------
  virtual WindowId ForegroundWindow() = 0;
  // Brings the window to the foreground and gives it the keyboard focus. False on failure.
  virtual bool ActivateWindow(WindowId window) = 0;
  // Switches to the window as the task switcher does (user32's SwitchToThisWindow, bound at run
  // time: false and nothing done where it is missing).
  virtual bool SwitchToWindow(WindowId window) = 0;
  // Shows a minimised or maximised window in its normal size and place (SW_RESTORE).
  virtual bool RestoreWindow(WindowId window) = 0;
  // Gives the keyboard focus to the window (a control of the foreground window's thread too).
  virtual bool FocusWindow(WindowId window) = 0;
  // The visible top-level windows, topmost first.
  virtual std::vector<WindowId> TopLevelWindows() = 0;
  // The child windows of `parent`, all levels, in the system's order.
  virtual std::vector<WindowId> ChildWindows(WindowId parent) = 0;
  // The first top-level window with this class and title; an empty text matches any. 0: none.
  virtual WindowId FindTopLevelWindow(std::string_view class_name, std::string_view title) = 0;
  // The window under a screen point (the deepest child), 0 when none.
  virtual WindowId WindowAt(ScreenPoint at) = 0;
  // A window's title or control text (UTF-8; empty for an invalid window).
  virtual std::string WindowText(WindowId window) = 0;
  // Replaces a window's title or control text (WM_SETTEXT, also to other programs' windows).
  virtual bool ReplaceWindowText(WindowId window, std::string_view text) = 0;
  // A window's class name ("Edit", "RichEdit20W" ...; empty for an invalid window).
  virtual std::string WindowClass(WindowId window) = 0;
  virtual bool IsWindowValid(WindowId window) = 0;

  // --- Atoms and hotkeys ---------------------------------------------------------------------
  // Adds `name` to the global atom table (GlobalAddAtomA) and returns the atom, 0 on failure.
  // The same name gives the same atom while it exists.
  virtual uint16_t AddGlobalAtom(std::string_view name) = 0;
  // RegisterHotKey for `window` under `id` with RegisterHotKey modifier flags (1 Alt, 2 Ctrl,
  // 4 Shift, 8 Win) and a virtual-key code. Fails when any program holds the combination
  // already. Registering an id again does not remove that id's earlier combination: callers
  // unregister first.
  virtual bool RegisterHotkey(WindowId window, int id, unsigned modifiers, unsigned key) = 0;
  // UnregisterHotKey; false when nothing was registered under that window and id.
  virtual bool UnregisterHotkey(WindowId window, int id) = 0;
  // Asks for session-change messages (lock, unlock) at `window`
  // (WTSRegisterSessionNotification). False when the system cannot deliver them.
  virtual bool WatchSessionChanges(WindowId window) = 0;

  // --- Processes, shell, libraries --------------------------------------------------------
  // Starts a process; 0 on failure. The caller ends its use with CloseProcess.
  virtual ProcessId StartProcess(const ProcessRequest& request) = 0;
  // Waits up to `milliseconds` (negative: without limit) for the process to end; `exit_code`
  // receives its exit code when it exited.
  virtual WaitResult WaitForProcess(ProcessId process, int milliseconds, int& exit_code) = 0;
  virtual void CloseProcess(ProcessId process) = 0;
  // Opens a file, folder or URL ("mailto:...") with its associated program (ShellExecute
  // "open"). False when the shell reports a failure.
  virtual bool ShellOpen(std::string_view target) = 0;
  // Loads a library by name or path, 0 on failure. (Named apart from the Win32 macros, so this
  // header can meet <windows.h> in any order.)
  virtual LibraryId OpenLibrary(std::string_view name) = 0;
  // An exported symbol of a loaded library, nullptr when missing. Cast to the function type.
  virtual void* LibrarySymbol(LibraryId library, std::string_view symbol) = 0;
  virtual void CloseLibrary(LibraryId library) = 0;

  // --- Time, waiting, system folders ---------------------------------------------------------
  // Sleeps the thread for `milliseconds`.
  virtual void Sleep(int milliseconds) = 0;
  // A monotonic clock in milliseconds (GetTickCount64); only differences mean anything.
  virtual uint64_t Milliseconds() = 0;
  // Lets pending events of the program's own windows run (the toolkit's DOEVENTS); set by the
  // program, a no-op until then.
  virtual void Pump() = 0;
  // A short sound that tells the user an input was refused (MessageBeep).
  virtual void Beep() = 0;
  // The system's temporary folder (GetTempPathA), as the system gives it; empty on failure.
  virtual std::string TemporaryFolder() = 0;
};

}  // namespace lq
