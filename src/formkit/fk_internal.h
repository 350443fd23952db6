// Internal model of formkit30: the one toolkit state object, its forms and controls, and the
// helpers every call family shares (lookups, units, text conversion, event delivery).
#pragma once

#include <windows.h>
// The common-control declarations need <windows.h> first.
#include <commctrl.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "formkit/formkit.h"

namespace fk {

enum class Kind {
  kLabel,
  kText,
  kRichText,
  kButton,
  kImageButton,
  kCheckBox,
  kRadio,
  kComboBox,
  kListBox,
  kTreeView,
  kTabControl,
  kToolbar,
  kStatusBar,
  kProgressBar,
  kTrackBar,
  kFrame,
  kIcon,
  kPicture,
  kTurtle,
  kGeneric,
};

struct Control {
  int id = 0;
  Kind kind = Kind::kGeneric;
  HWND hwnd = nullptr;
  std::string props;
  int layer = 0;
  bool user_hidden = false;  // FK_HIDEC, independent of layers
  COLORREF fg = CLR_INVALID, bg = CLR_INVALID;
  HBRUSH bg_brush = nullptr;
  int font = 0;
  FK_MSGHOOK hook = nullptr;
  bool subclassed = false;
  int last_value = 0;   // track bar: last reported position, to report real changes only
  bool docked = false;  // toolbars and status bars that follow the form's size
  // Images the control owns (pictures, icons, image buttons, toolbar image list).
  HBITMAP bitmap = nullptr;
  HICON icon = nullptr;
  HIMAGELIST image_list = nullptr;
  // Toolbar: tooltip per button number (index 0 unused).
  std::vector<std::wstring> button_tips;
  // Tab control: its page painted once, as the brush of the controls that lie on it.
  HBITMAP page_bitmap = nullptr;
  HBRUSH page_brush = nullptr;
  SIZE page_size{};
  // Turtle picture: the command text and the result of the last drawing.
  std::string turtle_commands;
  int turtle_result = 0;
};

struct AccelKey {
  BYTE virt = 0;
  WORD key = 0;
  WORD cmd = 0;
};

struct Form {
  std::string name;
  std::string parent;
  std::string props;
  HWND hwnd = nullptr;
  bool child = false;  // "P": inside the parent's client area
  bool keep = false;   // "K": closing hides
  // Position and size of FK_FORM, or as the design routine changed them (FK_RESIZEFORM); FK_FORM
  // places the form by them when the design routine returns.
  double want_x = -1, want_y = -1, want_w = 0, want_h = 0;
  std::map<int, std::unique_ptr<Control>> controls;
  int current_layer = 0;
  int displayed_layer = 1;
  COLORREF bg = CLR_INVALID;
  HBRUSH bg_brush = nullptr;
  HMENU menu_bar = nullptr;
  std::vector<HMENU> submenus;  // number n is submenus[n - 1]
  HMENU current_menu = nullptr;
  std::vector<AccelKey> accels;
  HACCEL accel_table = nullptr;
  HWND tooltip = nullptr;
  std::vector<std::wstring> drop_list;
  FK_MSGHOOK pre_hook = nullptr;
  FK_MSGHOOK post_hook = nullptr;
  HICON icon_big = nullptr, icon_small = nullptr;
  HWND last_focus = nullptr;
  bool unloading = false;
  bool designing = false;
  bool shown_once = false;
  // How many toolkit waits (modal forms, system-modal boxes) hold this form disabled. The form
  // is enabled again only when the last of them ends.
  int disable_count = 0;
  Kind last_kind = Kind::kGeneric;  // radio groups start and end by what was created before
  bool any_control = false;
};

// One modal wait of FK_SHOWMODAL: which form, which forms it disabled, and how it ended.
struct ModalWait {
  std::string form;
  HWND hwnd = nullptr;
  HWND previous_active = nullptr;  // activated again when the wait's form disappears
  std::vector<std::string> disabled;
  bool released = false;  // the disabled forms are enabled again
  bool ended = false;     // FK_ENDMODAL or a close of a "K" form
  int code = 0;
};

// The toolbar button the mouse is on, until it has rested there for the hover time.
struct HoverWatch {
  std::string form;
  int id = 0;
  int button = 0;
  UINT_PTR timer = 0;
  int reported = 0;  // the button whose rest was reported, until the mouse leaves it
};

struct ImageList {
  HIMAGELIST list = nullptr;
  int w = 16, h = 16;
};

// Process-wide toolkit state. A C interface has no object to hand around, so the library keeps
// exactly this one; FK_GUIRUN sets it up and tears it down.
struct Toolkit {
  bool ready = false;
  bool running = false;  // inside FK_GUIRUN
  bool in_main = false;  // while the main routine runs, an empty form table does not end the run
  HINSTANCE module = nullptr;  // formkit30.dll
  HANDLE act_ctx = INVALID_HANDLE_VALUE;
  ULONG_PTR act_cookie = 0;
  FK_MAINPROC main_proc = nullptr;
  FK_EVENTPROC event_proc = nullptr;
  FK_DESIGNPROC design_proc = nullptr;
  FK_LOOPHOOK loop_hook = nullptr;
  bool key_events = false;
  bool notify_events = false;
  int show_state = SW_SHOWNORMAL;
  bool show_state_used = false;
  std::map<std::string, std::unique_ptr<Form>> forms;
  // Drawing state for the controls created next.
  COLORREF cur_fg = CLR_INVALID, cur_bg = CLR_INVALID;
  int cur_font = 0;
  int depth = 32;
  std::map<int, HFONT> fonts;  // 0: the default font
  std::map<int, HICON> icons;
  std::map<int, ImageList> image_lists;
  double unit_x = 8, unit_y = 16;  // pixels per character unit
  int dpi = 96;
  HMODULE richedit = nullptr;
  // Turtle plug-in: loaded on first use.
  bool plugin_tried = false;
  HMODULE plugin = nullptr;
  void* plugin_render = nullptr;
  // Nesting of toolkit setters: change notifications they cause are not reported.
  int quiet = 0;
  std::string last_error;
  // Modal waits, innermost last; system-modal levels (FK_DISABLEFORMS), each the forms it
  // disabled.
  std::vector<ModalWait*> modal_waits;
  std::vector<std::vector<std::string>> disable_levels;
  HoverWatch hover;
  // A message-only window of the toolkit that owns what the toolkit puts on the clipboard.
  HWND clipboard_window = nullptr;
  // Fonts and icons replaced while controls may still use them; freed when the run ends.
  std::vector<HGDIOBJ> retired_objects;
  std::vector<HICON> retired_icons;
};

Toolkit& Tk();

// Text conversion. Texts that are valid UTF-8 are read as UTF-8, any other text through the
// user's ANSI code page, so no byte is ever replaced; what comes back is always UTF-8.
std::wstring Wide(const char* text);
std::wstring Wide(std::string_view text);
std::string Utf8(std::wstring_view text);
bool IsUtf8(std::string_view text);
// Overwrites a string's whole buffer (its capacity, not only its size) and empties it.
void WipeString(std::string& text);
void WipeString(std::wstring& text);
// A string that is wiped when it goes out of scope: the toolkit's copies of texts that may be
// secrets (passphrase boxes, clipboard text).
template <typename S>
struct Wiped {
  S text;
  Wiped() = default;
  explicit Wiped(S s) : text(std::move(s)) {}
  Wiped(const Wiped&) = delete;
  Wiped& operator=(const Wiped&) = delete;
  ~Wiped() { WipeString(text); }
};
using WipedW = Wiped<std::wstring>;
using WipedA = Wiped<std::string>;
std::string Upper(const char* name);
// Splits "a|b|c" into its parts; an empty text gives no parts.
std::vector<std::string> SplitBar(std::string_view text);
// Copies a result into the caller's buffer: NUL-terminated, returns the full length.
int PutText(const std::string& text, char* buf, int size);
bool HasProp(const std::string& props, char letter);

// Failure reporting: records the reason and returns 0.
int Fail(const std::string& why);
void ClearError();

// Lookups; each reports a failure reason when not found.
Form* FindForm(const char* name);
Form* FindFormQuiet(const std::string& name);
Form* FormByHwnd(HWND hwnd);
Control* FindControl(Form* form, int id);
Control* FindControl(const char* form, int id, Form** form_out = nullptr);
Control* ControlByHwnd(Form* form, HWND hwnd);
// The form that owns a window (the nearest form window at or above it) and the id of the
// form's child that holds it (0 when hwnd is the form itself).
Form* OwnerForm(HWND hwnd, int* id);

// Units.
int PxX(double units);
int PxY(double units);
double UnitsX(int px);
double UnitsY(int px);
int Scale96(int px);  // pixels at 96 DPI to screen pixels

// Setup, teardown and nested loops (fk_run.cpp).
bool EnsureReady();
void Release();
void NoteFormGone();  // ends the run when the last form has gone
// Runs the modal wait of a form (FK_SHOWMODAL); returns its FK_MODAL_* result or end code.
int RunModal(Form* form);
// Ends a form's modal wait with `code` (FK_ENDMODAL, or FK_MODAL_CLOSED for a "K" form the user
// closed): enables the forms the wait disabled, then hides the form. False when it waits not.
bool EndModal(const std::string& form, int code);
// Enables again the forms disabled for the wait of a form that is about to disappear, and
// gives the activation back to the program.
void ReleaseModal(const std::string& form);
// Disables every top-level form except `except` and the forms it owns (also hidden ones, so
// that showing them again gives no usable window); returns the forms it disabled.
std::vector<std::string> DisableForms(const Form* except);
void EnableForms(const std::vector<std::string>& names);
// Ends the toolbar hover watch (the run ends or the toolbar goes).
void StopHoverWatch();

// Event delivery (fk_events.cpp). Returns the cancel flag. The form may be gone afterwards:
// callers must look it up again before touching it. Emit does nothing while a form is being
// unloaded (no stray changes from controls being torn down) or while a setter runs.
int Fire(const std::string& form, int id, int code, intptr_t value);
int Emit(Form* form, int id, int code, intptr_t value);
// Whether notifications are being reported: not while a toolkit setter runs, whose own changes
// are not the user's.
inline bool Loud() { return Tk().quiet == 0; }
struct Quiet {
  Quiet() { ++Tk().quiet; }
  ~Quiet() { --Tk().quiet; }
};
// The form window procedure and the control hook procedure.
LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK ControlHookProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                 DWORD_PTR ref);
// Handles the toolkit's own work for a form message; returns true with *result when handled.
bool HandleFormMessage(Form* form, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
// One queued message through hooks, key events, accelerators and dialog keys.
void ProcessMessage(MSG& msg);

// Forms (fk_forms.cpp).
void DestroyFormRecord(HWND hwnd);
void UnloadForm(const std::string& name);
void UpdateVisibility(Form* form, Control* control);

// Controls (fk_controls.cpp).
Control* AddControl(Form* form, int id, Kind kind, const wchar_t* cls, const std::wstring& text,
                    DWORD style, DWORD ex_style, double x, double y, double w, double h,
                    const std::string& props);
void FreeControl(Control* control);
void ApplyColours(Control* control);
// Puts an image into a picture, icon or image button (fk_controls.cpp).
bool SetControlImage(Form* form, Control* control, const char* image);

// Text (fk_text.cpp).
bool SetRichText(Control* control, std::string_view text, int mode);

// Drawing state and images (fk_images.cpp).
COLORREF PaletteColour(int number);  // CLR_INVALID for FK_COLOR_DEFAULT
HFONT FontHandle(int number);
struct LoadedImage {
  HBITMAP bitmap = nullptr;
  HICON icon = nullptr;
  bool see_through = false;
  COLORREF key = 0;  // the see-through colour when see_through
};
// Loads an image; w, h > 0 ask for that size of an icon. The caller owns the handles.
LoadedImage LoadImageText(const char* source, int w, int h);
// A copy of a bitmap with its see-through colour replaced by `background`.
HBITMAP FlattenBitmap(HBITMAP bitmap, COLORREF key, COLORREF background);
int ImageListFlags();

// Backgrounds of controls that lie on a tab control's page (fk_background.cpp): the tab control
// under a control, a brush that continues the page behind it, and the page's colour there.
Control* TabUnder(Form* form, Control* control);
HBRUSH PageBrush(Form* form, Control* tab, Control* control, HDC dc);
COLORREF BackgroundUnder(Form* form, Control* control);
void FreePage(Control* tab);

// Tooltips (fk_controlops.cpp).
void SetControlTip(Form* form, HWND control, const std::wstring& text);

// Turtle pictures (fk_turtle.cpp).
void RegisterTurtleClass();
int TurtleResult(Control* control);  // draws off screen and returns the plug-in's result
void UnregisterTurtleClass();
extern const wchar_t kTurtleClass[];
extern const wchar_t kFormClass[];

// Calls f(form, control) for each control of a form, looking the form up again before each
// one: f may reach the application (events, hooks), which may unload the form. Stops when the
// form is gone or when f returns false.
template <typename F>
void ForEachControl(const std::string& form_name, F f) {
  Form* form = FindFormQuiet(form_name);
  if (!form) return;
  HWND hwnd = form->hwnd;
  std::vector<int> ids;
  for (auto& entry : form->controls) ids.push_back(entry.first);
  for (int id : ids) {
    form = FindFormQuiet(form_name);
    if (!form || form->hwnd != hwnd) return;
    auto it = form->controls.find(id);
    if (it == form->controls.end()) continue;
    if (!f(form, it->second.get())) return;
  }
}

// Status bar and toolbar docking after a form resize (fk_bars.cpp).
void DockBars(Form* form);
bool ToolbarTipText(Form* form, NMHDR* hdr);
// A toolbar's hot button changed (0: none); starts or ends the hover watch (fk_bars.cpp).
void ToolbarHotChanged(Form* form, Control* toolbar, int button);

}  // namespace fk
