// The overwrite confirmation: both files with size, date and time; focus on "&No"; a modal wait
// until one of the four answers is pressed (closing the window answers "&No").
#include "gui/form_overwrite.h"

#include <windows.h>

#include "app/ui_hooks.h"
#include "base/winstr_win32.h"
#include "gui/desk.h"

namespace lq::gui {

namespace {

// The existing file's size and last-written local time, read from the disk.
bool ExistingFileLine(const std::string& path, std::string& line) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(WideFromUtf8(path).c_str(), GetFileExInfoStandard, &data)) {
    return false;
  }
  uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  FILETIME local{};
  SYSTEMTIME st{};
  FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
  FileTimeToSystemTime(&local, &st);
  LocalTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  line = OverwriteFileLine(size, t);
  return true;
}

std::string NameOf(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

OverwriteForm::OverwriteForm(Desk& desk)
    : OverwriteForm(kMainForm, [&desk] { return desk.session.settings.keep_on_top; }) {}

OverwriteReply OverwriteForm::Ask(const OverwriteRequest& request) {
  if (FK_FORMEXISTS(kOverwriteForm)) return OverwriteReply{};  // one question at a time
  request_ = request;
  reply_ = OverwriteReply{};
  answered_ = false;
  std::string props = "CD";
  if (on_top_ && on_top_()) props += "T";
  const bool owner_exists = FK_FORMEXISTS(owner_) != 0;
  FK_FORM(kOverwriteForm, owner_exists ? owner_ : "", "Confirm to overwrite file", -1, -1, 62, 15.2,
          props.c_str());
  FK_SETFOCUS(kOverwriteForm, over_ctl::kNo);
  FK_SHOWMODAL(kOverwriteForm);
  if (FK_FORMEXISTS(kOverwriteForm)) FK_UNLOADFORM(kOverwriteForm);
  if (!answered_) reply_ = OverwriteReply{OverwriteChoice::kNo, false};
  return reply_;
}

void OverwriteForm::Design() {
  using namespace over_ctl;
  const char* f = kOverwriteForm;
  FK_ICON(f, kIcon, "*QUESTION", 1.5, 1, 4, 2, "");
  std::string existing_line;
  if (!ExistingFileLine(request_.existing_file, existing_line)) existing_line = "";
  std::string new_line = OverwriteFileLine(request_.new_size, request_.new_written);
  FK_LABEL(f, kReplaceLabel, "Replace file:", 8, 0.8, 52, 1.2, "");
  FK_LABEL(f, kExistingName, request_.existing_file.c_str(), 10, 2.1, 51, 1.2, "");
  FK_LABEL(f, kExistingLine, existing_line.c_str(), 10, 3.3, 51, 1.2, "");
  FK_LABEL(f, kWithLabel, "With file:", 8, 5.0, 52, 1.2, "");
  FK_LABEL(f, kNewName, NameOf(request_.new_file).c_str(), 10, 6.3, 51, 1.2, "");
  FK_LABEL(f, kNewLine, new_line.c_str(), 10, 7.5, 51, 1.2, "");
  FK_BUTTON(f, kYes, "&Yes", 2, 9.6, 13.5, 1.8, "");
  FK_BUTTON(f, kYesToAll, "Y&es to all", 16.5, 9.6, 13.5, 1.8, "");
  FK_BUTTON(f, kNo, "&No", 31, 9.6, 13.5, 1.8, "D");
  FK_BUTTON(f, kNoToAll, "N&o to all", 45.5, 9.6, 13.5, 1.8, "");
  FK_CHECKBOX(f, kRemember, "&Remember my answer for the rest of this session", 2, 12.4, 57, 1.4,
              "");
  FK_SETCHECK(f, kRemember, 1);
}

void OverwriteForm::OnEvent(int id, int code, intptr_t value, int* cancel) {
  (void)value;
  using namespace over_ctl;
  if (code == FK_EV_CLOSE) {
    *cancel = 1;
    reply_ = OverwriteReply{OverwriteChoice::kNo, false};
    answered_ = true;
    FK_UNLOADFORM(kOverwriteForm);
    return;
  }
  if (code != FK_EV_CLICK) return;
  OverwriteChoice choice;
  switch (id) {
    case kYes:
      choice = OverwriteChoice::kYes;
      break;
    case kYesToAll:
      choice = OverwriteChoice::kYesToAll;
      break;
    case kNo:
      choice = OverwriteChoice::kNo;
      break;
    case kNoToAll:
      choice = OverwriteChoice::kNoToAll;
      break;
    default:
      return;
  }
  reply_ = OverwriteReply{choice, FK_GETCHECK(kOverwriteForm, kRemember) != 0};
  answered_ = true;
  FK_UNLOADFORM(kOverwriteForm);
}

}  // namespace lq::gui
