// The key-pair calculation dialog: the choices, the calculation run from its button with the
// toolkit's event pumping in the progress receiver, and Cancel before and during it.
#include "gui/form_calcpubkey.h"

#include <windows.h>
// After windows.h.
#include <commctrl.h>

#include "gui/desk.h"

namespace lq::gui {

namespace {

using namespace calc_ctl;
const char* const f = kCalcPubKeyForm;

void Enable(int id, bool on) {
  if (on) {
    FK_ENABLEC(f, id);
  } else {
    FK_DISABLEC(f, id);
  }
}

}  // namespace

int CalcPubKeyForm::Ask(const Bytes& key_id) {
  if (FK_FORMEXISTS(f)) return kKeyPairsCancelled;
  key_id_ = key_id;
  UserId user;
  if (!ReadUserId(desk_.session.keyfile, key_id, user)) return kKeyPairsRefused;
  name_ = user.first_name + " " + user.last_name;
  result_ = kKeyPairsCancelled;
  generating_ = cancel_requested_ = false;
  std::string props = "C";
  if (desk_.session.settings.keep_on_top) props += "T";
  const char* owner = DialogOwner();
  FK_FORM(f, owner, kCalcPubKeyCaption, -1, -1, 68, 27.5, props.c_str());
  FK_SETFORMICON(f, "$LQICON");
  FK_SETFOCUS(f, kCalculate);
  FK_SHOWMODAL(f);
  if (FK_FORMEXISTS(f)) FK_UNLOADFORM(f);
  return result_;
}

void CalcPubKeyForm::Design() {
  FK_LABEL(f, kTitle, "Calculation of a new public key", 1.5, 0.6, 65, 1.6, "");
  FK_LABEL(f, kName, name_.c_str(), 1.5, 2.4, 65, 1.3, "");

  FK_FRAME(f, kInfoFrame, "Additional info, added to public key", 1.5, 4.2, 34, 9.2, "");
  FK_CHECKBOX(f, kCompany, "C&ompany", 3, 5.8, 24, 1.4, "");
  FK_CHECKBOX(f, kEmail, "&E-mail address", 3, 7.4, 24, 1.4, "");
  FK_CHECKBOX(f, kDepartment, "&Department", 3, 9.0, 24, 1.4, "");
  FK_BUTTON(f, kSelectAll, "Select &all", 3, 11.0, 14.5, 1.7, "");
  FK_BUTTON(f, kSelectNone, "&Select none", 18.5, 11.0, 15, 1.7, "");

  FK_FRAME(f, kLengthFrame, "Keylength in bits", 37.5, 4.2, 29, 4.1, "");
  FK_COMBOBOX(f, kLength, kKeyLengthList, 39, 5.9, 26, 12, "L");
  FK_FRAME(f, kExpiryFrame, "Key expires", 37.5, 9.3, 29, 4.1, "");
  FK_CONTROLEX(f, kExpiry, "SysDateTimePick32", "", 39, 10.9, 15, 1.6, DTS_SHORTDATEFORMAT, 0);
  FK_CHECKBOX(f, kNever, "&Never", 55.5, 11.0, 10, 1.4, "");

  FK_LABEL(f, kStep, "", 1.5, 14.6, 65, 1.3, "");
  FK_PROGRESSBAR(f, kBar, 1.5, 16.2, 65, 1.5, "");
  FK_LABEL(f, 119,
           "The calculation of two key pairs can take from seconds to many minutes, depending on "
           "the key length. You can go on working in other programs meanwhile; Cancel stops it.",
           1.5, 18.4, 65, 4, "");

  FK_BUTTON(f, kCalculate, "Calculate &key", 1.5, 24.8, 16, 1.9, "D");
  FK_BUTTON(f, kHelp, "&Help", 38, 24.8, 13.5, 1.9, "");
  FK_BUTTON(f, kCancel, "&Cancel", 53, 24.8, 13.5, 1.9, "A");

  const int start = FK_FINDNEXT(f, kLength, 0, kDefaultKeyLength);
  FK_SELECTITEM(f, kLength, start > 0 ? start : 7, 1);
  FK_SETCHECK(f, kNever, 1);
  FK_DISABLEC(f, kExpiry);
  // The picker starts two years on, for a user who unticks "&Never".
  SYSTEMTIME st{};
  GetLocalTime(&st);
  st.wYear = static_cast<WORD>(st.wYear + 2);
  if (st.wMonth == 2 && st.wDay == 29) st.wDay = 28;
  FK_SENDMESSAGE(f, kExpiry, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<FK_LPARAM>(&st));
  FK_SETPBAR(f, kBar, 0, kCalcProgressMaximum);
}

void CalcPubKeyForm::SetControlsEnabled(bool on) {
  for (int id :
       {kCompany, kEmail, kDepartment, kSelectAll, kSelectNone, kLength, kNever, kCalculate, kHelp})
    Enable(id, on);
  Enable(kExpiry, on && FK_GETCHECK(f, kNever) == 0);
}

void CalcPubKeyForm::Progress(int pair, int steps_done, long candidates) {
  if (FK_FORMEXISTS(f)) {
    const std::string label =
        "Key pair" + NumText(pair) + " of 2:  " + CalcProgressLabel(steps_done);
    FK_SETTEXT(f, kStep, label.c_str());
    FK_SETPBAR(f, kBar, CalcProgressPosition(pair, steps_done, candidates), kCalcProgressMaximum);
  }
  FK_DOEVENTS();
}

void CalcPubKeyForm::Calculate() {
  KeyPairRequest request;
  request.flags.company = FK_GETCHECK(f, kCompany);
  request.flags.email = FK_GETCHECK(f, kEmail);
  request.flags.department = FK_GETCHECK(f, kDepartment);
  if (FK_GETCHECK(f, kNever) == 0) {
    SYSTEMTIME st{};
    FK_SENDMESSAGE(f, kExpiry, DTM_GETSYSTEMTIME, 0, reinterpret_cast<FK_LPARAM>(&st));
    request.expiry_year = st.wYear;
    request.expiry_month = st.wMonth;
    request.expiry_day = st.wDay;
  }
  const std::string length = FK_GETTEXT(f, kLength);
  generating_ = true;
  cancel_requested_ = false;
  SetControlsEnabled(false);
  FK_SETTEXT(f, kStep, CalcProgressLabel(0).c_str());
  const int r = CalculateKeyPairs(desk_.session, key_id_, length, request, *this);
  generating_ = false;
  const bool stopped_during_run = r == kKeyPairsCancelled && cancel_requested_;
  if (r == kKeyPairsStored || stopped_during_run || r == kKeyPairsFailed) {
    result_ = r;
    if (FK_FORMEXISTS(f)) FK_UNLOADFORM(f);
    return;
  }
  // Refused or the short-key warning declined: the user may choose again.
  if (FK_FORMEXISTS(f)) {
    SetControlsEnabled(true);
    FK_SETTEXT(f, kStep, "");
    FK_SETPBAR(f, kBar, 0, kCalcProgressMaximum);
  }
}

void CalcPubKeyForm::OnEvent(int id, int code, intptr_t value, int* cancel) {
  if (code == FK_EV_CLOSE) {
    // During the calculation the window stays until the calculation has stopped.
    if (generating_) {
      cancel_requested_ = true;
      if (cancel) *cancel = 1;
    }
    return;
  }
  if (code != FK_EV_CLICK) return;
  if (id == kCancel) {
    if (generating_) {
      cancel_requested_ = true;
      FK_SETTEXT(f, kStep, "Cancelling...");
    } else {
      result_ = kKeyPairsCancelled;
      FK_UNLOADFORM(f);
    }
  } else if (generating_) {
    return;
  } else if (id == kCalculate) {
    Calculate();
  } else if (id == kSelectAll || id == kSelectNone) {
    for (int box : {kCompany, kEmail, kDepartment}) FK_SETCHECK(f, box, id == kSelectAll ? 1 : 0);
  } else if (id == kNever) {
    Enable(kExpiry, value == 0);
  } else if (id == kHelp) {
    desk_.main.OpenHelp();
  }
}

}  // namespace lq::gui
