// The five lines the window-class inspector shows for a window: title, class, handle, parent
// handle and parent class.
#pragma once

#include <windows.h>

#include <string>

namespace lq {

// Size of the title and class buffers; longer titles are cut to kPeekBuffer - 1 characters.
constexpr int kPeekBuffer = 260;

// The handle as the runtime's number text (a blank in front of a non-negative value).
std::string HandleText(HWND hwnd);

// "Window name: " + title, "Class:" + class, "hWnd: " + handle, "hParent: " + parent handle,
// "Parent class: " + parent class; every line ends with CR LF. Texts are UTF-8.
std::string PeekText(HWND hwnd);

}  // namespace lq
