// The toolkit's demo form: one tabbed form with every kind of control, a menu, a toolbar and a
// status bar. The demo program shows it to people; the tests drive it and photograph it.
#pragma once

#include <string>

#include "formkit/formkit.h"

namespace fkdemo {

inline constexpr const char* kForm = "DEMO";

// Control and menu ids of the demo form.
enum : int {
  kToolbar = 10,
  kTabs = 20,
  kStatus = 30,
  // Basics page
  kFrame = 101,
  kFirstName = 103,
  kLastName = 105,
  kNotes = 107,
  kAlwaysEncrypt = 108,
  kHideText = 109,
  kSecretKeys = 110,
  kPublicKeys = 111,
  kOk = 112,
  kCancel = 113,
  kHelp = 114,
  kRich = 115,
  kStatusLabel = 116,
  // Lists page
  kSelected = 201,
  kAll = 202,
  kKeyLength = 203,
  kDriver = 204,
  kTrust = 205,
  kTrustLabel = 206,
  kProgress = 207,
  // Tree page
  kHistory = 301,
  // Pictures page
  kIcon = 401,
  kPicture = 402,
  kIconButton = 403,
  kPictureButton = 404,
  kSnowflake = 405,
  kCurve = 406,
  kRosette = 407,
  // More page
  kHotkey = 501,
  kDate = 502,
  kTime = 503,
  kDropped = 504,
  kCourier = 505,
  kVerdana = 506,
  // Menu items and accelerators
  kMenuOpen = 901,
  kMenuSave = 902,
  kMenuExit = 903,
  kMenuPage1 = 911,  // ... kMenuPage1 + 4
  kMenuAbout = 921,
  kAccelRefresh = 931,
  kClockTimer = 1,
};

inline constexpr int kPages = 5;
inline constexpr const char* kSnowflakeCommands = "P2;B15;G1,12,4,380,350;";

// Fonts and the tree's image list; call once per run before the form is built.
void DefineResources();
// The design routine's part for the demo form.
void Design(const char* form);
// Creates the demo form (the design routine must call Design) and shows it on `page`.
bool Build(int page);
// The demo's own reactions to events (status texts, moving recipients, dropped files).
void HandleEvent(const char* form, int id, int code, intptr_t value, int* cancel);

}  // namespace fkdemo
