// Builds the inspector's text for one window.
#include "peek_text.h"

#include <cstdint>

#include "base/bytes.h"
#include "base/winstr_win32.h"

namespace lq {

namespace {
std::string Title(HWND hwnd) {
  wchar_t buf[kPeekBuffer] = {};
  int n = GetWindowTextW(hwnd, buf, kPeekBuffer);
  return Utf8FromWide(std::wstring_view(buf, n > 0 ? static_cast<size_t>(n) : 0));
}

std::string ClassOf(HWND hwnd) {
  if (!hwnd) return {};
  wchar_t buf[kPeekBuffer] = {};
  int n = GetClassNameW(hwnd, buf, kPeekBuffer);
  return Utf8FromWide(std::wstring_view(buf, n > 0 ? static_cast<size_t>(n) : 0));
}
}  // namespace

std::string HandleText(HWND hwnd) {
  // Handles are 32-bit values shown as the signed number the runtime would print.
  return NumText(static_cast<int32_t>(reinterpret_cast<intptr_t>(hwnd)));
}

std::string PeekText(HWND hwnd) {
  HWND parent = GetParent(hwnd);
  std::string text;
  text += "Window name: " + Title(hwnd) + "\r\n";
  text += "Class:" + ClassOf(hwnd) + "\r\n";
  text += "hWnd: " + HandleText(hwnd) + "\r\n";
  text += "hParent: " + HandleText(parent) + "\r\n";
  text += "Parent class: " + ClassOf(parent) + "\r\n";
  return text;
}

}  // namespace lq
