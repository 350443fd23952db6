// Writing self-extracting programs: reading and compressing the program files, the overwrite
// question, and the replacing write.
#include "selfextract/builder.h"

#include <cstdio>

#include "crypto/lzss.h"
#include "selfextract/container.h"

namespace lq {

namespace {

constexpr int kMaxAutoSaveCounter = 100000;

void Say(Ui& ui, const std::string& text, int style = mb::kIconHand) {
  MessageBoxRequest request;
  request.text = text;
  request.caption = kSelfExtractorCaption;
  request.style = style | mb::kSystemModal | mb::kTopmost;
  ui.ShowMessageBox(request);
}

// The folder with a trailing separator of the kind it already uses ("\\" unless it has only
// "/"), so that `lq sfx` on Linux names the same files as lqdesk on Windows.
std::string WithSeparator(std::string_view folder) {
  std::string f(folder);
  if (f.empty() || f.back() == '\\' || f.back() == '/') return f;
  const bool slashes = f.find('/') != std::string::npos && f.find('\\') == std::string::npos;
  f += slashes ? '/' : '\\';
  return f;
}

}  // namespace

SelfExtractorPrograms ProgramsIn(std::string_view folder) {
  const std::string f = WithSeparator(folder);
  return {f + kLauncherFileName, f + kViewerFileName, f + kToolkitFileName};
}

int WriteSelfExtractor(Ui& ui, FileOps& files, const SelfExtractorPrograms& programs,
                       std::string_view packet, const std::string& output_path) {
  ui.Trace("Loading launcher");
  Bytes launcher;
  if (ReadWholeFile(files, programs.launcher, launcher) != fe::kOk || launcher.empty()) {
    Say(ui, "Could not read launcher exe file!");
    return kSelfExtractorFailed;
  }
  Bytes program;
  if (ReadWholeFile(files, programs.viewer, program) != fe::kOk || program.empty()) {
    Say(ui, "Could not read the exe file that has to be run!");
    return kSelfExtractorFailed;
  }
  Bytes viewer_lzss;
  if (LZSS_Compress(program, viewer_lzss) != kLzssOk) {
    Say(ui, "LZSS can't compress the application exe-file");
    return kSelfExtractorFailed;
  }
  if (ReadWholeFile(files, programs.toolkit, program) != fe::kOk || program.empty()) {
    Say(ui, "Could not read the dll! " + programs.toolkit);
    return kSelfExtractorFailed;
  }
  Bytes toolkit_lzss;
  if (LZSS_Compress(program, toolkit_lzss) != kLzssOk) {
    Say(ui, "LZSS can't compress the dll-file");
    return kSelfExtractorFailed;
  }
  Bytes().swap(program);

  Bytes block = ComposeDataBlock(viewer_lzss, toolkit_lzss, packet);
  Bytes().swap(viewer_lzss);
  Bytes().swap(toolkit_lzss);
  const Bytes file = ComposeSelfExtractor(launcher, block);
  Bytes().swap(block);
  Bytes().swap(launcher);

  if (files.Exists(output_path)) {
    MessageBoxRequest question;
    question.text = output_path + "\r\nalready exists. Overwrite it?";
    question.caption = kSelfExtractorCaption;
    question.style = mb::kYesNo | mb::kIconQuestion | mb::kSystemModal | mb::kTopmost;
    if (ui.ShowMessageBox(question) != kIdYes) return kSelfExtractorFailed;
    // The old program stays until the new one is completely written beside it.
    ui.Trace("killing existing self-extracting program");
  }
  if (const int err = ReplaceWholeFile(files, output_path, file); err != fe::kOk) {
    Say(ui, output_path + SelfExtractorFileErrorText(err));
    return kSelfExtractorFailed;
  }
  return kSelfExtractorWritten;
}

std::string AutoSaveName(FileOps& files, std::string_view temp_folder, const LocalTime& now,
                         long seconds_of_day) {
  char date[32];
  std::snprintf(date, sizeof date, "%02d-%02d-%04d", now.month, now.day, now.year);
  const std::string stem =
      WithSeparator(temp_folder) + "LQSE" + date + "_" + std::to_string(seconds_of_day);
  for (int counter = 0; counter < kMaxAutoSaveCounter; ++counter) {
    std::string name = stem + std::to_string(counter) + ".exe";
    if (!files.Exists(name)) return name;
  }
  return {};
}

}  // namespace lq
