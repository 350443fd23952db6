// The second-thread driver of the lqdesk tests: real window messages from outside the program.
#include "lqdesk_driver.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "base/winstr_win32.h"
#include "gui/form_main.h"
#include "gui/form_passphrase.h"
#include "keys/keyfile.h"
#include "support/recording_ui.h"

namespace lqtest {

namespace {

struct FindState {
  std::wstring caption;
  const wchar_t* class_name;
  HWND found = nullptr;
};

BOOL CALLBACK FindTop(HWND hwnd, LPARAM lp) {
  auto* st = reinterpret_cast<FindState*>(lp);
  if (!IsWindowVisible(hwnd)) return TRUE;
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  if (wcscmp(cls, st->class_name) != 0) return TRUE;
  wchar_t title[256] = {};
  GetWindowTextW(hwnd, title, 256);
  if (st->caption.empty() || st->caption == title) {
    st->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND WaitTop(const std::wstring& caption, const wchar_t* class_name, int timeout_ms) {
  DWORD end = GetTickCount() + static_cast<DWORD>(timeout_ms);
  do {
    FindState st{caption, class_name};
    EnumWindows(FindTop, reinterpret_cast<LPARAM>(&st));
    if (st.found) return st.found;
    Sleep(20);
  } while (static_cast<int>(end - GetTickCount()) > 0);
  return nullptr;
}

template <typename F>
bool WaitFor(F done, int timeout_ms) {
  DWORD end = GetTickCount() + static_cast<DWORD>(timeout_ms);
  do {
    if (done()) return true;
    Sleep(20);
  } while (static_cast<int>(end - GetTickCount()) > 0);
  return done();
}

}  // namespace

HWND WaitForm(const std::wstring& caption, int timeout_ms) {
  return WaitTop(caption, L"FormKit30Form", timeout_ms);
}

HWND WaitMessageBox(int timeout_ms) { return WaitTop(L"Lockquill V1.0", L"#32770", timeout_ms); }

std::wstring MessageBoxText(HWND box) { return Text(GetDlgItem(box, 0xFFFF)); }

void Answer(HWND box, int button) {
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
  WaitGone(box, 10000);
}

bool WaitGone(HWND hwnd, int timeout_ms) {
  return WaitFor([&] { return !IsWindow(hwnd); }, timeout_ms);
}

bool WaitHidden(HWND hwnd, int timeout_ms) {
  return WaitFor([&] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); }, timeout_ms);
}

bool WaitVisible(HWND hwnd, int timeout_ms) {
  return WaitFor([&] { return IsWindow(hwnd) && IsWindowVisible(hwnd); }, timeout_ms);
}

void Type(HWND control, const std::wstring& text) {
  for (wchar_t c : text) SendMessageW(control, WM_CHAR, c, 1);
}

void Key(HWND control, int vk) {
  SendMessageW(control, WM_KEYDOWN, static_cast<WPARAM>(vk), 1);
  SendMessageW(control, WM_KEYUP, static_cast<WPARAM>(vk), 0xC0000001);
}

void Click(HWND form, int id) { PostMessageW(GetDlgItem(form, id), BM_CLICK, 0, 0); }

void Menu(HWND form, int id) { PostMessageW(form, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

std::wstring Text(HWND hwnd) {
  if (!hwnd) return L"";
  int n = static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  SendMessageW(hwnd, WM_GETTEXT, s.size(), reinterpret_cast<LPARAM>(s.data()));
  s.resize(wcslen(s.c_str()));
  return s;
}

HWND Control(HWND form, int id) { return GetDlgItem(form, id); }

void RunWithDriver(const lq::gui::DeskOptions& options, const std::function<void()>& driver) {
  const DWORD gui_thread = GetCurrentThreadId();
  std::thread t([&] {
    driver();
    fflush(stdout);
    // A driver that stopped early (a failed assertion) leaves the program running: answer what
    // it still asks and end the run, so the next test starts clean.
    for (int i = 0; i < 200 && lq::gui::CurrentDesk() != nullptr; ++i) {
      if (HWND box = WaitMessageBox(50)) PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
      PostThreadMessageW(gui_thread, WM_QUIT, 1, 0);
      Sleep(50);
    }
  });
  lq::gui::RunDesk(options);
  t.join();
  // A quit request the run did not need must not reach the next test's run.
  MSG msg;
  while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

std::string FreshFolder(const std::string& name) {
  wchar_t tmp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, tmp);
  std::string folder =
      lq::Utf8FromWide(tmp) + "lqdesk-" + name + "-" + std::to_string(GetCurrentProcessId()) + "\\";
  std::wstring wide = lq::WideFromUtf8(folder);
  // Start empty: remove what an earlier run left.
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((wide + L"*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        DeleteFileW((wide + fd.cFileName).c_str());
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  CreateDirectoryW(wide.c_str(), nullptr);
  return folder;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesW(lq::WideFromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(lq::WideFromUtf8(path).c_str(), std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

bool SaveWindowPicture(HWND hwnd, const std::string& path) {
  RECT r{};
  if (!GetWindowRect(hwnd, &r)) return false;
  int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(mem, old);
  int row = (w * 3 + 3) & ~3;
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(fh) + sizeof(bi.bmiHeader);
  fh.bfSize = fh.bfOffBits + static_cast<DWORD>(row * h);
  bi.bmiHeader.biSizeImage = static_cast<DWORD>(row * h);
  std::ofstream out(lq::WideFromUtf8(path).c_str(), std::ios::binary);
  out.write(reinterpret_cast<const char*>(&fh), sizeof(fh));
  out.write(reinterpret_cast<const char*>(&bi.bmiHeader), sizeof(bi.bmiHeader));
  out.write(static_cast<const char*>(bits), row * h);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return out.good();
}

std::string ScreenshotFolder() {
  const char* dir = std::getenv("LQ_SCREENSHOTS");
  if (!dir || !*dir) return {};
  std::string d = dir;
  if (d.back() != '\\' && d.back() != '/') d += '\\';
  return d;
}

namespace {

BOOL CALLBACK DumpWindow(HWND hwnd, LPARAM) {
  wchar_t cls[64] = {}, title[256] = {};
  GetClassNameW(hwnd, cls, 64);
  GetWindowTextW(hwnd, title, 256);
  if (IsWindowVisible(hwnd)) {
    fprintf(stderr, "window %p class %ls title %ls\n", static_cast<void*>(hwnd), cls, title);
  }
  return TRUE;
}

}  // namespace

std::string MakeKeyfile(const std::string& folder, const std::string& passphrase) {
  const std::string path = folder + "Keyfile.lqk";
  lq::test::RecordingUi ui;
  lq::ChangePassphraseReply reply;
  reply.new_text = reply.retyped = passphrase;
  ui.change_replies.push_back(reply);
  lq::RandomContext random;
  lq::Keyfile kf(ui, random);
  if (lq::CreateNewKeyfile(kf, path) != 0 || lq::CloseKeyfile(kf) != 0) {
    fprintf(stderr, "could not make the keyfile %s\n", path.c_str());
  }
  return path;
}

HWND WaitFormWith(int first_id, int second_id, int timeout_ms) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(timeout_ms);
  while (static_cast<int>(end - GetTickCount()) > 0) {
    HWND form = WaitForm(L"Lockquill V1.0", 200);
    if (form && Control(form, first_id) && Control(form, second_id)) return form;
    Sleep(20);
  }
  EnumWindows(DumpWindow, 0);
  return nullptr;
}

HWND WaitMain(int timeout_ms) {
  return WaitFormWith(lq::gui::main_ctl::kTabs, lq::gui::main_ctl::kLog, timeout_ms);
}

HWND OpenWithPassphrase(const std::wstring& passphrase) {
  HWND dlg = WaitFormWith(lq::gui::pass_ctl::kNew, lq::gui::pass_ctl::kHide);
  if (!dlg) return nullptr;
  Type(Control(dlg, lq::gui::pass_ctl::kNew), passphrase);
  Click(dlg, lq::gui::pass_ctl::kOk);
  WaitGone(dlg);
  return WaitMain();
}

std::vector<std::wstring> ListItems(HWND list) {
  std::vector<std::wstring> items;
  const int n = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    std::wstring item(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item.data()));
    item.resize(wcslen(item.c_str()));
    items.push_back(item);
  }
  return items;
}

void SavePicture(HWND hwnd, const std::string& name) {
  Sleep(400);  // let it paint
  const std::string folder = ScreenshotFolder();
  if (!folder.empty()) SaveWindowPicture(hwnd, folder + name + ".bmp");
}

}  // namespace lqtest
