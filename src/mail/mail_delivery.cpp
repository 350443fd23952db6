// Simple MAPI records and the call through the run-time binding; "mailto:" links.
#include "mail/mail_delivery.h"

#include <cstdio>
#include <cstring>

#include "base/bytes.h"
#include "base/catalogue.h"

namespace lq {

std::vector<std::string> SplitAt(std::string_view s, std::string_view separator) {
  std::vector<std::string> parts;
  if (separator.empty()) {
    parts.emplace_back(s);
    return parts;
  }
  for (;;) {
    const size_t at = s.find(separator);
    parts.emplace_back(s.substr(0, at));
    if (at == std::string_view::npos) break;
    s.remove_prefix(at + separator.size());
  }
  return parts;
}

namespace {

std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(s);
  std::string out;
  for (;;) {
    const size_t at = s.find(from);
    out += s.substr(0, at);
    if (at == std::string_view::npos) break;
    out += to;
    s.remove_prefix(at + from.size());
  }
  return out;
}

// A text cut to fit a buffer of `buffer` bytes with its terminator, never inside a UTF-8
// sequence.
std::string CutToBuffer(std::string_view s, size_t buffer) {
  if (s.size() < buffer) return std::string(s);
  size_t n = buffer - 1;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return std::string(s.substr(0, n));
}

// The records of one mail, in one character width, with the storage the pointers point into.
template <class Char>
struct MapiRecords {
  using Text = std::basic_string<Char>;
  Text subject, note, date;
  std::vector<Text> names, addresses, paths;
  std::vector<MapiRecipDescT<Char>> recips;
  std::vector<MapiFileDescT<Char>> files;
  MapiMessageT<Char> message{};

  template <class Convert>
  MapiRecords(const MapiMail& mail, Convert convert) {
    subject = convert(mail.subject);
    note = convert(mail.note_text);
    date = convert(mail.date_received);
    for (const MapiRecipient& r : mail.recipients) {
      names.push_back(convert(r.name));
      addresses.push_back(convert(r.address));
    }
    for (const MapiAttachment& f : mail.files) paths.push_back(convert(f.path));
    for (size_t i = 0; i < mail.recipients.size(); ++i) {
      recips.push_back({0, mapi::kTo, names[i].data(), addresses[i].data(), 0, nullptr});
    }
    // The positions count characters of the text the library gets; the note ends in ASCII
    // blanks, so each keeps its distance from the end.
    const size_t utf8_length = mail.note_text.size();
    for (size_t i = 0; i < mail.files.size(); ++i) {
      const size_t from_end = utf8_length - mail.files[i].position;
      const auto position = static_cast<uint32_t>(note.size() - from_end);
      files.push_back({0, 0, position, paths[i].data(), nullptr, nullptr});
    }
    message.ulReserved = 0;
    message.lpszSubject = subject.data();
    message.lpszNoteText = note.data();
    message.lpszMessageType = nullptr;
    message.lpszDateReceived = date.data();
    message.lpszConversationID = nullptr;
    message.flFlags = 0;
    message.lpOriginator = nullptr;
    message.nRecipCount = static_cast<uint32_t>(recips.size());
    message.lpRecips = recips.empty() ? nullptr : recips.data();
    message.nFileCount = static_cast<uint32_t>(files.size());
    message.lpFiles = files.empty() ? nullptr : files.data();
  }
  ~MapiRecords() {
    // The note may be the plaintext a user chose to send unencrypted.
    std::fill(note.begin(), note.end(), Char(0));
  }
};

// Numbers in messages as the system writes them, with a leading blank (" 2").
std::string CodeText(uint32_t code) { return " " + std::to_string(code); }

}  // namespace

std::u16string Utf16FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    uint32_t cp = NextUtf8CodePoint(text, pos);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string Latin1FromUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    const uint32_t cp = NextUtf8CodePoint(text, pos);
    out.push_back(cp <= 0xFF ? static_cast<char>(cp) : '?');
  }
  return out;
}

std::string MapiDateText(const LocalTime& t) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%02d-%02d-%04d %02d:%02d:%02d", t.month % 100, t.day % 100,
                t.year % 10000, t.hour % 100, t.minute % 100, t.second % 100);
  return buf;
}

MapiMail BuildMapiMail(std::string_view subject, std::string_view body, std::string_view addresses,
                       std::string_view names, std::string_view files, bool dialog,
                       const std::function<bool(const std::string&)>& exists,
                       const LocalTime& now) {
  MapiMail mail;
  mail.subject = CutToBuffer(TrimSpaces(subject), mapi::kSubjectBuffer);
  const std::string_view file_list = TrimSpaces(files);
  const std::vector<std::string> requested =
      file_list.empty() ? std::vector<std::string>{} : SplitAt(files, ";");
  const size_t n = requested.size();
  mail.requested_files = n;
  mail.note_text = std::string(TrimSpaces(body)) + "\r\n" + std::string(n, ' ');
  mail.date_received = CutToBuffer(MapiDateText(now), mapi::kDateBuffer);
  if (!TrimSpaces(names).empty()) {
    const std::vector<std::string> name_parts = SplitAt(names, ";");
    const std::vector<std::string> address_parts = SplitAt(addresses, ";");
    for (size_t i = 0; i < name_parts.size(); ++i) {
      MapiRecipient r;
      r.name = CutToBuffer(name_parts[i], mapi::kNameBuffer);
      r.address = CutToBuffer(i < address_parts.size() ? address_parts[i] : "", mapi::kNameBuffer);
      mail.recipients.push_back(std::move(r));
    }
  }
  for (size_t i = 0; i < n; ++i) {
    const std::string& path = requested[i];
    // A path too long for its buffer would name another file once cut: it is left out.
    if (path.size() >= mapi::kNameBuffer || !exists(path)) continue;
    MapiAttachment f;
    f.position = static_cast<uint32_t>(mail.note_text.size() - 1 - (n - 1 - i));
    f.path = path;
    mail.files.push_back(std::move(f));
  }
  mail.flags = dialog ? (mapi::kLogonUi | mapi::kDialog) : mapi::kLogonUi;
  return mail;
}

MapiLists MapiListsFor(std::string_view to, std::string_view file_list,
                       std::string_view separator) {
  MapiLists lists;
  lists.names = ReplaceAll(to, separator, ";");
  lists.addresses = "SMTP:" + ReplaceAll(to, separator, ";SMTP:");
  lists.files = ReplaceAll(file_list, separator, ";");
  return lists;
}

bool MapiLink::Load() {
  if (library_ == 0) library_ = desktop_.OpenLibrary(library_name);
  return library_ != 0;
}

void MapiLink::Unload() {
  if (library_ != 0) desktop_.CloseLibrary(library_);
  library_ = 0;
}

MailOutcome MapiLink::Send(Ui& ui, const MapiMail& mail) {
  if (!Load()) {
    ShowMessage(ui, "EMDriver_MapiNotAvailable", mb::kIconHand, library_name);
    return MailOutcome::kFailed;
  }
  auto logon = reinterpret_cast<MapiLogonFn>(desktop_.LibrarySymbol(library_, "MAPILogon"));
  auto logoff = reinterpret_cast<MapiLogoffFn>(desktop_.LibrarySymbol(library_, "MAPILogoff"));
  auto send_w =
      reinterpret_cast<MapiSendMailWFn>(desktop_.LibrarySymbol(library_, "MAPISendMailW"));
  auto send_a =
      send_w ? nullptr
             : reinterpret_cast<MapiSendMailAFn>(desktop_.LibrarySymbol(library_, "MAPISendMail"));
  if (!logon || (!send_w && !send_a)) {
    ShowMessage(ui, "EMDriver_MapiEntryMissing", mb::kIconHand, library_name,
                !logon ? "MAPILogon" : "MAPISendMail");
    return MailOutcome::kFailed;
  }
  char empty_profile[mapi::kProfileBuffer] = {};
  char empty_password[mapi::kProfileBuffer] = {};
  uintptr_t session = 0;
  const uint32_t logon_code = logon(0, empty_profile, empty_password, mapi::kLogonUi, 0, &session);
  if (session == 0) {
    if (logon_code == mapi::kUserAbort) {
      ui.Trace("MAPI logon cancelled by the user");
      return MailOutcome::kCancelled;
    }
    ShowMessage(ui, "EMDriver_MapiNoSession", mb::kIconHand, CodeText(logon_code));
    return MailOutcome::kFailed;
  }
  uint32_t code = 0;
  if (send_w) {
    MapiRecords<char16_t> records(mail, [](const std::string& s) { return Utf16FromUtf8(s); });
    code = send_w(session, 0, &records.message, mail.flags, 0);
  } else {
    auto convert = [this](const std::string& s) {
      return to_ansi ? to_ansi(s) : Latin1FromUtf8(s);
    };
    MapiRecords<char> records(mail, convert);
    code = send_a(session, 0, &records.message, mail.flags, 0);
  }
  if (logoff) logoff(session, 0, 0, 0);
  if (code == mapi::kSuccess) {
    ui.Trace("Message Sent");
    return MailOutcome::kMade;
  }
  if (code == mapi::kUserAbort) {
    ui.Trace("MAPI mail cancelled by the user");
    return MailOutcome::kCancelled;
  }
  ui.Trace("smapiSendMail failure error =" + CodeText(code));
  ShowMessage(ui, "EMDriver_MapiSendFailed", mb::kIconHand, CodeText(code));
  return MailOutcome::kFailed;
}

// --- mailto ---------------------------------------------------------------------------------

std::string MailtoEscape(std::string_view text, bool address) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
    if (unreserved || (address && c == '@')) {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

std::string MailtoUrl(std::string_view to, std::string_view subject, std::string_view separator) {
  std::string addresses;
  for (const std::string& a : SplitAt(to, separator)) {
    const std::string_view address = TrimSpaces(a);
    if (address.empty()) continue;
    if (!addresses.empty()) addresses += ',';
    addresses += MailtoEscape(address, true);
  }
  return "mailto:" + addresses + "?Subject=" + MailtoEscape(subject, false) + "&Body=";
}

MailOutcome OpenMailtoUrl(Ui& ui, Desktop& desktop, std::string_view to, std::string_view subject,
                          std::string_view separator) {
  const std::string url = MailtoUrl(to, subject, separator);
  if (url.size() > kMailtoMaxLength) {
    ShowMessage(ui, "EMDriver_MailtoTooLong", mb::kIconHand, std::to_string(url.size()),
                std::to_string(kMailtoMaxLength));
    return MailOutcome::kFailed;
  }
  if (!desktop.ShellOpen(url)) {
    ShowMessage(ui, "EMDriver_MailtoFailed", mb::kIconHand, url);
    return MailOutcome::kFailed;
  }
  return MailOutcome::kMade;
}

void ReportNoMail(Ui& ui) {
  ui.SetStatusText("No mail was created");
  ui.SetStatusColour(kStatusColourRed);
}

}  // namespace lq
