// E-mail drivers: user-editable scripts that tell how to start a mail program, open a new
// mail, fill it in, attach files and send. This module lists and loads driver files, cuts
// them into sections and runs them (one command table: word -> parameter rule -> handler)
// over the Desktop, or hands the mail to Simple MAPI or a "mailto:" link.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"
#include "base/file_io.h"
#include "base/ui.h"
#include "mail/mail_delivery.h"
#include "platform/desktop.h"

namespace lq {

inline constexpr char kDriverMagic[] = "$LOCKQUILL_E-MAILDRIVER";
inline constexpr char kDriverExtension[] = ".txt";

// The loaded driver: its lines after loading (comments dropped, lines outside paste blocks
// normalised) and whether it has an attach section.
struct EmailDriver {
  std::vector<std::string> lines;
  bool can_attach_files = false;
};

// A driver's name from its file name: every trailing ".txt" removed (case-sensitively).
std::string DriverNameOf(std::string_view file_name);
// program folder + name + ".txt".
std::string DriverPath(const std::string& program_folder, std::string_view name);

// ListEMailDrivers: the names of the driver files in `folder` (".txt" files whose first line
// holds the magic text, in any case), sorted, joined by "|". Unreadable files are skipped.
std::string ListEMailDrivers(TraceSink& trace, FileOps& files, const std::string& folder);

// LoadEMailDriver: reads `path` into `driver`. A missing file leaves the driver as it was
// (false); a read error is shown with the path (false, driver unchanged).
bool LoadEMailDriver(Ui& ui, FileOps& files, const std::string& path, EmailDriver& driver);
// The same from a file's bytes (lines end in CR LF, LF or CR).
EmailDriver ParseEMailDriver(std::string_view contents);

// The lines between the start and the end marker (their first words, in any case); the
// marker lines themselves are not part of it. An end marker before the start gives nothing.
std::vector<std::string> ExtractSection(const std::vector<std::string>& lines,
                                        std::string_view start, std::string_view end);

// FindWindowByTitleAndClass: the first visible top-level window whose upper-cased title
// contains `title` and whose class contains `class_part` (or `class_part` is empty); with
// `search_children`, each non-matching top-level window's children are tested too. 0: none.
WindowId FindWindowByTitleAndClass(Desktop& desktop, std::string_view title,
                                   std::string_view class_part, bool search_children);
// ActivateWindowByTitleAndClass: foreground, restored, focused; 0 on success, 1 when no
// window matches.
int ActivateWindowByTitleAndClass(Desktop& desktop, std::string_view title,
                                  std::string_view class_part, bool search_children);

// What CreateMail needs of the program.
struct MailContext {
  Ui& ui;
  Desktop& desktop;
  FileOps& files;
  const EmailDriver& driver;
  MapiLink& mapi;
  std::string driver_name;         // for messages
  std::string to_separator = ";";  // between addresses and between file names
  std::function<LocalTime()> clock;
};

// One mail: recipients joined by the To separator, subject, body, files joined likewise.
struct MailRequest {
  std::string to, subject, body, file_list;
};

// CreateMail: runs the loaded driver. kMade when the driver ran to its end (or the MAPI
// provider took the mail); kFailed when it stopped (the reason was shown); kCancelled when
// the user cancelled in the MAPI dialog.
MailOutcome CreateMail(MailContext& context, const MailRequest& request);

// The command words the interpreter knows, upper case, in table order (for tests and help).
std::vector<std::string> DriverCommandWords();

}  // namespace lq
