// The SEEXE form and the viewer's Ui: layout, the hide switch that carries the typed text from
// one box to the other, "Enter" with both boxes blanked after each attempt, the clipboard copy
// marked as secret, and the toolkit's three callbacks.
#include "sxview/form_seexe.h"

#include <windows.h>
// After windows.h.
#include <commctrl.h>

#include "base/winstr_win32.h"
#include "formkit/formkit.h"

namespace lq::sxview {

namespace {

ViewerApp* g_app = nullptr;

constexpr char kIcon[] = "$LQICON";

void FK_CALLBACK MainProc() {
  if (g_app) g_app->Start();
}

void FK_CALLBACK DesignProc(const char* form) {
  if (g_app) g_app->CreateForm(form ? form : "");
}

void FK_CALLBACK EventProc(const char* form, int id, int code, intptr_t value, int* cancel) {
  if (g_app) g_app->DispatchEvent(form ? form : "", id, code, value, cancel);
}

bool ViewerExists() { return FK_FORMEXISTS(kViewerForm) != 0; }

}  // namespace

// --- The viewer's Ui ---------------------------------------------------------------------------

int ViewerUi::ShowMessageBox(const MessageBoxRequest& request) {
  const int pressed =
      FK_MESSAGEBOX(request.text.c_str(), request.caption.c_str(),
                    static_cast<unsigned>(request.style | mb::kSystemModal | mb::kTopmost));
  return pressed == 0 ? kIdCancel : pressed;
}

OverwriteReply ViewerUi::ConfirmOverwrite(const OverwriteRequest& request) {
  return app_.overwrite.Ask(request);
}

std::string ViewerUi::AskPassphrase(std::string_view) { return kPassphraseCancelled; }

ChangePassphraseReply ViewerUi::AskChangePassphrase(const ChangePassphraseRequest&) {
  ChangePassphraseReply reply;
  reply.current = kPassphraseCancelled;
  return reply;
}

std::string ViewerUi::AskText(std::string_view, std::string_view, bool& ok) {
  ok = false;
  return {};
}

void ViewerUi::Pump() { FK_DOEVENTS(); }

std::vector<std::string> ViewerUi::ChooseFiles(const FileChooserRequest&) { return {}; }

std::string ViewerUi::ChooseFolder(std::string_view title, std::string_view) {
  const std::string t(title);
  std::string folder = FK_BROWSEFOLDER(ViewerExists() ? kViewerForm : "", t.c_str());
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  return folder;
}

// --- The form ----------------------------------------------------------------------------------

ViewerApp::ViewerApp(std::string packet_path)
    : overwrite(kViewerForm, [] { return false; }),
      packet_path_(std::move(packet_path)),
      ui_(*this),
      keyfile_(ui_, random_),
      session_(ui_, random_, keyfile_),
      viewer_(session_) {
  // Decrypted texts are shown, not kept: no history of them in this program.
  session_.keep_history = false;
}

ViewerApp::~ViewerApp() { Wipe(note_); }

void ViewerApp::Start() {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  FK_FORM(kViewerForm, "", kViewerCaption, -1, -1, 68, 22.8, "CM");
  FK_SETFORMICON(kViewerForm, kIcon);
  FK_SHOWFORM(kViewerForm, FK_SHOW_NORMAL);
  FK_SETFOCUS(kViewerForm, seexe_ctl::kMasked);
  note_ = viewer_.Open(packet_path_);
  if (!ViewerExists()) return;
  FK_SETRICHTEXT(kViewerForm, seexe_ctl::kNote, note_.c_str(), FK_RTF_REPLACE);
  FK_SCROLLTO(kViewerForm, seexe_ctl::kNote, 1);  // caret at the start, nothing selected
  FK_SETFOCUS(kViewerForm, seexe_ctl::kMasked);
}

void ViewerApp::CreateForm(const std::string& form) {
  if (form == kViewerForm) {
    Design();
  } else if (form == gui::kOverwriteForm) {
    overwrite.Design();
  }
}

void ViewerApp::DispatchEvent(const std::string& form, int id, int code, intptr_t value,
                              int* cancel) {
  if (form == kViewerForm) {
    OnEvent(id, code, value, cancel);
  } else if (form == gui::kOverwriteForm) {
    overwrite.OnEvent(id, code, value, cancel);
  }
}

void ViewerApp::Design() {
  using namespace seexe_ctl;
  const char* f = kViewerForm;
  FK_LABEL(f, kIntro, kViewerIntro, 2, 0.8, 64, 2.4, "");
  FK_RICHTEXT1(f, kNote, "", 2, 3.6, 64, 11.6, "MVR");
  FK_LABEL(f, kDateLine, "", 2, 15.5, 64, 1.2, "");
  FK_TEXT(f, kPlain, "", 2, 17.3, 40, 1.5, "");
  FK_TEXT(f, kMasked, "", 2, 17.3, 40, 1.5, "P");
  FK_HIDEC(f, kPlain);
  FK_CHECKBOX(f, kHide, kViewerHideText, 44, 17.35, 23, 1.4, "");
  FK_SETCHECK(f, kHide, 1);
  FK_BUTTON(f, kEnter, "Enter", 2, 20.1, 17, 1.8, "D");
  FK_BUTTON(f, kCopy, "Copy text to clipboard", 23.5, 20.1, 21, 1.8, "");
  FK_BUTTON(f, kExit, "Exit", 49, 20.1, 17, 1.8, "");
  // The hint shows inside the empty boxes, also while they have the focus.
  for (int box : {kPlain, kMasked}) {
    HWND edit = static_cast<HWND>(FK_HANDLE(f, box));
    if (edit) {
      const std::wstring hint = WideFromUtf8(kViewerPassphraseHint);
      SendMessageW(edit, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(hint.c_str()));
    }
  }
}

// Overwrites a box's text with blanks of its length, then empties it: the typed text does not
// stay in the window's memory.
void ViewerApp::ClearBox(int id) {
  HWND box = static_cast<HWND>(FK_HANDLE(kViewerForm, id));
  const int n = box ? GetWindowTextLengthW(box) : 0;
  if (n > 0) FK_SETTEXT(kViewerForm, id, std::string(static_cast<size_t>(n), ' ').c_str());
  FK_SETTEXT(kViewerForm, id, "");
}

void ViewerApp::OnHide(bool on) {
  using namespace seexe_ctl;
  const int from = on ? kPlain : kMasked;
  const int to = on ? kMasked : kPlain;
  std::string typed;
  FK_GETSECRETTEXT(kViewerForm, from, typed);
  FK_SETTEXT(kViewerForm, to, typed.c_str());
  Wipe(typed);
  ClearBox(from);
  FK_HIDEC(kViewerForm, from);
  FK_SHOWC(kViewerForm, to);
  FK_SETFOCUS(kViewerForm, to);
  FK_SCROLLTO(kViewerForm, to, 0);  // caret at the end
  hiding_ = on;
}

void ViewerApp::OnEnter() {
  using namespace seexe_ctl;
  std::string masked, plain;
  FK_GETSECRETTEXT(kViewerForm, kMasked, masked);
  FK_GETSECRETTEXT(kViewerForm, kPlain, plain);
  ClearBox(kMasked);
  ClearBox(kPlain);
  PacketViewer::Result r = viewer_.Enter(masked, plain);
  if (!ViewerExists()) return;
  if (r.opened) {
    FK_SETRICHTEXT(kViewerForm, kNote, r.text.c_str(), FK_RTF_REPLACE);
    FK_SCROLLTO(kViewerForm, kNote, 1);
    FK_SETTEXT(kViewerForm, kDateLine, r.date_line.c_str());
  }
  Wipe(r.text);
  FK_SETFOCUS(kViewerForm, hiding_ ? kMasked : kPlain);
}

void ViewerApp::OnEvent(int id, int code, intptr_t value, int* cancel) {
  using namespace seexe_ctl;
  (void)cancel;
  if (code == FK_EV_UNLOAD) {
    ClearBox(kMasked);
    ClearBox(kPlain);
    return;
  }
  if (code != FK_EV_CLICK) return;
  switch (id) {
    case kHide:
      OnHide(value != 0);
      break;
    case kEnter:
      OnEnter();
      break;
    case kCopy: {
      std::string text = FK_GETRICHTEXT(kViewerForm, kNote);
      FK_SETCLIPBOARDEX(text.c_str(), FK_CB_SECRET);
      Wipe(text);
      break;
    }
    case kExit:
      FK_UNLOADFORM(kViewerForm);
      break;
    default:
      break;
  }
}

int RunViewer(void* instance, const std::string& command_line, int show) {
  ViewerApp app(PacketPathFromCommandLine(command_line));
  g_app = &app;
  const int code =
      FK_GUIRUN(instance, nullptr, command_line.c_str(), show, MainProc, EventProc, DesignProc, 0);
  g_app = nullptr;
  return code;
}

}  // namespace lq::sxview
