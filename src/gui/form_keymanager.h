// The key manager form "KEYMANAGER": five tabs (my keys, recipient keys, key groups, signing
// key, keyfile) with the "&Tab" menu. It draws the view of app/keymanager and routes every
// event to its commands.
#pragma once

#include <cstdint>

#include "app/keymanager.h"

namespace lq::gui {

class Desk;

inline constexpr char kKeymanagerForm[] = "KEYMANAGER";

namespace km_ctl {
constexpr int kKeyList = 100;
constexpr int kKeyname = 101;  // 101..107: the seven detail boxes
constexpr int kEmailAddress = 107;
constexpr int kEditSecret = 108;
constexpr int kCalculate = 109;
constexpr int kTrust = 110;
constexpr int kPrevious = 111;
constexpr int kNext = 112;
constexpr int kNew = 113;
constexpr int kStore = 114;
constexpr int kDelete = 115;
constexpr int kImport = 116;
constexpr int kExport = 117;
constexpr int kSecretCreated = 118;
constexpr int kPublicCreated = 122;
constexpr int kPublicExpiry = 131;
constexpr int kFingerprint = 132;
constexpr int kSecretExpiry = 133;
constexpr int kTrustLabel = 137;
constexpr int kSecretFrame = 140;
constexpr int kPublicFrame = 141;
constexpr int kGroups = 143;
constexpr int kMembers = 144;
constexpr int kOthers = 145;
constexpr int kAddGroup = 146;
constexpr int kDeleteGroup = 147;
constexpr int kUnselect = 155;
constexpr int kSigningLabel = 156;
constexpr int kSigningList = 159;
constexpr int kBackup = 161;
constexpr int kChangePassphrase = 162;
constexpr int kRename = 163;
constexpr int kStartupText = 164;
constexpr int kSelectStartup = 165;
constexpr int kNoStartup = 166;
constexpr int kKeyfileName = 167;
constexpr int kHelp = 170;
constexpr int kExit = 171;
constexpr int kLoadNew = 173;
constexpr int kAlwaysEncrypt = 174;
constexpr int kMakeNew = 175;
constexpr int kTabs = 190;
constexpr int kMenuTab1 = 181;     // 181..185: "&Tab" menu items
constexpr int kCaptionBase = 200;  // static captions 200..
}  // namespace km_ctl

class KeymanagerForm {
 public:
  explicit KeymanagerForm(Desk& desk);

  // Creates the form the first time and shows it.
  void Show();
  void Design();
  void OnEvent(int id, int code, intptr_t value, int* cancel);
  // The keyfile was opened, closed or its lists changed elsewhere.
  void OnKeyfileChanged();

  KeyManager km;

 private:
  void Render();
  void ShowTab(int tab);
  KeyDetails ReadDetails();
  Desk& desk_;
  int busy_ = 0;  // inside a command: the keyfile's own change reports are not redrawn
  int drawn_tab_ = 0;
};

}  // namespace lq::gui
