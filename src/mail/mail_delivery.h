// The two deliveries that need no scripting: Simple MAPI (mapi32.dll bound at run time through
// the Desktop, MAPISendMailW where the library has it, else the ANSI records) and "mailto:"
// links opened by the shell. The records are built here, portably, so that tests can check
// every field; the library call is the only step that differs on a real system.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"
#include "base/file_io.h"
#include "base/ui.h"
#include "platform/desktop.h"

// Simple MAPI's entry points are __stdcall on 32-bit Windows.
#if defined(_WIN32) && defined(__i386__)
#define LQ_MAPI_CALL __attribute__((stdcall))
#else
#define LQ_MAPI_CALL
#endif

namespace lq {

// The parts of `s` between occurrences of `separator` (all of `s` when it is empty); empty parts
// are kept, so "a;;b" gives three.
std::vector<std::string> SplitAt(std::string_view s, std::string_view separator);

inline constexpr char kMapiLibrary[] = "mapi32.dll";

// Simple MAPI's constants.
namespace mapi {
constexpr uint32_t kSuccess = 0;
constexpr uint32_t kUserAbort = 1;  // MAPI_E_USER_ABORT: the user cancelled a MAPI dialog
constexpr uint32_t kTo = 1;         // MAPI_TO
constexpr uint32_t kLogonUi = 1;    // MAPI_LOGON_UI
constexpr uint32_t kDialog = 8;     // MAPI_DIALOG
// Buffer sizes of the ANSI records, terminator included; longer texts are cut. The note text
// has none: a packet cut short could never be decrypted.
constexpr size_t kProfileBuffer = 200;
constexpr size_t kSubjectBuffer = 1000;
constexpr size_t kDateBuffer = 50;
constexpr size_t kNameBuffer = 300;  // recipient names, addresses and attachment paths
}  // namespace mapi

// Simple MAPI's records as the library reads them (ULONG is 32 bits on Windows, pointers are
// native). Char is char for the ANSI entry points, char16_t for MAPISendMailW.
template <class Char>
struct MapiRecipDescT {
  uint32_t ulReserved;
  uint32_t ulRecipClass;
  Char* lpszName;
  Char* lpszAddress;
  uint32_t ulEIDSize;
  void* lpEntryID;
};
template <class Char>
struct MapiFileDescT {
  uint32_t ulReserved;
  uint32_t flFlags;
  uint32_t nPosition;
  Char* lpszPathName;
  Char* lpszFileName;
  void* lpFileType;
};
template <class Char>
struct MapiMessageT {
  uint32_t ulReserved;
  Char* lpszSubject;
  Char* lpszNoteText;
  Char* lpszMessageType;
  Char* lpszDateReceived;
  Char* lpszConversationID;
  uint32_t flFlags;
  MapiRecipDescT<Char>* lpOriginator;
  uint32_t nRecipCount;
  MapiRecipDescT<Char>* lpRecips;
  uint32_t nFileCount;
  MapiFileDescT<Char>* lpFiles;
};
using MapiMessageA = MapiMessageT<char>;
using MapiMessageW = MapiMessageT<char16_t>;
using MapiRecipDescA = MapiRecipDescT<char>;
using MapiRecipDescW = MapiRecipDescT<char16_t>;
using MapiFileDescA = MapiFileDescT<char>;
using MapiFileDescW = MapiFileDescT<char16_t>;

using MapiLogonFn = uint32_t(LQ_MAPI_CALL*)(uintptr_t ui_param, char* profile, char* password,
                                            uint32_t flags, uint32_t reserved, uintptr_t* session);
using MapiLogoffFn = uint32_t(LQ_MAPI_CALL*)(uintptr_t session, uintptr_t ui_param, uint32_t flags,
                                             uint32_t reserved);
using MapiSendMailAFn = uint32_t(LQ_MAPI_CALL*)(uintptr_t session, uintptr_t ui_param,
                                                MapiMessageA* message, uint32_t flags,
                                                uint32_t reserved);
using MapiSendMailWFn = uint32_t(LQ_MAPI_CALL*)(uintptr_t session, uintptr_t ui_param,
                                                MapiMessageW* message, uint32_t flags,
                                                uint32_t reserved);

// One mail as Simple MAPI gets it, in UTF-8 (the texts the records point to).
struct MapiRecipient {
  std::string name, address;
  bool operator==(const MapiRecipient&) const = default;
};
struct MapiAttachment {
  uint32_t position = 0;  // the note text's character where the attachment is rendered
  std::string path;
  bool operator==(const MapiAttachment&) const = default;
};
struct MapiMail {
  std::string subject, note_text, date_received;
  std::vector<MapiRecipient> recipients;
  std::vector<MapiAttachment> files;
  uint32_t flags = mapi::kLogonUi;
  // The attachments asked for, existing or not: the note ends with this many blanks.
  size_t requested_files = 0;
};

// The date text of the records: "MM-DD-YYYY HH:MM:SS".
std::string MapiDateText(const LocalTime& t);

// smapiSendMail's records: `addresses`, `names` and `files` are ";"-separated lists. The note
// is the trimmed body, CR LF and one blank per requested file; files that do not exist (by
// `exists`) are left out, the others placed on their blank. `dialog` asks for the compose
// dialog (flags 9 instead of 1).
MapiMail BuildMapiMail(std::string_view subject, std::string_view body, std::string_view addresses,
                       std::string_view names, std::string_view files, bool dialog,
                       const std::function<bool(const std::string&)>& exists, const LocalTime& now);

// MAPI delivery's lists from To and the file list (joined by the To separator): the name list
// (separator -> ";"), the address list ("SMTP:" before each) and the file list.
struct MapiLists {
  std::string names, addresses, files;
};
MapiLists MapiListsFor(std::string_view to, std::string_view file_list, std::string_view separator);

// What became of a delivery.
enum class MailOutcome {
  kMade,       // the mail program has the mail
  kCancelled,  // the user cancelled in the mail program's dialog: no message, no mail
  kFailed,     // no mail; the reason was shown
};

// The process-wide Simple MAPI binding: the library is loaded by the first delivery and stays
// loaded until Unload (at exit).
class MapiLink {
 public:
  explicit MapiLink(Desktop& desktop) : desktop_(desktop) {}
  ~MapiLink() = default;
  MapiLink(const MapiLink&) = delete;
  MapiLink& operator=(const MapiLink&) = delete;

  // The library's name or path (tests point it elsewhere).
  std::string library_name = kMapiLibrary;
  // ANSI text for the records of MAPISendMail (the system's code page). Unset: characters
  // above U+00FF become "?".
  std::function<std::string(std::string_view utf8)> to_ansi;

  // LoadMapi: true when the library is loaded (now or already).
  bool Load();
  bool loaded() const { return library_ != 0; }
  void Unload();

  // Logs on (empty profile and password, MAPI_LOGON_UI), sends `mail` with MAPISendMailW
  // when the library has it, else MAPISendMail with ANSI records, and logs off. Every failure
  // is shown ("EMDriver_Mapi..."); the user's own cancel is kCancelled without a message.
  MailOutcome Send(Ui& ui, const MapiMail& mail);

 private:
  Desktop& desktop_;
  LibraryId library_ = 0;
};

// UTF-8 to UTF-16 (a malformed byte stands for itself, as in Latin-1).
std::u16string Utf16FromUtf8(std::string_view text);
// UTF-8 to Latin-1, "?" for characters above U+00FF.
std::string Latin1FromUtf8(std::string_view text);

// --- mailto ---------------------------------------------------------------------------------

// Longest URL handed to the shell; longer links are refused with a message instead of being
// cut by the shell or the mail program.
constexpr size_t kMailtoMaxLength = 2048;

// RFC 6068 percent-encoding of one part: every byte but the unreserved characters (and "@" in
// addresses) becomes %XX, UTF-8 bytes included.
std::string MailtoEscape(std::string_view text, bool address);

// "mailto:" + the addresses (split at the To separator, each encoded, joined by ",") +
// "?Subject=" + the encoded subject + "&Body=". The body stays empty: the driver pastes it.
std::string MailtoUrl(std::string_view to, std::string_view subject, std::string_view separator);

// OpenMailtoUrl: builds the URL and asks the shell to open it. Too long a URL or a shell that
// cannot open it is shown and gives kFailed.
MailOutcome OpenMailtoUrl(Ui& ui, Desktop& desktop, std::string_view to, std::string_view subject,
                          std::string_view separator);

// The red status line and log of a mail that was not made.
void ReportNoMail(Ui& ui);

}  // namespace lq
