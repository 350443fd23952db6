// The waiting part of FileLock, common to both systems; one try is in file_lock_posix.cpp and
// file_lock_win32.cpp.
#include "base/file_lock.h"

#include <chrono>
#include <thread>

namespace lq {

LockResult FileLock::Acquire(const std::string& lock_path, LockKind kind, int wait_ms,
                             int& file_error) {
  Release();
  file_error = 0;
  path_ = lock_path;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  for (;;) {
    const LockResult result = TryLock(kind, file_error);
    if (result != LockResult::kBusy) return result;
    if (std::chrono::steady_clock::now() >= deadline) return result;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace lq
