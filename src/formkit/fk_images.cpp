// Drawing state and images: the colour numbers, numbered fonts, the current colour pair and font,
// loading images from "$RESOURCE" names or paths with their "{S}" option, icons by number and
// image lists.
#include <cstring>

#include "formkit/fk_internal.h"
#include "formkit/fk_palette.h"

namespace fk {

COLORREF PaletteColour(int number) { return PaletteRgb(number); }

HFONT FontHandle(int number) {
  auto& fonts = Tk().fonts;
  auto it = fonts.find(number);
  if (it != fonts.end()) return it->second;
  return fonts.count(0) ? fonts[0] : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

namespace {

// The program's folder, with its trailing backslash.
std::wstring ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(n);
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

bool IsAbsolute(const std::wstring& path) {
  return (path.size() > 2 && path[1] == L':') || (path.size() > 1 && path[0] == L'\\');
}

bool EndsWithNoCase(const std::wstring& text, const wchar_t* tail) {
  size_t n = wcslen(tail);
  return text.size() >= n && _wcsicmp(text.c_str() + text.size() - n, tail) == 0;
}

struct StockIcon {
  const wchar_t* name;
  LPCWSTR id;
};
// The system's own icons, by the names an image text gives them after "*".
const StockIcon kStockIcons[] = {
    {L"QUESTION", IDI_QUESTION}, {L"INFORMATION", IDI_INFORMATION}, {L"WARNING", IDI_WARNING},
    {L"ERROR", IDI_ERROR},       {L"APPLICATION", IDI_APPLICATION}, {L"SHIELD", IDI_SHIELD},
};

// An icon of the toolkit's own (the caller destroys it) made from a shared system icon.
HICON LoadStockIcon(const std::wstring& name, int w, int h) {
  for (const StockIcon& stock : kStockIcons) {
    if (_wcsicmp(name.c_str(), stock.name) != 0) continue;
    HICON shared = static_cast<HICON>(LoadImageW(nullptr, stock.id, IMAGE_ICON, w, h,
                                                 LR_SHARED | ((w > 0) ? 0 : LR_DEFAULTSIZE)));
    if (!shared) shared = LoadIconW(nullptr, stock.id);
    if (!shared) return nullptr;
    return static_cast<HICON>(CopyImage(shared, IMAGE_ICON, w, h, 0));
  }
  return nullptr;
}

COLORREF TopLeftPixel(HBITMAP bitmap) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  COLORREF key = GetPixel(dc, 0, 0);
  SelectObject(dc, old);
  DeleteDC(dc);
  return key;
}

}  // namespace

LoadedImage LoadImageText(const char* image_text, int w, int h) {
  LoadedImage out;
  std::wstring text = Wide(image_text);
  // A trailing option group: "{S}" and any other letters.
  if (!text.empty() && text.back() == L'}') {
    size_t open = text.rfind(L'{');
    if (open != std::wstring::npos) {
      std::wstring options = text.substr(open + 1, text.size() - open - 2);
      out.see_through =
          options.find(L'S') != std::wstring::npos || options.find(L's') != std::wstring::npos;
      text.resize(open);
    }
  }
  if (text.empty()) return out;
  UINT size_flag = (w > 0 && h > 0) ? 0 : LR_DEFAULTSIZE;
  if (text[0] == L'*') {
    out.icon = LoadStockIcon(text.substr(1), w, h);
  } else if (text[0] == L'$') {
    HMODULE program = GetModuleHandleW(nullptr);
    std::wstring name = text.substr(1);
    if (FindResourceW(program, name.c_str(), RT_GROUP_ICON)) {
      out.icon = static_cast<HICON>(LoadImageW(program, name.c_str(), IMAGE_ICON, w, h, size_flag));
    } else if (FindResourceW(program, name.c_str(), RT_BITMAP)) {
      out.bitmap = static_cast<HBITMAP>(
          LoadImageW(program, name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    }
  } else {
    std::wstring path = IsAbsolute(text) ? text : ProgramFolder() + text;
    if (EndsWithNoCase(path, L".ico")) {
      out.icon = static_cast<HICON>(
          LoadImageW(nullptr, path.c_str(), IMAGE_ICON, w, h, LR_LOADFROMFILE | size_flag));
    } else {
      out.bitmap = static_cast<HBITMAP>(LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                                   LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    }
  }
  if (out.bitmap && out.see_through) out.key = TopLeftPixel(out.bitmap);
  return out;
}

HBITMAP FlattenBitmap(HBITMAP bitmap, COLORREF key, COLORREF background) {
  BITMAP info{};
  GetObjectW(bitmap, sizeof(info), &info);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = info.bmWidth;
  bi.bmiHeader.biHeight = -info.bmHeight;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP copy = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!copy) return nullptr;
  HDC src = CreateCompatibleDC(nullptr);
  HDC dst = CreateCompatibleDC(nullptr);
  HGDIOBJ old_src = SelectObject(src, bitmap);
  HGDIOBJ old_dst = SelectObject(dst, copy);
  BitBlt(dst, 0, 0, info.bmWidth, info.bmHeight, src, 0, 0, SRCCOPY);
  SelectObject(src, old_src);
  SelectObject(dst, old_dst);
  DeleteDC(src);
  DeleteDC(dst);
  GdiFlush();
  // DIB pixels are 0x00RRGGBB; COLORREF is 0x00BBGGRR.
  auto swap = [](COLORREF c) {
    return static_cast<DWORD>((GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c));
  };
  DWORD from = swap(key), to = swap(background);
  auto* px = static_cast<DWORD*>(bits);
  size_t count = static_cast<size_t>(info.bmWidth) * static_cast<size_t>(info.bmHeight);
  for (size_t i = 0; i < count; ++i) {
    if ((px[i] & 0xFFFFFF) == from) px[i] = to;
  }
  return copy;
}

int ImageListFlags() {
  switch (Tk().depth) {
    case 4:
      return ILC_COLOR4 | ILC_MASK;
    case 8:
      return ILC_COLOR8 | ILC_MASK;
    case 16:
      return ILC_COLOR16 | ILC_MASK;
    case 24:
      return ILC_COLOR24 | ILC_MASK;
    default:
      return ILC_COLOR32 | ILC_MASK;
  }
}

}  // namespace fk

using namespace fk;

namespace {

bool ColourOk(int number) {
  return number == FK_COLOR_DEFAULT || PaletteColour(number) != CLR_INVALID;
}

}  // namespace

extern "C" {

FK_API int FK_COLOR(int foreground, int background) {
  ClearError();
  if (!ColourOk(foreground) || !ColourOk(background)) {
    return Fail("colour numbers " + std::to_string(foreground) + ", " + std::to_string(background));
  }
  Tk().cur_fg = PaletteColour(foreground);
  Tk().cur_bg = PaletteColour(background);
  return 1;
}

FK_API int FK_SETCOLOR(const char* form_name, int id, int foreground, int background) {
  ClearError();
  auto ok = [](int n) { return n == FK_COLOR_KEEP || ColourOk(n); };
  if (!ok(foreground) || !ok(background)) {
    return Fail("colour numbers " + std::to_string(foreground) + ", " + std::to_string(background));
  }
  Form* form = FindForm(form_name);
  if (!form) return 0;
  if (id == 0) {
    if (background == FK_COLOR_KEEP) return 1;
    if (form->bg_brush) DeleteObject(form->bg_brush);
    form->bg = PaletteColour(background);
    form->bg_brush = form->bg == CLR_INVALID ? nullptr : CreateSolidBrush(form->bg);
    RedrawWindow(form->hwnd, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
    return 1;
  }
  Control* c = FindControl(form, id);
  if (!c) return 0;
  if (foreground != FK_COLOR_KEEP) c->fg = PaletteColour(foreground);
  if (background != FK_COLOR_KEEP) c->bg = PaletteColour(background);
  ApplyColours(c);
  return 1;
}

FK_API int FK_DEFFONT(int number, const char* face, int points, const char* props_text) {
  EnsureReady();
  ClearError();
  if (number < 1 || number > 255) return Fail("font numbers are 1..255");
  if (points < 1 || points > 400) return Fail("font size " + std::to_string(points) + " points");
  std::string props = props_text ? props_text : "";
  std::wstring name = Wide(face);
  if (name.size() >= LF_FACESIZE) return Fail("font face name too long");
  LOGFONTW lf{};
  lf.lfHeight = -MulDiv(points, Tk().dpi, 72);
  lf.lfWeight = HasProp(props, 'B') ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = HasProp(props, 'I');
  lf.lfUnderline = HasProp(props, 'U');
  lf.lfStrikeOut = HasProp(props, 'S');
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = CLEARTYPE_QUALITY;
  wcscpy(lf.lfFaceName, name.c_str());
  HFONT font = CreateFontIndirectW(&lf);
  if (!font) return Fail("font \"" + std::string(face ? face : "") + "\" could not be made");
  auto& fonts = Tk().fonts;
  if (fonts.count(number)) Tk().retired_objects.push_back(fonts[number]);
  fonts[number] = font;
  return 1;
}

FK_API int FK_USEFONT(int number) {
  EnsureReady();
  ClearError();
  if (!Tk().fonts.count(number)) return Fail("font " + std::to_string(number) + " is not defined");
  Tk().cur_font = number;
  return 1;
}

FK_API int FK_SETFONT(const char* form_name, int id, int number) {
  ClearError();
  Control* c = FindControl(form_name, id);
  if (!c) return 0;
  if (!Tk().fonts.count(number)) return Fail("font " + std::to_string(number) + " is not defined");
  c->font = number;
  SendMessageW(c->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle(number)), TRUE);
  return 1;
}

FK_API int FK_LOADICON(int number, const char* image) {
  EnsureReady();
  ClearError();
  if (number < 1 || number > 255) return Fail("icon numbers are 1..255");
  LoadedImage loaded =
      LoadImageText(image, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
  if (loaded.bitmap) DeleteObject(loaded.bitmap);
  if (!loaded.icon) return Fail("no icon \"" + std::string(image ? image : "") + "\"");
  auto& icons = Tk().icons;
  if (icons.count(number)) Tk().retired_icons.push_back(icons[number]);
  icons[number] = loaded.icon;
  return 1;
}

FK_API FK_HWND FK_ICONHANDLE(int number) {
  auto& icons = Tk().icons;
  auto it = icons.find(number);
  if (it == icons.end()) {
    Fail("icon " + std::to_string(number) + " is not loaded");
    return nullptr;
  }
  return it->second;
}

FK_API int FK_LOADPICTURE(const char* form_name, int id, const char* image) {
  ClearError();
  Form* form = nullptr;
  Control* c = FindControl(form_name, id, &form);
  if (!c) return 0;
  if (c->kind != Kind::kPicture && c->kind != Kind::kIcon && c->kind != Kind::kImageButton) {
    return Fail("control " + std::to_string(id) + " shows no images");
  }
  return SetControlImage(form, c, image) ? 1 : 0;
}

FK_API int FK_DEFIMAGELIST(int number, int w, int h) {
  EnsureReady();
  ClearError();
  if (number < 1 || number > 255) return Fail("image list numbers are 1..255");
  if (w < 1 || h < 1 || w > 256 || h > 256) return Fail("image size out of range");
  if (Tk().image_lists.count(number)) {
    return Fail("image list " + std::to_string(number) + " is defined already");
  }
  HIMAGELIST list = ImageList_Create(w, h, ImageListFlags(), 4, 4);
  if (!list) return Fail("the image list could not be made");
  Tk().image_lists[number] = ImageList{list, w, h};
  return 1;
}

FK_API int FK_ADDIMAGE(int number, const char* image) {
  ClearError();
  auto& lists = Tk().image_lists;
  auto it = lists.find(number);
  if (it == lists.end())
    return Fail("image list " + std::to_string(number) + " is not defined"), -1;
  ImageList& il = it->second;
  LoadedImage loaded = LoadImageText(image, il.w, il.h);
  int first = ImageList_GetImageCount(il.list);
  int added = -1;
  if (loaded.icon) {
    added = ImageList_AddIcon(il.list, loaded.icon);
    DestroyIcon(loaded.icon);
  } else if (loaded.bitmap) {
    added = loaded.see_through ? ImageList_AddMasked(il.list, loaded.bitmap, loaded.key)
                               : ImageList_Add(il.list, loaded.bitmap, nullptr);
    DeleteObject(loaded.bitmap);
  }
  if (added < 0) return Fail("no image \"" + std::string(image ? image : "") + "\""), -1;
  return first;
}

FK_API int FK_SETDEPTH(int bits) {
  ClearError();
  if (bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    return Fail("colour depth " + std::to_string(bits));
  }
  Tk().depth = bits;
  return 1;
}

}  // extern "C"
