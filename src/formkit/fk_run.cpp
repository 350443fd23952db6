// The toolkit run: setup (DPI awareness, visual styles, window classes, default font and
// character units), the message loop with hooks, key events, accelerators and dialog keys,
// FK_DOEVENTS, and the release of everything when the run ends.
#include "formkit/fk_internal.h"

namespace fk {

const wchar_t kFormClass[] = L"FormKit30Form";

namespace {

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

// Declares DPI awareness once per process, before the first window: the newer call where the
// system has it, the Vista one otherwise.
void DeclareDpiAwareness() {
  using SetContext = BOOL(WINAPI*)(HANDLE);
  HMODULE user = GetModuleHandleW(L"user32.dll");
  auto set_context = reinterpret_cast<SetContext>(
      reinterpret_cast<void*>(GetProcAddress(user, "SetProcessDpiAwarenessContext")));
  // DPI_AWARENESS_CONTEXT_SYSTEM_AWARE: fonts and metrics come at the screen's real DPI.
  if (!set_context || !set_context(reinterpret_cast<HANDLE>(-2))) SetProcessDPIAware();
}

// Common controls version 6 (visual styles) come from the manifest in this DLL's resources; the
// context stays active for the whole run so every control created is the styled one.
void ActivateStyles(Toolkit& tk) {
  wchar_t path[MAX_PATH];
  if (!GetModuleFileNameW(tk.module, path, MAX_PATH)) return;
  ACTCTXW ctx{};
  ctx.cbSize = sizeof(ctx);
  ctx.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
  ctx.lpSource = path;
  ctx.hModule = tk.module;
  ctx.lpResourceName = MAKEINTRESOURCEW(2);
  tk.act_ctx = CreateActCtxW(&ctx);
  if (tk.act_ctx != INVALID_HANDLE_VALUE && !ActivateActCtx(tk.act_ctx, &tk.act_cookie)) {
    ReleaseActCtx(tk.act_ctx);
    tk.act_ctx = INVALID_HANDLE_VALUE;
  }
}

// The default font is the system's message font at the screen's DPI; character units are its
// average character width and its height, as dialog units are measured.
void MeasureDefaultFont(Toolkit& tk) {
  HDC screen = GetDC(nullptr);
  tk.dpi = GetDeviceCaps(screen, LOGPIXELSY);
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  HFONT font = nullptr;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    font = CreateFontIndirectW(&metrics.lfMessageFont);
  }
  if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  tk.fonts[0] = font;
  HGDIOBJ old = SelectObject(screen, font);
  TEXTMETRICW tm{};
  GetTextMetricsW(screen, &tm);
  SIZE size{};
  static const wchar_t kAlphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  GetTextExtentPoint32W(screen, kAlphabet, 52, &size);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  tk.unit_x = size.cx > 0 ? size.cx / 52.0 : 7.0;
  tk.unit_y = tm.tmHeight > 0 ? static_cast<double>(tm.tmHeight) : 16.0;
}

bool IsKeyMessage(UINT msg) { return msg == WM_KEYDOWN || msg == WM_CHAR || msg == WM_KEYUP; }

// Enter presses the focused push button or the form's default button ("D"), Escape its cancel
// button ("A"); controls that want those keys themselves (multi-line texts) keep them.
bool HandleDialogKey(Form* form, const MSG& msg) {
  LRESULT code = SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
  if (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return false;
  if (msg.wParam == VK_RETURN && (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) {
    SendMessageW(msg.hwnd, BM_CLICK, 0, 0);
    return true;
  }
  char wanted = msg.wParam == VK_RETURN ? 'D' : 'A';
  HWND target = nullptr;
  for (auto& [id, control] : form->controls) {
    if ((control->kind == Kind::kButton || control->kind == Kind::kImageButton) &&
        HasProp(control->props, wanted)) {
      target = control->hwnd;
      break;
    }
  }
  if (target && IsWindowEnabled(target) && IsWindowVisible(target)) {
    SendMessageW(target, BM_CLICK, 0, 0);
  }
  // Swallowed either way: a single-line box would only beep.
  return true;
}

// The main loop: until WM_QUIT.
int RunLoop() {
  MSG msg;
  for (;;) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);
    if (got == -1) return -1;
    ProcessMessage(msg);
  }
}

ModalWait* FindWait(const std::string& form) {
  for (ModalWait* wait : Tk().modal_waits) {
    if (wait->form == form) return wait;
  }
  return nullptr;
}

// Enables the wait's forms again and, when its form has the activation, hands it to the
// program's window that had it before (or the form's owner), never to another program.
void Unblock(ModalWait* wait) {
  if (wait->released) return;
  wait->released = true;
  EnableForms(wait->disabled);
  HWND active = GetActiveWindow();
  if (active != wait->hwnd && !IsChild(wait->hwnd, active)) return;
  HWND target = nullptr;
  Form* form = FindFormQuiet(wait->form);
  if (form) {
    if (Form* owner = FindFormQuiet(form->parent)) target = owner->hwnd;
  }
  Form* previous = FormByHwnd(wait->previous_active);
  if (previous && previous->hwnd != wait->hwnd) target = previous->hwnd;
  if (target && IsWindowVisible(target) && IsWindowEnabled(target)) SetActiveWindow(target);
}

}  // namespace

void ProcessMessage(MSG& msg) {
  Toolkit& tk = Tk();
  if (tk.loop_hook && tk.loop_hook(&msg)) return;
  int id = 0;
  Form* form = OwnerForm(msg.hwnd, &id);
  if (form && tk.key_events && IsKeyMessage(msg.message)) {
    int code = msg.message == WM_KEYDOWN ? FK_EV_KEYDOWN
                                         : (msg.message == WM_CHAR ? FK_EV_CHAR : FK_EV_KEYUP);
    if (Fire(form->name, id, code, static_cast<intptr_t>(msg.wParam))) return;
    form = OwnerForm(msg.hwnd, &id);  // the event routine may have unloaded it
  }
  if (form) {
    Form* root = FormByHwnd(GetAncestor(form->hwnd, GA_ROOT));
    // Accelerators of the innermost form first, then of the forms it lies in ("P" forms).
    for (Form* f = form; f; f = f->child ? FindFormQuiet(f->parent) : nullptr) {
      if (f->accel_table && TranslateAcceleratorW(f->hwnd, f->accel_table, &msg)) return;
    }
    if (msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE) &&
        HandleDialogKey(form, msg)) {
      return;
    }
    if (root && IsDialogMessageW(root->hwnd, &msg)) return;
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

bool EnsureReady() {
  Toolkit& tk = Tk();
  if (tk.ready) return true;
  tk.module = ThisModule();
  DeclareDpiAwareness();
  ActivateStyles(tk);
  INITCOMMONCONTROLSEX icc{};
  icc.dwSize = sizeof(icc);
  icc.dwICC = ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_HOTKEY_CLASS | ICC_BAR_CLASSES |
              ICC_TAB_CLASSES | ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES |
              ICC_USEREX_CLASSES;
  InitCommonControlsEx(&icc);
  tk.richedit = LoadLibraryW(L"riched20.dll");

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = FormProc;
  wc.hInstance = tk.module;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wc.lpszClassName = kFormClass;
  RegisterClassExW(&wc);
  RegisterTurtleClass();
  MeasureDefaultFont(tk);
  tk.ready = true;
  return true;
}

void Release() {
  Toolkit& tk = Tk();
  if (!tk.ready) return;
  // Forms left at the end go without events: the application has finished.
  tk.event_proc = nullptr;
  StopHoverWatch();
  if (tk.clipboard_window) DestroyWindow(tk.clipboard_window);
  while (!tk.forms.empty()) {
    Form* form = tk.forms.begin()->second.get();
    if (form->hwnd && IsWindow(form->hwnd)) {
      DestroyWindow(form->hwnd);
    }
    // A window that is already gone leaves its record behind; drop it here.
    if (!tk.forms.empty() && tk.forms.begin()->second.get() == form) {
      tk.forms.erase(tk.forms.begin());
    }
  }
  for (auto& [number, font] : tk.fonts) DeleteObject(font);
  for (HGDIOBJ object : tk.retired_objects) DeleteObject(object);
  for (HICON icon : tk.retired_icons) DestroyIcon(icon);
  for (auto& [number, icon] : tk.icons) DestroyIcon(icon);
  for (auto& [number, list] : tk.image_lists) ImageList_Destroy(list.list);
  if (tk.plugin) FreeLibrary(tk.plugin);
  UnregisterClassW(kFormClass, tk.module);
  UnregisterTurtleClass();
  if (tk.act_ctx != INVALID_HANDLE_VALUE) {
    DeactivateActCtx(0, tk.act_cookie);
    ReleaseActCtx(tk.act_ctx);
  }
  // The rich-edit library stays loaded: its window class may still be registered in the process.
  HMODULE richedit = tk.richedit;
  tk = Toolkit{};
  tk.richedit = richedit;
}

// Called when a form record goes away: the run ends with the last one.
void NoteFormGone() {
  if (Tk().forms.empty() && Tk().running && !Tk().in_main) PostQuitMessage(0);
}

int RunModal(Form* form) {
  Toolkit& tk = Tk();
  ModalWait wait;
  wait.form = form->name;
  wait.hwnd = form->hwnd;
  wait.previous_active = GetActiveWindow();
  wait.disabled = DisableForms(form);
  // A form that an outer wait disabled takes part in this one: it is usable while it waits.
  int outer_disabled = form->disable_count;
  form->disable_count = 0;
  EnableWindow(form->hwnd, TRUE);
  tk.modal_waits.push_back(&wait);
  ShowWindow(form->hwnd, SW_SHOW);
  form->shown_once = true;
  int result = FK_MODAL_UNLOADED;
  MSG msg;
  for (;;) {
    if (wait.ended) {
      result = wait.code;
      break;
    }
    // Hidden is not an answer (the program hides every window after idle time); only the
    // window's end or an explicit end is.
    if (!IsWindow(wait.hwnd) || !FormByHwnd(wait.hwnd)) break;
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));  // for the outer loop
      result = FK_MODAL_QUIT;
      break;
    }
    ProcessMessage(msg);
  }
  auto& waits = Tk().modal_waits;
  for (auto it = waits.begin(); it != waits.end(); ++it) {
    if (*it == &wait) {
      waits.erase(it);
      break;
    }
  }
  Unblock(&wait);
  if (Form* again = FormByHwnd(wait.hwnd)) {
    again->disable_count += outer_disabled;
    if (again->disable_count > 0) EnableWindow(again->hwnd, FALSE);
  }
  return result;
}

bool EndModal(const std::string& form_name, int code) {
  ModalWait* wait = FindWait(form_name);
  if (!wait || wait->ended) return false;
  wait->ended = true;
  wait->code = code;
  Unblock(wait);
  if (Form* form = FindFormQuiet(form_name)) ShowWindow(form->hwnd, SW_HIDE);
  return true;
}

void ReleaseModal(const std::string& form_name) {
  if (ModalWait* wait = FindWait(form_name)) Unblock(wait);
}

}  // namespace fk

using namespace fk;

extern "C" {

FK_API int FK_GUIRUN(FK_HINSTANCE instance, FK_HINSTANCE previous, const char* command_line,
                     int show, FK_MAINPROC main, FK_EVENTPROC event, FK_DESIGNPROC design,
                     int options) {
  (void)instance, (void)previous, (void)command_line, (void)options;
  if (Tk().running) return Fail("FK_GUIRUN is already running"), -1;
  EnsureReady();
  Toolkit& tk = Tk();
  tk.main_proc = main;
  tk.event_proc = event;
  tk.design_proc = design;
  tk.show_state = show ? show : SW_SHOWNORMAL;
  tk.running = true;
  tk.in_main = true;
  if (main) main();
  Tk().in_main = false;
  int code = 0;
  if (!Tk().forms.empty()) code = RunLoop();
  Release();  // also ends `running`
  return code;
}

FK_API int FK_DOEVENTS(void) {
  EnsureReady();
  MSG msg;
  // A bound, so that a window that keeps posting to itself cannot hold the caller forever.
  for (int n = 0; n < 100000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return 0;
    }
    ProcessMessage(msg);
  }
  return 1;
}

FK_API int FK_HOOKMSGLOOPPROC(FK_LOOPHOOK hook) {
  Tk().loop_hook = hook;
  return 1;
}

FK_API int FK_ALLOWKEYEVENTS(int on) {
  Tk().key_events = on != 0;
  return 1;
}

FK_API int FK_ALLOWNOTIFYEVENTS(int on) {
  Tk().notify_events = on != 0;
  return 1;
}

FK_API int FK_HOOKDIALOGPROC(const char* form_name, FK_MSGHOOK hook) {
  Form* form = FindForm(form_name);
  if (!form) return 0;
  form->pre_hook = hook;
  return 1;
}

FK_API int FK_USEDIALOGPROC(const char* form_name, FK_MSGHOOK hook) {
  Form* form = FindForm(form_name);
  if (!form) return 0;
  form->post_hook = hook;
  return 1;
}

FK_API int FK_SUBCLASS(const char* form_name, int id, FK_MSGHOOK hook) {
  Control* control = FindControl(form_name, id);
  if (!control) return 0;
  control->hook = hook;
  if (!control->subclassed) {
    control->subclassed =
        SetWindowSubclass(control->hwnd, ControlHookProc, 1, static_cast<DWORD_PTR>(id));
  }
  return control->subclassed ? 1 : Fail("the control cannot be subclassed");
}

}  // extern "C"
