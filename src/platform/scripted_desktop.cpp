// The scripted Desktop of the host tests: state in, one text line per call out.
#include "platform/scripted_desktop.h"

#include <algorithm>

namespace lq {

namespace {

std::string Num(long long v) { return std::to_string(v); }

const char* ButtonName(MouseButton b) {
  switch (b) {
    case MouseButton::kLeft:
      return "left";
    case MouseButton::kRight:
      return "right";
    case MouseButton::kMiddle:
      return "middle";
  }
  return "?";
}

// VkKeyScanA on a US keyboard: the key in the low byte, the shift state (1 Shift, 2 Ctrl) in
// the high byte, -1 for characters no key types.
int UsLayout(uint32_t c) {
  if (c >= 'a' && c <= 'z') return static_cast<int>(c - 'a' + 'A');
  if (c >= 'A' && c <= 'Z') return 0x100 | static_cast<int>(c);
  if (c >= '0' && c <= '9') return static_cast<int>(c);
  switch (c) {
    case ' ':
      return 0x20;
    case '\t':
      return 0x09;
    case '\r':
      return 0x0D;
    case '\n':
      return 0x20D;  // Ctrl+Enter, as the system answers
    case 8:
      return 0x08;
    case 27:
      return 0x1B;
  }
  // Unshifted and shifted characters of the punctuation keys.
  static const struct {
    char plain, shifted;
    int vk;
  } kKeys[] = {{'`', '~', 0xC0}, {'-', '_', 0xBD},  {'=', '+', 0xBB}, {'[', '{', 0xDB},
               {']', '}', 0xDD}, {'\\', '|', 0xDC}, {';', ':', 0xBA}, {'\'', '"', 0xDE},
               {',', '<', 0xBC}, {'.', '>', 0xBE},  {'/', '?', 0xBF}};
  for (const auto& k : kKeys) {
    if (c == static_cast<unsigned char>(k.plain)) return k.vk;
    if (c == static_cast<unsigned char>(k.shifted)) return 0x100 | k.vk;
  }
  static const char kShiftedDigits[] = ")!@#$%^&*(";
  for (int d = 0; d < 10; ++d) {
    if (c == static_cast<unsigned char>(kShiftedDigits[d])) return 0x100 | ('0' + d);
  }
  return -1;
}

}  // namespace

bool ScriptedDesktop::Fails(const std::string& operation) {
  auto it = fail_next.find(operation);
  if (it == fail_next.end()) return false;
  fail_next.erase(it);
  return true;
}

std::vector<std::string> ScriptedDesktop::CallsStartingWith(std::string_view prefix) const {
  std::vector<std::string> out;
  for (const auto& c : calls) {
    if (std::string_view(c).substr(0, prefix.size()) == prefix) out.push_back(c);
  }
  return out;
}

bool ScriptedDesktop::HasHotkey(WindowId window, int id, unsigned modifiers, unsigned key) const {
  auto [first, last] = hotkeys.equal_range({window, id});
  for (auto it = first; it != last; ++it) {
    if (it->second == std::make_pair(modifiers, key)) return true;
  }
  return false;
}

bool ScriptedDesktop::HotkeyHeld(unsigned modifiers, unsigned key) const {
  for (const auto& [owner, combination] : hotkeys) {
    if (combination == std::make_pair(modifiers, key)) return true;
  }
  return false;
}

bool ScriptedDesktop::GetClipboardText(std::string& text) {
  const bool ok = clipboard_has_text && !Fails("GetClipboardText");
  text = ok ? clipboard : std::string();
  Log("GetClipboardText -> " + Num(ok));
  return ok;
}

bool ScriptedDesktop::SetClipboardText(std::string_view text, bool secret) {
  const bool ok = !Fails("SetClipboardText");
  if (ok) {
    clipboard = std::string(text);
    clipboard_has_text = true;
    clipboard_secret = secret;
  }
  Log("SetClipboardText " + std::string(text) + (secret ? " secret" : "") + " -> " + Num(ok));
  return ok;
}

bool ScriptedDesktop::ClearClipboard() {
  const bool ok = !Fails("ClearClipboard");
  if (ok) {
    clipboard.clear();
    clipboard_has_text = false;
    clipboard_secret = false;
  }
  Log("ClearClipboard -> " + Num(ok));
  return ok;
}

size_t ScriptedDesktop::SendKeys(const std::vector<KeyEvent>& events) {
  if (Fails("SendKeys")) {
    Log("SendKeys " + Num(static_cast<long long>(events.size())) + " -> 0");
    return 0;
  }
  std::string line = "SendKeys";
  for (const auto& e : events) {
    line += " " + Num(e.vk) + (e.up ? "u" : "d") + (e.extended ? "x" : "");
    sent_keys.push_back(e);
    if (e.up) {
      keys_down.erase(e.vk);
    } else {
      keys_down.insert(e.vk);
    }
  }
  Log(line);
  if (on_key) {
    for (const auto& e : events) on_key(e);
  }
  return events.size();
}

bool ScriptedDesktop::ClickMouse(ScreenPoint at, MouseButton button) {
  const bool ok = !Fails("ClickMouse");
  if (ok) {
    cursor = at;
    clicks.emplace_back(at, button);
  }
  Log("ClickMouse " + Num(at.x) + " " + Num(at.y) + " " + ButtonName(button) + " -> " + Num(ok));
  return ok;
}

ScreenPoint ScriptedDesktop::CursorPosition() {
  Log("CursorPosition");
  return cursor;
}

bool ScriptedDesktop::SetCursorPosition(ScreenPoint at) {
  const bool ok = !Fails("SetCursorPosition");
  if (ok) cursor = at;
  Log("SetCursorPosition " + Num(at.x) + " " + Num(at.y) + " -> " + Num(ok));
  return ok;
}

bool ScriptedDesktop::IsMouseButtonDown(MouseButton button) {
  Log(std::string("IsMouseButtonDown ") + ButtonName(button));
  return buttons_down.count(button) > 0;
}

bool ScriptedDesktop::MouseButtonPressed(MouseButton button) {
  const bool pressed = buttons_down.count(button) > 0 || buttons_pressed.erase(button) > 0;
  Log(std::string("MouseButtonPressed ") + ButtonName(button) + " -> " + Num(pressed));
  return pressed;
}

bool ScriptedDesktop::IsKeyDown(int vk) {
  Log("IsKeyDown " + Num(vk));
  return keys_down.count(vk) > 0;
}

int ScriptedDesktop::KeyForCharacter(uint32_t code_point) {
  auto it = layout.find(code_point);
  return it != layout.end() ? it->second : UsLayout(code_point);
}

WindowId ScriptedDesktop::ForegroundWindow() {
  Log("ForegroundWindow");
  return foreground;
}

bool ScriptedDesktop::ActivateWindow(WindowId window) {
  const bool ok = windows.count(window) > 0 && !Fails("ActivateWindow");
  if (ok) foreground = window;
  Log("ActivateWindow " + Num(static_cast<long long>(window)) + " -> " + Num(ok));
  return ok;
}

bool ScriptedDesktop::SwitchToWindow(WindowId window) {
  const bool ok = has_switch_to_window && windows.count(window) > 0;
  if (ok) foreground = window;
  Log("SwitchToWindow " + Num(static_cast<long long>(window)) + " -> " + Num(ok));
  return ok;
}

bool ScriptedDesktop::RestoreWindow(WindowId window) {
  const bool ok = windows.count(window) > 0;
  Log("RestoreWindow " + Num(static_cast<long long>(window)) + " -> " + Num(ok));
  return ok;
}

bool ScriptedDesktop::FocusWindow(WindowId window) {
  const bool ok = windows.count(window) > 0 && !Fails("FocusWindow");
  if (ok) focus = window;
  Log("FocusWindow " + Num(static_cast<long long>(window)) + " -> " + Num(ok));
  return ok;
}

std::vector<WindowId> ScriptedDesktop::TopLevelWindows() {
  Log("TopLevelWindows");
  std::vector<WindowId> out;
  for (const auto& [id, w] : windows) {
    if (w.parent == 0) out.push_back(id);
  }
  return out;
}

std::vector<WindowId> ScriptedDesktop::ChildWindows(WindowId parent) {
  Log("ChildWindows " + Num(static_cast<long long>(parent)));
  // Depth first, children in map order, as EnumChildWindows walks all levels.
  std::vector<WindowId> out;
  std::vector<WindowId> pending{parent};
  while (!pending.empty()) {
    const WindowId p = pending.back();
    pending.pop_back();
    std::vector<WindowId> kids;
    for (const auto& [id, w] : windows) {
      if (w.parent == p && p != 0) kids.push_back(id);
    }
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) pending.push_back(*it);
    if (p != parent) out.push_back(p);
  }
  return out;
}

WindowId ScriptedDesktop::FindTopLevelWindow(std::string_view class_name, std::string_view title) {
  Log("FindTopLevelWindow " + std::string(class_name) + "|" + std::string(title));
  for (const auto& [id, w] : windows) {
    if (w.parent != 0) continue;
    if (!class_name.empty() && w.class_name != class_name) continue;
    if (!title.empty() && w.text != title) continue;
    return id;
  }
  return 0;
}

WindowId ScriptedDesktop::WindowAt(ScreenPoint at) {
  Log("WindowAt " + Num(at.x) + " " + Num(at.y));
  for (const auto& [id, w] : windows) {
    if (w.at == at) return id;
  }
  return 0;
}

std::string ScriptedDesktop::WindowText(WindowId window) {
  Log("WindowText " + Num(static_cast<long long>(window)));
  auto it = windows.find(window);
  return it == windows.end() ? std::string() : it->second.text;
}

bool ScriptedDesktop::ReplaceWindowText(WindowId window, std::string_view text) {
  auto it = windows.find(window);
  const bool ok = it != windows.end();
  if (ok) it->second.text = std::string(text);
  Log("ReplaceWindowText " + Num(static_cast<long long>(window)) + " " + std::string(text) +
      " -> " + Num(ok));
  return ok;
}

std::string ScriptedDesktop::WindowClass(WindowId window) {
  Log("WindowClass " + Num(static_cast<long long>(window)));
  auto it = windows.find(window);
  return it == windows.end() ? std::string() : it->second.class_name;
}

bool ScriptedDesktop::IsWindowValid(WindowId window) { return windows.count(window) > 0; }

uint16_t ScriptedDesktop::AddGlobalAtom(std::string_view name) {
  uint16_t atom = 0;
  if (!Fails("AddGlobalAtom")) {
    auto it = atoms.find(std::string(name));
    if (it != atoms.end()) {
      atom = it->second;
    } else {
      atom = next_atom_++;
      atoms.emplace(std::string(name), atom);
    }
  }
  Log("AddGlobalAtom " + std::string(name) + " -> " + Num(atom));
  return atom;
}

bool ScriptedDesktop::RegisterHotkey(WindowId window, int id, unsigned modifiers, unsigned key) {
  const bool taken = taken_hotkeys.count({modifiers, key}) > 0 || HotkeyHeld(modifiers, key);
  const bool ok = !taken && !Fails("RegisterHotkey");
  // As on Windows: a second registration under the same window and id keeps the first one.
  if (ok) hotkeys.emplace(std::make_pair(window, id), std::make_pair(modifiers, key));
  Log("RegisterHotkey " + Num(static_cast<long long>(window)) + " " + Num(id) + " " +
      Num(modifiers) + " " + Num(key) + " -> " + Num(ok));
  return ok;
}

bool ScriptedDesktop::UnregisterHotkey(WindowId window, int id) {
  const bool ok = hotkeys.erase({window, id}) > 0;
  Log("UnregisterHotkey " + Num(static_cast<long long>(window)) + " " + Num(id) + " -> " + Num(ok));
  return ok;
}

bool ScriptedDesktop::WatchSessionChanges(WindowId window) {
  const bool ok = !Fails("WatchSessionChanges");
  if (ok) session_watchers.insert(window);
  Log("WatchSessionChanges " + Num(static_cast<long long>(window)) + " -> " + Num(ok));
  return ok;
}

ProcessId ScriptedDesktop::StartProcess(const ProcessRequest& request) {
  ProcessId id = 0;
  if (!Fails("StartProcess")) {
    id = next_process_++;
    started.push_back(request);
    if (!exit_codes.empty()) {
      processes_[id] = {exit_codes.front(), true};
      exit_codes.pop_front();
    } else {
      processes_[id] = {0, false};
    }
  }
  Log("StartProcess " + request.program + " " + request.arguments + " -> " +
      Num(static_cast<long long>(id)));
  return id;
}

WaitResult ScriptedDesktop::WaitForProcess(ProcessId process, int milliseconds, int& exit_code) {
  auto it = processes_.find(process);
  WaitResult r = WaitResult::kFailed;
  if (it != processes_.end()) {
    if (it->second.second) {
      exit_code = it->second.first;
      r = WaitResult::kExited;
    } else {
      if (milliseconds > 0) {
        slept_ms += milliseconds;
        clock_ms += static_cast<uint64_t>(milliseconds);
      }
      r = WaitResult::kTimedOut;
    }
  }
  Log("WaitForProcess " + Num(static_cast<long long>(process)) + " " + Num(milliseconds) + " -> " +
      Num(static_cast<int>(r)));
  return r;
}

void ScriptedDesktop::CloseProcess(ProcessId process) {
  processes_.erase(process);
  Log("CloseProcess " + Num(static_cast<long long>(process)));
}

bool ScriptedDesktop::ShellOpen(std::string_view target) {
  const bool ok = !Fails("ShellOpen");
  if (ok) opened.emplace_back(target);
  Log("ShellOpen " + std::string(target) + " -> " + Num(ok));
  return ok;
}

LibraryId ScriptedDesktop::OpenLibrary(std::string_view name) {
  LibraryId id = 0;
  if (libraries.count(std::string(name)) && !Fails("OpenLibrary")) {
    id = next_library_++;
    loaded_[id] = std::string(name);
  }
  Log("OpenLibrary " + std::string(name) + " -> " + Num(static_cast<long long>(id)));
  return id;
}

void* ScriptedDesktop::LibrarySymbol(LibraryId library, std::string_view symbol) {
  void* p = nullptr;
  auto it = loaded_.find(library);
  if (it != loaded_.end()) {
    const auto& symbols = libraries[it->second];
    auto s = symbols.find(std::string(symbol));
    if (s != symbols.end()) p = s->second;
  }
  Log("LibrarySymbol " + Num(static_cast<long long>(library)) + " " + std::string(symbol) + " -> " +
      Num(p != nullptr));
  return p;
}

void ScriptedDesktop::CloseLibrary(LibraryId library) {
  loaded_.erase(library);
  Log("CloseLibrary " + Num(static_cast<long long>(library)));
}

void ScriptedDesktop::Sleep(int milliseconds) {
  slept_ms += std::max(milliseconds, 0);
  clock_ms += static_cast<uint64_t>(std::max(milliseconds, 0));
  Log("Sleep " + Num(milliseconds));
  if (on_pump) on_pump();
}

uint64_t ScriptedDesktop::Milliseconds() { return clock_ms; }

void ScriptedDesktop::Pump() {
  clock_ms += static_cast<uint64_t>(std::max(pump_ms, 0));
  Log("Pump");
  if (on_pump) on_pump();
}

void ScriptedDesktop::Beep() {
  ++beeps;
  Log("Beep");
}

std::string ScriptedDesktop::TemporaryFolder() {
  Log("TemporaryFolder");
  return Fails("TemporaryFolder") ? std::string() : temporary_folder;
}

}  // namespace lq
