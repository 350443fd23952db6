// The toolkit's colour numbers, shared by formkit30 and its turtle-graphics plug-in so that a
// number means the same colour in a control and in a picture.
#pragma once

#include <windows.h>

namespace fk {

// Colour number (see FK_COLOR) to a Win32 colour; CLR_INVALID for "default" and bad numbers.
inline COLORREF PaletteRgb(int number) {
  static const COLORREF kFixed[16] = {
      RGB(0, 0, 0),       RGB(0, 0, 128),   RGB(0, 128, 0),   RGB(0, 128, 128),
      RGB(128, 0, 0),     RGB(128, 0, 128), RGB(128, 128, 0), RGB(192, 192, 192),
      RGB(128, 128, 128), RGB(0, 0, 255),   RGB(0, 255, 0),   RGB(0, 255, 255),
      RGB(255, 0, 0),     RGB(255, 0, 255), RGB(255, 255, 0), RGB(255, 255, 255)};
  if (number >= 0 && number < 16) return kFixed[number];
  switch (number) {
    case 16:
      return GetSysColor(COLOR_BTNFACE);
    case 17:
      return GetSysColor(COLOR_WINDOW);
    case 18:
      return RGB(0, 128, 0);  // status text: success
    case 19:
      return GetSysColor(COLOR_WINDOWTEXT);
    case 20:
      return RGB(200, 0, 0);  // status text: failure
    case 21:
      return GetSysColor(COLOR_INFOBK);
    case 22:
      return GetSysColor(COLOR_GRAYTEXT);
    case 23:
      return GetSysColor(COLOR_HIGHLIGHT);
    default:
      break;
  }
  if ((number & 0xFF000000) == 0x01000000) return static_cast<COLORREF>(number & 0xFFFFFF);
  return CLR_INVALID;
}

}  // namespace fk
