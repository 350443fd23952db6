// Record framing: the field list reader and writer, the header checks every decomposer runs
// first, and the date and time record.
#include "base/records.h"

#include "base/bytes.h"
#include "base/catalogue.h"

namespace lq {

void AppendField(std::string_view content, std::string& list) {
  AppendLe32(list, static_cast<uint32_t>(content.size()));
  list.append(content);
}

std::string NextField(std::string_view list, long& position) {
  if (position < 0) return {};
  const long long length = static_cast<long long>(list.size());
  const long long pos = position;
  // Position 0 is never valid (positions start at 1); treat it like a missing length.
  if (pos == 0 || pos + 3 > length) {
    position = kFieldShortLength;
    return {};
  }
  const int32_t n = static_cast<int32_t>(LoadLe32(list.data() + (pos - 1)));
  // A negative length is as malformed as an overlong one: the position never moves back.
  if (n < 0 || pos + 3 + n > length) {
    position = kFieldOverlong;
    return {};
  }
  std::string content(list.substr(static_cast<size_t>(pos - 1 + 4), static_cast<size_t>(n)));
  const long long next = pos + 4 + n;
  position = next > length ? kFieldEnd : static_cast<long>(next);
  return content;
}

std::string RecordHeader(std::string_view type) {
  std::string header(type);
  header += kRecordFormat001;
  return header;
}

bool CheckRecordType(Ui& ui, std::string_view record, std::string_view expected_type) {
  std::string_view found = record.substr(0, 3);
  if (found == expected_type) return true;
  ShowMessage(ui, "EnDec_WrongRecordType", mb::kIconHand, expected_type, found);
  return false;
}

bool CheckRecordFormat(Ui& ui, std::string_view record, std::string_view expected_format) {
  std::string_view found = record.size() > 3 ? record.substr(3, 3) : std::string_view{};
  if (found == expected_format) return true;
  ShowMessage(ui, "EnDec_WrongRecordFormat", mb::kIconHand, expected_format, found,
              record.substr(0, 3));
  return false;
}

std::string MakeDateTimeRecord(const LocalTime& t) {
  std::string record = RecordHeader("110");
  for (int value : {t.year, t.month, t.day, t.hour, t.minute, t.second}) {
    AppendField(NumText(value), record);
  }
  return record;
}

std::string CurrentDateTimeRecord() { return MakeDateTimeRecord(CurrentLocalTime()); }

bool ReadDateTimeRecord(Ui& ui, std::string_view record, LocalTime& time) {
  if (!CheckRecordType(ui, record, "110")) return false;
  if (!CheckRecordFormat(ui, record, kRecordFormat001)) return false;
  long position = 7;
  int* fields[] = {&time.year, &time.month, &time.day, &time.hour, &time.minute, &time.second};
  for (int* field : fields) {
    long long v = ParseNumber(NextField(record, position));
    // Out-of-range numbers cannot name a time; keep them within int so display stays defined.
    *field = v < -99999 ? -99999 : v > 99999 ? 99999 : static_cast<int>(v);
  }
  return true;
}

std::string FormatDateTimeRecord(Ui& ui, std::string_view record) {
  LocalTime time;
  if (!ReadDateTimeRecord(ui, record, time)) return {};
  return ShortDateText(time) + " " + TimeText(time);
}

}  // namespace lq
