// Self-extracting programs under Wine, end to end: lqdesk's SELFEXTR dialog builds a program
// from text and two files; the program runs as a separate process with a temporary folder of
// the test's own, and its viewer is driven with real window messages (wrong then right
// passphrase, the hide switch, the folder, files saved with their times) until nothing of it is
// left in the temporary folder. Two programs run at once; a bare launcher and a broken one end
// with -1 and start nothing. Pictures of SELFEXTR and SEEXE go to LQ_SCREENSHOTS.
#include <windows.h>
// After windows.h.
#include <gtest/gtest.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "base/catalogue.h"
#include "base/winstr_win32.h"
#include "crypto/lzss.h"
#include "crypto/random.h"
#include "gui/desk.h"
#include "keys/keyfile.h"
#include "lqdesk_driver.h"
#include "packet/packet_records.h"
#include "packet/passphrase_packet.h"
#include "selfextract/builder.h"
#include "selfextract/container.h"
#include "support/recording_ui.h"
#include "sxview/form_seexe.h"

namespace {

using namespace lqtest;
namespace sx = lq::sxview::seexe_ctl;
namespace se = lq::gui::selfextr_ctl;
namespace pass = lq::gui::pass_ctl;

const std::wstring kViewerCaption = L"Lockquill Self-extracting packet";
const std::wstring kLauncherCaption = L"Self-extractor - launcher";
const lq::LocalTime kWritten{2019, 6, 7, 8, 9, 10};
const lq::LocalTime kCreated{2018, 1, 2, 3, 4, 6};

std::string W(const std::wstring& s) { return lq::Utf8FromWide(s); }

// The folder of this test program, where the build puts sxlaunch, sxview and formkit30 too.
std::string BinFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return W(p.substr(0, p.find_last_of(L'\\') + 1));
}

void Put(const std::string& path, std::string_view data) {
  ASSERT_EQ(lq::ReplaceWholeFile(path, data), lq::fe::kOk) << path;
}

// A fresh empty folder under the temporary folder, whatever an earlier run (one that was
// ended half-way) left in it.
std::string EmptyFolder(const std::string& name) {
  const std::string folder = FreshFolder(name);
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(lq::WideFromUtf8(folder), ec)) {
    std::filesystem::remove_all(entry.path(), ec);
  }
  return folder;
}

// The entries of a folder (files and folders), without "." and "..".
std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(lq::WideFromUtf8(folder + "*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring n = fd.cFileName;
    if (n != L"." && n != L"..") names.push_back(W(n));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

// --- A self-extracting program as a separate process -------------------------------------------

// A program under test with the processes it starts (the launcher starts the viewer) in a job
// of their own: a test that fails half-way ends them all, so no viewer window is left to
// confuse the tests after it.
struct Child {
  PROCESS_INFORMATION pi{};
  HANDLE job = nullptr;
  DWORD pid() const { return pi.dwProcessId; }
  Child() = default;
  explicit Child(PROCESS_INFORMATION p) : pi(p) {}
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (job) {
      TerminateJobObject(job, 98);
      CloseHandle(job);
    }
    if (pi.hProcess) {
      TerminateProcess(pi.hProcess, 98);
      CloseHandle(pi.hThread);
      CloseHandle(pi.hProcess);
    }
  }
};

// Starts `program` with TEMP and TMP pointing at `temp`, so that what it unpacks is the test's
// to see.
bool Start(const std::string& program, const std::string& temp, Child& child) {
  std::wstring env;
  wchar_t* block = GetEnvironmentStringsW();
  for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
    std::wstring entry = p;
    std::wstring upper = entry;
    for (wchar_t& c : upper) c = static_cast<wchar_t>(towupper(c));
    if (upper.rfind(L"TEMP=", 0) == 0 || upper.rfind(L"TMP=", 0) == 0) continue;
    env += entry;
    env += L'\0';
  }
  FreeEnvironmentStringsW(block);
  const std::wstring t = lq::WideFromUtf8(temp);
  env += L"TEMP=" + t + L'\0' + L"TMP=" + t + L'\0' + L'\0';
  std::wstring command = L"\"" + lq::WideFromUtf8(program) + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  if (!CreateProcessW(lq::WideFromUtf8(program).c_str(), command.data(), nullptr, nullptr, FALSE,
                      CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED, env.data(), nullptr, &si,
                      &child.pi)) {
    return false;
  }
  child.job = CreateJobObjectW(nullptr, nullptr);
  if (child.job) AssignProcessToJobObject(child.job, child.pi.hProcess);
  ResumeThread(child.pi.hThread);
  return true;
}

DWORD Finish(Child& child, int timeout_ms = 60000) {
  DWORD code = 12345;
  if (WaitForSingleObject(child.pi.hProcess, static_cast<DWORD>(timeout_ms)) != WAIT_OBJECT_0) {
    TerminateProcess(child.pi.hProcess, 99);
    WaitForSingleObject(child.pi.hProcess, 5000);
  }
  GetExitCodeProcess(child.pi.hProcess, &code);
  CloseHandle(child.pi.hThread);
  CloseHandle(child.pi.hProcess);
  child.pi = {};
  return code;
}

struct TopSearch {
  DWORD pid;  // 0: any process
  const wchar_t* class_name;
  std::wstring caption;  // empty: any
  bool need_tree;        // the folder dialog: has a tree view
  HWND found = nullptr;
};

BOOL CALLBACK FindTopOf(HWND hwnd, LPARAM lp) {
  auto* st = reinterpret_cast<TopSearch*>(lp);
  if (!IsWindowVisible(hwnd)) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (st->pid != 0 && pid != st->pid) return TRUE;
  wchar_t cls[64] = {}, title[256] = {};
  GetClassNameW(hwnd, cls, 64);
  GetWindowTextW(hwnd, title, 256);
  if (wcscmp(cls, st->class_name) != 0) return TRUE;
  if (!st->caption.empty() && st->caption != title) return TRUE;
  if (st->need_tree && !FindWindowExW(hwnd, nullptr, L"SysTreeView32", nullptr)) {
    // The new-style folder dialog keeps its tree one level down.
    HWND inner = FindWindowExW(hwnd, nullptr, nullptr, nullptr);
    bool tree = false;
    for (; inner && !tree; inner = FindWindowExW(hwnd, inner, nullptr, nullptr)) {
      tree = FindWindowExW(inner, nullptr, L"SysTreeView32", nullptr) != nullptr;
    }
    if (!tree) return TRUE;
  }
  st->found = hwnd;
  return FALSE;
}

HWND WaitTopOf(DWORD pid, const wchar_t* cls, const std::wstring& caption, int timeout_ms,
               bool need_tree = false) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(timeout_ms);
  do {
    TopSearch st{pid, cls, caption, need_tree};
    EnumWindows(FindTopOf, reinterpret_cast<LPARAM>(&st));
    if (st.found) return st.found;
    Sleep(30);
  } while (static_cast<int>(end - GetTickCount()) > 0);
  return nullptr;
}

struct AnySearch {
  DWORD pid;
  bool any = false;
};

BOOL CALLBACK FindAnyOf(HWND h, LPARAM lp) {
  auto* st = reinterpret_cast<AnySearch*>(lp);
  DWORD p = 0;
  GetWindowThreadProcessId(h, &p);
  if (p == st->pid && IsWindowVisible(h)) st->any = true;
  return TRUE;
}

// Whether the process shows any window.
bool AnyTopOf(DWORD pid) {
  AnySearch s{pid};
  EnumWindows(FindAnyOf, reinterpret_cast<LPARAM>(&s));
  return s.any;
}

BOOL CALLBACK CollectViewers(HWND h, LPARAM lp) {
  wchar_t title[128] = {};
  GetWindowTextW(h, title, 128);
  if (IsWindowVisible(h) && kViewerCaption == title) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
  }
  return TRUE;
}

template <typename F>
bool Eventually(F done, int timeout_ms = 30000) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(timeout_ms);
  while (!done()) {
    if (static_cast<int>(end - GetTickCount()) <= 0) return false;
    Sleep(30);
  }
  return true;
}

// Copies bytes into another process's memory; nullptr on failure.
void* RemoteCopy(HANDLE process, const void* data, size_t bytes) {
  void* remote = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (remote && !WriteProcessMemory(process, remote, data, bytes, nullptr)) return nullptr;
  return remote;
}

// The folder dialog's tree, which may sit one level down.
HWND TreeOf(HWND dialog) {
  if (HWND tree = FindWindowExW(dialog, nullptr, L"SysTreeView32", nullptr)) return tree;
  for (HWND inner = FindWindowExW(dialog, nullptr, nullptr, nullptr); inner;
       inner = FindWindowExW(dialog, inner, nullptr, nullptr)) {
    if (HWND tree = FindWindowExW(inner, nullptr, L"SysTreeView32", nullptr)) return tree;
  }
  return nullptr;
}

// The text of the tree's selected item in another process, read through memory of that
// process (a TVITEMW and its text buffer).
std::wstring SelectedTreeText(HANDLE process, HWND tree) {
  const auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (!item) return {};
  constexpr size_t kChars = 260;
  auto* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, sizeof(TVITEMW) + kChars * 2,
                                                   MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!remote) return {};
  TVITEMW tv{};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(TVITEMW));
  tv.cchTextMax = kChars;
  wchar_t text[kChars] = {};
  if (WriteProcessMemory(process, remote, &tv, sizeof tv, nullptr) &&
      SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote))) {
    ReadProcessMemory(process, remote + sizeof(TVITEMW), text, sizeof text - 2, nullptr);
  }
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  return text;
}

// Chooses `folder` in another process's folder dialog: BFFM_SETSELECTION with the path in that
// process's memory, repeated until the dialog's tree shows the folder selected (a dialog still
// setting itself up drops an early request), then OK. Under Wine a dialog that is still setting
// itself up may also close and come back once: every dialog that comes is answered, until none
// comes for a while.
bool AnswerFolderDialog(DWORD pid, const std::string& folder) {
  HANDLE process =
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ, FALSE, pid);
  if (!process) return false;
  const std::wstring path = lq::WideFromUtf8(folder);
  const std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
  void* remote_path = RemoteCopy(process, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
  int answered = 0;
  bool failed = false;
  for (HWND dialog = WaitTopOf(pid, L"#32770", L"", 30000, true); dialog && !failed;
       dialog = WaitTopOf(pid, L"#32770", L"", 2000, true)) {
    bool chosen = false;
    for (int i = 0; i < 100 && !chosen && IsWindow(dialog); ++i) {
      SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(remote_path));
      Sleep(100);
      chosen = _wcsicmp(SelectedTreeText(process, TreeOf(dialog)).c_str(), name.c_str()) == 0;
    }
    if (!chosen && IsWindow(dialog)) {
      fprintf(stderr, "the folder dialog shows \"%ls\" selected, not \"%ls\"\n",
              SelectedTreeText(process, TreeOf(dialog)).c_str(), name.c_str());
      failed = true;
      break;
    }
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    failed = !WaitGone(dialog, 10000);
    ++answered;
  }
  CloseHandle(process);
  return answered > 0 && !failed;
}

lq::LocalTime FileWritten(const std::string& path) {
  lq::LocalTime written, created;
  lq::ReadFileTimes(path, written, created);
  return written;
}

// A program built here from the real launcher, viewer and toolkit of the build.
std::string BuildProgram(const std::string& folder, const std::string& name,
                         const std::string& note, const std::string& text,
                         const std::string& passphrase,
                         const std::vector<std::string>& attachments = {}) {
  lq::test::RecordingUi ui;
  lq::RandomContext random;
  lq::Keyfile kf(ui, random);
  lq::PacketSession s(ui, random, kf);
  s.attachments = attachments;
  const lq::Bytes packet = lq::Compose_PassphrasePacket(s, note, text, passphrase);
  const std::string out = folder + name;
  EXPECT_EQ(lq::WriteSelfExtractor(ui, lq::RealFileOps(), lq::ProgramsIn(BinFolder()), packet, out),
            lq::kSelfExtractorWritten);
  return out;
}

void Picture(HWND hwnd, const char* name) {
  Sleep(500);  // let it paint
  const std::string folder = ScreenshotFolder();
  if (!folder.empty()) SaveWindowPicture(hwnd, folder + name + ".bmp");
}

BOOL CALLBACK DumpWindow(HWND hwnd, LPARAM) {
  wchar_t cls[64] = {}, title[256] = {};
  GetClassNameW(hwnd, cls, 64);
  GetWindowTextW(hwnd, title, 256);
  if (IsWindowVisible(hwnd)) {
    fprintf(stderr, "window %p class %ls title %ls enabled %d\n", static_cast<void*>(hwnd), cls,
            title, IsWindowEnabled(hwnd));
  }
  return TRUE;
}

// Answers an in-process save dialog with `path` until it takes the answer (a dialog still
// setting itself up loses an answer given too early).
bool AnswerSaveDialog(const std::string& path) {
  const DWORD pid = GetCurrentProcessId();
  HWND dialog = WaitTopOf(pid, L"#32770", L"Save file as", 30000);
  if (!dialog) return false;
  for (int i = 0; i < 60; ++i) {
    HWND name = GetDlgItem(dialog, 1148);
    HWND edit = FindWindowExW(name, nullptr, L"Edit", nullptr);
    SetWindowTextW(edit ? edit : name, lq::WideFromUtf8(path).c_str());
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    WaitGone(dialog, 500);
    // Gone for good only when no such dialog comes back for a while.
    dialog = WaitTopOf(pid, L"#32770", L"Save file as", 1500);
    if (!dialog) return true;
  }
  return false;
}

// Ends this test program as soon as gtest has printed its summary. Under Wine the program
// sometimes faulted while it tore itself down after the last test (with lqdesk's forms and the
// toolkit library unloading), and the crash dialog then held the test run until its time ran
// out although every result had been printed.
class ExitWhenDone : public ::testing::EmptyTestEventListener {
  void OnTestProgramEnd(const ::testing::UnitTest& unit) override {
    fflush(stdout);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), unit.Passed() ? 0 : 1);
  }
};
const bool g_exit_when_done = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new ExitWhenDone);
  return true;
}();

// The program lqdesk builds in the first test, for the ones that run it.
std::string g_lqdesk_program;
std::string g_work;

class SelfExtractorWine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { g_work = FreshFolder("sfx"); }
};

TEST_F(SelfExtractorWine, LqdeskDialogBuildsAProgramFromTextAndTwoFiles) {
  const std::string program_folder = FreshFolder("sfx-desk");
  for (const char* name : {"sxlaunch.exe", "sxview.exe", "formkit30.dll"}) {
    ASSERT_TRUE(CopyFileW(lq::WideFromUtf8(BinFolder() + name).c_str(),
                          lq::WideFromUtf8(program_folder + name).c_str(), FALSE));
  }
  MakeKeyfile(program_folder, "desk");
  const std::string a = g_work + "report.txt", b = g_work + "photo.bin";
  Put(a, "the report\r\n");
  Put(b, std::string(70000, '\x01') + "end");
  ASSERT_TRUE(lq::WriteFileTimes(a, kWritten, kCreated));
  ASSERT_TRUE(lq::WriteFileTimes(b, kWritten, kCreated));
  const std::string out = g_work + "FromDesk.exe";
  lq::gui::DeskOptions options;
  options.program_folder = program_folder;
  options.after_start = [&](lq::gui::Desk& desk) {
    lq::gui::ShowSelfExtractorForm(desk, "Hello from the desktop program", {a, b});
  };
  std::wstring no_passphrase, mismatch, build_message;
  bool saved_dialog = false;
  RunWithDriver(options, [&] {
    HWND dlg = nullptr;
    ASSERT_TRUE(Eventually([&] {
      dlg = WaitForm(L"Lockquill V1.0", 200);
      return dlg && Control(dlg, pass::kNew) && Control(dlg, pass::kHide);
    }));
    Type(Control(dlg, pass::kNew), L"desk");
    Click(dlg, pass::kOk);
    HWND form = WaitForm(L"Create Self-extracting exe");
    ASSERT_NE(form, nullptr);
    SetWindowTextW(Control(form, se::kNote), L"Call me for the passphrase.");
    Picture(form, "selfextr");
    Eventually([&] { return IsWindowEnabled(form) != 0; });
    Click(form, se::kSave);  // no passphrase yet
    HWND box = WaitMessageBox();
    ASSERT_NE(box, nullptr);
    no_passphrase = MessageBoxText(box);
    Answer(box, IDOK);
    Eventually([&] { return IsWindowEnabled(form) != 0; });
    Click(form, se::kEnterPassphrase);
    HWND change = WaitForm(L"Lockquill V1.0 - Change passphrase");
    ASSERT_NE(change, nullptr);
    Picture(change, "selfextr-passphrase");
    Type(Control(change, pass::kNew), L"open sesame");
    Type(Control(change, pass::kRetype), L"open sesamE");
    Click(change, pass::kOk);
    box = WaitMessageBox();
    ASSERT_NE(box, nullptr);
    mismatch = MessageBoxText(box);
    Answer(box, IDOK);
    change = WaitForm(L"Lockquill V1.0 - Change passphrase");
    ASSERT_NE(change, nullptr);
    Type(Control(change, pass::kNew), L"open sesame");
    Type(Control(change, pass::kRetype), L"open sesame");
    Click(change, pass::kOk);
    WaitGone(change);
    Eventually([&] { return IsWindowEnabled(form) != 0; });
    Click(form, se::kSave);
    saved_dialog = AnswerSaveDialog(out);
    // A message here means the build failed: say which, for the failure report.
    if (HWND failed = WaitMessageBox(2000)) {
      build_message = MessageBoxText(failed);
      Answer(failed, IDOK);
    }
    if (!WaitGone(form, 60000)) {
      EnumWindows(DumpWindow, 0);
      if (lq::gui::Desk* desk = lq::gui::CurrentDesk()) {
        for (const std::string& line : desk->ui.log_lines())
          fprintf(stderr, "log: %s\n", line.c_str());
      }
    }
    HWND main = WaitForm(L"Lockquill V1.0");
    if (main) PostMessageW(main, WM_CLOSE, 0, 0);
    WaitGone(main, 20000);
  });
  EXPECT_EQ(W(no_passphrase), lq::MessageText("EnDec_NoPassphrase"));
  EXPECT_EQ(W(mismatch), lq::MessageText("Keyfile_Passphrases_not_identical"));
  EXPECT_TRUE(saved_dialog);
  EXPECT_EQ(build_message, L"");
  ASSERT_TRUE(FileExists(out)) << W(build_message);
  const std::string file = ReadFile(out);
  lq::DataBlockFields f;
  ASSERT_EQ(lq::ReadDataBlock(file, f), lq::TailStatus::kOk);
  EXPECT_EQ(file.substr(0, 2), "MZ");
  g_lqdesk_program = out;
}

TEST_F(SelfExtractorWine, TheProgramGivesBackTextAndFilesAndLeavesNothingBehind) {
  ASSERT_FALSE(g_lqdesk_program.empty()) << "the lqdesk test made no program";
  const std::string temp = EmptyFolder("sfx-temp");
  const std::string store = EmptyFolder("sfx-store");
  Child child;
  ASSERT_TRUE(Start(g_lqdesk_program, temp, child));
  HWND viewer = WaitTopOf(0, L"FormKit30Form", kViewerCaption, 60000);
  ASSERT_NE(viewer, nullptr);
  // The viewer runs from a folder of the launcher's own in the temporary folder.
  const std::vector<std::string> unpacked = Entries(temp);
  ASSERT_EQ(unpacked.size(), 1u);
  EXPECT_EQ(unpacked[0].rfind("LQSX", 0), 0u);
  EXPECT_EQ(Entries(temp + unpacked[0] + "\\"),
            (std::vector<std::string>{"Data.txt", "FORMKIT30.dll", "exe.exe"}));
  DWORD viewer_pid = 0;
  GetWindowThreadProcessId(viewer, &viewer_pid);
  EXPECT_NE(viewer_pid, child.pid());

  EXPECT_TRUE(Eventually([&] {
    return Text(Control(viewer, sx::kNote)) == L"Call me for the passphrase.\r\n" ||
           Text(Control(viewer, sx::kNote)) == L"Call me for the passphrase.";
  })) << W(Text(Control(viewer, sx::kNote)));
  EXPECT_EQ(W(Text(Control(viewer, sx::kIntro))), lq::kViewerIntro);
  Picture(viewer, "seexe");

  // A wrong passphrase: the message, the boxes emptied, the note still there.
  Type(Control(viewer, sx::kMasked), L"open sesamE");
  Click(viewer, sx::kEnter);
  HWND box = WaitTopOf(viewer_pid, L"#32770", L"Lockquill V1.0", 30000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(W(MessageBoxText(box)), lq::MessageText("EnDec_WrongPassphrase"));
  Answer(box, IDOK);
  EXPECT_EQ(Text(Control(viewer, sx::kMasked)), L"");
  EXPECT_NE(Text(Control(viewer, sx::kNote)).find(L"Call me"), std::wstring::npos);

  // Half the passphrase hidden, the switch, the rest in plain sight.
  Type(Control(viewer, sx::kMasked), L"open ");
  Click(viewer, sx::kHide);
  EXPECT_TRUE(Eventually([&] { return IsWindowVisible(Control(viewer, sx::kPlain)) != 0; }));
  EXPECT_EQ(Text(Control(viewer, sx::kPlain)), L"open ");
  EXPECT_EQ(Text(Control(viewer, sx::kMasked)), L"");
  Type(Control(viewer, sx::kPlain), L"sesame");
  Click(viewer, sx::kEnter);
  HWND folder_dialog = WaitTopOf(viewer_pid, L"#32770", L"", 30000, true);
  ASSERT_NE(folder_dialog, nullptr);
  Picture(folder_dialog, "seexe-folder");
  ASSERT_TRUE(AnswerFolderDialog(viewer_pid, store.substr(0, store.size() - 1)));
  EXPECT_TRUE(Eventually([&] {
    return Text(Control(viewer, sx::kNote)).find(L"Hello from the desktop program") == 0;
  })) << W(Text(Control(viewer, sx::kNote)));
  EXPECT_EQ(W(Text(Control(viewer, sx::kDateLine))).rfind("Packet was encrypted at: ", 0), 0u);
  EXPECT_EQ(Text(Control(viewer, sx::kPlain)), L"");
  Picture(viewer, "seexe-opened");
  ASSERT_TRUE(Eventually([&] { return FileExists(store + "photo.bin"); }));
  EXPECT_EQ(ReadFile(store + "report.txt"), "the report\r\n");
  EXPECT_EQ(ReadFile(store + "photo.bin"), std::string(70000, '\x01') + "end");
  for (const char* name : {"report.txt", "photo.bin"}) {
    const lq::LocalTime t = FileWritten(store + name);
    EXPECT_EQ(t.year, kWritten.year) << name;
    EXPECT_EQ(t.month, kWritten.month) << name;
    EXPECT_EQ(t.day, kWritten.day) << name;
    EXPECT_EQ(t.hour, kWritten.hour) << name;
    EXPECT_EQ(t.minute, kWritten.minute) << name;
  }

  // The text goes to the clipboard marked as private.
  Click(viewer, sx::kCopy);
  std::wstring clip;
  bool secret = false;
  EXPECT_TRUE(Eventually([&] {
    if (!OpenClipboard(nullptr)) return false;
    clip.clear();
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
      clip = static_cast<const wchar_t*>(GlobalLock(h));
      GlobalUnlock(h);
    }
    secret = IsClipboardFormatAvailable(
                 RegisterClipboardFormatW(L"ExcludeClipboardContentFromMonitorProcessing")) != 0;
    CloseClipboard();
    return clip.find(L"Hello from the desktop program") == 0;
  })) << W(clip);
  EXPECT_TRUE(secret);

  Click(viewer, sx::kExit);
  EXPECT_EQ(Finish(child), 0u);
  EXPECT_TRUE(Eventually([&] { return Entries(temp).empty(); }, 10000))
      << (Entries(temp).empty() ? "" : Entries(temp)[0]);
}

TEST_F(SelfExtractorWine, TwoProgramsRunAtTheSameTime) {
  const std::string temp = EmptyFolder("sfx-two");
  const std::string one = BuildProgram(g_work, "one.exe", "first", "text one", "p1");
  const std::string two = BuildProgram(g_work, "two.exe", "second", "text two", "p2");
  Child c1, c2;
  ASSERT_TRUE(Start(one, temp, c1));
  ASSERT_TRUE(Start(two, temp, c2));
  std::vector<HWND> viewers;
  ASSERT_TRUE(Eventually(
      [&] {
        viewers.clear();
        EnumWindows(CollectViewers, reinterpret_cast<LPARAM>(&viewers));
        return viewers.size() == 2;
      },
      60000));
  EXPECT_EQ(Entries(temp).size(), 2u);  // a folder each
  for (HWND v : viewers) {
    ASSERT_TRUE(Eventually([&] { return !Text(Control(v, sx::kNote)).empty(); }));
    const bool first = Text(Control(v, sx::kNote)).find(L"first") == 0;
    Type(Control(v, sx::kMasked), first ? L"p1" : L"p2");
    Click(v, sx::kEnter);
    EXPECT_TRUE(Eventually([&] {
      return Text(Control(v, sx::kNote)) == (first ? L"text one" : L"text two");
    })) << W(Text(Control(v, sx::kNote)));
    Click(v, sx::kExit);
  }
  EXPECT_EQ(Finish(c1), 0u);
  EXPECT_EQ(Finish(c2), 0u);
  EXPECT_TRUE(Eventually([&] { return Entries(temp).empty(); }, 10000));
}

TEST_F(SelfExtractorWine, AProgramMadeByLqSfxGivesBackItsText) {
  const std::string temp = EmptyFolder("sfx-lq");
  const std::string out = g_work + "FromLq.exe";
  Put(g_work + "lq-msg.txt", "made on the command line");
  SetEnvironmentVariableW(L"LQ_SFX_TEST_PASS", L"lq pass");
  std::wstring command =
      L"\"" + lq::WideFromUtf8(BinFolder() + "lq.exe") +
      L"\" --passphrase-env LQ_SFX_TEST_PASS sfx --note \"from lq\" --text-file \"" +
      lq::WideFromUtf8(g_work + "lq-msg.txt") + L"\" -o \"" + lq::WideFromUtf8(out) + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             lq::WideFromUtf8(g_work).c_str(), &si, &pi));
  Child lq_run{pi};
  EXPECT_EQ(Finish(lq_run), 0u);  // the programs come from lq.exe's own folder
  ASSERT_TRUE(FileExists(out));

  Child child;
  ASSERT_TRUE(Start(out, temp, child));
  HWND viewer = WaitTopOf(0, L"FormKit30Form", kViewerCaption, 60000);
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(Eventually([&] { return Text(Control(viewer, sx::kNote)) == L"from lq"; }))
      << W(Text(Control(viewer, sx::kNote)));
  Type(Control(viewer, sx::kMasked), L"lq pass");
  Click(viewer, sx::kEnter);
  EXPECT_TRUE(Eventually([&] {
    return Text(Control(viewer, sx::kNote)) == L"made on the command line";
  })) << W(Text(Control(viewer, sx::kNote)));
  Click(viewer, sx::kExit);
  EXPECT_EQ(Finish(child), 0u);
  EXPECT_TRUE(Eventually([&] { return Entries(temp).empty(); }, 10000));
}

// Runs a program that must refuse to start anything: its launcher message and exit status.
void ExpectLauncherRefusal(const std::string& program, const std::string& expected_message) {
  const std::string temp = EmptyFolder("sfx-refuse");
  Child child;
  ASSERT_TRUE(Start(program, temp, child));
  HWND box = WaitTopOf(child.pid(), L"#32770", kLauncherCaption, 30000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(W(MessageBoxText(box)), expected_message);
  EXPECT_EQ(WaitTopOf(0, L"FormKit30Form", kViewerCaption, 300), nullptr);
  Answer(box, IDOK);
  EXPECT_EQ(Finish(child), 0xFFFFFFFFu);  // -1
  EXPECT_TRUE(Entries(temp).empty());
  EXPECT_FALSE(AnyTopOf(child.pid()));
}

TEST_F(SelfExtractorWine, ALauncherWithNothingAppendedEndsWithMinusOne) {
  const std::string bare = g_work + "bare.exe";
  ASSERT_TRUE(CopyFileW(lq::WideFromUtf8(BinFolder() + "sxlaunch.exe").c_str(),
                        lq::WideFromUtf8(bare).c_str(), FALSE));
  const std::string file = ReadFile(bare);
  lq::DataBlockFields f;
  const lq::TailStatus st = lq::ReadDataBlock(file, f);
  ASSERT_NE(st, lq::TailStatus::kOk);
  ExpectLauncherRefusal(bare, st == lq::TailStatus::kLengthTooLarge
                                  ? bare + "\r\nStored length of datablock is too large!"
                                  : bare +
                                        "\r\nis supposed to have data attached to it!\r\nIt "
                                        "has NOT, so this program is terminated...");
}

TEST_F(SelfExtractorWine, ForgedTailsAndBrokenProgramsEndWithMinusOne) {
  const std::string launcher = ReadFile(BinFolder() + "sxlaunch.exe");
  ASSERT_FALSE(launcher.empty());
  // A stored length of the file's own size.
  std::string big = launcher + "block";
  big += lq::BlockLengthBytes(big.size() + 8);
  Put(g_work + "big.exe", big);
  ExpectLauncherRefusal(g_work + "big.exe",
                        g_work + "big.exe\r\nStored length of datablock is too large!");
  // A field length past the block.
  std::string block = lq::ComposeDataBlock("viewer", "toolkit", "packet");
  lq::StoreLe32(block.data() + 10, 100000);
  Put(g_work + "field.exe", lq::ComposeSelfExtractor(launcher, block));
  ExpectLauncherRefusal(g_work + "field.exe",
                        g_work +
                            "field.exe\r\nis supposed to have data attached to it!\r\nIt has "
                            "NOT, so this program is terminated...");
  // A viewer stream that decodes to no program.
  lq::Bytes junk, toolkit;
  ASSERT_EQ(lq::LZSS_Compress(std::string(500, 'j'), junk), lq::kLzssOk);
  ASSERT_EQ(lq::LZSS_Compress("MZ" + std::string(500, 't'), toolkit), lq::kLzssOk);
  Put(g_work + "junk.exe",
      lq::ComposeSelfExtractor(launcher, lq::ComposeDataBlock(junk, toolkit, "packet")));
  ExpectLauncherRefusal(g_work + "junk.exe", "LZSS can't decompress the exe-file");
  Put(g_work + "junk2.exe",
      lq::ComposeSelfExtractor(launcher, lq::ComposeDataBlock(toolkit, "1234", "packet")));
  ExpectLauncherRefusal(g_work + "junk2.exe", "LZSS can't decompress the dll-file");
}

}  // namespace
