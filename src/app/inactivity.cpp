// The inactivity counters and the absence messages that close the keyfile.
#include "app/inactivity.h"

namespace lq {

bool Inactivity::OnEvent(int event_code) {
  if (event_code != 1 && event_code != 2 && event_code != 32) return false;
  hide_count = 0;
  close_count = 0;
  return true;
}

TickDecision Inactivity::Tick(const Settings& s, bool keyfile_open) {
  ++hide_count;
  ++close_count;
  TickDecision d;
  // "Equals", not "at least": each fires once per idle stretch, not on every later tick.
  d.hide_all_windows =
      s.auto_hide != 0 && s.auto_hide_minutes > 0 && hide_count == s.auto_hide_minutes;
  d.close_keyfile = s.auto_close != 0 && s.auto_close_minutes > 0 && keyfile_open &&
                    close_count == s.auto_close_minutes;
  return d;
}

bool IsAbsenceMessage(unsigned message, uintptr_t wparam) {
  return (message == kWmWtsSessionChange && wparam == kWtsSessionLock) ||
         (message == kWmPowerBroadcast && wparam == kPbtApmSuspend);
}

bool CloseKeyfileOnAbsence(const Settings& s, bool keyfile_open, unsigned message,
                           uintptr_t wparam) {
  return s.auto_close != 0 && keyfile_open && IsAbsenceMessage(message, wparam);
}

}  // namespace lq
