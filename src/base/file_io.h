// Whole-file reading and safe replacement of files, with OS failures mapped to the runtime's
// file-error numbers (51..76) that the catalogue turns into messages. Paths are UTF-8.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace lq {

// The runtime's file-error numbers; 0 means success.
namespace fe {
constexpr int kOk = 0;
constexpr int kInternalError = 51;
constexpr int kBadFileNameOrNumber = 52;
constexpr int kFileNotFound = 53;
constexpr int kFileAlreadyOpen = 55;
constexpr int kDeviceIoError = 57;
constexpr int kFileAlreadyExists = 58;
constexpr int kDiskFull = 61;
constexpr int kBadFileName = 64;
constexpr int kTooManyFiles = 67;
constexpr int kPermissionDenied = 70;
constexpr int kDiskNotReady = 71;
constexpr int kDiskMediaError = 72;
constexpr int kRenameAcrossDisks = 74;
constexpr int kPathFileAccessError = 75;
constexpr int kPathNotFound = 76;
}  // namespace fe

using FileHandle = intptr_t;

// The file operations the program's file handling is built from. The real one talks to the OS;
// tests substitute one that fails after N operations to prove no failure loses the old file.
// Every operation returns 0 or a file-error number.
class FileOps {
 public:
  virtual ~FileOps() = default;
  virtual int ReadAll(const std::string& path, std::string& contents) = 0;
  // Appends the whole file to `contents`, which keeps its old bytes (and nothing more) on
  // failure. The OS implementations read straight into the string, so a caller that reserved
  // room gets the bytes without a copy; this default goes through ReadAll.
  virtual int AppendAll(const std::string& path, std::string& contents);
  // Creates a new file; fails with kFileAlreadyExists when the name is taken.
  virtual int CreateExclusive(const std::string& path, FileHandle& handle) = 0;
  virtual int Write(FileHandle handle, std::string_view data) = 0;
  // Forces the written data to the disk.
  virtual int Flush(FileHandle handle) = 0;
  virtual int Close(FileHandle handle) = 0;
  // Renames `from` to `to`, replacing `to` when it exists, durably (write-through).
  virtual int Rename(const std::string& from, const std::string& to) = 0;
  virtual int Remove(const std::string& path) = 0;
  virtual bool Exists(const std::string& path) = 0;
};

// The operating system's files.
FileOps& RealFileOps();

// Reads a whole file into `contents` (emptied on failure).
int ReadWholeFile(FileOps& ops, const std::string& path, std::string& contents);
inline int ReadWholeFile(const std::string& path, std::string& contents) {
  return ReadWholeFile(RealFileOps(), path, contents);
}

// Appends a whole file to `contents` (left as it was on failure).
int AppendWholeFile(FileOps& ops, const std::string& path, std::string& contents);

// Writes `data` as the whole new content of `path`. The data goes to a temporary file in the
// same folder, is flushed, and the temporary file is renamed over `path`; on any failure the
// temporary file is removed and an existing `path` is left exactly as it was.
int ReplaceWholeFile(FileOps& ops, const std::string& path, std::string_view data);
inline int ReplaceWholeFile(const std::string& path, std::string_view data) {
  return ReplaceWholeFile(RealFileOps(), path, data);
}

// The name of the n-th temporary file ReplaceWholeFile tries for `path` ("name.~0.tmp" ...).
std::string TemporaryFileName(const std::string& path, int n);

// Removes temporary files of ReplaceWholeFile for `path` that a crash left behind, when they
// are older than `min_age` (a younger one may belong to a save still running elsewhere). Only
// names of our own pattern are touched. Returns how many were removed.
int RemoveLeftoverTemporaries(const std::string& path, std::chrono::seconds min_age);

// The file a name stands for: symbolic links in the last component followed (relative targets
// taken from the link's folder), so that replacing it writes the real file in its own folder
// rather than replacing the link. A name that is no link comes back unchanged.
std::string ResolveFileLinks(const std::string& path);

// What identifies one version of a file cheaply: whether it exists, its size and its time of
// last change (nanoseconds of the file clock). Two stamps differ when the file was replaced or
// written in between, short of a rewrite with equal size within the clock's resolution; callers
// that must be sure compare the contents too.
struct FileStamp {
  bool exists = false;
  uint64_t size = 0;
  int64_t modified = 0;
  bool operator==(const FileStamp&) const = default;
};
// 0 with the stamp (exists false for a missing file), or a file-error number.
int ReadFileStamp(const std::string& path, FileStamp& stamp);

}  // namespace lq
