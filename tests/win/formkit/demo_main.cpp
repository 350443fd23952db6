// formkit_demo.exe: shows the toolkit's demo form. "--page N" opens tab page N; "--quit-after MS"
// closes the demo by itself (for unattended screenshots).
#include <cstdlib>
#include <cstring>
#include <string>

#include "demo_form.h"

namespace {

int g_start_page = 1;
int g_quit_after_ms = 0;
constexpr int kQuitTimer = 99;

void FK_CALLBACK Start() {
  fkdemo::DefineResources();
  if (!fkdemo::Build(g_start_page)) return;
  if (g_quit_after_ms > 0) FK_STARTTIMER(fkdemo::kForm, kQuitTimer, g_quit_after_ms);
}

void FK_CALLBACK Design(const char* form) { fkdemo::Design(form); }

void FK_CALLBACK Event(const char* form, int id, int code, intptr_t value, int* cancel) {
  if (code == FK_EV_TIMER && id == kQuitTimer) {
    FK_UNLOADFORM(form);
    return;
  }
  fkdemo::HandleEvent(form, id, code, value, cancel);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--page") == 0) g_start_page = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--quit-after") == 0) g_quit_after_ms = std::atoi(argv[i + 1]);
  }
  return FK_GUIRUN(nullptr, nullptr, "", 0, Start, Event, Design, 0);
}
