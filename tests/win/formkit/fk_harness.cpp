// The toolkit test harness: one FK_GUIRUN per test body, with every event recorded.
#include "fk_harness.h"

#include <cctype>
#include <map>
#include <ostream>

namespace fktest {

namespace {

std::function<void()> g_body;
bool g_end_run = true;
std::map<std::string, std::function<void()>> g_designs;

void FK_CALLBACK Main() {
  if (g_body) g_body();
  // Whatever the body left open ends with the run.
  if (g_end_run) PostQuitMessage(0);
}

void FK_CALLBACK Design(const char* form) {
  H().designed.push_back(form);
  auto it = g_designs.find(form);
  if (it != g_designs.end()) it->second();
  if (H().on_design) H().on_design(form);
}

void FK_CALLBACK OnEvent(const char* form, int id, int code, intptr_t value, int* cancel) {
  Event e{form, id, code, value};
  H().events.push_back(e);
  if (H().on_event) H().on_event(e, cancel);
}

}  // namespace

Harness& H() {
  static Harness harness;
  return harness;
}

int RunToolkit(const std::function<void()>& body, bool end_run) {
  H() = Harness{};
  g_end_run = end_run;
  g_designs.clear();
  g_body = body;
  int code =
      FK_GUIRUN(GetModuleHandleW(nullptr), nullptr, "", SW_SHOWNORMAL, Main, OnEvent, Design, 0);
  g_body = nullptr;
  // A quit request that the run did not need must not reach the next test.
  MSG msg;
  while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  return code;
}

void Pump(int ms) {
  DWORD end = GetTickCount() + static_cast<DWORD>(ms);
  do {
    FK_DOEVENTS();
    if (ms > 0) Sleep(5);
  } while (static_cast<int>(end - GetTickCount()) > 0);
}

std::vector<Event> Only(int code) {
  std::vector<Event> out;
  for (const Event& e : H().events) {
    if (e.code == code) out.push_back(e);
  }
  return out;
}

bool MakeForm(const char* name, const std::function<void()>& controls, const char* props,
              const char* parent) {
  std::string key = name;
  for (char& c : key) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  g_designs[key] = controls;
  return FK_FORM(name, parent, name, 2, 2, 60, 25, props) == 1;
}

}  // namespace fktest

std::ostream& operator<<(std::ostream& out, const fktest::Event& e) {
  return out << "{" << e.form << ", " << e.id << ", code " << e.code << ", value " << e.value
             << "}";
}
