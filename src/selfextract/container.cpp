// The self-extracting program's layout: composing the data block and the program, and reading
// them back with every length checked against what is really there.
#include "selfextract/container.h"

#include "crypto/lzss.h"

namespace lq {

namespace {

void AppendBlockField(std::string_view content, Bytes& out) {
  AppendLe32(out, static_cast<uint32_t>(content.size()));
  out.append(content);
}

// One field at `pos` of `block`: false when fewer than 4 bytes remain for its length or its
// content runs past the block. Lengths are unsigned here: a length of 2 GiB or more cannot fit
// in any block this reader is given, so it fails the same bounds check.
bool TakeField(std::string_view block, size_t& pos, std::string_view& field) {
  if (block.size() - pos < kFieldLengthSize) return false;
  const uint64_t n = LoadLe32(block.data() + pos);
  pos += kFieldLengthSize;
  if (n > block.size() - pos) return false;
  field = block.substr(pos, static_cast<size_t>(n));
  pos += static_cast<size_t>(n);
  return true;
}

bool LooksLikeProgram(std::string_view bytes) {
  return bytes.size() >= 2 && bytes[0] == 'M' && bytes[1] == 'Z';
}

}  // namespace

Bytes ComposeDataBlock(std::string_view viewer_lzss, std::string_view toolkit_lzss,
                       std::string_view packet) {
  Bytes block;
  block.reserve(3 * kFieldLengthSize + viewer_lzss.size() + toolkit_lzss.size() + packet.size());
  AppendBlockField(viewer_lzss, block);
  AppendBlockField(toolkit_lzss, block);
  AppendBlockField(packet, block);
  return block;
}

Bytes ComposeSelfExtractor(std::string_view launcher, std::string_view block) {
  Bytes file;
  file.reserve(launcher.size() + block.size() + kBlockLengthSize);
  file.append(launcher);
  file.append(block);
  file.append(BlockLengthBytes(block.size()));
  return file;
}

Bytes BlockLengthBytes(uint64_t length) {
  Bytes out(kBlockLengthSize, '\0');
  for (size_t i = 0; i < kBlockLengthSize; ++i) {
    out[i] = static_cast<char>((length >> (8 * i)) & 0xFF);
  }
  return out;
}

int64_t ReadBlockLength(std::string_view eight_bytes) {
  uint64_t v = 0;
  for (size_t i = 0; i < kBlockLengthSize && i < eight_bytes.size(); ++i) {
    v |= static_cast<uint64_t>(static_cast<unsigned char>(eight_bytes[i])) << (8 * i);
  }
  return static_cast<int64_t>(v);
}

TailStatus LocateDataBlock(uint64_t file_size, std::string_view last_eight, uint64_t& offset,
                           uint64_t& length) {
  offset = length = 0;
  if (file_size < kBlockLengthSize || last_eight.size() != kBlockLengthSize) {
    return TailStatus::kLengthTooLarge;
  }
  const int64_t stored = ReadBlockLength(last_eight);
  // The block and its length must both lie inside the file: a length that would put the
  // block's start before the file's start describes no block at all, whatever it claims.
  if (stored < 0 || static_cast<uint64_t>(stored) > file_size - kBlockLengthSize) {
    return TailStatus::kLengthTooLarge;
  }
  length = static_cast<uint64_t>(stored);
  offset = file_size - kBlockLengthSize - length;
  return TailStatus::kOk;
}

TailStatus SplitDataBlock(std::string_view block, DataBlockFields& fields) {
  fields = DataBlockFields{};
  size_t pos = 0;
  DataBlockFields f;
  if (!TakeField(block, pos, f.viewer_lzss) || !TakeField(block, pos, f.toolkit_lzss) ||
      !TakeField(block, pos, f.packet)) {
    return TailStatus::kNoData;
  }
  if (pos != block.size()) return TailStatus::kNoData;
  if (f.viewer_lzss.empty() || f.toolkit_lzss.empty() || f.packet.empty()) {
    return TailStatus::kNoData;
  }
  fields = f;
  return TailStatus::kOk;
}

TailStatus ReadDataBlock(std::string_view file, DataBlockFields& fields) {
  fields = DataBlockFields{};
  uint64_t offset = 0, length = 0;
  const std::string_view last =
      file.size() >= kBlockLengthSize ? file.substr(file.size() - kBlockLengthSize) : file;
  const TailStatus located = LocateDataBlock(file.size(), last, offset, length);
  if (located != TailStatus::kOk) return located;
  return SplitDataBlock(file.substr(static_cast<size_t>(offset), static_cast<size_t>(length)),
                        fields);
}

UnpackStatus UnpackPrograms(const DataBlockFields& fields, Bytes& viewer, Bytes& toolkit) {
  viewer.clear();
  toolkit.clear();
  if (LZSS_Decompress(fields.viewer_lzss, viewer) != kLzssOk || !LooksLikeProgram(viewer)) {
    Bytes().swap(viewer);
    return UnpackStatus::kViewerBroken;
  }
  if (LZSS_Decompress(fields.toolkit_lzss, toolkit) != kLzssOk || !LooksLikeProgram(toolkit)) {
    Bytes().swap(viewer);
    Bytes().swap(toolkit);
    return UnpackStatus::kToolkitBroken;
  }
  return UnpackStatus::kOk;
}

std::string SelfExtractorFileErrorText(int error_number) {
  struct Row {
    int number;
    const char* text;
  };
  static constexpr Row kTable[] = {
      {51, ": Error_InternalSystemError"},
      {52, ": Error_BadFilename"},
      {53, ": Error_FileNotFound"},
      {55, ": Error_FileAlreadyOpen"},
      {57, ": Error_DeviceIOError"},
      {58, ": Error_FileAlreadyExists"},
      {61, ": Error_DiskFull"},
      {64, ": Error_BadFileName"},
      {67, ": Error_TooManyFiles"},
      {70, ": Error_PermissionDenied"},
      {71, ": Error_DiskNotReady"},
      {72, ": Error_DiskMediaError"},
      {74, ": Error_RenameAcrossDisks"},
      {75, ": Error_PathFileAccessError"},
      {76, ": Error_PathNotFound"},
  };
  for (const Row& row : kTable) {
    if (row.number == error_number) return row.text;
  }
  return ": Error_PathFileAccessError";
}

}  // namespace lq
