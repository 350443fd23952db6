// Shared helpers of formkit30: text conversion, result buffers, failure reasons, lookups of forms
// and controls by name, id and window, and character-unit arithmetic.
#include <cmath>

#include "base/winstr_win32.h"
#include "formkit/fk_internal.h"

namespace fk {

Toolkit& Tk() {
  static Toolkit toolkit;
  return toolkit;
}

std::wstring Wide(const char* text) { return text ? lq::WideFromUtf8(text) : std::wstring(); }
std::wstring Wide(std::string_view text) { return lq::WideFromUtf8(text); }
std::string Utf8(std::wstring_view text) { return lq::Utf8FromWide(text); }

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
