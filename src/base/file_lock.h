// Advisory locks between programs that share a file (lq and lqdesk on one keyfile): a lock is
// taken on a small lock file of its own, because the file it guards is replaced by a rename and
// a lock on the old file would not stop a writer that opens the new one.
#pragma once

#include <cstdint>
#include <string>

namespace lq {

enum class LockKind { kShared, kExclusive };

enum class LockResult {
  kLocked,  // held until Release or destruction
  kBusy,    // another program held a conflicting lock for the whole wait
  kError,   // the lock file could not be opened; `file_error` says why
};

// One held lock. Shared locks admit other shared locks; an exclusive lock admits none. Locks are
// per object: two objects of one process on one path conflict like two programs do.
class FileLock {
 public:
  FileLock() = default;
  ~FileLock() { Release(); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Opens `lock_path` (created owner-only when missing, never deleted: removing a lock file
  // while another program waits on it would let a third one lock a new file beside it) and
  // locks it, retrying every few milliseconds for up to `wait_ms` (0: one try). A lock already
  // held by this object is released first. `file_error` receives the file-error number on
  // kError and 0 otherwise.
  [[nodiscard]] LockResult Acquire(const std::string& lock_path, LockKind kind, int wait_ms,
                                   int& file_error);
  void Release();
  bool Held() const { return handle_ != kNoHandle; }
  LockKind Kind() const { return kind_; }
  const std::string& Path() const { return path_; }

 private:
  // One try without waiting: kLocked, kBusy or kError.
  LockResult TryLock(LockKind kind, int& file_error);

  static constexpr intptr_t kNoHandle = -1;
  intptr_t handle_ = kNoHandle;
  LockKind kind_ = LockKind::kShared;
  std::string path_;
};

}  // namespace lq
