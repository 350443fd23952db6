// Windows files: wide-character Win32 calls, GetLastError mapped to the runtime's file-error
// numbers; the replacing rename is MoveFileEx with replace and write-through.
#include <windows.h>

#include <algorithm>

#include "base/bytes.h"
#include "base/file_io.h"
#include "base/winstr_win32.h"

namespace lq {

namespace {

int FromWin32(DWORD e) {
  switch (e) {
    case ERROR_FILE_NOT_FOUND:
      return fe::kFileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
    case ERROR_BAD_NETPATH:
      return fe::kPathNotFound;
    case ERROR_TOO_MANY_OPEN_FILES:
      return fe::kTooManyFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return fe::kPermissionDenied;
    case ERROR_NOT_READY:
      return fe::kDiskNotReady;
    case ERROR_CRC:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_SEEK:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
      return fe::kDiskMediaError;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return fe::kFileAlreadyOpen;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
      return fe::kDiskFull;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return fe::kFileAlreadyExists;
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return fe::kBadFileName;
    case ERROR_NOT_SAME_DEVICE:
      return fe::kRenameAcrossDisks;
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
      return fe::kDeviceIoError;
    default:
      return fe::kPathFileAccessError;
  }
}

int LastError() { return FromWin32(GetLastError()); }

class Win32FileOps : public FileOps {
 public:
  int ReadAll(const std::string& path, std::string& contents) override {
    contents.clear();
    return AppendAll(path, contents);
  }

  int AppendAll(const std::string& path, std::string& contents) override {
    const size_t old = contents.size();
    HANDLE h = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastError();
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h, &size)) {
      int err = LastError();
      CloseHandle(h);
      return err;
    }
    if (static_cast<unsigned long long>(size.QuadPart) > contents.max_size() - old) {
      CloseHandle(h);
      return fe::kDeviceIoError;
    }
    // Straight into the string: a large attachment is never held twice. The end is found with
    // a read into a small buffer, so a file that grows while it is read is read to its end
    // without doubling the string for the usual file that does not.
    constexpr size_t kChunk = size_t{1} << 24;
    size_t have = old;
    contents.resize(old + static_cast<size_t>(size.QuadPart));
    char probe[1 << 12];
    for (;;) {
      const bool full = have == contents.size();
      DWORD got = 0;
      const DWORD want = static_cast<DWORD>(std::min(kChunk, contents.size() - have));
      if (!ReadFile(h, full ? probe : contents.data() + have, full ? sizeof probe : want, &got,
                    nullptr)) {
        int err = LastError();
        CloseHandle(h);
        WipeMemory(contents.data() + old, contents.size() - old);
        contents.resize(old);
        return err;
      }
      if (got == 0) break;
      if (full) contents.append(probe, got);
      have += got;
    }
    WipeMemory(probe, sizeof probe);
    contents.resize(have);
    CloseHandle(h);
    return fe::kOk;
  }

  int CreateExclusive(const std::string& path, FileHandle& handle) override {
    HANDLE h = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastError();
    handle = reinterpret_cast<FileHandle>(h);
    return fe::kOk;
  }

  int Write(FileHandle handle, std::string_view data) override {
    HANDLE h = reinterpret_cast<HANDLE>(handle);
    while (!data.empty()) {
      DWORD want = data.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(data.size());
      DWORD wrote = 0;
      if (!WriteFile(h, data.data(), want, &wrote, nullptr)) return LastError();
      if (wrote == 0) return fe::kDiskFull;
      data.remove_prefix(wrote);
    }
    return fe::kOk;
  }

  int Flush(FileHandle handle) override {
    return FlushFileBuffers(reinterpret_cast<HANDLE>(handle)) ? fe::kOk : LastError();
  }

  int Close(FileHandle handle) override {
    return CloseHandle(reinterpret_cast<HANDLE>(handle)) ? fe::kOk : LastError();
  }

  int Rename(const std::string& from, const std::string& to) override {
    if (MoveFileExW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return fe::kOk;
    }
    return LastError();
  }

  int Remove(const std::string& path) override {
    return DeleteFileW(WideFromUtf8(path).c_str()) ? fe::kOk : LastError();
  }

  bool Exists(const std::string& path) override {
    return GetFileAttributesW(WideFromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
};

}  // namespace

FileOps& RealFileOps() {
  static Win32FileOps ops;  // stateless
  return ops;
}

}  // namespace lq
