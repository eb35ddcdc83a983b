// What a support person reads afterwards: every recovery and every failure
// of the console, one line each with the time, what happened, the address
// and the reason.
#pragma once

#include <string_view>

namespace quorvel::app {

class EventLog {
 public:
  virtual ~EventLog() = default;
  // Internal text; the line gets the time in front and a line end.
  virtual void line(std::string_view text) = 0;
};

// On standard error, in UTF-8: "2026-12-09 13:45:02 quorvel: …".
class StderrLog final : public EventLog {
 public:
  void line(std::string_view text) override;
};

}  // namespace quorvel::app
