// The settings form "SETTINGS": five tabs built from the settings table, read back into the
// settings when the form closes; "Store hotkey", "Select D&ir." and the e-mail driver
// commands take effect at once.
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
  // The E-mail tab's driver list, with `selected` chosen when it is there.
  void FillDrivers(const std::string& selected);
  std::string SelectedDriver();
  Desk& desk_;
  bool topmost_changed_ = false;
};

}  // namespace lq::gui
