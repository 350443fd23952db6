// Timers, raw messages, the common file and folder dialogs, path texts, dropped files, the
// clipboard and the help file: the calls that reach past the forms into the system.
#include <windows.h>
// Declarations that need <windows.h> first.
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>

#include "formkit/fk_internal.h"

using namespace fk;

namespace {

HWND WindowOf(const char* form_name, int id) {
  Form* form = FindForm(form_name);
  if (!form) return nullptr;
  if (id == 0) return form->hwnd;
  Control* c = FindControl(form, id);
  return c ? c->hwnd : nullptr;
}

// An owner for a dialog: the form when it is given and exists, none otherwise.
HWND DialogOwner(const char* form_name) {
  if (!form_name || !*form_name) return nullptr;
  Form* form = FindFormQuiet(Upper(form_name));
  return form ? form->hwnd : nullptr;
}

// "Text Files|*.txt|All|*.*" in the dialogs' form: pairs separated by NULs, two NULs at the end.
std::wstring DialogFilter(const char* filter) {
  std::wstring out = Wide(filter);
  for (wchar_t& c : out) {
    if (c == L'|') c = L'\0';
  }
  out.push_back(L'\0');
  out.push_back(L'\0');
  return out;
}

std::wstring ProgramPath() {
  std::wstring path(32768, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(n);
  return path;
}

size_t LastSeparator(const std::string& path) { return path.find_last_of("\\/:"); }

constexpr DWORD kPathRoom = 32768;  // room for many names in a multi-selection

// Another program may hold the clipboard open for a moment (clipboard managers, a copy in
// progress): the toolkit tries again for about a second, processing events meanwhile.
constexpr DWORD kClipboardWaitMs = 1000;

// The toolkit's own window owns what it puts on the clipboard: with no owner EmptyClipboard
// leaves the clipboard without one, and SetClipboardData may then fail.
HWND ClipboardOwner() {
  Toolkit& tk = Tk();
  if (tk.clipboard_window && IsWindow(tk.clipboard_window)) return tk.clipboard_window;
  tk.clipboard_window = CreateWindowExW(0, L"STATIC", L"formkit30 clipboard", 0, 0, 0, 0, 0,
                                        HWND_MESSAGE, nullptr, nullptr, nullptr);
  return tk.clipboard_window;
}

bool OpenClipboardWaiting() {
  HWND owner = ClipboardOwner();
  DWORD start = GetTickCount();
  for (;;) {
    if (OpenClipboard(owner)) return true;
    if (GetTickCount() - start >= kClipboardWaitMs) break;
    if (!FK_DOEVENTS()) break;  // the run is ending
    Sleep(10);
  }
  return Fail("the clipboard is in use by another program");
}

// A global memory block holding `bytes` bytes of `data`; NULL when there is no memory.
HGLOBAL GlobalCopy(const void* data, size_t bytes) {
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!mem) return nullptr;
  void* p = GlobalLock(mem);
  if (!p) {
    GlobalFree(mem);
    return nullptr;
  }
  memcpy(p, data, bytes);
  GlobalUnlock(mem);
  return mem;
}

// The formats that keep a text out of clipboard history, cloud clipboard and clipboard
// monitors; each one's data is a DWORD 0.
const wchar_t* const kSecretFormats[] = {L"ExcludeClipboardContentFromMonitorProcessing",
                                         L"CanIncludeInClipboardHistory",
                                         L"CanUploadToCloudClipboard"};

}  // namespace

extern "C" {

FK_API int FK_STARTTIMER(const char* form_name, int timer_id, int milliseconds) {
  ClearError();
  Form* form = FindForm(form_name);
  if (!form) return 0;
  if (timer_id <= 0) return Fail("timer ids are positive");
  if (milliseconds < 1) return Fail("a timer needs a period of at least 1 ms");
  return SetTimer(form->hwnd, static_cast<UINT_PTR>(timer_id), static_cast<UINT>(milliseconds),
                  nullptr)
             ? 1
             : Fail("the timer could not be started");
}

FK_API int FK_STOPTIMER(const char* form_name, int timer_id) {
  ClearError();
  Form* form = FindForm(form_name);
  if (!form) return 0;
  KillTimer(form->hwnd, static_cast<UINT_PTR>(timer_id));
  return 1;
}

FK_API FK_LRESULT FK_SENDMESSAGE(const char* form_name, int id, unsigned msg, FK_WPARAM wp,
                                 FK_LPARAM lp) {
  ClearError();
  HWND hwnd = WindowOf(form_name, id);
  return hwnd ? SendMessageW(hwnd, msg, wp, lp) : 0;
}

FK_API FK_LRESULT FK_SENDMESSAGER(const char* form_name, int id, unsigned msg, FK_WPARAM wp,
                                  const char* text) {
  ClearError();
  HWND hwnd = WindowOf(form_name, id);
  if (!hwnd) return 0;
  std::wstring wide = Wide(text);
  return SendMessageW(hwnd, msg, wp, reinterpret_cast<LPARAM>(wide.c_str()));
}

FK_API int FK_POSTMESSAGE(const char* form_name, int id, unsigned msg, FK_WPARAM wp, FK_LPARAM lp) {
  ClearError();
  HWND hwnd = WindowOf(form_name, id);
  return hwnd && PostMessageW(hwnd, msg, wp, lp) ? 1 : 0;
}

FK_API int FK_OPENFILE(const char* form_name, const char* title, const char* filter,
                       const char* folder, int flags, char* buf, int size) {
  EnsureReady();
  ClearError();
  std::wstring file(kPathRoom, L'\0');
  std::wstring filters = DialogFilter(filter);
  std::wstring caption = Wide(title);
  std::wstring start = Wide(folder);
  bool multi = (flags & FK_OF_MULTISELECT) != 0;
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = DialogOwner(form_name);
  ofn.lpstrFilter = filters.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = kPathRoom;
  ofn.lpstrTitle = caption.empty() ? nullptr : caption.c_str();
  ofn.lpstrInitialDir = start.empty() ? nullptr : start.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
              OFN_NOCHANGEDIR | (multi ? OFN_ALLOWMULTISELECT : 0);
  if (!GetOpenFileNameW(&ofn)) {
    DWORD error = CommDlgExtendedError();
    if (error) Fail("the open-file dialog failed (error " + std::to_string(error) + ")");
    return PutText("", buf, size);
  }
  if (!multi) return PutText(Utf8(file.c_str()), buf, size);
  // Several names come as folder NUL name NUL name NUL NUL; a single one as a full path.
  std::string result = Utf8(file.c_str());
  const wchar_t* p = file.c_str() + wcslen(file.c_str()) + 1;
  if (*p == L'\0') {
    size_t slash = LastSeparator(result);
    std::string dir = result.substr(0, slash);
    if (dir.size() == 2 && dir[1] == ':') dir += '\\';
    result = dir + "|" + result.substr(slash + 1);
  }
  for (; *p; p += wcslen(p) + 1) result += "|" + Utf8(p);
  return PutText(result, buf, size);
}

FK_API int FK_SAVEFILE(const char* form_name, const char* title, const char* filter,
                       const char* folder, const char* default_name, const char* default_ext,
                       int flags, char* buf, int size) {
  EnsureReady();
  ClearError();
  std::wstring file(kPathRoom, L'\0');
  std::wstring name = Wide(default_name);
  name.copy(file.data(), std::min<size_t>(name.size(), kPathRoom - 1));
  std::wstring filters = DialogFilter(filter);
  std::wstring caption = Wide(title);
  std::wstring start = Wide(folder);
  std::wstring ext = Wide(default_ext);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = DialogOwner(form_name);
  ofn.lpstrFilter = filters.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = kPathRoom;
  ofn.lpstrTitle = caption.empty() ? nullptr : caption.c_str();
  ofn.lpstrInitialDir = start.empty() ? nullptr : start.c_str();
  ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
  // Whether to ask before replacing is the caller's choice: the program may ask its own question.
  ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
              ((flags & FK_SF_ASKREPLACE) ? OFN_OVERWRITEPROMPT : 0);
  if (!GetSaveFileNameW(&ofn)) {
    DWORD error = CommDlgExtendedError();
    if (error) Fail("the save-file dialog failed (error " + std::to_string(error) + ")");
    return PutText("", buf, size);
  }
  return PutText(Utf8(file.c_str()), buf, size);
}

FK_API int FK_BROWSEFOLDER(const char* form_name, const char* title, char* buf, int size) {
  EnsureReady();
  ClearError();
  std::wstring caption = Wide(title);
  BROWSEINFOW info{};
  info.hwndOwner = DialogOwner(form_name);
  info.lpszTitle = caption.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  PIDLIST_ABSOLUTE pidl = SHBrowseForFolderW(&info);
  std::string result;
  if (pidl) {
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(pidl, path)) result = Utf8(path);
    CoTaskMemFree(pidl);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return PutText(result, buf, size);
}

FK_API int FK_GETFILETEXT(const char* path, char* buf, int size) {
  std::string text = path ? path : "";
  size_t slash = LastSeparator(text);
  return PutText(slash == std::string::npos ? text : text.substr(slash + 1), buf, size);
}

FK_API int FK_GETPATHTEXT(const char* path, char* buf, int size) {
  std::string text = path ? path : "";
  size_t slash = LastSeparator(text);
  std::string folder = slash == std::string::npos ? std::string() : text.substr(0, slash + 1);
  if (!folder.empty() && folder.back() == ':') folder += '\\';
  return PutText(folder, buf, size);
}

FK_API int FK_GETAPPPATHNAME(char* buf, int size) {
  std::string path = Utf8(ProgramPath());
  size_t slash = path.find_last_of("\\/");
  return PutText(slash == std::string::npos ? std::string() : path.substr(0, slash + 1), buf, size);
}

FK_API int FK_SETDROPFILES(const char* form_name, int on) {
  ClearError();
  Form* form = FindForm(form_name);
  if (!form) return 0;
  DragAcceptFiles(form->hwnd, on ? TRUE : FALSE);
  return 1;
}

FK_API int FK_GETDROPLIST(const char* form_name, char* buf, int size) {
  ClearError();
  Form* form = FindForm(form_name);
  if (!form) return PutText("", buf, size);
  std::string list;
  for (const std::wstring& file : form->drop_list) {
    if (!list.empty()) list += '|';
    list += Utf8(file);
  }
  return PutText(list, buf, size);
}

FK_API int FK_GETCLIPBOARD(char* buf, int size) {
  ClearError();
  // The text may be a passphrase being pasted: every copy made here is wiped.
  WipedA text;
  if (OpenClipboardWaiting()) {
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      if (auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
        size_t limit = GlobalSize(data) / sizeof(wchar_t);
        text.text = Utf8(std::wstring_view(wide, wcsnlen(wide, limit)));
        GlobalUnlock(data);
      }
    }
    CloseClipboard();
  }
  return PutText(text.text, buf, size);
}

FK_API int FK_SETCLIPBOARD(const char* text) { return FK_SETCLIPBOARDEX(text, 0); }

FK_API int FK_SETCLIPBOARDEX(const char* text, int flags) {
  ClearError();
  WipedW wide{Wide(text)};
  size_t bytes = (wide.text.size() + 1) * sizeof(wchar_t);
  HGLOBAL mem = GlobalCopy(wide.text.c_str(), bytes);
  if (!mem) return Fail("out of memory for the clipboard");
  if (!OpenClipboardWaiting()) {
    SecureZeroMemory(GlobalLock(mem), bytes);
    GlobalUnlock(mem);
    GlobalFree(mem);
    return 0;
  }
  bool ok = EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, mem) != nullptr;
  if (!ok) {
    SecureZeroMemory(GlobalLock(mem), bytes);
    GlobalUnlock(mem);
    GlobalFree(mem);
  }
  if (ok && (flags & FK_CB_SECRET)) {
    const DWORD no = 0;
    for (const wchar_t* name : kSecretFormats) {
      UINT format = RegisterClipboardFormatW(name);
      HGLOBAL flag = format ? GlobalCopy(&no, sizeof(no)) : nullptr;
      if (!flag || !SetClipboardData(format, flag)) {
        if (flag) GlobalFree(flag);
        // Without the marks the secret must not stay on the clipboard at all.
        EmptyClipboard();
        ok = false;
        break;
      }
    }
    if (!ok) {
      CloseClipboard();
      return Fail("the clipboard did not take the marks that keep the text private");
    }
  }
  CloseClipboard();
  return ok ? 1 : Fail("the clipboard did not take the text");
}

FK_API int FK_WINHELP(const char* form_name, const char* file, int command, int topic) {
  ClearError();
  std::wstring path = Wide(file);
  if (path.empty()) {
    std::wstring program = ProgramPath();
    path = program.substr(0, program.find_last_of(L"\\/") + 1) + L"LOCKQUILL.HLP";
  }
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    return Fail("the help file \"" + Utf8(path) + "\" is missing");
  }
  HWND owner = DialogOwner(form_name);
  BOOL ok = command == FK_HELP_TOPIC ? WinHelpW(owner, path.c_str(), HELP_CONTEXT, topic)
                                     : WinHelpW(owner, path.c_str(), HELP_FINDER, 0);
  return ok ? 1 : Fail("the help viewer could not open \"" + Utf8(path) + "\"");
}

}  // extern "C"
