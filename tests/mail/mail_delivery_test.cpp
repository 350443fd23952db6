// Simple MAPI and mailto delivery: the records as the library receives them (through fake
// entry points bound with the scripted Desktop), every failure shown and a cancel not, and
// the mailto links with their escaping and length limit.
#include "mail/mail_delivery.h"

#include <gtest/gtest.h>

#include <fstream>

#include "base/catalogue.h"
#include "mail/email_driver.h"
#include "platform/scripted_desktop.h"
#include "support/file_fakes.h"
#include "support/recording_ui.h"

namespace lq {
namespace {

using test::RecordingUi;

const LocalTime kNoon{2026, 3, 7, 14, 5, 9};

bool AllExist(const std::string&) { return true; }

TEST(MapiRecords, PositionsSitOnTheTrailingBlanks) {
  const MapiMail m = BuildMapiMail("  Subject ", "0123456789", "SMTP:a@x", "a@x", "C:\\1;C:\\2",
                                   false, AllExist, kNoon);
  EXPECT_EQ(m.note_text, "0123456789\r\n  ");
  ASSERT_EQ(m.files.size(), 2u);
  EXPECT_EQ(m.files[0], (MapiAttachment{12, "C:\\1"}));
  EXPECT_EQ(m.files[1], (MapiAttachment{13, "C:\\2"}));
  EXPECT_EQ(m.subject, "Subject");
  EXPECT_EQ(m.date_received, "03-07-2026 14:05:09");
  EXPECT_EQ(m.flags, 1u);
}

TEST(MapiRecords, AMissingFileIsLeftOutButKeepsItsBlank) {
  const MapiMail m = BuildMapiMail(
      "s", "0123456789", "", "", "C:\\1;C:\\gone", true,
      [](const std::string& p) { return p == "C:\\1"; }, kNoon);
  EXPECT_EQ(m.note_text, "0123456789\r\n  ");
  ASSERT_EQ(m.files.size(), 1u);
  EXPECT_EQ(m.files[0].position, 12u);
  EXPECT_TRUE(m.recipients.empty());
  EXPECT_EQ(m.flags, 9u);
}

TEST(MapiRecords, ListsFromToAndTheSeparator) {
  const MapiLists l = MapiListsFor("a@x.org,b@y.org", "C:\\1,C:\\2", ",");
  EXPECT_EQ(l.names, "a@x.org;b@y.org");
  EXPECT_EQ(l.addresses, "SMTP:a@x.org;SMTP:b@y.org");
  EXPECT_EQ(l.files, "C:\\1;C:\\2");
  const MapiMail m = BuildMapiMail("s", "b", l.addresses, l.names, "", false, AllExist, kNoon);
  ASSERT_EQ(m.recipients.size(), 2u);
  EXPECT_EQ(m.recipients[1], (MapiRecipient{"b@y.org", "SMTP:b@y.org"}));
  EXPECT_EQ(m.note_text, "b\r\n");
}

TEST(MapiRecords, TheNoteIsNeverCutButTheOtherBuffersAre) {
  const std::string body(100000, 'A');
  const MapiMail m = BuildMapiMail(std::string(1500, 's'), body, "SMTP:" + std::string(400, 'a'),
                                   std::string(400, 'n'), "", false, AllExist, kNoon);
  EXPECT_EQ(m.note_text, body + "\r\n");
  EXPECT_EQ(m.subject.size(), 999u);
  EXPECT_EQ(m.recipients[0].name.size(), 299u);
  EXPECT_EQ(m.recipients[0].address.size(), 299u);
}

TEST(MapiRecords, Utf16AndLatin1) {
  EXPECT_EQ(Utf16FromUtf8("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"),
            (std::u16string{u'a', 0xE9, 0x20AC, 0xD83D, 0xDE00}));
  EXPECT_EQ(Latin1FromUtf8("a\xC3\xA9\xE2\x82\xAC"), "a\xE9?");
}

// --- The library call, through fake entry points -------------------------------------------

struct Received {
  int logons = 0, logoffs = 0, sends_a = 0, sends_w = 0;
  uint32_t logon_code = 0;
  uintptr_t session_given = 77;
  uint32_t send_code = 0;
  uint32_t flags = 0;
  uintptr_t session_used = 0;
  std::string subject, note, date;  // as UTF-8 (W) or bytes (A)
  std::vector<std::string> names, addresses, paths;
  std::vector<uint32_t> positions;
  bool null_recips = false, null_files = false;
};
Received g_received;

std::string Narrow(const char16_t* s) {
  std::string out;
  for (; s && *s; ++s) out.push_back(*s < 0x80 ? static_cast<char>(*s) : '#');
  return out;
}
std::string Narrow(const char* s) { return s ? s : ""; }

template <class Char>
void Record(const MapiMessageT<Char>* m) {
  Received& r = g_received;
  r.subject = Narrow(m->lpszSubject);
  r.note = Narrow(m->lpszNoteText);
  r.date = Narrow(m->lpszDateReceived);
  r.null_recips = m->lpRecips == nullptr;
  r.null_files = m->lpFiles == nullptr;
  for (uint32_t i = 0; i < m->nRecipCount; ++i) {
    EXPECT_EQ(m->lpRecips[i].ulRecipClass, 1u);
    r.names.push_back(Narrow(m->lpRecips[i].lpszName));
    r.addresses.push_back(Narrow(m->lpRecips[i].lpszAddress));
  }
  for (uint32_t i = 0; i < m->nFileCount; ++i) {
    EXPECT_EQ(m->lpFiles[i].lpszFileName, nullptr);
    r.paths.push_back(Narrow(m->lpFiles[i].lpszPathName));
    r.positions.push_back(m->lpFiles[i].nPosition);
  }
}

uint32_t LQ_MAPI_CALL FakeLogon(uintptr_t ui, char* profile, char* password, uint32_t flags,
                                uint32_t, uintptr_t* session) {
  EXPECT_EQ(ui, 0u);
  EXPECT_STREQ(profile, "");
  EXPECT_STREQ(password, "");
  EXPECT_EQ(flags, 1u);
  ++g_received.logons;
  *session = g_received.session_given;
  return g_received.logon_code;
}
uint32_t LQ_MAPI_CALL FakeLogoff(uintptr_t session, uintptr_t, uint32_t, uint32_t) {
  EXPECT_EQ(session, g_received.session_given);
  ++g_received.logoffs;
  return 0;
}
uint32_t LQ_MAPI_CALL FakeSendA(uintptr_t session, uintptr_t, MapiMessageA* m, uint32_t flags,
                                uint32_t) {
  ++g_received.sends_a;
  g_received.session_used = session;
  g_received.flags = flags;
  Record(m);
  return g_received.send_code;
}
uint32_t LQ_MAPI_CALL FakeSendW(uintptr_t session, uintptr_t, MapiMessageW* m, uint32_t flags,
                                uint32_t) {
  ++g_received.sends_w;
  g_received.session_used = session;
  g_received.flags = flags;
  Record(m);
  return g_received.send_code;
}

void* Sym(auto f) { return reinterpret_cast<void*>(f); }

struct MapiHarness {
  ScriptedDesktop d;
  RecordingUi ui;
  MapiLink link{d};
  explicit MapiHarness(bool wide = true) {
    g_received = Received{};
    auto& syms = d.libraries["mapi32.dll"];
    syms["MAPILogon"] = Sym(&FakeLogon);
    syms["MAPILogoff"] = Sym(&FakeLogoff);
    syms["MAPISendMail"] = Sym(&FakeSendA);
    if (wide) syms["MAPISendMailW"] = Sym(&FakeSendW);
  }
};

TEST(MapiSend, TheWideEntryGetsTheWholeRecords) {
  MapiHarness h;
  test::TempDir dir;
  const std::string one = dir.File("one.lqe");
  std::ofstream(one) << "x";
  const MapiLists l = MapiListsFor("a@x.org;b@y.org", one + ";" + dir.File("gone.lqe"), ";");
  const std::string body(100 * 1024, 'Q');
  const MapiMail m = BuildMapiMail(
      "Subj", body, l.addresses, l.names, l.files, true,
      [](const std::string& p) { return RealFileOps().Exists(p); }, kNoon);
  EXPECT_EQ(h.link.Send(h.ui, m), MailOutcome::kMade);
  const Received& r = g_received;
  EXPECT_EQ(r.sends_w, 1);
  EXPECT_EQ(r.sends_a, 0);
  EXPECT_EQ(r.logons, 1);
  EXPECT_EQ(r.logoffs, 1);
  EXPECT_EQ(r.session_used, 77u);
  EXPECT_EQ(r.flags, 9u);
  EXPECT_EQ(r.subject, "Subj");
  EXPECT_EQ(r.note, body + "\r\n  ");
  EXPECT_EQ(r.date, "03-07-2026 14:05:09");
  EXPECT_EQ(r.names, (std::vector<std::string>{"a@x.org", "b@y.org"}));
  EXPECT_EQ(r.addresses, (std::vector<std::string>{"SMTP:a@x.org", "SMTP:b@y.org"}));
  EXPECT_EQ(r.paths, std::vector<std::string>{one});
  EXPECT_EQ(r.positions, std::vector<uint32_t>{static_cast<uint32_t>(body.size() + 2)});
  EXPECT_TRUE(h.ui.boxes.empty());
  // The library stays loaded for the next mail.
  EXPECT_TRUE(h.link.loaded());
  EXPECT_EQ(h.link.Send(h.ui, m), MailOutcome::kMade);
  EXPECT_EQ(h.d.CallsStartingWith("OpenLibrary").size(), 1u);
}

TEST(MapiSend, WithoutTheWideEntryTheAnsiRecordsKeepThePositionsInTheirText) {
  MapiHarness h(false);
  // "é" is two bytes in UTF-8 and one in the code page: the position counts the latter.
  const MapiMail m =
      BuildMapiMail("s\xC3\xA9", "caf\xC3\xA9", "", "", "C:\\a", false, AllExist, kNoon);
  EXPECT_EQ(m.files[0].position, 7u);
  EXPECT_EQ(h.link.Send(h.ui, m), MailOutcome::kMade);
  EXPECT_EQ(g_received.sends_a, 1);
  EXPECT_EQ(g_received.note, "caf\xE9\r\n ");
  EXPECT_EQ(g_received.positions, std::vector<uint32_t>{6});
  EXPECT_TRUE(g_received.null_recips);
  EXPECT_FALSE(g_received.null_files);
  EXPECT_EQ(g_received.flags, 1u);
}

TEST(MapiSend, EveryFailureIsShownAndACancelIsNot) {
  {
    ScriptedDesktop d;
    RecordingUi ui;
    MapiLink link(d);
    EXPECT_EQ(link.Send(ui, MapiMail{}), MailOutcome::kFailed);
    EXPECT_EQ(ui.MessageKeys(), std::vector<std::string>{"EMDriver_MapiNotAvailable"});
    EXPECT_EQ(ui.LastBox().text, MessageText("EMDriver_MapiNotAvailable", "mapi32.dll"));
  }
  {
    MapiHarness h;
    h.d.libraries["mapi32.dll"].erase("MAPILogon");
    EXPECT_EQ(h.link.Send(h.ui, MapiMail{}), MailOutcome::kFailed);
    EXPECT_EQ(h.ui.LastBox().text,
              MessageText("EMDriver_MapiEntryMissing", "mapi32.dll", "MAPILogon"));
  }
  {
    MapiHarness h;
    g_received.session_given = 0;
    g_received.logon_code = 3;
    EXPECT_EQ(h.link.Send(h.ui, MapiMail{}), MailOutcome::kFailed);
    EXPECT_EQ(h.ui.LastBox().text, MessageText("EMDriver_MapiNoSession", " 3"));
    EXPECT_EQ(g_received.sends_w, 0);
  }
  {
    MapiHarness h;
    g_received.send_code = 2;
    EXPECT_EQ(h.link.Send(h.ui, MapiMail{}), MailOutcome::kFailed);
    EXPECT_EQ(h.ui.LastBox().text, MessageText("EMDriver_MapiSendFailed", " 2"));
    EXPECT_EQ(g_received.logoffs, 1);
  }
  {
    MapiHarness h;
    g_received.send_code = mapi::kUserAbort;
    EXPECT_EQ(h.link.Send(h.ui, MapiMail{}), MailOutcome::kCancelled);
    EXPECT_TRUE(h.ui.boxes.empty());
  }
  {
    MapiHarness h;
    g_received.session_given = 0;
    g_received.logon_code = mapi::kUserAbort;
    EXPECT_EQ(h.link.Send(h.ui, MapiMail{}), MailOutcome::kCancelled);
    EXPECT_TRUE(h.ui.boxes.empty());
  }
}

// --- Through CreateMail ---------------------------------------------------------------------

MailOutcome CreateWith(MapiHarness& h, std::string_view script, const MailRequest& m) {
  const EmailDriver driver = ParseEMailDriver(script);
  MailContext c{h.ui, h.d, RealFileOps(), driver, h.link, "MAPI", ";", [] { return kNoon; }};
  return CreateMail(c, m);
}

TEST(MapiDriver, SendOnTheFirstLineAsksForTheDialogAndNothingElseRuns) {
  MapiHarness h;
  EXPECT_EQ(CreateWith(h,
                       "$CALLPROG_START\n$MAPI SEND\n$KEY \"x\"\n$CALLPROG_END\n"
                       "$SENDMAIL_START\n$KEY \"y\"\n$SENDMAIL_END\n",
                       {"a@x.org", "Subj", "armor", ""}),
            MailOutcome::kMade);
  EXPECT_EQ(g_received.flags, 9u);
  EXPECT_EQ(g_received.note, "armor\r\n");
  EXPECT_TRUE(h.d.sent_keys.empty());

  MapiHarness plain;
  EXPECT_EQ(CreateWith(plain, "$CALLPROG_START\n$MAPI\n$CALLPROG_END\n", {"a", "s", "b", ""}),
            MailOutcome::kMade);
  EXPECT_EQ(g_received.flags, 1u);
  MapiHarness lower_send;
  EXPECT_EQ(
      CreateWith(lower_send, "$CALLPROG_START\n$MAPI send\n$CALLPROG_END\n", {"a", "s", "b", ""}),
      MailOutcome::kMade);
  EXPECT_EQ(g_received.flags, 1u);
}

TEST(MapiDriver, TheNewMailSectionRebuildsTheBody) {
  MapiHarness h;
  EXPECT_EQ(CreateWith(h,
                       "$CALLPROG_START\n$MAPI\n$CALLPROG_END\n$NEWMAIL_START\n"
                       "$PASTE \"Hello,\"\n$PASTE \"\"\n$KEY \"{TAB}\"\n$PASTELINES_START \"CR\"\n"
                       "  line one\n\n$PASTELINES_END\n$MAILTEXT\n$NEWMAIL_END\n",
                       {"a", "s", "ARMOR", ""}),
            MailOutcome::kMade);
  EXPECT_EQ(g_received.note, "Hello,\r\n  line one\r\n\r\nARMOR\r\n\r\n");
}

// --- mailto ---------------------------------------------------------------------------------

TEST(Mailto, AnEmptySubjectPutsThePartsSideBySide) {
  EXPECT_EQ(MailtoUrl("a@x.org", "", ";"), "mailto:a@x.org?Subject=&Body=");
}

TEST(Mailto, EachPartIsPercentEncoded) {
  EXPECT_EQ(MailtoUrl("a&b@x.org; c?d@y.org#", "50% off & more? #1", ";"),
            "mailto:a%26b@x.org,c%3Fd@y.org%23?Subject=50%25%20off%20%26%20more%3F%20%231&Body=");
  EXPECT_EQ(MailtoUrl("a@x.org", "caf\xC3\xA9 /\\/\\", ";"),
            "mailto:a@x.org?Subject=caf%C3%A9%20%2F%5C%2F%5C&Body=");
}

TEST(Mailto, TooLongAndRefusedLinksAreShown) {
  ScriptedDesktop d;
  RecordingUi ui;
  std::string to;
  for (int i = 0; i < 200; ++i) to += "someone" + std::to_string(i) + "@example.org;";
  EXPECT_EQ(OpenMailtoUrl(ui, d, to, "s", ";"), MailOutcome::kFailed);
  EXPECT_EQ(ui.MessageKeys(), std::vector<std::string>{"EMDriver_MailtoTooLong"});
  EXPECT_TRUE(d.opened.empty());

  d.fail_next.insert("ShellOpen");
  EXPECT_EQ(OpenMailtoUrl(ui, d, "a@x.org", "s", ";"), MailOutcome::kFailed);
  EXPECT_EQ(ui.LastBox().text,
            MessageText("EMDriver_MailtoFailed", "mailto:a@x.org?Subject=s&Body="));
}

TEST(Mailto, TheDriverOpensTheLinkThenRunsItsOtherSections) {
  MapiHarness h;
  EXPECT_EQ(CreateWith(h,
                       "$CALLPROG_START\n$MAILTO\n$PASTE \"not run\"\n$CALLPROG_END\n"
                       "$NEWMAIL_START\n$MAILTEXT\n$NEWMAIL_END\n",
                       {"a@x.org;b@y.org", "Hi there", "ARMOR", ""}),
            MailOutcome::kMade);
  EXPECT_EQ(h.d.opened,
            std::vector<std::string>{"mailto:a@x.org,b@y.org?Subject=Hi%20there&Body="});
  EXPECT_EQ(h.d.clipboard, "ARMOR");
  EXPECT_EQ(g_received.logons, 0);
}

}  // namespace
}  // namespace lq
