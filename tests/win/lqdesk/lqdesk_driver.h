// Drives a running lqdesk from a second thread the way a user would: it waits for windows by
// caption, types into boxes and presses buttons with real window messages, and reads what the
// windows show. The program itself runs on the test's main thread (RunDesk).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "gui/desk.h"

namespace lqtest {

// A visible toolkit form with this caption, or nullptr after the timeout.
HWND WaitForm(const std::wstring& caption, int timeout_ms = 30000);
// A visible message box of the program (caption "Lockquill V1.0"), or nullptr.
HWND WaitMessageBox(int timeout_ms = 30000);
// The text of a message box.
std::wstring MessageBoxText(HWND box);
// Presses a message box's button (IDOK, IDYES, ...) and waits until the box is gone.
void Answer(HWND box, int button);
// Waits until the window is gone or hidden.
bool WaitGone(HWND hwnd, int timeout_ms = 30000);
bool WaitHidden(HWND hwnd, int timeout_ms = 30000);
bool WaitVisible(HWND hwnd, int timeout_ms = 30000);

// Types characters into a control (WM_CHAR, one message each, in order).
void Type(HWND control, const std::wstring& text);
void Key(HWND control, int vk);  // WM_KEYDOWN + WM_KEYUP
void Click(HWND form, int id);   // BM_CLICK on a control of a form
void Menu(HWND form, int id);    // a menu item's WM_COMMAND
std::wstring Text(HWND hwnd);
HWND Control(HWND form, int id);

// Runs `driver` on a second thread while the program runs on this one; returns when both are
// done. The driver must end the program (close MAIN); if it fails to, the program is ended
// after the driver returns.
void RunWithDriver(const lq::gui::DeskOptions& options, const std::function<void()>& driver);

// A fresh program folder under the temporary folder, ending in "\".
std::string FreshFolder(const std::string& name);
bool FileExists(const std::string& path);
std::string ReadFile(const std::string& path);

// A new keyfile "Keyfile.lqk" in `folder`, with no keys yet, made by the engine itself.
std::string MakeKeyfile(const std::string& folder, const std::string& passphrase);
// A visible form captioned "Lockquill V1.0" that has both controls, or nullptr after the
// timeout (the windows on the screen are then listed on standard error).
HWND WaitFormWith(int first_id, int second_id, int timeout_ms = 30000);
// MAIN: the form with the tabs and the log.
HWND WaitMain(int timeout_ms = 30000);
// Answers the start-up passphrase dialog; MAIN once it shows, or nullptr.
HWND OpenWithPassphrase(const std::wstring& passphrase);
// The entries of a list box.
std::vector<std::wstring> ListItems(HWND list);
// Saves a window's picture as `name`.bmp in the screenshot folder, when one is set.
void SavePicture(HWND hwnd, const std::string& name);

// Saves a window's picture as a BMP file (what the screen shows in its rectangle).
bool SaveWindowPicture(HWND hwnd, const std::string& path);
// The folder for screenshots (LQ_SCREENSHOTS), empty when not set.
std::string ScreenshotFolder();

}  // namespace lqtest
