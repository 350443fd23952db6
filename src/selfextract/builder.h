// Writing a self-extracting program: the launcher, the compressed viewer and toolkit library
// and a passphrase packet joined into one file, with every failure told to the user. lqdesk's
// self-extractor dialog and `lq sfx` both write through here.
#pragma once

#include <string>
#include <string_view>

#include "base/datetime.h"
#include "base/file_io.h"
#include "base/ui.h"

namespace lq {

inline constexpr char kSelfExtractorCaption[] = "Lockquill V1.0";

// The three program files a self-extractor is made from, in one folder.
struct SelfExtractorPrograms {
  std::string launcher, viewer, toolkit;
};
// `folder` + "sxlaunch.exe", "sxview.exe", "FORMKIT30.dll" (a separator is added when missing).
SelfExtractorPrograms ProgramsIn(std::string_view folder);

constexpr int kSelfExtractorWritten = 0;
constexpr int kSelfExtractorFailed = -1;

// Reads the three programs, compresses viewer and toolkit, and writes launcher + data block +
// length to `output_path`. Missing or empty inputs and compression failures are shown as plain
// message boxes and nothing is written. An existing output is replaced only when the user says
// Yes to "<path> / already exists. Overwrite it?", and then through a temporary file renamed
// over it, so a failed write leaves the old file as it was. A write failure shows the path +
// ": Error_" + the error's name. kSelfExtractorWritten or kSelfExtractorFailed.
[[nodiscard]] int WriteSelfExtractor(Ui& ui, FileOps& files, const SelfExtractorPrograms& programs,
                                     std::string_view packet, const std::string& output_path);

// The name an automatically saved self-extractor gets in `temp_folder`: "LQSE" + month-day-year
// (two, two and four digits, hyphens) + "_" + the seconds since midnight + a counter from 0 +
// ".exe", the first such name that does not exist yet. Empty when no free name was found.
std::string AutoSaveName(FileOps& files, std::string_view temp_folder, const LocalTime& now,
                         long seconds_of_day);

}  // namespace lq
