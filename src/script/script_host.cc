#include "script/script_host.h"

#include <chrono>
#include <vector>

#include "duktape.h"

namespace quorvel {

// Default of the script control: ten seconds per evaluation.
constexpr int kDefaultTimeoutMs = 10000;

// Set while an evaluation runs; the engine polls it through the heap's
// user data.
struct Deadline {
  bool set = false;
  std::chrono::steady_clock::time_point at{};
};

struct ScriptHost::Engine {
  duk_context* ctx = nullptr;
  Text language = "JScript";
  int timeout_ms = kDefaultTimeoutMs;
  int state = 0;
  bool allow_ui = true;
  std::intptr_t site_hwnd = 0;
  Text last_error;
  Deadline deadline;

  Engine() { open(); }
  ~Engine() { close(); }
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  void open() { ctx = duk_create_heap(nullptr, nullptr, nullptr, &deadline, nullptr); }
  void close() {
    if (ctx) duk_destroy_heap(ctx);
    ctx = nullptr;
  }

  bool usable() {
    if (!ctx) {
      last_error = "the script engine could not be created";
      return false;
    }
    if (language != "JScript") {
      last_error = "only JScript is available; this host is set to " + language;
      return false;
    }
    return true;
  }

  void arm() {
    deadline.set = timeout_ms >= 0;
    if (deadline.set) {
      deadline.at = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    }
  }

  // The value on top of the stack as text ("" for undefined and null);
  // pops it.
  Text take_result() {
    Text out;
    if (!duk_is_undefined(ctx, -1) && !duk_is_null(ctx, -1)) {
      out = from_utf8(duk_safe_to_string(ctx, -1));
    }
    duk_pop(ctx);
    return out;
  }

  // Reads the error on top of the stack into last_error; pops it.
  void take_error() {
    last_error = from_utf8(duk_safe_to_string(ctx, -1));
    if (last_error.empty()) last_error = "script error";
    duk_pop(ctx);
  }

  // Compiles and runs a program; leaves its value on the stack on success.
  bool run_program(std::string_view code) {
    last_error.clear();
    if (!usable()) return false;
    const std::string utf8 = to_utf8(code);
    arm();
    const bool ok = duk_peval_lstring(ctx, utf8.data(), utf8.size()) == 0;
    deadline.set = false;
    if (!ok) take_error();
    return ok;
  }
};

}  // namespace quorvel

// Polled by the engine while it runs code.
extern "C" int quorvel_duk_exec_timeout(void* udata) {
  const auto* d = static_cast<const quorvel::Deadline*>(udata);
  return d && d->set && std::chrono::steady_clock::now() > d->at;
}

namespace quorvel {

ScriptHost::ScriptHost() : engine_(std::make_shared<Engine>()) {}
ScriptHost::~ScriptHost() = default;
ScriptHost::ScriptHost(const ScriptHost&) = default;
ScriptHost& ScriptHost::operator=(const ScriptHost&) = default;

bool ScriptHost::execute_statement(std::string_view code) {
  if (!engine_->run_program(code)) return false;
  duk_pop(engine_->ctx);
  return true;
}

Text ScriptHost::eval(std::string_view expression) {
  if (!engine_->run_program(expression)) return {};
  return engine_->take_result();
}

void ScriptHost::add_code(std::string_view code) {
  (void)execute_statement(code);
}

void ScriptHost::reset() {
  engine_->close();
  engine_->open();
  engine_->last_error.clear();
}

Text ScriptHost::last_error() const {
  return engine_->last_error;
}

Text ScriptHost::run(std::string_view name, std::optional<Text> a1, std::optional<Text> a2,
                     std::optional<Text> a3, std::optional<Text> a4, std::optional<Text> a5,
                     std::optional<Text> a6) {
  Engine& e = *engine_;
  e.last_error.clear();
  if (!e.usable()) return {};
  std::vector<std::string> args;
  for (const std::optional<Text>* a : {&a1, &a2, &a3, &a4, &a5, &a6}) {
    if (!*a) break;  // an argument after a gap is not passed
    args.push_back(to_utf8(**a));
  }
  const std::string fn = to_utf8(name);
  if (!duk_get_global_lstring(e.ctx, fn.data(), fn.size()) || !duk_is_function(e.ctx, -1)) {
    duk_pop(e.ctx);
    e.last_error = "no procedure named " + Text(name);
    return {};
  }
  for (const std::string& a : args) duk_push_lstring(e.ctx, a.data(), a.size());
  e.arm();
  const bool ok = duk_pcall(e.ctx, static_cast<duk_idx_t>(args.size())) == DUK_EXEC_SUCCESS;
  e.deadline.set = false;
  if (!ok) {
    e.take_error();
    return {};
  }
  return e.take_result();
}

Text ScriptHost::language(std::optional<int> selector) {
  const int s = selector.value_or(0);
  if (s == 0) engine_->language = "JScript";
  if (s == 1) engine_->language = "vbs";
  return engine_->language;
}

int ScriptHost::timeout(std::optional<int> milliseconds) {
  engine_->timeout_ms = milliseconds.value_or(-1);
  return engine_->timeout_ms;
}

int ScriptHost::state(std::optional<int> value) {
  if (value) engine_->state = *value;
  return engine_->state;
}

bool ScriptHost::allow_ui(std::optional<bool> flag) {
  if (flag) engine_->allow_ui = *flag;
  return engine_->allow_ui;
}

std::intptr_t ScriptHost::site_hwnd(std::optional<std::intptr_t> window) {
  if (window) engine_->site_hwnd = *window;
  return engine_->site_hwnd;
}

}  // namespace quorvel
