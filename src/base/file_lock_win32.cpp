// FileLock on Windows: LockFileEx on the first byte of the lock file, which is opened with full
// sharing so that every program can open it to wait for its turn.
#include <windows.h>

#include "base/file_io.h"
#include "base/file_lock.h"
#include "base/winstr_win32.h"

namespace lq {

LockResult FileLock::TryLock(LockKind kind, int& file_error) {
  HANDLE h = CreateFileW(WideFromUtf8(path_).c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD e = GetLastError();
    file_error = e == ERROR_PATH_NOT_FOUND  ? fe::kPathNotFound
                 : e == ERROR_ACCESS_DENIED ? fe::kPermissionDenied
                                            : fe::kPathFileAccessError;
    return LockResult::kError;
  }
  OVERLAPPED at{};
  const DWORD flags =
      LOCKFILE_FAIL_IMMEDIATELY | (kind == LockKind::kExclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
  if (!LockFileEx(h, flags, 0, 1, 0, &at)) {
    const DWORD e = GetLastError();
    CloseHandle(h);
    if (e == ERROR_LOCK_VIOLATION || e == ERROR_IO_PENDING) return LockResult::kBusy;
    file_error = fe::kPathFileAccessError;
    return LockResult::kError;
  }
  handle_ = reinterpret_cast<intptr_t>(h);
  kind_ = kind;
  return LockResult::kLocked;
}

void FileLock::Release() {
  if (handle_ == kNoHandle) return;
  HANDLE h = reinterpret_cast<HANDLE>(handle_);
  OVERLAPPED at{};
  UnlockFileEx(h, 0, 1, 0, &at);
  CloseHandle(h);
  handle_ = kNoHandle;
}

}  // namespace lq
