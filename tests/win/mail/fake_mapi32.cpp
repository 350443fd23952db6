// A stand-in for mapi32.dll that records what a program hands to Simple MAPI: the calls, the
// flags, the recipients, the attachments with their positions and the whole note text, as one
// text the test reads back through LqFakeMapiLog. Built twice: with MAPISendMailW and, for the
// ANSI records, without it (LQ_FAKE_NO_WIDE).
#include <windows.h>

#include <cstdint>
#include <string>

namespace {

std::string g_log;
uint32_t g_logon_code = 0, g_send_code = 0;
ULONG_PTR g_session = 0x5150;

struct RecipA {
  ULONG ulReserved, ulRecipClass;
  LPSTR lpszName, lpszAddress;
  ULONG ulEIDSize;
  LPVOID lpEntryID;
};
struct FileA {
  ULONG ulReserved, flFlags, nPosition;
  LPSTR lpszPathName, lpszFileName;
  LPVOID lpFileType;
};
struct MessageA {
  ULONG ulReserved;
  LPSTR lpszSubject, lpszNoteText, lpszMessageType, lpszDateReceived, lpszConversationID;
  ULONG flFlags;
  RecipA* lpOriginator;
  ULONG nRecipCount;
  RecipA* lpRecips;
  ULONG nFileCount;
  FileA* lpFiles;
};
struct RecipW {
  ULONG ulReserved, ulRecipClass;
  LPWSTR lpszName, lpszAddress;
  ULONG ulEIDSize;
  LPVOID lpEntryID;
};
struct FileW {
  ULONG ulReserved, flFlags, nPosition;
  LPWSTR lpszPathName, lpszFileName;
  LPVOID lpFileType;
};
struct MessageW {
  ULONG ulReserved;
  LPWSTR lpszSubject, lpszNoteText, lpszMessageType, lpszDateReceived, lpszConversationID;
  ULONG flFlags;
  RecipW* lpOriginator;
  ULONG nRecipCount;
  RecipW* lpRecips;
  ULONG nFileCount;
  FileW* lpFiles;
};

std::string Text(LPCSTR s) { return s ? std::string(s) : std::string("(null)"); }
std::string Text(LPCWSTR s) {
  if (!s) return "(null)";
  const int n = WideCharToMultiByte(CP_UTF8, 0, s, -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, s, -1, out.data(), n, nullptr, nullptr);
  return out;
}
// Characters of the note as the library counts them.
size_t Length(LPCSTR s) { return s ? lstrlenA(s) : 0; }
size_t Length(LPCWSTR s) { return s ? lstrlenW(s) : 0; }

template <class Message>
void Record(const char* entry, ULONG_PTR session, ULONG_PTR ui, const Message* m, ULONG flags) {
  g_log += std::string(entry) + " session=" + std::to_string(session) +
           " ui=" + std::to_string(ui) + " flags=" + std::to_string(flags) + "\n";
  g_log += "subject=" + Text(m->lpszSubject) + "\n";
  g_log += "date=" + Text(m->lpszDateReceived) + "\n";
  g_log += "type=" + Text(m->lpszMessageType) +
           " originator=" + std::string(m->lpOriginator ? "set" : "null") + "\n";
  for (ULONG i = 0; i < m->nRecipCount; ++i) {
    g_log += "recipient class=" + std::to_string(m->lpRecips[i].ulRecipClass) +
             " name=" + Text(m->lpRecips[i].lpszName) +
             " address=" + Text(m->lpRecips[i].lpszAddress) + "\n";
  }
  for (ULONG i = 0; i < m->nFileCount; ++i) {
    g_log += "file position=" + std::to_string(m->lpFiles[i].nPosition) +
             " path=" + Text(m->lpFiles[i].lpszPathName) +
             " name=" + Text(m->lpFiles[i].lpszFileName) + "\n";
  }
  g_log += "note_length=" + std::to_string(Length(m->lpszNoteText)) + "\n";
  g_log += "note=" + Text(m->lpszNoteText) + "\n";
}

}  // namespace

extern "C" {

__declspec(dllexport) ULONG WINAPI
    MAPILogon(ULONG_PTR ui, LPSTR profile, LPSTR password, ULONG flags, ULONG, ULONG_PTR* session) {
  g_log += "MAPILogon ui=" + std::to_string(ui) + " profile=" + Text(profile) +
           " password=" + Text(password) + " flags=" + std::to_string(flags) + "\n";
  *session = g_logon_code == 0 ? g_session : 0;
  return g_logon_code;
}

__declspec(dllexport) ULONG WINAPI MAPILogoff(ULONG_PTR session, ULONG_PTR, ULONG, ULONG) {
  g_log += "MAPILogoff session=" + std::to_string(session) + "\n";
  return 0;
}

__declspec(dllexport) ULONG WINAPI
    MAPISendMail(ULONG_PTR session, ULONG_PTR ui, MessageA* m, ULONG flags, ULONG) {
  Record("MAPISendMail", session, ui, m, flags);
  return g_send_code;
}

#ifndef LQ_FAKE_NO_WIDE
__declspec(dllexport) ULONG WINAPI
    MAPISendMailW(ULONG_PTR session, ULONG_PTR ui, MessageW* m, ULONG flags, ULONG) {
  Record("MAPISendMailW", session, ui, m, flags);
  return g_send_code;
}
#endif

// The test's side: what was received, and the answers of the next calls.
__declspec(dllexport) const char* WINAPI LqFakeMapiLog() { return g_log.c_str(); }
__declspec(dllexport) void WINAPI LqFakeMapiReset(ULONG logon_code, ULONG send_code) {
  g_log.clear();
  g_logon_code = logon_code;
  g_send_code = send_code;
}

}  // extern "C"
