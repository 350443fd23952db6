// Reporting hooks of a packet operation, the size text of log lines, the remembered overwrite
// answer and the reduction of stored file names to safe bare names.
#include "packet/packet_session.h"

#include <cctype>
#include <cmath>
#include <cstdio>

#include "base/catalogue.h"

namespace lq {

void PacketSession::ClearStatus() {
  status_.clear();
  ui.SetStatusText(status_);
}

void PacketSession::AppendStatus(std::string_view text) {
  status_ += text;
  ui.SetStatusText(status_);
}

void PacketSession::SetStatusColour(std::string_view name) {
  ui.SetStatusColour(StatusColourNumber(name));
}

void PacketSession::ClearSummary(std::string_view when) {
  summary_ = std::string(kSummaryHeading) + std::string(when) + "\r\n";
  ui.SetSummary(summary_);
}

void PacketSession::AppendSummary(std::string_view line) {
  summary_ += line;
  summary_ += "\r\n";
  ui.SetSummary(summary_);
}

int PacketSession::AddHistoryText(std::string_view label_prefix, std::string_view text) {
  if (!keep_history) return ui.AddHistoryEntry("Not stored", "", history_parent);
  history_store_.emplace_back(text);
  const std::string label = std::string(label_prefix) + std::to_string(history_store_.size());
  return ui.AddHistoryEntry(label, text, history_parent);
}

int PacketSession::AddHistoryFile(std::string_view label, std::string_view path) {
  return ui.AddHistoryEntry(label, path, history_parent);
}

void PacketSession::StartProgress(long maximum) {
  progress_position_ = 0;
  progress_maximum_ = maximum;
  ui.ShowProgress(progress_position_, progress_maximum_);
}

void PacketSession::StepProgress() {
  ++progress_position_;
  ui.UpdateProgress(progress_position_, progress_maximum_);
}

void PacketSession::StretchProgress() {
  ++progress_position_;
  ++progress_maximum_;
  ui.UpdateProgress(progress_position_, progress_maximum_);
}

void PacketSession::EndProgress() { ui.HideProgress(); }

namespace {

// Digits of a whole number with a comma between thousands.
std::string GroupThousands(unsigned long long v) {
  std::string digits = std::to_string(v);
  std::string out;
  const size_t n = digits.size();
  for (size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

}  // namespace

std::string SizeText(double n) {
  if (n < 0) n = 0;
  // Rounded logarithms decide the unit, so 1000 bytes already show as 0.977 Kb.
  const long a = n >= 1 ? std::lround(std::log(n)) : 0;
  const long b = std::lround(std::log(1024.0));
  const long e = a / b;
  if (e == 0) return GroupThousands(static_cast<unsigned long long>(n)) + " Bytes";
  if (e > 4) return "Dang!";
  static const char* const kUnits[] = {"", "Kb", "Mb", "Gb", "Tb"};
  const double scaled = n / std::pow(1024.0, static_cast<double>(e));
  const unsigned long long thousandths =
      static_cast<unsigned long long>(std::llround(scaled * 1000));
  char frac[8];
  std::snprintf(frac, sizeof frac, "%03llu", thousandths % 1000);
  return GroupThousands(thousandths / 1000) + "." + frac + " " + kUnits[e];
}

void ClearOverwriteAnswer(PacketSession& s) {
  if ((s.overwrite_answer & kOverwriteRemember) == 0) s.overwrite_answer = 0;
}

bool ConfirmOverwrite(PacketSession& s, const OverwriteRequest& request) {
  const int stored = s.overwrite_answer & ~kOverwriteRemember;
  if (stored == static_cast<int>(OverwriteChoice::kYesToAll)) return true;
  if (stored == static_cast<int>(OverwriteChoice::kNoToAll)) return false;
  const OverwriteReply reply = s.ui.ConfirmOverwrite(request);
  switch (reply.choice) {
    case OverwriteChoice::kYesToAll:
    case OverwriteChoice::kNoToAll:
      s.overwrite_answer =
          static_cast<int>(reply.choice) | (reply.remember ? kOverwriteRemember : 0);
      return reply.choice == OverwriteChoice::kYesToAll;
    case OverwriteChoice::kYes:
    case OverwriteChoice::kNo:
    default:
      // Only the "to all" answers are remembered; a single answer is used once.
      if (reply.remember) ShowMessage(s.ui, "Overwrite_RememberSelection", mb::kIconInformation);
      s.overwrite_answer = 0;
      return reply.choice == OverwriteChoice::kYes;
  }
}

std::string SafeStoreName(std::string_view name) {
  // Only the last path component counts; a drive ("C:") or stream ("file:stream") part is cut
  // off at the last colon.
  const size_t slash = name.find_last_of("/\\");
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  const size_t colon = name.find_last_of(':');
  if (colon != std::string_view::npos) name.remove_prefix(colon + 1);
  std::string out;
  for (unsigned char c : name) {
    const bool forbidden =
        c < 32 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*' || c == 127;
    out += forbidden ? '_' : static_cast<char>(c);
  }
  static const char* const kDevices[] = {"CON",  "PRN",  "AUX",  "NUL",  "COM1",   "COM2",
                                         "COM3", "COM4", "COM5", "COM6", "COM7",   "COM8",
                                         "COM9", "LPT1", "LPT2", "LPT3", "LPT4",   "LPT5",
                                         "LPT6", "LPT7", "LPT8", "LPT9", "CONIN$", "CONOUT$"};
  constexpr size_t kMaxName = 200;
  // The cut can leave trailing blanks or dots or bring a device name back ("CON" and 300 blanks
  // and "x"), and the device prefix can make the name one byte too long: every step is done
  // again on what the one before left, until nothing changes (twice at most).
  for (int round = 0; round < 3; ++round) {
    if (out.size() > kMaxName) {
      const size_t dot = out.find_last_of('.');
      std::string ext = (dot != std::string::npos && out.size() - dot <= 16) ? out.substr(dot) : "";
      size_t cut = kMaxName - ext.size();
      // Never split a UTF-8 sequence: back up to the start of a character.
      while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
      out = out.substr(0, cut) + ext;
    }
    // Windows drops trailing dots and blanks, which would turn "name." into another file.
    while (!out.empty() && (out.back() == '.' || out.back() == ' ')) out.pop_back();
    size_t start = 0;
    while (start < out.size() && out[start] == ' ') ++start;
    out.erase(0, start);
    if (out.empty()) return {};
    // Device names are devices in every folder and with any extension ("NUL.txt").
    std::string stem = out.substr(0, out.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char* d : kDevices) {
      if (stem == d) {
        out.insert(out.begin(), '_');
        break;
      }
    }
    if (out.size() <= kMaxName) break;
  }
  return out;
}

}  // namespace lq
