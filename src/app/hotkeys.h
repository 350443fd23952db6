// The three global hotkeys (encrypt, decrypt, unhide the windows): their atom identifiers, the
// conversion between the hotkey control's modifier flags and RegisterHotKey's, registering and
// storing them over the Desktop, and the WM_HOTKEY dispatch.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/settings.h"
#include "base/ui.h"
#include "platform/desktop.h"

namespace lq {

// Modifier flags of the hotkey control (HKM_GETHOTKEY / HKM_SETHOTKEY, high byte).
constexpr unsigned kHotkeyfShift = 1;
constexpr unsigned kHotkeyfControl = 2;
constexpr unsigned kHotkeyfAlt = 4;
constexpr unsigned kHotkeyfExt = 8;  // extended key; not a modifier, never registered
// Modifier flags of RegisterHotKey.
constexpr unsigned kModAlt = 1;
constexpr unsigned kModControl = 2;
constexpr unsigned kModShift = 4;
constexpr unsigned kModWin = 8;

constexpr unsigned kWmHotkey = 786;  // WM_HOTKEY

enum class HotkeyAction { kEncrypt, kDecrypt, kUnhide };

// "Lockquill_Encrypt", "Lockquill_Decrypt", "Lockquill_Unhide".
const char* HotkeyAtomBase(HotkeyAction action);
// The atom's name: the base followed by the seconds of the day in number text
// ("Lockquill_Encrypt 45296"), so two instances started in different seconds differ.
std::string HotkeyAtomName(HotkeyAction action, long seconds_of_day);

// The hotkey identifiers: the atoms' values, 0 when an atom could not be made.
struct HotkeyIds {
  int encrypt = 0, decrypt = 0, unhide = 0;
  int Of(HotkeyAction action) const;
};

// Creates the three atoms in the order encrypt, decrypt, unhide.
HotkeyIds CreateHotkeyAtoms(Desktop& desktop, long seconds_of_day);

// Control flags -> RegisterHotKey flags and back, for every combination of Shift, Ctrl and
// Alt. Other bits (the control's extended-key flag, RegisterHotKey's Win flag and above) are
// dropped.
unsigned ControlToRegisterModifiers(unsigned control_flags);
unsigned RegisterToControlModifiers(unsigned register_flags);

// The hotkey control's value (HKM_GETHOTKEY: key in the low byte, control flags in the high
// byte) of stored settings, and the other way round.
unsigned HotkeyControlValue(unsigned register_modifiers, unsigned key);
void FromHotkeyControlValue(unsigned control_value, unsigned& register_modifiers, unsigned& key);

// The settings fields of an action's hotkey (21/22, 23/24, 19/20).
long long& HotkeyModifiers(Settings& s, HotkeyAction action);
long long& HotkeyKey(Settings& s, HotkeyAction action);

// Registers the three hotkeys for `window`: encryption, decryption, unhide, in that order. A
// hotkey that fails shows "General_Hotkey_already_reserved" (style 16) and stays unregistered;
// one with key 0 (none chosen) or identifier 0 is skipped without a message. Returns how many
// were registered.
int RegisterHotkeys(Ui& ui, Desktop& desktop, WindowId window, const HotkeyIds& ids,
                    const Settings& s);

enum class StoreHotkeyResult {
  kStored,       // the new combination is registered and in the settings
  kCleared,      // the control held no key: the old one is unregistered, key 0 stored
  kRefused,      // the new one is taken: message shown, the old one registered again and kept
                 // in the settings
  kRefusedLost,  // the new one is taken and the old one could not be registered again either
                 // (it was not working before): message shown, settings unchanged
};

// "Store hotkey": takes the control's value (HKM_GETHOTKEY), unregisters the action's old
// combination, registers the new one under the same identifier and stores it. When the new one
// fails, "General_Hotkey_already_reserved" is shown and the old combination is registered again,
// so a working hotkey is never lost. The caller shows the settings' value in the control again
// after a refusal (HotkeyControlValue).
StoreHotkeyResult StoreHotkey(Ui& ui, Desktop& desktop, WindowId window, const HotkeyIds& ids,
                              Settings& s, HotkeyAction action, unsigned control_value);

// WM_HOTKEY's identifier (wParam) -> the action; nullopt for an identifier that is not ours
// (or 0).
std::optional<HotkeyAction> HotkeyForIdentifier(const HotkeyIds& ids, uintptr_t identifier);

}  // namespace lq
