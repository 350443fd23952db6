// The two inactivity counters behind automatic hiding of the windows and automatic closing of
// the keyfile: advanced by the main window's 60-second timer, reset by user activity; and the
// session lock and suspend messages that close the keyfile at once when auto-close is on.
#pragma once

#include <cstdint>

#include "app/settings.h"

namespace lq {

constexpr int kInactivityTimerId = 129;
constexpr int kInactivityTimerMs = 60000;

// System messages that end the user's presence (window message numbers and their wParam).
constexpr unsigned kWmWtsSessionChange = 0x02B1;  // WM_WTSSESSION_CHANGE
constexpr uintptr_t kWtsSessionLock = 0x7;        // WTS_SESSION_LOCK
constexpr unsigned kWmPowerBroadcast = 0x0218;    // WM_POWERBROADCAST
constexpr uintptr_t kPbtApmSuspend = 0x4;         // PBT_APMSUSPEND

// What one timer tick asks the program to do.
struct TickDecision {
  bool hide_all_windows = false;  // every window of the program, waiting dialogs included
  bool close_keyfile = false;     // CloseKeyfile
  bool operator==(const TickDecision&) const = default;
};

class Inactivity {
 public:
  // Minutes since the last activity, as counted by the ticks.
  int hide_count = 0;
  int close_count = 0;

  // A toolkit event: codes 1 (click), 2 (change) and 32 reset both counters. True when it did.
  bool OnEvent(int event_code);
  // The unhide hotkey resets the hiding counter only.
  void OnUnhideHotkey() { hide_count = 0; }
  // One tick of timer 129: both counters advance; the windows are hidden when auto-hide is on
  // and the first counter reaches the auto-hide minutes exactly; the keyfile is closed when
  // auto-close is on, a keyfile is open and the second counter reaches the auto-close minutes
  // exactly. Minutes of 0 never fire.
  TickDecision Tick(const Settings& s, bool keyfile_open);
};

// Whether a window message means the user left: the session is locked or the machine is about
// to suspend.
bool IsAbsenceMessage(unsigned message, uintptr_t wparam);
// Whether such a message closes the keyfile now: auto-close on and a keyfile open.
bool CloseKeyfileOnAbsence(const Settings& s, bool keyfile_open, unsigned message,
                           uintptr_t wparam);

}  // namespace lq
