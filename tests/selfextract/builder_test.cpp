// Writing self-extracting programs: the file read back by the launcher's reader gives exactly
// the programs and the packet; each missing input has its message and writes nothing; the
// overwrite question, a failed write that keeps the old program, and the automatic names.
#include "selfextract/builder.h"

#include <gtest/gtest.h>

#include "crypto/lzss.h"
#include "selfextract/container.h"
#include "support/file_fakes.h"
#include "support/recording_ui.h"

namespace lq {
namespace {

using test::FailingOps;
using test::RecordingUi;
using test::TempDir;

class Builder : public ::testing::Test {
 protected:
  void SetUp() override {
    Put("sxlaunch.exe", launcher);
    Put("sxview.exe", viewer);
    Put("FORMKIT30.dll", toolkit);
  }
  void Put(const std::string& name, const Bytes& data) {
    ASSERT_EQ(ReplaceWholeFile(dir.File(name), data), fe::kOk);
  }
  Bytes Read(const std::string& path) {
    Bytes data;
    EXPECT_EQ(ReadWholeFile(path, data), fe::kOk) << path;
    return data;
  }
  int Write(const std::string& output, FileOps& files = RealFileOps()) {
    return WriteSelfExtractor(ui, files, ProgramsIn(dir.Path()), packet, output);
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& b : ui.boxes) texts.push_back(b.text);
    return texts;
  }

  TempDir dir;
  RecordingUi ui;
  const Bytes launcher = "MZ launcher " + Bytes(4000, 'L');
  const Bytes viewer = "MZ viewer " + Bytes(30000, '\x01') + Bytes(100, '\xfe');
  const Bytes toolkit = "MZ toolkit " + Bytes(20000, 't');
  const Bytes packet = Bytes("108001") + Bytes(300, '\x05');
};

TEST_F(Builder, WrittenProgramHoldsLauncherCompressedProgramsAndPacket) {
  const std::string out = dir.File("LQSEF.exe");
  ASSERT_EQ(Write(out), kSelfExtractorWritten);
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(ui.traces.front(), "Loading launcher");
  const Bytes file = Read(out);
  EXPECT_EQ(file.substr(0, launcher.size()), launcher);
  DataBlockFields f;
  ASSERT_EQ(ReadDataBlock(file, f), TailStatus::kOk);
  // The block starts right after the launcher's bytes.
  EXPECT_EQ(f.viewer_lzss.data(), file.data() + launcher.size() + 4);
  EXPECT_LT(f.viewer_lzss.size(), viewer.size());  // compressed
  Bytes v, t;
  ASSERT_EQ(UnpackPrograms(f, v, t), UnpackStatus::kOk);
  EXPECT_EQ(v, viewer);
  EXPECT_EQ(t, toolkit);
  EXPECT_EQ(f.packet, packet);
  EXPECT_EQ(dir.Names().size(), 4u);  // no temporary file left beside it
}

TEST_F(Builder, MissingOrEmptyInputsHaveTheirMessagesAndWriteNothing) {
  const std::string out = dir.File("out.exe");
  struct Case {
    const char* file;
    Bytes contents;  // empty: removed
    bool remove;
    std::string message;
  };
  const Case cases[] = {
      {"sxlaunch.exe", "", true, "Could not read launcher exe file!"},
      {"sxlaunch.exe", "", false, "Could not read launcher exe file!"},
      {"sxview.exe", "", true, "Could not read the exe file that has to be run!"},
      {"sxview.exe", "", false, "Could not read the exe file that has to be run!"},
      {"sxview.exe", "ab", false, "LZSS can't compress the application exe-file"},
      {"FORMKIT30.dll", "", true, "Could not read the dll! " + dir.File("FORMKIT30.dll")},
      {"FORMKIT30.dll", "", false, "Could not read the dll! " + dir.File("FORMKIT30.dll")},
      {"FORMKIT30.dll", "x", false, "LZSS can't compress the dll-file"},
  };
  for (const Case& c : cases) {
    SetUp();
    ui.boxes.clear();
    if (c.remove) {
      ASSERT_EQ(RealFileOps().Remove(dir.File(c.file)), fe::kOk);
    } else {
      Put(c.file, c.contents);
    }
    EXPECT_EQ(Write(out), kSelfExtractorFailed) << c.message;
    ASSERT_EQ(ui.boxes.size(), 1u) << c.message;
    EXPECT_EQ(ui.boxes[0].text, c.message);
    EXPECT_EQ(ui.boxes[0].caption, "Lockquill V1.0");
    EXPECT_EQ(ui.boxes[0].style & mb::kIconMask, mb::kIconHand);
    EXPECT_FALSE(RealFileOps().Exists(out)) << c.message;
  }
}

TEST_F(Builder, NoToOverwriteKeepsTheOldFileYesReplacesIt) {
  const std::string out = dir.File("LQSEF.exe");
  Put("LQSEF.exe", "the old program");
  ui.buttons.push_back(kIdNo);
  EXPECT_EQ(Write(out), kSelfExtractorFailed);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, out + "\r\nalready exists. Overwrite it?");
  EXPECT_EQ(ui.boxes[0].caption, "Lockquill V1.0");
  EXPECT_EQ(ui.boxes[0].style & (mb::kButtonMask | mb::kIconMask), mb::kYesNo | mb::kIconQuestion);
  EXPECT_EQ(Read(out), "the old program");

  ui.buttons.push_back(kIdYes);
  EXPECT_EQ(Write(out), kSelfExtractorWritten);
  EXPECT_EQ(ui.traces.back(), "killing existing self-extracting program");
  DataBlockFields f;
  const Bytes file = Read(out);
  EXPECT_EQ(ReadDataBlock(file, f), TailStatus::kOk);
}

TEST_F(Builder, AFailedReplaceKeepsTheOldProgramAndNamesTheError) {
  const std::string out = dir.File("LQSEF.exe");
  Put("LQSEF.exe", "the old program");
  // Every step of the write fails in turn: creating, writing, flushing, closing, renaming.
  for (int budget = 0; budget < 5; ++budget) {
    FailingOps failing(budget);
    ui.boxes.clear();
    ui.buttons.push_back(kIdYes);
    EXPECT_EQ(Write(out, failing), kSelfExtractorFailed) << budget;
    ASSERT_EQ(ui.boxes.size(), 2u) << budget;
    EXPECT_EQ(ui.boxes[1].text.rfind(out + ": Error_", 0), 0u) << ui.boxes[1].text;
    EXPECT_EQ(ui.boxes[1].caption, "Lockquill V1.0");
    EXPECT_EQ(Read(out), "the old program") << budget;
    EXPECT_EQ(dir.Names().size(), 4u) << budget;  // no temporary file left
  }
  FailingOps full(0);
  ui.boxes.clear();
  ui.buttons.push_back(kIdYes);
  EXPECT_EQ(Write(out, full), kSelfExtractorFailed);
  EXPECT_EQ(ui.boxes.back().text, out + ": Error_DiskFull");
}

TEST_F(Builder, AWriteIntoAMissingFolderNamesThePath) {
  const std::string out = dir.File("no such folder/x.exe");
  EXPECT_EQ(Write(out), kSelfExtractorFailed);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text.rfind(out + ": Error_", 0), 0u) << ui.boxes[0].text;
}

TEST_F(Builder, ProgramPathsAreInTheGivenFolder) {
  const SelfExtractorPrograms p = ProgramsIn("C:\\Program Files\\Lockquill");
  EXPECT_EQ(p.launcher, "C:\\Program Files\\Lockquill\\sxlaunch.exe");
  EXPECT_EQ(p.viewer, "C:\\Program Files\\Lockquill\\sxview.exe");
  EXPECT_EQ(p.toolkit, "C:\\Program Files\\Lockquill\\FORMKIT30.dll");
  EXPECT_EQ(ProgramsIn("/opt/lq/").viewer, "/opt/lq/sxview.exe");
}

TEST_F(Builder, AutoSaveNamesCountUpPastExistingFiles) {
  const LocalTime now{2026, 3, 7, 10, 2, 3};
  const std::string base = dir.Path() + "/";
  EXPECT_EQ(AutoSaveName(RealFileOps(), base, now, 36123), base + "LQSE03-07-2026_361230.exe");
  Put("LQSE03-07-2026_361230.exe", "taken");
  Put("LQSE03-07-2026_361231.exe", "taken");
  EXPECT_EQ(AutoSaveName(RealFileOps(), base, now, 36123), base + "LQSE03-07-2026_361232.exe");
  EXPECT_EQ(AutoSaveName(RealFileOps(), "C:\\TEMP", now, 5), "C:\\TEMP\\LQSE03-07-2026_50.exe");
}

}  // namespace
}  // namespace lq
