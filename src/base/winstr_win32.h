// UTF-8 <-> UTF-16 for the Windows API: the core keeps texts and paths in UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace lq {

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

}  // namespace lq
