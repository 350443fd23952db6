// The e-mail layer as the desktop program uses it: the loaded driver, the Simple MAPI binding,
// the session's mail seam and start-up loader, and the logic of the settings form's E-mail tab
// (driver list, selection, edit, delete, the two driver tests).
#pragma once

#include <string>
#include <vector>

#include "app/session.h"
#include "mail/email_driver.h"

namespace lq {

// The two addresses, subject and body of the driver tests.
inline constexpr char kTestAddress1[] = "lockquill.test1@example.com";
inline constexpr char kTestAddress2[] = "lockquill.test2@example.com";
inline constexpr char kTestSubject[] = "This is the subject of the mail..";
inline constexpr char kTestBody[] = "This is the body text of the mail.";
inline constexpr char kDummyFileText[] = "just a dummy file";

class MailService {
 public:
  explicit MailService(Session& session);
  MailService(const MailService&) = delete;
  MailService& operator=(const MailService&) = delete;

  // Plugs the mail layer into the session: env.load_email_driver (start-up) and session.mail
  // (the actions).
  void Install();

  // CreateMail with the loaded driver and the session's settings. A mail that was not made
  // leaves a red status line.
  MailOutcome Create(const MailRequest& request);

  // --- The E-mail tab -----------------------------------------------------------------------
  // ListEMailDrivers of the program folder, as a list.
  std::vector<std::string> DriverNames();
  // Stores the choice and loads that driver at once. False when its file is missing or could
  // not be read (the driver loaded before stays).
  bool SelectDriver(const std::string& name);
  // Opens the driver file in notepad (not waiting). False when notepad could not start.
  bool EditDriver(const std::string& name);
  // Asks "General_AskToDeleteFile" and deletes the file on Yes. True when deleted; when it
  // was the loaded driver, no driver is loaded any more.
  bool DeleteDriver(const std::string& name);
  // The two driver tests: a text-only mail, then a mail with two dummy attachments.
  void TestDriver();

  // At exit: the MAPI library goes.
  void Unload();

  Session& session;
  EmailDriver driver;
  MapiLink mapi;
};

}  // namespace lq
