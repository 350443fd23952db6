// The settings form "SETTINGS": five tabs built from the settings table, read back into the
// settings when the form closes; "Store hotkey" and "Select D&ir." take effect at once.
#pragma once

#include <cstdint>
#include <string>

namespace lq::gui {

class Desk;

inline constexpr char kSettingsForm[] = "SETTINGS";

class SettingsForm {
 public:
  explicit SettingsForm(Desk& desk) : desk_(desk) {}
  // Creates and shows the form, filled from the settings (ShowSettingsForm).
  void Show();
  void Design();
  void OnEvent(int id, int code, intptr_t value, int* cancel);

 private:
  // Reads every control back into the settings (ApplySettingsForm).
  void Apply();
  void Close();
  void Fill();
  void EnablePickers();
  Desk& desk_;
  bool topmost_changed_ = false;
};

}  // namespace lq::gui
