// Driver files (listing, loading, sections) and the interpreter that runs them over the
// Desktop. The interpreter is one table of commands; each names the rule that reads its
// parameters from the line and the handler that acts on them.
#include "mail/email_driver.h"

#include <algorithm>
#include <filesystem>
#include <span>
#include <system_error>

#include "base/catalogue.h"
#include "mail/key_strings.h"

namespace lq {

namespace {

// Driver sections.
constexpr char kCallStart[] = "$CALLPROG_START";
constexpr char kCallEnd[] = "$CALLPROG_END";
constexpr char kNewMailStart[] = "$NEWMAIL_START";
constexpr char kNewMailEnd[] = "$NEWMAIL_END";
constexpr char kAttachStart[] = "$ATTACHFILE_START";
constexpr char kAttachEnd[] = "$ATTACHFILE_END";
constexpr char kSendStart[] = "$SENDMAIL_START";
constexpr char kSendEnd[] = "$SENDMAIL_END";
constexpr char kPasteLinesStart[] = "$PASTELINES_START";
constexpr char kPasteLinesEnd[] = "$PASTELINES_END";

// Polling of the wait commands and the pause behind each pasted line.
constexpr int kPollMs = 100;
constexpr int kPasteLinePauseMs = 60;
constexpr int kAfterProgramMs = 200;
// How long a paste waits for the program to read its text before the driver goes on.
constexpr int kPasteReadMs = 3000;
// Window texts are compared on their first characters, as the system's buffers hold them.
constexpr size_t kTitleChars = 260;
constexpr size_t kClassChars = 100;
// A wait longer than a day is a typing slip.
constexpr long long kMaxWaitMs = 24LL * 3600 * 1000;

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

// The n-th (1-based) part of `s` split at `sep`, empty when there are fewer parts.
std::string_view Part(std::string_view s, char sep, size_t n) {
  for (size_t k = 1; k < n; ++k) {
    const size_t at = s.find(sep);
    if (at == std::string_view::npos) return {};
    s.remove_prefix(at + 1);
  }
  return s.substr(0, s.find(sep));
}

std::string FirstWord(std::string_view line) { return Upper(Part(line, ' ', 1)); }

// The runtime's lenient number: leading blanks, an optional sign, digits.
long long LeadingNumber(std::string_view s) {
  size_t pos = 0;
  while (pos < s.size() && s[pos] == ' ') ++pos;
  bool negative = false;
  if (pos < s.size() && (s[pos] == '-' || s[pos] == '+')) negative = s[pos++] == '-';
  long long v = 0;
  while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
    v = std::min<long long>(v * 10 + (s[pos] - '0'), kMaxWaitMs);
    ++pos;
  }
  return negative ? -v : v;
}

// Lines of a file: CR LF, LF or CR end a line; a last line without an end counts.
std::vector<std::string> FileLines(std::string_view contents) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < contents.size(); ++i) {
    if (contents[i] != '\r' && contents[i] != '\n') continue;
    lines.emplace_back(contents.substr(start, i - start));
    if (contents[i] == '\r' && i + 1 < contents.size() && contents[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < contents.size()) lines.emplace_back(contents.substr(start));
  return lines;
}

// Tabs become blanks, leading blanks go, runs of blanks become one.
std::string Normalise(std::string_view line) {
  std::string out;
  for (char c : line) {
    if (c == '\t') c = ' ';
    if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
    out.push_back(c);
  }
  return out;
}

bool ContainsUpper(std::string_view haystack, size_t limit, std::string_view wanted_upper) {
  return Upper(haystack.substr(0, std::min(limit, haystack.size()))).find(wanted_upper) !=
         std::string::npos;
}

bool WindowMatches(Desktop& d, WindowId w, const std::string& title, const std::string& cls) {
  if (!ContainsUpper(d.WindowText(w), kTitleChars, title)) return false;
  return cls.empty() || ContainsUpper(d.WindowClass(w), kClassChars, cls);
}

std::string InFolder(const std::string& folder, const std::string& name) {
  std::string path = folder;
  if (!path.empty() && path.back() != '\\' && path.back() != '/') {
#ifdef _WIN32
    path += '\\';
#else
    path += '/';
#endif
  }
  return path + name;
}

// --- The interpreter ----------------------------------------------------------------------

// A line's parameters, as its command's rule read them.
struct Args {
  std::string line;
  std::string field2, field4, field5, field6;  // quoted fields
  std::string whole;                           // the whole quoted text
  bool quoted = false;                         // at least two quotes
  std::string word2;
};

// Quoted field n: the line split at every double quote, part n.
std::string QuotedField(std::string_view line, size_t n) { return std::string(Part(line, '"', n)); }

// From the character after the first double quote to the one before the last.
bool WholeQuoted(std::string_view line, std::string& text) {
  const size_t first = line.find('"');
  const size_t last = line.rfind('"');
  text.clear();
  if (first == std::string_view::npos || first == last) return false;
  text = std::string(line.substr(first + 1, last - first - 1));
  return true;
}

class Run;
// A handler acts on one line; `section` and `index` let "$PASTELINES_START" take the lines
// behind it. It returns the index of the next line to run.
using Handler = size_t (*)(Run& run, const Args& args, std::span<const std::string> section,
                           size_t index);

enum class Rule {
  kNone,         // no parameters
  kWord2,        // word 2
  kWholeQuoted,  // the whole quoted text; "EMDriver_MissingDoubleQuotes" without one
  kFields,       // quoted fields 2, 4, 5, 6
  kExecute,      // word 2 and the whole quoted text, checked by the handler
};

struct Command {
  const char* word;
  Rule rule;
  Handler run;
};

class Run {
 public:
  Run(MailContext& c, const MailRequest& m) : c(c), m(m) {}
  MailContext& c;
  const MailRequest& m;
  std::string current_file;
  bool abort = false;

  void Message(const char* key, std::string_view info1 = {}, std::string_view info2 = {}) {
    ShowMessage(c.ui, key, mb::kIconHand, info1, info2);
  }
  // Puts `text` on the clipboard and pastes it. A clipboard that refuses the text must not
  // paste whatever it held before (it may be decrypted text): the run stops.
  // The program reads the clipboard when it gets to the keys, which may be after the next
  // paste has replaced it: each paste waits until its text was read (or a while has passed).
  void Paste(std::string_view text) {
    if (!c.desktop.SetClipboardTextOnDemand(text)) {
      Message("EMDriver_ClipboardFailed");
      abort = true;
      return;
    }
    SendKeys(c.desktop, "^v");
    c.desktop.WaitClipboardRead(kPasteReadMs);
  }
  // A title part "$TO" / "$SUBJECT" stands for the mail's (upper-cased) To or Subject.
  std::string Substitute(const std::string& title) const {
    if (title == "$TO") return Upper(m.to);
    if (title == "$SUBJECT") return Upper(m.subject);
    return title;
  }
  // Waits until `done` or `ms` have passed, polling; a timeout is silent. Measured on the
  // monotonic clock, so a wait across midnight ends on time.
  void WaitUntil(long long ms, const std::function<bool()>& done) {
    const uint64_t start = c.desktop.Milliseconds();
    const uint64_t limit = static_cast<uint64_t>(std::clamp<long long>(ms, 0, kMaxWaitMs));
    while (!done()) {
      if (c.desktop.Milliseconds() - start >= limit) return;
      c.desktop.Sleep(kPollMs);
      c.desktop.Pump();
    }
  }
  void Section(const std::vector<std::string>& lines);
};

size_t DoActivate(Run& r, const Args& a, std::span<const std::string>, size_t i) {
  if (a.field2.empty() || a.field4.empty()) {
    r.Message("EMDriver_MissingParameter", a.line);
    return i + 1;
  }
  // Here the substitution words must be written in upper case; matching upper-cases.
  const std::string title = r.Substitute(a.field2);
  if (ActivateWindowByTitleAndClass(r.c.desktop, title, a.field4, false) != 0) {
    r.Message("EMDriver_ActivateWindowError",
              "Window name: " + title + "\r\nClass name: " + a.field4);
    r.abort = true;
  }
  return i + 1;
}

size_t DoWait(Run& r, const Args& a, std::span<const std::string>, size_t i) {
  if (a.word2.empty()) {
    r.Message("EMDriver_MissingParameter", a.line);
    return i + 1;
  }
  long long left = std::clamp<long long>(LeadingNumber(a.word2), 0, kMaxWaitMs);
  // In slices, so that the program's own windows keep answering meanwhile.
  while (left > 0) {
    const int slice = static_cast<int>(std::min<long long>(left, kPollMs));
    r.c.desktop.Sleep(slice);
    r.c.desktop.Pump();
    left -= slice;
  }
  return i + 1;
}

size_t DoKey(Run& r, const Args& a, std::span<const std::string>, size_t i) {
  if (!a.whole.empty()) SendKeys(r.c.desktop, a.whole);
  return i + 1;
}

size_t DoPaste(Run& r, const Args& a, std::span<const std::string>, size_t i) {
  if (!a.whole.empty()) r.Paste(a.whole);
  return i + 1;
}

size_t DoTo(Run& r, const Args&, std::span<const std::string>, size_t i) {
  r.Paste(r.m.to);
  return i + 1;
}
size_t DoSubject(Run& r, const Args&, std::span<const std::string>, size_t i) {
  r.Paste(r.m.subject);
  return i + 1;
}
size_t DoMailText(Run& r, const Args&, std::span<const std::string>, size_t i) {
  r.Paste(r.m.body);
  return i + 1;
}
size_t DoFileName(Run& r, const Args&, std::span<const std::string>, size_t i) {
  r.Paste(r.current_file);
  return i + 1;
}

bool IsPasteLinesEnd(std::string_view line) {
  return Upper(Part(TrimLeft(line), ' ', 1)) == kPasteLinesEnd;
}

size_t DoPasteLines(Run& r, const Args& a, std::span<const std::string> section, size_t i) {
  std::string line_end;
  for (const std::string& word : SplitAt(Upper(a.field2), " ")) {
    if (word.empty()) continue;
    if (word == "CR") {
      line_end += '\r';
    } else if (word == "LF") {
      line_end += '\n';
    } else {
      r.Message("EMDriver_UnknownParameter", word, a.line);
    }
  }
  size_t k = i + 1;
  // The block ends at its end marker or with the section; nothing past it is read.
  for (; k < section.size() && !IsPasteLinesEnd(section[k]); ++k) {
    r.Paste(section[k] + line_end);
    if (r.abort) return section.size();
    r.c.desktop.Sleep(kPasteLinePauseMs);
  }
  return k < section.size() ? k + 1 : k;
}

// The program and its arguments from a command line: a quoted program name or the first
// word.
void SplitCommandLine(std::string_view command, ProcessRequest& request) {
  command = TrimSpaces(command);
  if (!command.empty() && command.front() == '"') {
    const size_t close = command.find('"', 1);
    request.program = std::string(
        command.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    request.arguments =
        close == std::string_view::npos ? "" : std::string(TrimSpaces(command.substr(close + 1)));
    return;
  }
  const size_t space = command.find(' ');
  request.program = std::string(command.substr(0, space));
  request.arguments =
      space == std::string_view::npos ? "" : std::string(TrimSpaces(command.substr(space + 1)));
}

size_t DoExecute(Run& r, const Args& a, std::span<const std::string>, size_t i) {
  const std::string mode = Upper(a.word2);
  if (mode != "WAIT" && mode != "NOWAIT") {
    r.Message("EMDriver_MissingParameter", a.line);
    return i + 1;
  }
  if (!a.quoted) {
    r.Message("EMDriver_ExecuteProgWrongFormat", a.line);
    return i + 1;
  }
  ProcessRequest request;
  SplitCommandLine(a.whole, request);
  const ProcessId process = r.c.desktop.StartProcess(request);
  if (process == 0) {
    r.Message("EMDriver_ExecuteProgFailed", a.whole);
    return i + 1;
  }
  if (mode == "WAIT") {
    int exit_code = 0;
    // The program's own windows keep answering while the other program runs.
    while (r.c.desktop.WaitForProcess(process, kPollMs, exit_code) == WaitResult::kTimedOut) {
      r.c.desktop.Pump();
    }
    r.c.desktop.Sleep(kAfterProgramMs);
    r.c.desktop.Pump();
  }
  r.c.desktop.CloseProcess(process);
  return i + 1;
}

// Title and class of the wait and text commands: trimmed, upper-cased, title substituted.
bool WindowParts(Run& r, const Args& a, std::string& title, std::string& cls) {
  title = r.Substitute(Upper(TrimSpaces(a.field2)));
  cls = Upper(TrimSpaces(a.field4));
  if (title.empty()) {
    r.Message("EMDriver_MissingParameter", a.line);
    return false;
  }
  return true;
}

size_t DoWaitForeground(Run& r, const Args& a, std::span<const std::string>, size_t i) {
  std::string title, cls;
  if (!WindowParts(r, a, title, cls)) return i + 1;
  const long long ms = LeadingNumber(a.field5);
  r.c.ui.Trace("$WAITWINDOWFOREGROUND waits " + std::to_string(ms) + " ms");
  Desktop& d = r.c.desktop;
  r.WaitUntil(ms, [&] {
    const WindowId w = d.ForegroundWindow();
    return w != 0 && WindowMatches(d, w, title, cls);
  });
  return i + 1;
}

size_t DoWaitExists(Run& r, const Args& a, std::span<const std::string>, size_t i) {
  std::string title, cls;
  if (!WindowParts(r, a, title, cls)) return i + 1;
  Desktop& d = r.c.desktop;
  r.WaitUntil(LeadingNumber(a.field5),
              [&] { return FindWindowByTitleAndClass(d, title, cls, true) != 0; });
  return i + 1;
}

size_t DoWindowText(Run& r, const Args& a, std::span<const std::string>, size_t i) {
  std::string title, cls;
  if (!WindowParts(r, a, title, cls)) return i + 1;
  const WindowId w = FindWindowByTitleAndClass(r.c.desktop, title, cls, true);
  if (w == 0) {
    r.c.ui.Trace("$WINDOWTEXT_CHANGE found no window: " + a.line);
  } else {
    r.c.desktop.ReplaceWindowText(w, TrimSpaces(a.field6));
  }
  return i + 1;
}

size_t DoMessageBox(Run& r, const Args& a, std::span<const std::string>, size_t i) {
  MessageBoxRequest box;
  box.text = std::string(TrimSpaces(a.field2));
  box.caption = kMessageCaption;
  box.style = mb::kIconInformation | mb::kTopmost;
  r.c.ui.ShowMessageBox(box);
  return i + 1;
}

// clang-format off
constexpr Command kCommands[] = {
    {"$ACTIVATEWINDOW",       Rule::kFields,      DoActivate},
    {"$WAIT",                 Rule::kWord2,       DoWait},
    {"$KEY",                  Rule::kWholeQuoted, DoKey},
    {"$PASTE",                Rule::kWholeQuoted, DoPaste},
    {"$PASTELINES_START",     Rule::kFields,      DoPasteLines},
    {"$TO",                   Rule::kNone,        DoTo},
    {"$SUBJECT",              Rule::kNone,        DoSubject},
    {"$MAILTEXT",             Rule::kNone,        DoMailText},
    {"$FILENAME",             Rule::kNone,        DoFileName},
    {"$EXECUTEPROG",          Rule::kExecute,     DoExecute},
    {"$WAITWINDOWFOREGROUND", Rule::kFields,      DoWaitForeground},
    {"$WAITWINDOWEXISTS",     Rule::kFields,      DoWaitExists},
    {"$WINDOWTEXT_CHANGE",    Rule::kFields,      DoWindowText},
    {"$MESSAGEBOX",           Rule::kFields,      DoMessageBox},
};
// clang-format on

const Command* FindCommand(std::string_view word) {
  for (const Command& c : kCommands) {
    if (word == c.word) return &c;
  }
  return nullptr;
}

Args ReadArgs(Run& r, Rule rule, const std::string& line) {
  Args a;
  a.line = line;
  switch (rule) {
    case Rule::kNone:
      break;
    case Rule::kWord2:
      a.word2 = std::string(Part(line, ' ', 2));
      break;
    case Rule::kWholeQuoted:
      a.quoted = WholeQuoted(line, a.whole);
      if (!a.quoted) r.Message("EMDriver_MissingDoubleQuotes", line);
      break;
    case Rule::kFields:
      a.field2 = QuotedField(line, 2);
      a.field4 = QuotedField(line, 4);
      a.field5 = QuotedField(line, 5);
      a.field6 = QuotedField(line, 6);
      break;
    case Rule::kExecute:
      a.word2 = std::string(Part(line, ' ', 2));
      a.quoted = WholeQuoted(line, a.whole);
      break;
  }
  return a;
}

void Run::Section(const std::vector<std::string>& lines) {
  const std::span<const std::string> section(lines);
  size_t i = 0;
  while (i < section.size() && !abort) {
    const std::string& line = section[i];
    const Command* command = FindCommand(FirstWord(line));
    if (command == nullptr) {
      Message("EMDriver_UnknownCommand", line);
      abort = true;
      break;
    }
    const Args args = ReadArgs(*this, command->rule, line);
    i = command->run(*this, args, section, i);
  }
}

// The body MAPI gets: rebuilt from the new-mail section's paste commands when it has lines.
std::string MapiBody(const std::vector<std::string>& new_mail, const std::string& body) {
  if (new_mail.empty()) return body;
  std::string out;
  for (size_t i = 0; i < new_mail.size(); ++i) {
    const std::string word = FirstWord(new_mail[i]);
    if (word == "$PASTE") {
      std::string text;
      WholeQuoted(new_mail[i], text);
      if (!text.empty()) out += text + "\r\n";
    } else if (word == kPasteLinesStart) {
      for (++i; i < new_mail.size() && !IsPasteLinesEnd(new_mail[i]); ++i) {
        out += new_mail[i] + "\r\n";
      }
    } else if (word == "$MAILTEXT") {
      out += body + "\r\n";
    }
  }
  return out;
}

MailOutcome DeliverByMapi(MailContext& c, const MailRequest& m, const std::string& first_line) {
  const bool dialog = Part(first_line, ' ', 2) == "SEND";
  const MapiLists lists = MapiListsFor(m.to, m.file_list, c.to_separator);
  std::string body = MapiBody(ExtractSection(c.driver.lines, kNewMailStart, kNewMailEnd), m.body);
  const LocalTime now = c.clock ? c.clock() : CurrentLocalTime();
  FileOps& files = c.files;
  const MapiMail mail = BuildMapiMail(
      m.subject, body, lists.addresses, lists.names, lists.files, dialog,
      [&files](const std::string& p) { return files.Exists(p); }, now);
  std::fill(body.begin(), body.end(), '\0');
  return c.mapi.Send(c.ui, mail);
}

}  // namespace

// --- Files ----------------------------------------------------------------------------------

std::string DriverNameOf(std::string_view file_name) {
  const std::string_view ext = kDriverExtension;
  while (file_name.size() >= ext.size() && file_name.substr(file_name.size() - ext.size()) == ext)
    file_name.remove_suffix(ext.size());
  return std::string(file_name);
}

std::string DriverPath(const std::string& program_folder, std::string_view name) {
  return InFolder(program_folder, std::string(name) + kDriverExtension);
}

std::string ListEMailDrivers(TraceSink& trace, FileOps& files, const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<std::string> names;
  std::error_code ec;
  const fs::path dir(std::u8string(folder.begin(), folder.end()));
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    if (!it->is_regular_file(type_ec)) continue;
    const std::u8string u8 = it->path().filename().u8string();
    const std::string file_name(u8.begin(), u8.end());
    // "*.txt" as the system matches it: the extension in any case.
    if (file_name.size() < 4 || Upper(file_name.substr(file_name.size() - 4)) != ".TXT") continue;
    std::string contents;
    const std::string path = InFolder(folder, file_name);
    if (ReadWholeFile(files, path, contents) != fe::kOk) {
      trace.Trace("e-mail driver not readable: " + path);
      continue;
    }
    const std::string first_line = contents.substr(0, contents.find_first_of("\r\n"));
    if (Upper(first_line).find(kDriverMagic) == std::string::npos) continue;
    trace.Trace("e-mail driver: " + path);
    names.push_back(DriverNameOf(file_name));
  }
  std::sort(names.begin(), names.end());
  std::string out;
  for (const std::string& n : names) {
    if (!out.empty()) out += '|';
    out += n;
  }
  return out;
}

EmailDriver ParseEMailDriver(std::string_view contents) {
  EmailDriver driver;
  bool paste_mode = false;
  for (const std::string& raw : FileLines(contents)) {
    const std::string word = Upper(Part(TrimLeft(raw), ' ', 1));
    std::string line;
    if (word == kPasteLinesStart) {
      paste_mode = true;
      line = Normalise(raw);
    } else if (word == kPasteLinesEnd) {
      paste_mode = false;
      line = Normalise(raw);
    } else if (paste_mode) {
      line = raw;  // exactly as written, empty lines too
    } else {
      line = Normalise(raw);
      if (line.empty()) continue;
    }
    if (!line.empty() && line.front() == ';') continue;
    driver.lines.push_back(std::move(line));
  }
  driver.can_attach_files = !ExtractSection(driver.lines, kAttachStart, kAttachEnd).empty();
  return driver;
}

bool LoadEMailDriver(Ui& ui, FileOps& files, const std::string& path, EmailDriver& driver) {
  if (!files.Exists(path)) return false;
  std::string contents;
  if (const int err = ReadWholeFile(files, path, contents); err != fe::kOk) {
    ReportFileError(ui, err, path);
    return false;
  }
  driver = ParseEMailDriver(contents);
  return true;
}

std::vector<std::string> ExtractSection(const std::vector<std::string>& lines,
                                        std::string_view start, std::string_view end) {
  std::vector<std::string> section;
  bool seen = false;
  for (const std::string& line : lines) {
    const std::string word = FirstWord(line);
    if (word == end) break;
    if (seen) section.push_back(line);
    if (word == start) seen = true;
  }
  return section;
}

// --- Windows --------------------------------------------------------------------------------

WindowId FindWindowByTitleAndClass(Desktop& desktop, std::string_view title,
                                   std::string_view class_part, bool search_children) {
  const std::string t = Upper(title), c = Upper(class_part);
  for (const WindowId w : desktop.TopLevelWindows()) {
    if (WindowMatches(desktop, w, t, c)) return w;
    if (!search_children) continue;
    for (const WindowId child : desktop.ChildWindows(w)) {
      if (WindowMatches(desktop, child, t, c)) return child;
    }
  }
  return 0;
}

int ActivateWindowByTitleAndClass(Desktop& desktop, std::string_view title,
                                  std::string_view class_part, bool search_children) {
  const WindowId w = FindWindowByTitleAndClass(desktop, title, class_part, search_children);
  if (w == 0) return 1;
  desktop.ActivateWindow(w);
  desktop.RestoreWindow(w);
  desktop.FocusWindow(w);
  return 0;
}

// --- CreateMail -----------------------------------------------------------------------------

std::vector<std::string> DriverCommandWords() {
  std::vector<std::string> words;
  for (const Command& c : kCommands) words.emplace_back(c.word);
  return words;
}

MailOutcome CreateMail(MailContext& c, const MailRequest& m) {
  c.ui.Trace("CreateMail to: " + m.to + " subject: " + m.subject + " files: " + m.file_list);
  Run run(c, m);
  const std::vector<std::string> call = ExtractSection(c.driver.lines, kCallStart, kCallEnd);
  if (call.empty()) {
    ShowMessage(c.ui, "EMDriver_EmptyEMailDriver", mb::kIconHand, c.driver_name);
    return MailOutcome::kFailed;
  }
  // The two special drivers are told apart by their first word, exactly as written.
  const std::string_view first_word = Part(call.front(), ' ', 1);
  if (first_word == "$MAPI") return DeliverByMapi(c, m, call.front());
  if (first_word == "$MAILTO") {
    if (OpenMailtoUrl(c.ui, c.desktop, m.to, m.subject, c.to_separator) != MailOutcome::kMade)
      return MailOutcome::kFailed;
  } else {
    run.Section(call);
  }
  if (run.abort) return MailOutcome::kFailed;
  run.Section(ExtractSection(c.driver.lines, kNewMailStart, kNewMailEnd));
  if (run.abort) return MailOutcome::kFailed;
  if (!m.file_list.empty()) {
    if (c.driver.can_attach_files) {
      const std::vector<std::string> attach =
          ExtractSection(c.driver.lines, kAttachStart, kAttachEnd);
      for (const std::string& name : SplitAt(m.file_list, c.to_separator)) {
        if (name.empty()) continue;
        run.current_file = name;
        run.Section(attach);
        if (run.abort) return MailOutcome::kFailed;
      }
    } else {
      ShowMessage(c.ui, "EMDriver_AttachFileImpossible", mb::kIconHand, c.driver_name);
    }
  }
  if (run.abort) return MailOutcome::kFailed;
  run.Section(ExtractSection(c.driver.lines, kSendStart, kSendEnd));
  return run.abort ? MailOutcome::kFailed : MailOutcome::kMade;
}

}  // namespace lq
