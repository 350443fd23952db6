// The popup form: the controls, the moves between the two lists, and the hover behaviour.
#include "gui/form_popup.h"

#include <windows.h>

#include "base/catalogue.h"
#include "gui/desk.h"

namespace lq::gui {

namespace {

constexpr double kWidth = 62, kHeight = 22.5;

// Whether the cursor is inside a rectangle given in character units.
bool CursorInside(double x, double y, double w, double h) {
  POINT p{};
  GetCursorPos(&p);
  const double cx = FK_SCALETOCHARSIZE(p.x, 0), cy = FK_SCALETOCHARSIZE(p.y, 1);
  return cx >= x && cx < x + w && cy >= y && cy < y + h;
}

}  // namespace

void PopupForm::Create() {
  if (FK_FORMEXISTS(kPopupForm)) return;
  std::string props = "N";
  if (desk_.session.settings.keep_on_top) props += "T";
  FK_FORM(kPopupForm, kMainForm, kPopupCaption, -1, -1, kWidth, kHeight, props.c_str());
  FK_SETFORMICON(kPopupForm, "$LQICON");
}

void PopupForm::Design() {
  using namespace popup_ctl;
  const char* f = kPopupForm;
  FK_DEFMAINMENU(f);
  FK_DEFSUBMENU(f, "&Window");
  FK_ADDMENUITEM(f, kMenuClose, "&Close window", 0);
  FK_SETSUBMENU(f, 0);
  FK_CHECKBOX(f, kEncrypt, "&Encrypt message", 1.5, 0.6, 24, 1.4, "");
  FK_CHECKBOX(f, kSign, "S&ign message", 1.5, 2.1, 24, 1.4, "");
  FK_RADIO(f, kSecretKeys, "Encrypt using se&cret keys", 27, 0.6, 33, 1.4, "G");
  FK_RADIO(f, kPublicKeys, "Encrypt using &public keys", 27, 2.1, 33, 1.4, "");
  FK_IBUTTON(f, kHelp, "$POPUPHELP{S}", 1.5, 4.0, 3.4, 1.9, "");
  FK_IBUTTON(f, kSelectAll, "$POPUPSELECTALL{S}", 5.2, 4.0, 3.4, 1.9, "");
  FK_IBUTTON(f, kSelectNone, "$POPUPSELECTNONE{S}", 8.9, 4.0, 3.4, 1.9, "");
  FK_IBUTTON(f, kClose, "$POPUPCLOSE{S}", 56.6, 4.0, 3.4, 1.9, "");
  FK_SETTOOLTIP(f, kHelp, "Help");
  FK_SETTOOLTIP(f, kSelectAll, "Select all recipients");
  FK_SETTOOLTIP(f, kSelectNone, "Select no recipient");
  FK_SETTOOLTIP(f, kClose, "Close window");
  FK_LABEL(f, kSelectedLabel, "Selected recipients", 1.5, 6.5, 24, 1.2, "");
  FK_LABEL(f, kAllLabel, "All recipients", 36, 6.5, 24, 1.2, "");
  FK_LISTBOX(f, kSelected, "", 1.5, 7.9, 24, 14, "V");
  FK_LABEL(f, kArrows, "----> <----", 25.5, 14, 10.5, 1.2, "C");
  FK_LISTBOX(f, kAll, "", 36, 7.9, 24, 14, "V");
  FK_SETTOOLTIP(f, kSelected, "Double-click a name to remove it from the recipients");
  FK_SETTOOLTIP(f, kAll, "Double-click a name to add it to the recipients");
  FK_SETNEXTTAB(f, kEncrypt, 0);
  FK_SETNEXTTAB(f, kSign, kEncrypt);
  FK_SETNEXTTAB(f, kSecretKeys, kSign);
  FK_SETNEXTTAB(f, kPublicKeys, kSecretKeys);
  FK_SETNEXTTAB(f, kSelected, kPublicKeys);
  FK_SETNEXTTAB(f, kAll, kSelected);
}

void PopupForm::Refresh() {
  if (!FK_FORMEXISTS(kPopupForm)) return;
  using namespace popup_ctl;
  const Settings& st = desk_.session.settings;
  FK_SETCHECK(kPopupForm, kEncrypt, st.encrypt ? 1 : 0);
  FK_SETCHECK(kPopupForm, kSign, st.sign ? 1 : 0);
  FK_SETCHECK(kPopupForm, kSecretKeys, st.use_secret_keys ? 1 : 0);
  FK_SETCHECK(kPopupForm, kPublicKeys, st.use_secret_keys ? 0 : 1);
  lists_ = BuildRecipientLists(desk_.session.keyfile);
  FK_CLEAR(kPopupForm, kSelected);
  FK_CLEAR(kPopupForm, kAll);
  for (const RecipientName& r : lists_.selected) FK_ADDLIST(kPopupForm, kSelected, r.name.c_str());
  for (const RecipientName& r : lists_.available) FK_ADDLIST(kPopupForm, kAll, r.name.c_str());
  desk_.main.ShowMode();
}

void PopupForm::Show() {
  Create();
  hover_shown_ = false;
  FK_STOPTIMER(kPopupForm, popup_ctl::kHoverTimer);
  Refresh();
  FK_SHOWFORM(kPopupForm, FK_SHOW_NORMAL);
}

void PopupForm::ShowBeside(double x, double y, double bx, double by, double bw, double bh) {
  const bool was_visible =
      FK_FORMEXISTS(kPopupForm) && IsWindowVisible(static_cast<HWND>(FK_HANDLE(kPopupForm, 0)));
  if (was_visible && !hover_shown_) return;  // opened by a click: it stays where it is
  Create();
  Refresh();
  double w = 0, h = 0;
  FK_GETSIZE(kPopupForm, &w, &h);
  FK_RESIZEFORM(kPopupForm, x, y, -1, -1);
  button_[0] = bx, button_[1] = by, button_[2] = bw, button_[3] = bh;
  hover_shown_ = true;
  FK_SHOWFORM(kPopupForm, FK_SHOW_NOACTIVATE);
  FK_STARTTIMER(kPopupForm, popup_ctl::kHoverTimer, 200);
}

void PopupForm::Hide() {
  if (!FK_FORMEXISTS(kPopupForm)) return;
  FK_STOPTIMER(kPopupForm, popup_ctl::kHoverTimer);
  hover_shown_ = false;
  FK_HIDEFORM(kPopupForm);
}

void PopupForm::MoveEntry(bool from_selected, intptr_t item) {
  const auto& list = from_selected ? lists_.selected : lists_.available;
  if (item < 1 || static_cast<size_t>(item) > list.size()) return;
  const Bytes id = list[static_cast<size_t>(item) - 1].id;
  if (from_selected) {
    DeselectRecipient(desk_.session, id);
  } else {
    SelectRecipient(desk_.session, id);
  }
  Refresh();
}

void PopupForm::OnEvent(int id, int code, intptr_t value, int* cancel) {
  using namespace popup_ctl;
  Session& s = desk_.session;
  switch (code) {
    case FK_EV_CLICK:
      if (id == kEncrypt || id == kSign) {
        SetModeFlag(s, id == kEncrypt, value != 0);
        Refresh();
      } else if (id == kSecretKeys || id == kPublicKeys) {
        SetKeyTypePreference(s, id == kSecretKeys);
      } else if (id == kSelectAll) {
        SelectAllRecipients(s);
        Refresh();
      } else if (id == kSelectNone) {
        SelectNoRecipient(s);
        Refresh();
      } else if (id == kClose || id == kMenuClose) {
        Hide();
      } else if (id == kHelp) {
        desk_.main.OpenHelp();
      }
      break;
    case FK_EV_DBLCLICK:
      if (id == kSelected || id == kAll) MoveEntry(id == kSelected, value);
      break;
    case FK_EV_TIMER:
      if (id == kHoverTimer && hover_shown_) {
        double x = 0, y = 0, w = 0, h = 0;
        FK_GETPOS(kPopupForm, &x, &y);
        RECT r{};
        GetWindowRect(static_cast<HWND>(FK_HANDLE(kPopupForm, 0)), &r);
        w = FK_SCALETOCHARSIZE(r.right - r.left, 0);
        h = FK_SCALETOCHARSIZE(r.bottom - r.top, 1);
        x = FK_SCALETOCHARSIZE(r.left, 0);
        y = FK_SCALETOCHARSIZE(r.top, 1);
        if (!CursorInside(x, y, w, h) &&
            !CursorInside(button_[0], button_[1], button_[2], button_[3])) {
          Hide();
        }
      }
      break;
    case FK_EV_CLOSE:
      // Closing hides it: its lists come back as they were.
      if (cancel) *cancel = 1;
      Hide();
      break;
    default:
      break;
  }
}

}  // namespace lq::gui
