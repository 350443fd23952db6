// The logic behind the main window's reporting hooks; the GUI's Ui draws what these compute.
#include "app/ui_hooks.h"

#include <algorithm>

#include "packet/packet_session.h"

namespace lq {

namespace {

// The bar control's range is a 16-bit one in the oldest common controls; staying inside it
// works everywhere.
constexpr long kBarLimit = 65535;

}  // namespace

std::string TimeStampText(const LocalTime& now) {
  return ShortDateText(now).substr(0, 11) + " - " + TimeText(now).substr(0, 8);
}

void ProgressView::Show(long position, long maximum) {
  bar_visible = true;
  wait_cursor = true;
  Set(position, maximum);
}

void ProgressView::Update(long position, long maximum) { Set(position, maximum); }

void ProgressView::Hide() {
  bar_visible = false;
  wait_cursor = false;
}

void ProgressView::Set(long position, long maximum) {
  if (maximum < 0) maximum = 0;
  position = std::clamp(position, 0L, maximum);
  if (maximum > kBarLimit) {
    // Scale down, rounding the position down so a bar short of its end stays short of it.
    position = static_cast<long>(static_cast<long long>(position) * kBarLimit / maximum);
    maximum = kBarLimit;
  }
  bar_position_ = static_cast<int>(position);
  bar_maximum_ = static_cast<int>(maximum);
}

int64_t ReserveEditorCapacity(int64_t length, int64_t capacity, int64_t adding) {
  const int64_t needed = length + adding + 10000;
  return std::max(capacity, needed);
}

std::string OverwriteFileLine(uint64_t size, const LocalTime& written) {
  return SizeText(static_cast<double>(size)) + "    " + ShortDateText(written) + "    " +
         TimeText(written);
}

}  // namespace lq
