// The logic of the main window's small reporting hooks that the GUI's Ui draws: the time stamp
// of log lines, the status colour, the progress bar's model, the editor's capacity and the
// lines of the overwrite dialog.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/datetime.h"
#include "base/ui.h"

namespace lq {

// Controls of "MAIN" the hooks drive.
namespace main_id {
constexpr int kEditor = 100;
constexpr int kModeLabel = 103;
constexpr int kStatusBar = 122;
constexpr int kLog = 125;
constexpr int kStatusText = 127;
constexpr int kProgress = 128;
constexpr int kHistory = 132;
}  // namespace main_id

// The user's short date (at most 11 characters), " - ", the time (at most 8 characters).
std::string TimeStampText(const LocalTime& now);

// The status colour's name compare is StatusColourNumber (base/ui.h): the engine uses it too.

// The progress bar and the status bar share one place: while progress shows, the bar (128) is
// visible, the status bar (122) hidden and the cursor is the wait cursor.
class ProgressView {
 public:
  bool bar_visible = false;
  bool wait_cursor = false;
  bool StatusBarVisible() const { return !bar_visible; }

  // Ui::ShowProgress / UpdateProgress / HideProgress.
  void Show(long position, long maximum);
  void Update(long position, long maximum);
  void Hide();

  // What the bar control is set to: a range 0..BarMaximum() and a position inside it. Values
  // are kept in the bar's 0..65535 range, scaled down when needed, and the position never
  // passes the maximum; a bar short of full stays short of full (a stretched bar keeps moving
  // without reaching its end).
  int BarPosition() const { return bar_position_; }
  int BarMaximum() const { return bar_maximum_; }

 private:
  void Set(long position, long maximum);
  int bar_position_ = 0, bar_maximum_ = 0;
};

// The editor's new capacity before `adding` characters go into an editor holding `length`
// characters with capacity `capacity`: at least length + adding + 10000, never lowered.
int64_t ReserveEditorCapacity(int64_t length, int64_t capacity, int64_t adding);

// One file line of the overwrite dialog: the size as SizeText, four blanks, the user's short
// date, four blanks, the time. A time that is not a real date shows the numeric form.
std::string OverwriteFileLine(uint64_t size, const LocalTime& written);

}  // namespace lq
