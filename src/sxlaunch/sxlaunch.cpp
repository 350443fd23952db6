// sxlaunch.exe: the front of every self-extracting program. It reads the data block at the end
// of its own file, unpacks the viewer, the toolkit library and the packet into a folder of its
// own inside the temporary folder, runs the viewer on the packet, waits for it, and removes the
// folder with what it wrote. It has no window; failures are message boxes and exit status -1.
#include <windows.h>

#include <string>

#include "base/file_io.h"
#include "base/winstr_win32.h"
#include "selfextract/container.h"

namespace {

constexpr wchar_t kCaption[] = L"Self-extractor - launcher";
constexpr int kFailed = -1;
constexpr int kFolderAttempts = 100;

void Say(const std::string& text) {
  MessageBoxW(nullptr, lq::WideFromUtf8(text).c_str(), kCaption,
              MB_OK | MB_ICONHAND | MB_SETFOREGROUND);
}

// A file error: its number goes to the error output of whoever started us (a console or a
// pipe, when there is one; a program started from the desktop has none), then the message box
// names the file.
int FileError(const std::string& path, int error_number) {
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (err != nullptr && err != INVALID_HANDLE_VALUE) {
    const std::string line = "Error number " + std::to_string(error_number) + "\r\n";
    DWORD written = 0;
    WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }
  Say(path + lq::SelfExtractorFileErrorText(error_number));
  return kFailed;
}

int FromWin32(DWORD e) {
  switch (e) {
    case ERROR_FILE_NOT_FOUND:
      return lq::fe::kFileNotFound;
    case ERROR_PATH_NOT_FOUND:
      return lq::fe::kPathNotFound;
    case ERROR_ACCESS_DENIED:
      return lq::fe::kPermissionDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return lq::fe::kDiskFull;
    case ERROR_TOO_MANY_OPEN_FILES:
      return lq::fe::kTooManyFiles;
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return lq::fe::kBadFileName;
    default:
      return lq::fe::kPathFileAccessError;
  }
}

std::wstring OwnPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

// A fresh folder of our own in the temporary folder: created here, so no other program's files
// (a planted FORMKIT30.dll) can be in it, and no second self-extractor running at the same time
// shares it. Empty (message shown) when none could be made.
std::string MakePrivateFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  if (n == 0 || n > MAX_PATH) {
    FileError("TEMP", lq::fe::kPathNotFound);
    return {};
  }
  std::wstring base = temp;
  if (!base.empty() && base.back() != L'\\') base += L'\\';
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  const unsigned long long seed = static_cast<unsigned long long>(counter.QuadPart) ^
                                  (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^
                                  GetTickCount();
  DWORD last_error = 0;
  for (int attempt = 0; attempt < kFolderAttempts; ++attempt) {
    wchar_t name[40];
    wsprintfW(name, L"LQSX%08lX%04X", static_cast<unsigned long>(seed * 2654435761u >> 8),
              static_cast<unsigned>(attempt + (seed & 0xFFF)));
    const std::wstring folder = base + name;
    // CreateDirectory fails when the name exists: the folder is ours alone.
    if (CreateDirectoryW(folder.c_str(), nullptr)) return lq::Utf8FromWide(folder) + "\\";
    last_error = GetLastError();
    if (last_error != ERROR_ALREADY_EXISTS) break;
  }
  FileError(lq::Utf8FromWide(base), FromWin32(last_error));
  return {};
}

// Writes a new file (it cannot exist yet in our own folder). 0 or a file-error number.
int WriteNewFile(const std::string& path, std::string_view data) {
  lq::FileOps& files = lq::RealFileOps();
  lq::FileHandle h = 0;
  int err = files.CreateExclusive(path, h);
  if (err != lq::fe::kOk) return err;
  err = files.Write(h, data);
  const int closed = files.Close(h);
  return err != lq::fe::kOk ? err : closed;
}

// Removes what we wrote, then the folder. A viewer that has just ended may keep its files busy
// for a moment on some systems: a few retries, then give up quietly.
void RemovePrivateFolder(const std::string& folder) {
  if (folder.empty()) return;
  const std::wstring wide = lq::WideFromUtf8(folder);
  for (int attempt = 0; attempt < 50; ++attempt) {
    for (const char* name :
         {lq::kUnpackedViewerName, lq::kUnpackedToolkitName, lq::kUnpackedPacketName}) {
      const std::wstring file = wide + lq::WideFromUtf8(name);
      if (GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES) DeleteFileW(file.c_str());
    }
    if (RemoveDirectoryW(wide.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND ||
        GetLastError() == ERROR_PATH_NOT_FOUND) {
      return;
    }
    Sleep(100);
  }
}

int RunViewer(const std::string& viewer, const std::string& packet) {
  // The program's path quoted, so that a temporary folder with blanks in its name works; the
  // viewer takes the rest of the line, one blank on, as the packet's path.
  std::wstring command = L"\"" + lq::WideFromUtf8(viewer) + L"\" " + lq::WideFromUtf8(packet);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(lq::WideFromUtf8(viewer).c_str(), command.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &si, &pi)) {
    return FileError(viewer, FromWin32(GetLastError()));
  }
  CloseHandle(pi.hThread);
  WaitForSingleObject(pi.hProcess, INFINITE);
  CloseHandle(pi.hProcess);
  return 0;
}

int Launch() {
  const std::string own = lq::Utf8FromWide(OwnPath());
  std::string file;
  if (const int err = lq::RealFileOps().ReadAll(own, file); err != lq::fe::kOk) {
    return FileError(own, err);
  }
  lq::DataBlockFields fields;
  switch (lq::ReadDataBlock(file, fields)) {
    case lq::TailStatus::kOk:
      break;
    case lq::TailStatus::kLengthTooLarge:
      // No block can be read with this length: nothing is unpacked from whatever lies there.
      Say(own + "\r\nStored length of datablock is too large!");
      return kFailed;
    case lq::TailStatus::kNoData:
      Say(own +
          "\r\nis supposed to have data attached to it!\r\nIt has NOT, so this program is "
          "terminated...");
      return kFailed;
  }
  lq::Bytes viewer, toolkit;
  switch (lq::UnpackPrograms(fields, viewer, toolkit)) {
    case lq::UnpackStatus::kOk:
      break;
    case lq::UnpackStatus::kToolkitBroken:
      Say("LZSS can't decompress the dll-file");
      return kFailed;
    default:
      Say("LZSS can't decompress the exe-file");
      return kFailed;
  }
  const std::string folder = MakePrivateFolder();
  if (folder.empty()) return kFailed;
  const std::string viewer_path = folder + lq::kUnpackedViewerName;
  const std::string toolkit_path = folder + lq::kUnpackedToolkitName;
  const std::string packet_path = folder + lq::kUnpackedPacketName;
  int status = 0;
  if (int err = WriteNewFile(viewer_path, viewer); err != lq::fe::kOk) {
    status = FileError(viewer_path, err);
  } else if (err = WriteNewFile(toolkit_path, toolkit); err != lq::fe::kOk) {
    status = FileError(toolkit_path, err);
  } else if (err = WriteNewFile(packet_path, fields.packet); err != lq::fe::kOk) {
    status = FileError(packet_path, err);
  }
  lq::Bytes().swap(viewer);
  lq::Bytes().swap(toolkit);
  lq::Bytes().swap(file);
  if (status == 0) status = RunViewer(viewer_path, packet_path);
  RemovePrivateFolder(folder);
  return status;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return Launch(); }
