// The popup form "POPUP": the mode check boxes, the key-type radios and the recipient lists
// (selected and all), with select-all/none and close buttons. It opens from the toolbar's first
// button, and beside it when the mouse rests on that button (hiding again once the mouse is
// outside it).
#pragma once

#include <cstdint>
#include <vector>

#include "app/popup.h"

namespace lq::gui {

class Desk;

inline constexpr char kPopupForm[] = "POPUP";

namespace popup_ctl {
constexpr int kEncrypt = 100;
constexpr int kSign = 101;
constexpr int kSecretKeys = 102;
constexpr int kPublicKeys = 103;
constexpr int kSelectedLabel = 104;
constexpr int kAllLabel = 105;
constexpr int kSelected = 106;
constexpr int kArrows = 107;
constexpr int kAll = 108;
constexpr int kHelp = 110;
constexpr int kSelectAll = 111;
constexpr int kSelectNone = 112;
constexpr int kClose = 113;
constexpr int kMenuClose = 1001;
constexpr int kHoverTimer = 150;
}  // namespace popup_ctl

class PopupForm {
 public:
  explicit PopupForm(Desk& desk) : desk_(desk) {}

  // Shows the form (creating it the first time); `beside_hover` places it at x, y (character
  // units) and hides it again once the mouse leaves it and the button's rectangle.
  void Show();
  void ShowBeside(double x, double y, double button_x, double button_y, double button_w,
                  double button_h);
  void Hide();
  void Design();
  void OnEvent(int id, int code, intptr_t value, int* cancel);
  // Redraws the lists and boxes from the keyfile and settings (after an open, a close, a new
  // group ...).
  void Refresh();

 private:
  void Create();
  void MoveEntry(bool from_selected, intptr_t item);
  Desk& desk_;
  RecipientLists lists_;
  bool hover_shown_ = false;
  double button_[4] = {0, 0, 0, 0};  // x, y, w, h of the toolbar button, character units
};

}  // namespace lq::gui
