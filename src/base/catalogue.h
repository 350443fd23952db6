// The message catalogue: every error, warning, information and question the program shows is a
// case-sensitive key turned into a fixed English text here, and shown through the Ui.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/ui.h"

namespace lq {

inline constexpr char kMessageCaption[] = "Lockquill V1.0";
inline constexpr char kUndefinedMessage[] = "<<< Undefined message >>>";

// The text of a key of the information table (or of the question table), lines joined with
// CR LF, info strings inserted where the key's entry places them; kUndefinedMessage for a key
// in neither table.
std::string MessageText(std::string_view key, std::string_view info1 = {},
                        std::string_view info2 = {}, std::string_view info3 = {});

// True when the key is in the information table, respectively the question table.
bool IsMessageKey(std::string_view key);
bool IsQuestionKey(std::string_view key);
std::vector<std::string> MessageKeys();
std::vector<std::string> QuestionKeys();

// The style the program's callers pass for `key`: the question table's buttons and icon, 48 or
// 64 for the few warnings and notices, 16 (error) for every other key, unknown ones included.
int MessageStyle(std::string_view key);

// Shows the message of `key` with caption kMessageCaption and style + 4096 + 262144; returns
// the button pressed (callers ignore it).
int ShowMessage(Ui& ui, std::string_view key, int style, std::string_view info1 = {},
                std::string_view info2 = {}, std::string_view info3 = {});

// Asks the question of `key` and returns the Win32 button identifier (kIdYes ...).
int AskUser(Ui& ui, std::string_view key, int style, std::string_view info1 = {},
            std::string_view info2 = {});

// The catalogue key of a runtime file-error number (51..76), or "" for a number with no message.
std::string FileErrorKey(int error_number);

// Shows the file error's message (style 16, file name as info 1); unmapped numbers show nothing.
void ReportFileError(Ui& ui, int error_number, std::string_view file_name);

// "Error_RenamingFiles" with the old and the new name.
void ReportRenameError(Ui& ui, std::string_view old_name, std::string_view new_name);

}  // namespace lq
