// The self-extracting program's layout and the launcher's reading of it: the block right after
// the launcher, the length at the very end, and truncated, forged and hostile tails that must
// be refused without reading outside the file.
#include "selfextract/container.h"

#include <gtest/gtest.h>

#include <string>

#include "crypto/lzss.h"

namespace lq {
namespace {

Bytes Le32(uint32_t v) {
  Bytes out;
  AppendLe32(out, v);
  return out;
}

// A stand-in program: the "MZ" every Windows program starts with, then some bytes.
Bytes FakeProgram(char fill, size_t n) { return "MZ" + Bytes(n, fill); }

Bytes Compressed(const Bytes& program) {
  Bytes z;
  EXPECT_EQ(LZSS_Compress(program, z), kLzssOk);
  return z;
}

TEST(SelfExtractorLayout, BlockFollowsTheLauncherAndItsLengthEndsTheFile) {
  const Bytes launcher = FakeProgram('L', 3000);
  const Bytes block = ComposeDataBlock("viewer", "toolkit!", "packet bytes");
  // Three fields of the record framing, nothing else.
  EXPECT_EQ(block, Le32(6) + "viewer" + Le32(8) + "toolkit!" + Le32(12) + "packet bytes");
  const Bytes file = ComposeSelfExtractor(launcher, block);
  ASSERT_EQ(file.size(), launcher.size() + block.size() + 8);
  EXPECT_EQ(file.substr(0, launcher.size()), launcher);
  EXPECT_EQ(file.substr(launcher.size(), block.size()), block);
  // Signed 64-bit little-endian L.
  EXPECT_EQ(file.substr(file.size() - 8), Bytes("\x26\0\0\0\0\0\0\0", 8));
  EXPECT_EQ(ReadBlockLength(file.substr(file.size() - 8)), static_cast<int64_t>(block.size()));

  DataBlockFields f;
  ASSERT_EQ(ReadDataBlock(file, f), TailStatus::kOk);
  EXPECT_EQ(f.viewer_lzss, "viewer");
  EXPECT_EQ(f.toolkit_lzss, "toolkit!");
  EXPECT_EQ(f.packet, "packet bytes");
  // The views point into the file, at the offsets the layout states.
  EXPECT_EQ(f.viewer_lzss.data(), file.data() + launcher.size() + 4);
  EXPECT_EQ(f.packet.data() + f.packet.size(), file.data() + file.size() - 8);
}

TEST(SelfExtractorLayout, LengthBytesRoundTripIncludingLargeAndNegativeValues) {
  EXPECT_EQ(BlockLengthBytes(0), Bytes(8, '\0'));
  EXPECT_EQ(BlockLengthBytes(0x0102030405060708ull), Bytes("\x08\x07\x06\x05\x04\x03\x02\x01", 8));
  EXPECT_EQ(ReadBlockLength(BlockLengthBytes(5000000000ull)), 5000000000ll);
  EXPECT_EQ(ReadBlockLength(Bytes(8, '\xff')), -1);
}

TEST(SelfExtractorTail, ABareLauncherHasNoBlock) {
  // Its last 8 bytes are program bytes: read as a length they point far before the file.
  Bytes launcher = FakeProgram('\x90', 5000);
  launcher += "\x10\x32\x54\x76\x98\xba\xdc\x0e";
  DataBlockFields f;
  EXPECT_EQ(ReadDataBlock(launcher, f), TailStatus::kLengthTooLarge);
  EXPECT_TRUE(f.packet.empty());
  // A launcher whose last bytes are zero reads as an empty block: no data, not a crash.
  Bytes zeros = FakeProgram('\x90', 100) + Bytes(8, '\0');
  EXPECT_EQ(ReadDataBlock(zeros, f), TailStatus::kNoData);
}

TEST(SelfExtractorTail, StoredLengthsThatCannotFitAreRefused) {
  const Bytes block = ComposeDataBlock("v", "t", "p");
  const Bytes body = FakeProgram('L', 40) + block;
  uint64_t offset = 0, length = 0;
  const uint64_t size = body.size() + 8;
  // Exactly fitting: the block may even start at the file's first byte.
  EXPECT_EQ(LocateDataBlock(size, BlockLengthBytes(size - 8), offset, length), TailStatus::kOk);
  EXPECT_EQ(offset, 0u);
  EXPECT_EQ(length, size - 8);
  // One byte more than fits, the file's own length, anything larger, negative values.
  for (uint64_t forged : {size - 7, size, size + 1, uint64_t{1} << 40, ~uint64_t{0},
                          uint64_t{1} << 63, (uint64_t{1} << 63) - 1}) {
    EXPECT_EQ(LocateDataBlock(size, BlockLengthBytes(forged), offset, length),
              TailStatus::kLengthTooLarge)
        << forged;
    EXPECT_EQ(length, 0u);
  }
  // Files too short to hold a length at all.
  for (size_t n = 0; n < 8; ++n) {
    DataBlockFields f;
    EXPECT_EQ(ReadDataBlock(Bytes(n, '\0'), f), TailStatus::kLengthTooLarge) << n;
  }
  EXPECT_EQ(LocateDataBlock(8, Bytes(8, '\0'), offset, length), TailStatus::kOk);
  EXPECT_EQ(LocateDataBlock(8, Bytes(8, '\x01'), offset, length), TailStatus::kLengthTooLarge);
}

TEST(SelfExtractorTail, FieldLengthsPastTheBlockAreRefused) {
  const Bytes good = ComposeDataBlock("viewer", "toolkit", "packet");
  DataBlockFields f;
  ASSERT_EQ(SplitDataBlock(good, f), TailStatus::kOk);
  // Every truncation of the block.
  for (size_t n = 0; n < good.size(); ++n) {
    EXPECT_EQ(SplitDataBlock(good.substr(0, n), f), TailStatus::kNoData) << n;
    EXPECT_TRUE(f.viewer_lzss.empty() && f.toolkit_lzss.empty() && f.packet.empty());
  }
  // Bytes left over after the third field.
  EXPECT_EQ(SplitDataBlock(good + "x", f), TailStatus::kNoData);
  // Forged lengths in each field: one past the end, 2 GiB and more, all bits set.
  for (size_t at : {size_t{0}, size_t{10}, size_t{21}}) {
    for (uint32_t forged : {0x7fffffffu, 0x80000000u, 0xffffffffu, 1000u}) {
      Bytes bad = good;
      StoreLe32(bad.data() + at, forged);
      EXPECT_EQ(SplitDataBlock(bad, f), TailStatus::kNoData) << at << " " << forged;
    }
  }
  // Any empty field is "no data".
  EXPECT_EQ(SplitDataBlock(ComposeDataBlock("", "t", "p"), f), TailStatus::kNoData);
  EXPECT_EQ(SplitDataBlock(ComposeDataBlock("v", "", "p"), f), TailStatus::kNoData);
  EXPECT_EQ(SplitDataBlock(ComposeDataBlock("v", "t", ""), f), TailStatus::kNoData);
}

TEST(SelfExtractorTail, EveryTruncationOfARealProgramIsRefusedOrReadsInsideIt) {
  const Bytes file = ComposeSelfExtractor(
      FakeProgram('L', 200), ComposeDataBlock(Compressed(FakeProgram('v', 500)),
                                              Compressed(FakeProgram('t', 300)), "the packet"));
  for (size_t n = 0; n < file.size(); ++n) {
    const std::string cut = file.substr(0, n);
    DataBlockFields f;
    const TailStatus st = ReadDataBlock(cut, f);
    EXPECT_NE(st, TailStatus::kOk) << n;  // the tail is gone, whatever the bytes say now
  }
}

TEST(SelfExtractorUnpack, ProgramsDecodeBackExactly) {
  const Bytes viewer = FakeProgram('v', 70000);
  const Bytes toolkit = FakeProgram('t', 9000);
  const Bytes file = ComposeSelfExtractor(
      FakeProgram('L', 100), ComposeDataBlock(Compressed(viewer), Compressed(toolkit), "pk"));
  DataBlockFields f;
  ASSERT_EQ(ReadDataBlock(file, f), TailStatus::kOk);
  Bytes v, t;
  ASSERT_EQ(UnpackPrograms(f, v, t), UnpackStatus::kOk);
  EXPECT_EQ(v, viewer);
  EXPECT_EQ(t, toolkit);
  EXPECT_EQ(f.packet, "pk");
}

TEST(SelfExtractorUnpack, BrokenStreamsAndNonProgramsAreNeverHandedOn) {
  const Bytes good = Compressed(FakeProgram('v', 600));
  Bytes v, t;
  DataBlockFields f{good, good, "p"};
  ASSERT_EQ(UnpackPrograms(f, v, t), UnpackStatus::kOk);

  // A stream that does not decode.
  f.viewer_lzss = "junk";
  EXPECT_EQ(UnpackPrograms(f, v, t), UnpackStatus::kViewerBroken);
  EXPECT_TRUE(v.empty() && t.empty());
  // A stream that decodes to something that is no Windows program.
  const Bytes text = Compressed("this is not a program at all" + Bytes(300, 'x'));
  f.viewer_lzss = text;
  EXPECT_EQ(UnpackPrograms(f, v, t), UnpackStatus::kViewerBroken);
  f.viewer_lzss = good;
  f.toolkit_lzss = text;
  EXPECT_EQ(UnpackPrograms(f, v, t), UnpackStatus::kToolkitBroken);
  EXPECT_TRUE(v.empty() && t.empty());
  // A forged uncompressed length far beyond what the stream can give.
  Bytes forged = good;
  StoreLe32(forged.data(), 0xfffffff0u);
  f.toolkit_lzss = forged;
  EXPECT_EQ(UnpackPrograms(f, v, t), UnpackStatus::kToolkitBroken);
}

TEST(SelfExtractorMessages, FileErrorTextsByNumber) {
  EXPECT_EQ(SelfExtractorFileErrorText(51), ": Error_InternalSystemError");
  EXPECT_EQ(SelfExtractorFileErrorText(52), ": Error_BadFilename");
  EXPECT_EQ(SelfExtractorFileErrorText(53), ": Error_FileNotFound");
  EXPECT_EQ(SelfExtractorFileErrorText(55), ": Error_FileAlreadyOpen");
  EXPECT_EQ(SelfExtractorFileErrorText(57), ": Error_DeviceIOError");
  EXPECT_EQ(SelfExtractorFileErrorText(58), ": Error_FileAlreadyExists");
  EXPECT_EQ(SelfExtractorFileErrorText(61), ": Error_DiskFull");
  EXPECT_EQ(SelfExtractorFileErrorText(64), ": Error_BadFileName");
  EXPECT_EQ(SelfExtractorFileErrorText(67), ": Error_TooManyFiles");
  EXPECT_EQ(SelfExtractorFileErrorText(70), ": Error_PermissionDenied");
  EXPECT_EQ(SelfExtractorFileErrorText(71), ": Error_DiskNotReady");
  EXPECT_EQ(SelfExtractorFileErrorText(72), ": Error_DiskMediaError");
  EXPECT_EQ(SelfExtractorFileErrorText(74), ": Error_RenameAcrossDisks");
  EXPECT_EQ(SelfExtractorFileErrorText(75), ": Error_PathFileAccessError");
  EXPECT_EQ(SelfExtractorFileErrorText(76), ": Error_PathNotFound");
  EXPECT_EQ(SelfExtractorFileErrorText(99), ": Error_PathFileAccessError");
}

}  // namespace
}  // namespace lq
