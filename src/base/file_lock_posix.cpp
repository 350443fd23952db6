// FileLock on POSIX systems: flock on the lock file, which every program opening that file
// sees, whatever descriptor it uses.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "base/file_io.h"
#include "base/file_lock.h"

namespace lq {

LockResult FileLock::TryLock(LockKind kind, int& file_error) {
  int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  // Somebody else's lock file may be readable only; that is enough to share it.
  if (fd < 0 && kind == LockKind::kShared) fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    file_error = errno == ENOENT                                       ? fe::kPathNotFound
                 : errno == EACCES || errno == EPERM || errno == EROFS ? fe::kPermissionDenied
                                                                       : fe::kPathFileAccessError;
    return LockResult::kError;
  }
  const int operation = (kind == LockKind::kExclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
  int rc;
  do {
    rc = ::flock(fd, operation);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    if (busy) return LockResult::kBusy;
    file_error = fe::kPathFileAccessError;
    return LockResult::kError;
  }
  handle_ = fd;
  kind_ = kind;
  return LockResult::kLocked;
}

void FileLock::Release() {
  if (handle_ == kNoHandle) return;
  // Closing the descriptor drops the lock.
  ::close(static_cast<int>(handle_));
  handle_ = kNoHandle;
}

}  // namespace lq
