// The layout of a self-extracting program, as pure functions over byte strings. Both the
// builder (lqdesk, lq sfx) and the launcher at the front of every generated program use it.
//
// A generated program of N bytes is, in this order (offsets 0-based):
//   [0, N - 8 - L)      the launcher "sxlaunch.exe", byte for byte
//   [N - 8 - L, N - 8)  the data block of L bytes: three fields of the record framing, each a
//                       4-byte little-endian length followed by that many bytes:
//                         1. LZSS_Compress(the viewer "sxview.exe")
//                         2. LZSS_Compress(the toolkit library "FORMKIT30.dll")
//                         3. the passphrase packet (HashRecord of note, salt, check, data)
//   [N - 8, N)          L as a signed 64-bit little-endian integer
// The block holds exactly these three fields, nothing before, between or after them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/bytes.h"

namespace lq {

inline constexpr char kLauncherFileName[] = "sxlaunch.exe";
inline constexpr char kViewerFileName[] = "sxview.exe";
inline constexpr char kToolkitFileName[] = "FORMKIT30.dll";
// The names the launcher gives the unpacked files inside its private folder.
inline constexpr char kUnpackedViewerName[] = "exe.exe";
inline constexpr char kUnpackedToolkitName[] = "FORMKIT30.dll";
inline constexpr char kUnpackedPacketName[] = "Data.txt";

constexpr size_t kBlockLengthSize = 8;
constexpr size_t kFieldLengthSize = 4;

// The three fields of a data block (views into the block they were read from).
struct DataBlockFields {
  std::string_view viewer_lzss;
  std::string_view toolkit_lzss;
  std::string_view packet;
};

// The data block of the three already compressed and built parts.
Bytes ComposeDataBlock(std::string_view viewer_lzss, std::string_view toolkit_lzss,
                       std::string_view packet);

// launcher + block + the block's length as 8 bytes.
Bytes ComposeSelfExtractor(std::string_view launcher, std::string_view block);

// The 8-byte little-endian form of a block length, and its reading (signed, as stored).
Bytes BlockLengthBytes(uint64_t length);
int64_t ReadBlockLength(std::string_view eight_bytes);

enum class TailStatus {
  kOk,
  // The stored length cannot describe a block in this file: negative, or the block and its
  // 8-byte length do not fit in front of the end. The file is not a self-extractor (a bare
  // launcher) or its tail was damaged.
  kLengthTooLarge,
  // The block is there, but its three fields are not: a field is empty, its length runs past
  // the block, or bytes are left over after the third field.
  kNoData,
};

// Where the block of a file of `file_size` bytes lies, from the file's last 8 bytes: `offset`
// and `length` (offset + length + 8 == file_size) on kOk. A file shorter than 8 bytes has no
// stored length at all and also gives kLengthTooLarge.
TailStatus LocateDataBlock(uint64_t file_size, std::string_view last_eight, uint64_t& offset,
                           uint64_t& length);

// Splits a block into its three fields, never reading outside it.
TailStatus SplitDataBlock(std::string_view block, DataBlockFields& fields);

// Both steps on a whole file held in memory: `fields` view into `file`.
TailStatus ReadDataBlock(std::string_view file, DataBlockFields& fields);

enum class UnpackStatus {
  kOk,
  kLengthTooLarge,  // see TailStatus
  kNoData,
  kViewerBroken,   // the viewer's stream does not decode, or gives no Windows program
  kToolkitBroken,  // the same for the toolkit library
};

// Decodes the viewer and the toolkit library of a block's fields. A decoded program must start
// with the "MZ" of every Windows executable, so that garbage that happens to decode is never
// started. On failure both outputs are empty.
UnpackStatus UnpackPrograms(const DataBlockFields& fields, Bytes& viewer, Bytes& toolkit);

// The launcher's and the builder's text for a runtime file-error number: ": Error_FileNotFound"
// for 53 and so on for the fifteen numbers 51..76 the file errors use; numbers outside the table
// give ": Error_PathFileAccessError" (the catch-all of file access), so that every failure is
// named.
std::string SelfExtractorFileErrorText(int error_number);

}  // namespace lq
