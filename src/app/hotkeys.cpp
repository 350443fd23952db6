// The global hotkeys: atoms, flag conversion, registration with the never-lose-a-hotkey rule,
// and the WM_HOTKEY identifier dispatch.
#include "app/hotkeys.h"

#include "base/bytes.h"
#include "base/catalogue.h"

namespace lq {

namespace {

constexpr char kReserved[] = "General_Hotkey_already_reserved";

// Control flag <-> RegisterHotKey flag, one pair per modifier.
constexpr struct {
  unsigned control, registered;
} kModifierPairs[] = {
    {kHotkeyfShift, kModShift},
    {kHotkeyfControl, kModControl},
    {kHotkeyfAlt, kModAlt},
};

}  // namespace

const char* HotkeyAtomBase(HotkeyAction action) {
  switch (action) {
    case HotkeyAction::kEncrypt:
      return "Lockquill_Encrypt";
    case HotkeyAction::kDecrypt:
      return "Lockquill_Decrypt";
    case HotkeyAction::kUnhide:
      return "Lockquill_Unhide";
  }
  return "";
}

std::string HotkeyAtomName(HotkeyAction action, long seconds_of_day) {
  return std::string(HotkeyAtomBase(action)) + NumText(seconds_of_day);
}

int HotkeyIds::Of(HotkeyAction action) const {
  switch (action) {
    case HotkeyAction::kEncrypt:
      return encrypt;
    case HotkeyAction::kDecrypt:
      return decrypt;
    case HotkeyAction::kUnhide:
      return unhide;
  }
  return 0;
}

HotkeyIds CreateHotkeyAtoms(Desktop& desktop, long seconds_of_day) {
  HotkeyIds ids;
  ids.encrypt = desktop.AddGlobalAtom(HotkeyAtomName(HotkeyAction::kEncrypt, seconds_of_day));
  ids.decrypt = desktop.AddGlobalAtom(HotkeyAtomName(HotkeyAction::kDecrypt, seconds_of_day));
  ids.unhide = desktop.AddGlobalAtom(HotkeyAtomName(HotkeyAction::kUnhide, seconds_of_day));
  return ids;
}

unsigned ControlToRegisterModifiers(unsigned control_flags) {
  unsigned out = 0;
  for (const auto& p : kModifierPairs) {
    if (control_flags & p.control) out |= p.registered;
  }
  return out;
}

unsigned RegisterToControlModifiers(unsigned register_flags) {
  unsigned out = 0;
  for (const auto& p : kModifierPairs) {
    if (register_flags & p.registered) out |= p.control;
  }
  return out;
}

unsigned HotkeyControlValue(unsigned register_modifiers, unsigned key) {
  return (RegisterToControlModifiers(register_modifiers) << 8) | (key & 0xFF);
}

void FromHotkeyControlValue(unsigned control_value, unsigned& register_modifiers, unsigned& key) {
  key = control_value & 0xFF;
  register_modifiers = ControlToRegisterModifiers((control_value >> 8) & 0xFF);
}

long long& HotkeyModifiers(Settings& s, HotkeyAction action) {
  switch (action) {
    case HotkeyAction::kEncrypt:
      return s.encrypt_modifiers;
    case HotkeyAction::kDecrypt:
      return s.decrypt_modifiers;
    case HotkeyAction::kUnhide:
      break;
  }
  return s.unhide_modifiers;
}

long long& HotkeyKey(Settings& s, HotkeyAction action) {
  switch (action) {
    case HotkeyAction::kEncrypt:
      return s.encrypt_key;
    case HotkeyAction::kDecrypt:
      return s.decrypt_key;
    case HotkeyAction::kUnhide:
      break;
  }
  return s.unhide_key;
}

int RegisterHotkeys(Ui& ui, Desktop& desktop, WindowId window, const HotkeyIds& ids,
                    const Settings& settings) {
  Settings s = settings;
  int registered = 0;
  for (HotkeyAction a : {HotkeyAction::kEncrypt, HotkeyAction::kDecrypt, HotkeyAction::kUnhide}) {
    const int id = ids.Of(a);
    const auto key = static_cast<unsigned>(HotkeyKey(s, a));
    if (id == 0 || key == 0) continue;
    if (desktop.RegisterHotkey(window, id, static_cast<unsigned>(HotkeyModifiers(s, a)), key)) {
      ++registered;
    } else {
      ShowMessage(ui, kReserved, mb::kIconHand);
    }
  }
  return registered;
}

StoreHotkeyResult StoreHotkey(Ui& ui, Desktop& desktop, WindowId window, const HotkeyIds& ids,
                              Settings& s, HotkeyAction action, unsigned control_value) {
  unsigned modifiers = 0, key = 0;
  FromHotkeyControlValue(control_value, modifiers, key);
  long long& stored_modifiers = HotkeyModifiers(s, action);
  long long& stored_key = HotkeyKey(s, action);
  const auto old_modifiers = static_cast<unsigned>(stored_modifiers);
  const auto old_key = static_cast<unsigned>(stored_key);
  const int id = ids.Of(action);
  // Registering under an id that holds a combination keeps the old one as well, so the old key
  // would go on triggering the action: it goes first.
  if (id != 0) desktop.UnregisterHotkey(window, id);
  if (key == 0) {
    stored_modifiers = modifiers;
    stored_key = 0;
    return StoreHotkeyResult::kCleared;
  }
  if (id != 0 && desktop.RegisterHotkey(window, id, modifiers, key)) {
    stored_modifiers = modifiers;
    stored_key = key;
    return StoreHotkeyResult::kStored;
  }
  ShowMessage(ui, kReserved, mb::kIconHand);
  // Put the old combination back, so a working hotkey is never lost; the settings keep
  // describing what is registered.
  if (id != 0 && old_key != 0 && desktop.RegisterHotkey(window, id, old_modifiers, old_key)) {
    return StoreHotkeyResult::kRefused;
  }
  return StoreHotkeyResult::kRefusedLost;
}

std::optional<HotkeyAction> HotkeyForIdentifier(const HotkeyIds& ids, uintptr_t identifier) {
  if (identifier == 0) return std::nullopt;
  for (HotkeyAction a : {HotkeyAction::kEncrypt, HotkeyAction::kDecrypt, HotkeyAction::kUnhide}) {
    if (static_cast<uintptr_t>(ids.Of(a)) == identifier) return a;
  }
  return std::nullopt;
}

}  // namespace lq
