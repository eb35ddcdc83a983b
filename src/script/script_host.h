// Runs script text in an embedded JavaScript engine, in the JScript dialect
// that the client's scripts were written for. Copies share one engine and
// its global state. Texts are internal text.
#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "base/text.h"

namespace quorvel {

class ScriptHost {
 public:
  ScriptHost();
  ~ScriptHost();
  ScriptHost(const ScriptHost&);
  ScriptHost& operator=(const ScriptHost&);

  // True when the code ran without an error.
  bool execute_statement(std::string_view code);
  // The value as text; "" on an error (see last_error) and for undefined
  // or null.
  [[nodiscard]] Text eval(std::string_view expression);
  // Drops every global and all added code.
  void reset();
  [[nodiscard]] Text last_error() const;
  // A new reference to the same engine.
  [[nodiscard]] ScriptHost object() const { return *this; }
  // Calls a global function with the leading run of given arguments: the
  // first one left out ends the list.
  [[nodiscard]] Text run(std::string_view name, std::optional<Text> a1 = {},
                         std::optional<Text> a2 = {}, std::optional<Text> a3 = {},
                         std::optional<Text> a4 = {}, std::optional<Text> a5 = {},
                         std::optional<Text> a6 = {});
  // Selector 0 (or none) selects "JScript", 1 "vbs"; others change nothing.
  // A host set to "vbs" fails every evaluation: only JScript is available.
  Text language(std::optional<int> selector = {});
  // Milliseconds a single evaluation may run; none given: -1, no limit.
  int timeout(std::optional<int> milliseconds = {});
  int state(std::optional<int> value = {});
  bool allow_ui(std::optional<bool> flag = {});
  std::intptr_t site_hwnd(std::optional<std::intptr_t> window = {});
  void add_code(std::string_view code);

 private:
  struct Engine;
  std::shared_ptr<Engine> engine_;
};

}  // namespace quorvel
