// The toolkit's demo form: every control kind on five tab pages (one layer each), with a menu,
// accelerators, a toolbar from a bitmap strip, a status bar, tooltips, a clock timer and a drop
// area. Written against formkit.h alone, as an application would be.
#include "demo_form.h"

#include <cstdio>
#include <ctime>
#include <string>

namespace fkdemo {

namespace {

constexpr int kCourierFont = 1;
constexpr int kVerdanaFont = 2;
constexpr int kHistoryImages = 1;

constexpr unsigned long kDtsUpDown = 0x0001;      // DTS_UPDOWN
constexpr unsigned long kDtsTimeFormat = 0x0009;  // DTS_TIMEFORMAT
constexpr unsigned kDtmSetFormatW = 0x1000 + 50;  // DTM_SETFORMATW

void Menus() {
  FK_DEFMAINMENU(kForm);
  FK_DEFSUBMENU(kForm, "&File");
  FK_ADDMENUITEM(kForm, kMenuOpen, "&Open file...", 0);
  FK_ADDMENUITEM(kForm, kMenuSave, "&Save notes as...", 0);
  FK_ADDMENUITEM(kForm, 0, "-", 0);
  FK_ADDMENUITEM(kForm, kMenuExit, "E&xit", 0);
  FK_SETSUBMENU(kForm, 0);
  FK_DEFSUBMENU(kForm, "&Tab");
  const char* pages[kPages] = {"&Basics", "&Lists", "&Tree", "&Pictures", "&More"};
  for (int i = 0; i < kPages; ++i) FK_ADDMENUITEM(kForm, kMenuPage1 + i, pages[i], i == 0);
  FK_SETSUBMENU(kForm, 0);
  FK_DEFSUBMENU(kForm, "&Help");
  FK_ADDMENUITEM(kForm, kMenuAbout, "&About\tF1", 0);
  FK_DEFACCEL(kForm, kMenuAbout, "F1");
  FK_DEFACCEL(kForm, kAccelRefresh, "F5");
  FK_DEFACCEL(kForm, kMenuExit, "Ctrl+Q");
}

void Bars() {
  FK_TOOLBAR(kForm, kToolbar, "$DEMOSTRIP{S}", "F24X24", "BBB B BBBBB BB B|A8910234567B", 0, 0, 0,
             0, "");
  const char* tips[] = {"Show PopUp window",
                        "Hide window",
                        "Minimize/maximize window",
                        "Paste e-mail addresses",
                        "Send as e-mail",
                        "Paste as text",
                        "Save as file",
                        "Save as separate files",
                        "Save as executable file",
                        "Decrypt/verify text",
                        "Decrypt/verify file",
                        "Call the helpfile"};
  for (int i = 0; i < 12; ++i) FK_ADDTOOLTIP(kForm, kToolbar, i + 1, tips[i]);
  FK_STATUSBAR(kForm, kStatus, "Keyfile loaded", "");
  FK_SETSBPARTS(kForm, kStatus, "34|46|-1");
  FK_SETSBTEXT(kForm, kStatus, 2, "Page 1 of 5");
  FK_TABCONTROL(kForm, kTabs, "Basics|Lists|Tree|Pictures|More", 1, 3, 110, 30, "L");
}

void BasicsPage() {
  FK_SETLAYER(kForm, 1);
  FK_FRAME(kForm, kFrame, "Identification", 3, 5.5, 52, 13.5, "");
  FK_LABEL(kForm, 102, "&First name:", 5, 7.6, 13, 1.3, "");
  FK_TEXT(kForm, kFirstName, "Ada", 19, 7.3, 33, 1.7, "");
  FK_LABEL(kForm, 104, "&Last name:", 5, 9.8, 13, 1.3, "");
  FK_TEXT(kForm, kLastName, "Lovelace", 19, 9.5, 33, 1.7, "");
  FK_LABEL(kForm, 106, "&Notes:", 5, 12.0, 13, 1.3, "");
  FK_TEXT(kForm, kNotes, "Notes may run over\r\nseveral lines.", 19, 11.7, 33, 6.5, "MV");
  FK_CHECKBOX(kForm, kAlwaysEncrypt, "&Always encrypt to this key", 58, 6.0, 40, 1.6, "");
  FK_CHECKBOX(kForm, kHideText, "&Hide text when typing", 58, 7.8, 40, 1.6, "");
  FK_SETCHECK(kForm, kHideText, 1);
  FK_RADIO(kForm, kSecretKeys, "Encrypt using se&cret keys", 58, 10.2, 40, 1.6, "");
  FK_RADIO(kForm, kPublicKeys, "Encrypt using &public keys", 58, 12.0, 40, 1.6, "");
  FK_SETCHECK(kForm, kPublicKeys, 1);
  FK_BUTTON(kForm, kOk, "&OK", 58, 15.8, 14, 2.0, "D");
  FK_BUTTON(kForm, kCancel, "&Cancel", 74, 15.8, 14, 2.0, "A");
  FK_BUTTON(kForm, kHelp, "He&lp", 90, 15.8, 14, 2.0, "");
  FK_SETTOOLTIP(kForm, kHelp, "Opens the help file");
  FK_RICHTEXT1(kForm, kRich,
               "{\\rtf1\\ansi{\\fonttbl{\\f0 Tahoma;}}{\\colortbl;\\red200\\green0\\blue0;}"
               "\\f0\\fs18 Rich text: \\b bold\\b0 , \\i italic\\i0 , "
               "\\cf1 red\\cf0  and \\ul underlined\\ul0 .\\par Second paragraph.}",
               3, 19.6, 106, 7.2, "V");
  FK_COLOR(18, FK_COLOR_DEFAULT);
  FK_LABEL(kForm, kStatusLabel, "Status: the keyfile is loaded", 3, 27.6, 60, 1.3, "");
  FK_COLOR(FK_COLOR_DEFAULT, FK_COLOR_DEFAULT);
}

void ListsPage() {
  FK_SETLAYER(kForm, 2);
  FK_LABEL(kForm, 210, "Selected recipients", 3, 5.8, 30, 1.3, "");
  FK_LISTBOX(kForm, kSelected, "Alice|Bob", 3, 7.3, 30, 12, "M");
  FK_LABEL(kForm, 211, "----> <----", 34, 12.5, 10, 1.3, "C");
  FK_LABEL(kForm, 212, "All recipients", 45, 5.8, 30, 1.3, "");
  FK_LISTBOX(kForm, kAll, "Carol|Dave|Eve|Mallory|Trent|Victor|Walter", 45, 7.3, 30, 12, "O");
  FK_LABEL(kForm, 213, "Keylength in bits", 79, 5.8, 28, 1.3, "");
  FK_COMBOBOX(kForm, kKeyLength, "288|512|768|1024|1536|2048|4096|8192|16384|32768", 79, 7.3, 28,
              12, "");
  FK_SETTEXT(kForm, kKeyLength, "1024");
  FK_LABEL(kForm, 214, "Default e-mail driver :", 79, 10.3, 28, 1.3, "");
  FK_COMBOBOX(kForm, kDriver, "Default mail program|Simple MAPI|Web mail", 79, 11.8, 28, 8, "L");
  FK_SELECTITEM(kForm, kDriver, 2, 1);
  FK_LABEL(kForm, kTrustLabel, "Trust: Medium", 3, 20.5, 30, 1.3, "");
  FK_HTRACKBAR(kForm, kTrust, 1, 3, 3, 22, 30, 2.4, "");
  FK_SETTBAR(kForm, kTrust, 2);
  FK_LABEL(kForm, 215, "Processing step 3 of 5", 45, 20.5, 40, 1.3, "");
  FK_PROGRESSBAR(kForm, kProgress, 45, 22.3, 62, 1.6, "");
  FK_SETPBAR(kForm, kProgress, 3, 5);
}

void TreePage() {
  FK_SETLAYER(kForm, 3);
  FK_LABEL(kForm, 310, "Select an item and use right mouse click", 3, 5.8, 60, 1.3, "");
  FK_TREEVIEW(kForm, kHistory, 3, 7.3, 104, 21, "");
  FK_TVUSEIMAGELIST(kForm, kHistory, kHistoryImages);
  FK_ITEM cipher = FK_ADDTVITEM(kForm, kHistory, 0, "Ciphertext #1", 0, 0);
  FK_ADDTVITEM(kForm, kHistory, cipher, "Plaintext #2", 1, 1);
  FK_ADDTVITEM(kForm, kHistory, cipher, "Signed text #3", 1, 1);
  FK_ITEM file = FK_ADDTVITEM(kForm, kHistory, 0, "Encrypted file", 0, 0);
  FK_ADDTVITEM(kForm, kHistory, file, "C:\\Documents\\report.lqe", 1, 1);
  FK_ADDTVITEM(kForm, kHistory, 0, "Verified text #4", 1, 1);
  FK_TVEXPAND(kForm, kHistory, 0);
}

void PicturesPage() {
  FK_SETLAYER(kForm, 4);
  FK_LABEL(kForm, 410, "Icon, picture and image buttons", 3, 5.8, 31, 1.3, "");
  FK_ICON(kForm, kIcon, "$DEMOICON", 3, 7.5, 8, 4, "");
  // The system's own icons, as the overwrite and export dialogs show them.
  FK_ICON(kForm, 412, "*QUESTION", 3, 12.3, 4.5, 4, "");
  FK_ICON(kForm, 413, "*INFORMATION", 7.5, 12.3, 4.5, 4, "");
  FK_PICTURE(kForm, kPicture, "Graphics\\demo_picture.bmp{S}", 13, 7.5, 20, 9, "E");
  FK_IBUTTON(kForm, kIconButton, "$DEMOICON", 3, 18, 9, 3.4, "");
  FK_SETTOOLTIP(kForm, kIconButton, "An image button with an icon");
  FK_IBUTTON(kForm, kPictureButton, "Graphics\\demo_picture.bmp{S}", 14, 18, 19, 8.6, "F");
  FK_LABEL(kForm, 411, "Turtle pictures", 36, 5.8, 30, 1.3, "");
  FK_TURTLEPICTURE(kForm, kSnowflake, kSnowflakeCommands, 36, 7.5, 34, 20, "E");
  FK_TURTLEPICTURE(kForm, kCurve, "P1;B15;G2,1,4,200,200;", 72, 7.5, 17, 9.6, "E");
  FK_TURTLEPICTURE(kForm, kRosette, "P1;B14;G3,5,5,200,200;", 72, 17.9, 17, 9.6, "E");
  FK_TURTLEPICTURE(kForm, 408, "P3;B0;C10;H;F40;T120;F40;T120;F40;U;M8,8;D;C11;L80,8;", 90, 7.5, 17,
                   9.6, "E");
}

void MorePage() {
  FK_SETLAYER(kForm, 5);
  FK_FRAME(kForm, 510, "Hotkey definitions", 3, 5.5, 52, 6.5, "");
  FK_LABEL(kForm, 511, "Encryption hotkey :", 5, 7.8, 20, 1.3, "");
  FK_CONTROLEX(kForm, kHotkey, "msctls_hotkey32", "", 26, 7.5, 26, 1.7, 0, 0);
  FK_SENDMESSAGE(kForm, kHotkey, 0x0400 + 1 /* HKM_SETHOTKEY */, (0x04 << 8) | 0x7A, 0);
  FK_FRAME(kForm, 512, "Key expires", 58, 5.5, 50, 6.5, "");
  FK_LABEL(kForm, 513, "Expiration date:", 60, 7.8, 18, 1.3, "");
  FK_CONTROLEX(kForm, kDate, "SysDateTimePick32", "", 79, 7.5, 26, 1.7, 0, 0);
  FK_LABEL(kForm, 514, "[ hh:mm ]", 60, 9.8, 18, 1.3, "");
  FK_CONTROLEX(kForm, kTime, "SysDateTimePick32", "", 79, 9.6, 14, 1.7, kDtsUpDown | kDtsTimeFormat,
               0);
  FK_SENDMESSAGER(kForm, kTime, kDtmSetFormatW, 0, "HH':'mm");
  FK_LABEL(kForm, 515, "Drop files on this form; they are listed here:", 3, 13.3, 60, 1.3, "");
  FK_LISTBOX(kForm, kDropped, "", 3, 14.8, 104, 6.5, "H");
  FK_USEFONT(kCourierFont);
  FK_COLOR(1, FK_COLOR_DEFAULT);
  FK_LABEL(kForm, kCourier, "Courier New, bold, blue", 3, 22.5, 50, 1.8, "");
  FK_USEFONT(kVerdanaFont);
  FK_COLOR(15, 20);
  FK_LABEL(kForm, kVerdana, "Verdana italic, white on red", 56, 22.5, 51, 1.8, "CE");
  FK_USEFONT(0);
  FK_COLOR(FK_COLOR_DEFAULT, FK_COLOR_DEFAULT);
}

void ShowPage(int page) {
  FK_SHOWPAGE(kForm, kTabs, page);
  for (int i = 0; i < kPages; ++i) {
    FK_SETMENUITEM(kForm, kMenuPage1 + i, nullptr, i + 1 == page ? FK_MI_CHECKED : 0);
  }
  FK_SETSBTEXT(kForm, kStatus, 2, ("Page " + std::to_string(page) + " of 5").c_str());
}

// Moves the selected names of one list to the other, as the recipient lists do.
void MoveSelected(int from, int to) {
  for (int item = FK_FINDLAST(kForm, from); item > 0; --item) {
    if (FK_FINDNEXTSEL(kForm, from, item - 1) != item) continue;
    FK_ADDLIST(kForm, to, FK_GETITEMTEXT(kForm, from, item).c_str());
    FK_DELETEITEM(kForm, from, item);
  }
}

}  // namespace

void DefineResources() {
  FK_DEFFONT(kCourierFont, "Courier New", 10, "B");
  FK_DEFFONT(kVerdanaFont, "Verdana", 9, "I");
  FK_DEFIMAGELIST(kHistoryImages, 16, 16);
  FK_ADDIMAGE(kHistoryImages, "$DEMOICON");
  FK_ADDIMAGE(kHistoryImages, "Graphics\\demo_toolbar.bmp{S}");
}

void Design(const char* form) {
  if (std::string(form) != kForm) return;
  Menus();
  Bars();
  BasicsPage();
  ListsPage();
  TreePage();
  PicturesPage();
  MorePage();
  FK_SETLAYER(kForm, 0);
  FK_SETDROPFILES(kForm, 1);
  FK_STARTTIMER(kForm, kClockTimer, 1000);
}

bool Build(int page) {
  if (!FK_FORM(kForm, "", "Lockquill toolkit demo", -1, -1, 112, 36, "CMS")) return false;
  FK_SETFORMICON(kForm, "$DEMOICON");
  ShowPage(page < 1 || page > kPages ? 1 : page);
  FK_SHOWFORM(kForm, FK_SHOW_NORMAL);
  FK_SETFOCUS(kForm, kFirstName);
  return true;
}

void HandleEvent(const char* form, int id, int code, intptr_t value, int* cancel) {
  (void)cancel;
  if (std::string(form) != kForm) return;
  char text[128];
  switch (code) {
    case FK_EV_CLICK:
      if (id == kToolbar) {
        std::snprintf(text, sizeof(text), "Toolbar button %d", static_cast<int>(value));
        FK_SETSBTEXT(kForm, kStatus, 1, text);
      } else if (id >= kMenuPage1 && id < kMenuPage1 + kPages) {
        ShowPage(id - kMenuPage1 + 1);
      } else if (id == kMenuExit || id == kCancel) {
        FK_UNLOADFORM(kForm);
      } else if (id == kOk) {
        std::string name = FK_GETTEXT(kForm, kFirstName) + " " + FK_GETTEXT(kForm, kLastName);
        FK_SETSBTEXT(kForm, kStatus, 1, ("Hello, " + name).c_str());
      } else if (id == kHelp || id == kMenuAbout) {
        if (!FK_WINHELP(kForm, "", FK_HELP_CONTENTS, 0)) {
          FK_SETSBTEXT(kForm, kStatus, 1, "No help file here");
        }
      }
      return;
    case FK_EV_CHANGE:
      if (id == kTabs) {
        ShowPage(static_cast<int>(value));
      } else if (id == kTrust) {
        const char* names[] = {"Low", "Medium", "High"};
        int level = static_cast<int>(value);
        if (level >= 1 && level <= 3) {
          FK_SETTEXT(kForm, kTrustLabel, (std::string("Trust: ") + names[level - 1]).c_str());
        }
      }
      return;
    case FK_EV_DBLCLICK:
      if (id == kAll) MoveSelected(kAll, kSelected);
      if (id == kSelected) MoveSelected(kSelected, kAll);
      return;
    case FK_EV_DROPFILES:
      FK_ADDITEMS(kForm, kDropped, FK_GETDROPLIST(kForm).c_str());
      ShowPage(5);
      return;
    case FK_EV_TIMER: {
      std::time_t now = std::time(nullptr);
      std::strftime(text, sizeof(text), "%H:%M:%S", std::localtime(&now));
      FK_SETSBTEXT(kForm, kStatus, 3, text);
      return;
    }
    case FK_EV_CLOSE:
      return;  // closing unloads the form, which ends the run
    default:
      return;
  }
}

}  // namespace fkdemo
