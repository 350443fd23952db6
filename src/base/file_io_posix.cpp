// The host's files: POSIX calls, errno mapped to the runtime's file-error numbers.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/bytes.h"
#include "base/file_io.h"

namespace lq {

namespace {

int FromErrno(int e) {
  switch (e) {
    case ENOENT:
      return fe::kFileNotFound;
    case ENOTDIR:
      return fe::kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return fe::kPermissionDenied;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
      return fe::kDiskFull;
    case EEXIST:
      return fe::kFileAlreadyExists;
    case EMFILE:
    case ENFILE:
      return fe::kTooManyFiles;
    case EIO:
      return fe::kDeviceIoError;
    case ENAMETOOLONG:
    case EINVAL:
      return fe::kBadFileName;
    case EXDEV:
      return fe::kRenameAcrossDisks;
    case EBUSY:
    case ETXTBSY:
      return fe::kFileAlreadyOpen;
    case ENXIO:
    case ENODEV:
      return fe::kDiskNotReady;
    default:
      return fe::kPathFileAccessError;
  }
}

// ENOENT names either a missing file or a missing folder on the way to it.
int NotFoundKind(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return fe::kFileNotFound;
  struct stat st;
  std::string dir = path.substr(0, slash);
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return fe::kPathNotFound;
  return fe::kFileNotFound;
}

int Error(const std::string& path) {
  int e = errno;
  if (e == ENOENT) return NotFoundKind(path);
  return FromErrno(e);
}

class PosixFileOps : public FileOps {
 public:
  int ReadAll(const std::string& path, std::string& contents) override {
    contents.clear();
    return AppendAll(path, contents);
  }

  int AppendAll(const std::string& path, std::string& contents) override {
    const size_t old = contents.size();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Error(path);
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
      ::close(fd);
      return fe::kPathFileAccessError;
    }
    // Straight into the string: a large attachment is never held twice. The end is found with
    // a read into a small buffer, so a file that grows while it is read is read to its end
    // without doubling the string for the usual file that does not.
    size_t have = old;
    contents.resize(old + static_cast<size_t>(st.st_size));
    char probe[1 << 12];
    for (;;) {
      const bool full = have == contents.size();
      ssize_t n = full ? ::read(fd, probe, sizeof probe)
                       : ::read(fd, contents.data() + have, contents.size() - have);
      if (n < 0) {
        if (errno == EINTR) continue;
        int err = FromErrno(errno);
        ::close(fd);
        WipeMemory(contents.data() + old, contents.size() - old);
        contents.resize(old);
        return err;
      }
      if (n == 0) break;
      if (full) contents.append(probe, static_cast<size_t>(n));
      have += static_cast<size_t>(n);
    }
    WipeMemory(probe, sizeof probe);
    contents.resize(have);
    ::close(fd);
    return fe::kOk;
  }

  int CreateExclusive(const std::string& path, FileHandle& handle) override {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return Error(path);
    handle = fd;
    return fe::kOk;
  }

  int Write(FileHandle handle, std::string_view data) override {
    int fd = static_cast<int>(handle);
    while (!data.empty()) {
      ssize_t n = ::write(fd, data.data(), data.size());
      if (n < 0) {
        if (errno == EINTR) continue;
        return FromErrno(errno);
      }
      data.remove_prefix(static_cast<size_t>(n));
    }
    return fe::kOk;
  }

  int Flush(FileHandle handle) override {
    return ::fsync(static_cast<int>(handle)) == 0 ? fe::kOk : FromErrno(errno);
  }

  int Close(FileHandle handle) override {
    return ::close(static_cast<int>(handle)) == 0 ? fe::kOk : FromErrno(errno);
  }

  int Rename(const std::string& from, const std::string& to) override {
    // Keep the permissions of the file being replaced (a keyfile stays private).
    struct stat st;
    if (::stat(to.c_str(), &st) == 0) ::chmod(from.c_str(), st.st_mode & 07777);
    if (::rename(from.c_str(), to.c_str()) != 0) return Error(to);
    // Make the rename itself durable.
    size_t slash = to.find_last_of('/');
    std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : to.substr(0, slash);
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
      ::fsync(dfd);
      ::close(dfd);
    }
    return fe::kOk;
  }

  int Remove(const std::string& path) override {
    return ::unlink(path.c_str()) == 0 ? fe::kOk : Error(path);
  }

  bool Exists(const std::string& path) override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
  }
};

}  // namespace

FileOps& RealFileOps() {
  static PosixFileOps ops;  // stateless
  return ops;
}

}  // namespace lq
