// Whole-file helpers over the FileOps interface; the OS implementations are in file_io_posix.cpp
// and file_io_win32.cpp.
#include "base/file_io.h"

#include <string>

namespace lq {

namespace {
// Writes in pieces so one huge request never reaches the OS and progress is possible.
constexpr size_t kWriteChunk = 1 << 20;
}  // namespace

int ReadWholeFile(FileOps& ops, const std::string& path, std::string& contents) {
  int err = ops.ReadAll(path, contents);
  if (err != fe::kOk) contents.clear();
  return err;
}

int ReplaceWholeFile(FileOps& ops, const std::string& path, std::string_view data) {
  if (path.empty()) return fe::kBadFileName;
  FileHandle handle = 0;
  std::string temp;
  int err = fe::kFileAlreadyExists;
  // A fresh name beside the target: the rename then stays on one disk.
  for (int attempt = 0; attempt < 100 && err == fe::kFileAlreadyExists; ++attempt) {
    temp = path + ".~" + std::to_string(attempt) + ".tmp";
    err = ops.CreateExclusive(temp, handle);
  }
  if (err != fe::kOk) return err;

  for (size_t done = 0; err == fe::kOk && done < data.size(); done += kWriteChunk) {
    err = ops.Write(handle, data.substr(done, kWriteChunk));
  }
  if (err == fe::kOk) err = ops.Flush(handle);
  int close_err = ops.Close(handle);
  if (err == fe::kOk) err = close_err;
  if (err == fe::kOk) err = ops.Rename(temp, path);
  if (err != fe::kOk) ops.Remove(temp);
  return err;
}

}  // namespace lq
