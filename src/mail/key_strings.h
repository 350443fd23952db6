// Key strings: the little language in which the program and the e-mail drivers write
// keystrokes and clicks ("^v", "+(ab)", "{TAB 3}", "{SLEEP 500}", "{APPACTIVATE Title}").
// SendKeys reads one left to right and plays it through the Desktop, pauses included.
#pragma once

#include <string_view>

#include "platform/desktop.h"

namespace lq {

// Plays `keys` on `desktop`: modifiers "+" "^" "%", groups "(...)" under held modifiers, brace
// tokens (named keys with optional counts, {SLEEP n}, mouse clicks at x y, {APPACTIVATE title}),
// "~" for Enter and ordinary characters through the keyboard layout. An unclosed brace or
// group ends the string at that point; nothing stays held afterwards.
void SendKeys(Desktop& desktop, std::string_view keys);

}  // namespace lq
