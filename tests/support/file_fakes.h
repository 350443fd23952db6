// Test helpers for code that touches files: a private temporary folder, and a file layer that
// passes through to the real files until a budget of operations is spent and then fails.
#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "base/file_io.h"

namespace lq::test {

class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("lq-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  std::string Path() const { return path_.string(); }
  size_t Count() const { return Names().size(); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(path_)) {
      names.push_back(e.path().filename().string());
    }
    return names;
  }
  // The names without the lock files that guard shared files (they stay on purpose).
  std::vector<std::string> DataNames() const {
    std::vector<std::string> names;
    for (std::string& name : Names()) {
      if (name.size() < 5 || name.compare(name.size() - 5, 5, ".lock") != 0) {
        names.push_back(std::move(name));
      }
    }
    return names;
  }

 private:
  std::filesystem::path path_;
};

// Passes every call to the real files until its budget is spent, then fails: a full disk, a
// failing flush or close, a refused rename.
class FailingOps : public FileOps {
 public:
  explicit FailingOps(int budget) : budget_(budget) {}
  int ReadAll(const std::string& p, std::string& c) override { return RealFileOps().ReadAll(p, c); }
  int CreateExclusive(const std::string& p, FileHandle& h) override {
    return Spend() ? RealFileOps().CreateExclusive(p, h) : fe::kDiskFull;
  }
  int Write(FileHandle h, std::string_view d) override {
    if (!Spend()) {
      RealFileOps().Write(h, d.substr(0, d.size() / 2));  // a partial write, as a full disk does
      return fe::kDiskFull;
    }
    return RealFileOps().Write(h, d);
  }
  int Flush(FileHandle h) override { return Spend() ? RealFileOps().Flush(h) : fe::kDeviceIoError; }
  int Close(FileHandle h) override {
    const int err = RealFileOps().Close(h);
    return Spend() ? err : fe::kDeviceIoError;
  }
  int Rename(const std::string& a, const std::string& b) override {
    return Spend() ? RealFileOps().Rename(a, b) : fe::kPermissionDenied;
  }
  int Remove(const std::string& p) override { return RealFileOps().Remove(p); }
  bool Exists(const std::string& p) override { return RealFileOps().Exists(p); }
  bool Exhausted() const { return budget_ < 0; }

 private:
  bool Spend() { return budget_-- > 0; }
  int budget_;
};

}  // namespace lq::test
