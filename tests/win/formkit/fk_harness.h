// Test harness for the toolkit: runs a test body as the main routine of FK_GUIRUN, records every
// event, lets a test react to events (cancel, nested FK_DOEVENTS, unloading) and to design calls.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "formkit/formkit.h"

namespace fktest {

struct Event {
  std::string form;
  int id = 0;
  int code = 0;
  intptr_t value = 0;
  bool operator==(const Event& o) const {
    return form == o.form && id == o.id && code == o.code && value == o.value;
  }
};

struct Harness {
  std::vector<Event> events;
  std::vector<std::string> designed;
  // Called for every event after it is recorded; may set *cancel.
  std::function<void(const Event&, int* cancel)> on_event;
  // Called by the design routine (after it is recorded) to create the form's controls.
  std::function<void(const std::string& form)> on_design;
};

Harness& H();

// Runs body inside FK_GUIRUN with fresh recording. With end_run, forms left by the body are
// unloaded by ending the run at once; without it the run goes on until the last form is gone.
// Returns FK_GUIRUN's result.
int RunToolkit(const std::function<void()>& body, bool end_run = true);

// Pumps messages for at least `ms` milliseconds (0: once).
void Pump(int ms = 0);

// Events with the given code, in order.
std::vector<Event> Only(int code);

// A form with a design routine of its own, shown without stealing focus from nothing.
bool MakeForm(const char* name, const std::function<void()>& controls, const char* props = "",
              const char* parent = "");

}  // namespace fktest

// gtest prints recorded events readably.
std::ostream& operator<<(std::ostream& out, const fktest::Event& e);
