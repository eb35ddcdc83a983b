// What the fake engine library records and how a test steers it; shared by
// the library and the test that loads it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "webview/engine_api.h"

struct FakeEngineState {
  std::vector<std::string> calls;
  int has_edge = 1;
  bool open_fails = false;
  intptr_t open_fields[22] = {};
  qv_event_proc page_loaded = nullptr;
  qv_event_proc console = nullptr;
  qv_event_proc load_failed = nullptr;
  qv_event_proc process_event = nullptr;
  qv_event_proc tls_error = nullptr;
  qv_event_proc committed = nullptr;
  qv_decide_proc navigation = nullptr;
  qv_event_proc download = nullptr;
  qv_event_proc command = nullptr;
  qv_event_proc find_result = nullptr;
  qv_decide_proc permission = nullptr;
  qv_event_proc notification = nullptr;
  std::vector<std::string> options;  // "name=value" as set
};

extern "C" QV_EXPORT FakeEngineState* QV_CALL fake_engine_state(void);
