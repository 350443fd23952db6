// The mail layer wired into the session, and the E-mail tab's logic.
#include "app/mail_setup.h"

#include "base/catalogue.h"

namespace lq {

namespace {

std::vector<std::string> SplitBar(const std::string& list) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= list.size() && !list.empty()) {
    const size_t bar = list.find('|', start);
    out.push_back(list.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return out;
}

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
  return folder;
}

}  // namespace

MailService::MailService(Session& s) : session(s), mapi(s.desktop) {}

void MailService::Install() {
  session.env.load_email_driver = [this](const std::string& path) {
    return LoadEMailDriver(session.ui, session.files, path, driver);
  };
  session.mail.can_attach_files = [this] { return driver.can_attach_files; };
  session.mail.create_mail = [this](const std::string& to, const std::string& subject,
                                    const std::string& body, const std::string& files) {
    return Create(MailRequest{to, subject, body, files}) == MailOutcome::kMade;
  };
}

MailOutcome MailService::Create(const MailRequest& request) {
  Session& s = session;
  MailContext context{s.ui,
                      s.desktop,
                      s.files,
                      driver,
                      mapi,
                      s.settings.email_driver,
                      s.settings.to_separator,
                      [&s] { return s.Now(); }};
  const MailOutcome outcome = CreateMail(context, request);
  s.mapi_loaded = mapi.loaded();
  if (outcome == MailOutcome::kFailed) ReportNoMail(s.ui);
  return outcome;
}

std::vector<std::string> MailService::DriverNames() {
  return SplitBar(ListEMailDrivers(session.ui, session.files, session.env.program_folder));
}

bool MailService::SelectDriver(const std::string& name) {
  Session& s = session;
  s.settings.email_driver = name;
  if (name.empty()) return false;
  const std::string path = DriverPath(s.env.program_folder, name);
  if (!LoadEMailDriver(s.ui, s.files, path, driver)) return false;
  s.email_driver_path = path;
  return true;
}

bool MailService::EditDriver(const std::string& name) {
  if (name.empty()) return false;
  ProcessRequest request;
  request.program = "notepad.exe";
  // Quoted: the program folder may hold blanks.
  request.arguments = "\"" + DriverPath(session.env.program_folder, name) + "\"";
  const ProcessId process = session.desktop.StartProcess(request);
  if (process == 0) {
    ShowMessage(session.ui, "EMDriver_ExecuteProgFailed", mb::kIconHand,
                request.program + " " + request.arguments);
    return false;
  }
  session.desktop.CloseProcess(process);
  return true;
}

bool MailService::DeleteDriver(const std::string& name) {
  Session& s = session;
  if (name.empty()) return false;
  const std::string path = DriverPath(s.env.program_folder, name);
  if (AskUser(s.ui, "General_AskToDeleteFile", mb::kYesNo | mb::kIconQuestion, path) != kIdYes)
    return false;
  if (const int err = s.files.Remove(path); err != fe::kOk) {
    ReportFileError(s.ui, err, path);
    return false;
  }
  if (path == s.email_driver_path) {
    driver = EmailDriver{};
    s.email_driver_path.clear();
  }
  return true;
}

void MailService::TestDriver() {
  Session& s = session;
  const std::string to =
      std::string(kTestAddress1) + s.settings.to_separator + std::string(kTestAddress2);
  const int first = AskUser(s.ui, "EMDriver_Test1", mb::kYesNoCancel | mb::kIconQuestion);
  if (first == kIdCancel) return;
  if (first == kIdYes) Create(MailRequest{to, kTestSubject, kTestBody, ""});
  const int second = AskUser(s.ui, "EMDriver_Test2", mb::kYesNoCancel | mb::kIconQuestion);
  if (second != kIdYes) return;
  // Two files of distinct names: one name for both would attach the same file twice.
  const std::string folder = WithSeparator(s.desktop.TemporaryFolder());
  const std::string stem = folder + std::to_string(s.SecondsOfDay());
  std::string list;
  for (const char* suffix : {"_1.txt", "_2.txt"}) {
    const std::string path = stem + suffix;
    if (!s.files.Exists(path)) {
      if (const int err = ReplaceWholeFile(s.files, path, std::string(kDummyFileText) + "\r\n");
          err != fe::kOk) {
        ReportFileError(s.ui, err, path);
        return;
      }
    }
    if (!list.empty()) list += s.settings.to_separator;
    list += path;
  }
  Create(MailRequest{to, kTestSubject, kTestBody, list});
}

void MailService::Unload() {
  mapi.Unload();
  session.mapi_loaded = false;
}

}  // namespace lq
