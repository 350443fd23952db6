// Fuzz target: the launcher's reading of its own file. Whatever the tail says, the block and its
// three fields must lie inside the file, and only a block that fits exactly is accepted; the
// programs are decoded only from accepted fields and come out as Windows programs or not at all.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "selfextract/container.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file(reinterpret_cast<const char*>(data), size);
  lq::DataBlockFields f;
  const lq::TailStatus st = lq::ReadDataBlock(file, f);
  const char* begin = file.data();
  const char* end = file.data() + file.size();
  auto inside = [&](std::string_view v) {
    return v.empty() || (v.data() >= begin && v.data() + v.size() <= end);
  };
  if (st != lq::TailStatus::kOk) {
    if (!f.viewer_lzss.empty() || !f.toolkit_lzss.empty() || !f.packet.empty()) abort();
    return 0;
  }
  if (!inside(f.viewer_lzss) || !inside(f.toolkit_lzss) || !inside(f.packet)) abort();
  if (f.viewer_lzss.empty() || f.toolkit_lzss.empty() || f.packet.empty()) abort();
  // The packet ends right before the 8-byte length.
  if (f.packet.data() + f.packet.size() != end - lq::kBlockLengthSize) abort();
  // Composing the fields again gives the same block and tail.
  const lq::Bytes block = lq::ComposeDataBlock(f.viewer_lzss, f.toolkit_lzss, f.packet);
  if (file.compare(file.size() - 8 - block.size(), block.size(), block) != 0) abort();
  lq::Bytes viewer, toolkit;
  const lq::UnpackStatus u = lq::UnpackPrograms(f, viewer, toolkit);
  if (u == lq::UnpackStatus::kOk) {
    if (viewer.substr(0, 2) != "MZ" || toolkit.substr(0, 2) != "MZ") abort();
  } else if (!viewer.empty() || !toolkit.empty()) {
    abort();
  }
  return 0;
}
