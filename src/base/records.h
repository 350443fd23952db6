// Record framing shared by packets and the keyfile: a six-character header (three-digit type,
// three-digit format) followed by a field list of 4-byte little-endian length-prefixed fields.
// Also the date and time record (type 110) that packets carry.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/datetime.h"
#include "base/ui.h"

namespace lq {

inline constexpr char kRecordFormat001[] = "001";

// End and error markers NextField leaves in the position.
constexpr long kFieldEnd = -1;          // the field just read was the last one
constexpr long kFieldShortLength = -2;  // fewer than 4 bytes left for a length
constexpr long kFieldOverlong = -3;     // content runs past the end, or a negative length

// Appends the 4-byte little-endian length of `content` and then `content` to `list`.
void AppendField(std::string_view content, std::string& list);

// Reads the field whose length starts at the 1-based `position` and advances past it; see the
// markers above. A negative position on entry returns an empty field and leaves it unchanged,
// so a loop may read on after a marker without effect.
std::string NextField(std::string_view list, long& position);

// Header of a record: type (three digits) + "001" format.
std::string RecordHeader(std::string_view type);

// Compare bytes 1-3 (type) and 4-6 (format) with the expected values; on a mismatch show
// "EnDec_WrongRecordType" / "EnDec_WrongRecordFormat" (error icon) and return false.
bool CheckRecordType(Ui& ui, std::string_view record, std::string_view expected_type);
bool CheckRecordFormat(Ui& ui, std::string_view record, std::string_view expected_format);

// The type 110 record of a local time: six fields year..second in the system's number text.
std::string MakeDateTimeRecord(const LocalTime& time);
std::string CurrentDateTimeRecord();

// Reads a type 110 record back; false (message shown) when its header is wrong. Missing or
// unreadable fields read as 0.
bool ReadDateTimeRecord(Ui& ui, std::string_view record, LocalTime& time);

// The display text of a type 110 record: the short date, one blank, the time. Empty (with the
// header message shown) when the record is not a type 110, format 001 record.
std::string FormatDateTimeRecord(Ui& ui, std::string_view record);

}  // namespace lq
