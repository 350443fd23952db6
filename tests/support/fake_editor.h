// A fake of another program's edit window for host tests of text capture and the actions that
// use it: attached to a ScriptedDesktop, it answers the Ctrl+A, Ctrl+C and Ctrl+V that reach it
// as an edit control does (Ctrl+C copies only a non-empty selection), and can be made slow or
// deaf to Ctrl+C.
#pragma once

#include <cstdint>
#include <string>

#include "platform/scripted_desktop.h"

namespace lq {

// The focused window of another program: its text and selection (0-based, from <= to).
struct FakeEditor {
  std::string text;
  size_t sel_from = 0, sel_to = 0;
  bool answers_copy = true;
  uint64_t answers_after_ms = 0;  // copies nothing before this much fake time has passed
  int select_alls = 0, copies = 0, pastes = 0;
  uint64_t start_ms = 0;
  uint64_t first_copy_ms = 0, select_all_ms = 0;

  void Attach(ScriptedDesktop& d) {
    start_ms = d.clock_ms;
    d.on_key = [this, &d](const KeyEvent& e) { OnKey(d, e); };
  }
  void OnKey(ScriptedDesktop& d, const KeyEvent& e) {
    if (e.up || d.keys_down.count(17) == 0) return;
    if (e.vk == 'A') {
      ++select_alls;
      select_all_ms = d.clock_ms;
      sel_from = 0;
      sel_to = text.size();
    } else if (e.vk == 'C') {
      if (copies++ == 0) first_copy_ms = d.clock_ms;
      if (answers_copy && d.clock_ms - start_ms >= answers_after_ms && sel_to > sel_from) {
        d.clipboard = text.substr(sel_from, sel_to - sel_from);
        d.clipboard_has_text = true;
      }
    } else if (e.vk == 'V' && d.clipboard_has_text) {
      ++pastes;
      text.replace(sel_from, sel_to - sel_from, d.clipboard);
      sel_from = sel_to = sel_from + d.clipboard.size();
    }
  }
};

}  // namespace lq
