// Shared helpers of formkit30: text conversion, result buffers, failure reasons, lookups of forms
// and controls by name, id and window, and character-unit arithmetic.
#include <cmath>

#include "formkit/fk_internal.h"

namespace fk {

Toolkit& Tk() {
  static Toolkit toolkit;
  return toolkit;
}

bool IsUtf8(std::string_view text) {
  return text.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                             static_cast<int>(text.size()), nullptr, 0) > 0;
}

// Each conversion sizes its result once, so no half-filled buffer is left behind unwiped.
std::wstring Wide(std::string_view text) {
  if (text.empty()) return {};
  int length = static_cast<int>(text.size());
  UINT page = CP_UTF8;
  DWORD flags = MB_ERR_INVALID_CHARS;
  int n = MultiByteToWideChar(page, flags, text.data(), length, nullptr, 0);
  if (n <= 0) {
    // Not UTF-8: a text of the Windows world (a packet from an ANSI program), shown as such.
    page = CP_ACP;
    flags = 0;
    n = MultiByteToWideChar(page, flags, text.data(), length, nullptr, 0);
  }
  if (n <= 0) return {};
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(page, flags, text.data(), length, out.data(), n);
  return out;
}

std::wstring Wide(const char* text) { return text ? Wide(std::string_view(text)) : std::wstring(); }

std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  int length = static_cast<int>(text.size());
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data(), n, nullptr, nullptr);
  return out;
}

void WipeString(std::string& text) {
  text.resize(text.capacity());
  if (!text.empty()) SecureZeroMemory(text.data(), text.size());
  text.clear();
}

void WipeString(std::wstring& text) {
  text.resize(text.capacity());
  if (!text.empty()) SecureZeroMemory(text.data(), text.size() * sizeof(wchar_t));
  text.clear();
}

std::string Upper(const char* name) {
  std::string out = name ? name : "";
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::vector<std::string> SplitBar(std::string_view text) {
  std::vector<std::string> parts;
  if (text.empty()) return parts;
  size_t start = 0;
  for (;;) {
    size_t bar = text.find('|', start);
    parts.emplace_back(text.substr(start, bar == std::string_view::npos ? bar : bar - start));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  return parts;
}

int PutText(const std::string& text, char* buf, int size) {
  if (buf && size > 0) {
    size_t n = text.size() < static_cast<size_t>(size - 1) ? text.size() : size - 1;
    // Never cut a UTF-8 sequence in half.
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    text.copy(buf, n);
    buf[n] = '\0';
  }
  return static_cast<int>(text.size());
}

bool HasProp(const std::string& props, char letter) {
  return props.find(letter) != std::string::npos;
}

int Fail(const std::string& why) {
  Tk().last_error = why;
  return 0;
}

void ClearError() { Tk().last_error.clear(); }

Form* FindFormQuiet(const std::string& name) {
  auto& forms = Tk().forms;
  auto it = forms.find(name);
  return it == forms.end() ? nullptr : it->second.get();
}

Form* FindForm(const char* name) {
  std::string key = Upper(name);
  Form* form = FindFormQuiet(key);
  if (!form) Fail("no form named \"" + key + "\"");
  return form;
}

Form* FormByHwnd(HWND hwnd) {
  if (!hwnd) return nullptr;
  for (auto& [name, form] : Tk().forms) {
    if (form->hwnd == hwnd) return form.get();
  }
  return nullptr;
}

Control* FindControl(Form* form, int id) {
  if (!form) return nullptr;
  auto it = form->controls.find(id);
  if (it == form->controls.end()) {
    Fail("no control " + std::to_string(id) + " on form \"" + form->name + "\"");
    return nullptr;
  }
  return it->second.get();
}

Control* FindControl(const char* form_name, int id, Form** form_out) {
  Form* form = FindForm(form_name);
  if (form_out) *form_out = form;
  return form ? FindControl(form, id) : nullptr;
}

Control* ControlByHwnd(Form* form, HWND hwnd) {
  if (!form || !hwnd) return nullptr;
  for (auto& [id, control] : form->controls) {
    if (control->hwnd == hwnd) return control.get();
  }
  return nullptr;
}

Form* OwnerForm(HWND hwnd, int* id) {
  HWND below = nullptr;
  for (HWND h = hwnd; h; h = GetAncestor(h, GA_PARENT)) {
    if (Form* form = FormByHwnd(h)) {
      Control* control = below ? ControlByHwnd(form, below) : nullptr;
      if (id) *id = control ? control->id : 0;
      return form;
    }
    below = h;
  }
  return nullptr;
}

namespace {

// Whether form `f` is `owner` or is owned by it (through its chain of parent forms).
bool OwnedBy(const Form* f, const Form* owner) {
  for (int depth = 0; f && depth < 64; ++depth) {
    if (f == owner) return true;
    if (f->parent.empty()) return false;
    f = FindFormQuiet(f->parent);
  }
  return false;
}

}  // namespace

std::vector<std::string> DisableForms(const Form* except) {
  std::vector<std::string> disabled;
  for (auto& [name, form] : Tk().forms) {
    if (form->child || !form->hwnd || (except && OwnedBy(form.get(), except))) continue;
    if (form->disable_count > 0) {
      ++form->disable_count;
    } else if (IsWindowEnabled(form->hwnd)) {
      form->disable_count = 1;
      EnableWindow(form->hwnd, FALSE);
    } else {
      continue;  // disabled by the application itself: not the toolkit's to enable again
    }
    disabled.push_back(name);
  }
  return disabled;
}

void EnableForms(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    Form* form = FindFormQuiet(name);
    if (!form || form->disable_count <= 0) continue;
    if (--form->disable_count == 0) EnableWindow(form->hwnd, TRUE);
  }
}

int PxX(double units) { return static_cast<int>(std::lround(units * Tk().unit_x)); }
int PxY(double units) { return static_cast<int>(std::lround(units * Tk().unit_y)); }
double UnitsX(int px) { return px / Tk().unit_x; }
double UnitsY(int px) { return px / Tk().unit_y; }
int Scale96(int px) { return MulDiv(px, Tk().dpi, 96); }

}  // namespace fk

using namespace fk;

extern "C" {

FK_API int FK_GETLASTERROR(char* buf, int size) { return PutText(Tk().last_error, buf, size); }

FK_API int FK_CHARX(double units) {
  EnsureReady();
  return PxX(units);
}

FK_API int FK_CHARY(double units) {
  EnsureReady();
  return PxY(units);
}

FK_API double FK_SCALETOCHARSIZE(int pixels, int vertical) {
  EnsureReady();
  return vertical ? UnitsY(pixels) : UnitsX(pixels);
}

}  // extern "C"
