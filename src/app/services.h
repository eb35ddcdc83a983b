// What the client's handlers ask of the world besides the windows: the
// settings file, the process (restart, forced exit, starting a program) and
// the directory's HTTP call. Each has a real implementation and a fake in
// the tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "base/text.h"

namespace quorvel::app {

// The time, for what the client does at most so often.
class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds of a steady clock.
  [[nodiscard]] virtual std::int64_t now_ms() = 0;
};

class SteadyClock final : public Clock {
 public:
  [[nodiscard]] std::int64_t now_ms() override;
};

class Settings {
 public:
  virtual ~Settings() = default;
  [[nodiscard]] virtual Text read(std::string_view key) = 0;
  // False when the value could not be stored; most callers go on as if it
  // had been, as the settings file's rules say.
  virtual bool write(std::string_view key, std::string_view value) = 0;
  // Where the settings are kept, for a message.
  [[nodiscard]] virtual Text location() const = 0;
  // A key of another section of the same file (the trusted certificates).
  [[nodiscard]] virtual Text read_in(std::string_view section, std::string_view key) = 0;
  virtual bool write_in(std::string_view section, std::string_view key, std::string_view value) = 0;
};

// The settings file beside the program (section "main"), or another file.
class ConfigSettings final : public Settings {
 public:
  ConfigSettings() = default;
  explicit ConfigSettings(Text path) : path_(std::move(path)) {}
  [[nodiscard]] Text read(std::string_view key) override;
  bool write(std::string_view key, std::string_view value) override;
  [[nodiscard]] Text location() const override;
  [[nodiscard]] Text read_in(std::string_view section, std::string_view key) override;
  bool write_in(std::string_view section, std::string_view key, std::string_view value) override;

 private:
  Text path_;
};

class Process {
 public:
  virtual ~Process() = default;
  // Hands the start of a fresh instance to a script and ends this process;
  // returns (false) only when that could not be arranged.
  virtual bool restart(int delay) = 0;
  // Ends this process at once, without the orderly exit routine.
  virtual void force_exit() = 0;
  // Starts a program by its full path, without arguments and without
  // waiting for it; an id for running(), 0 when it could not be started.
  virtual std::int64_t launch(std::string_view path) = 0;
  // Whether a program launch() started is still running.
  [[nodiscard]] virtual bool running(std::int64_t id) = 0;
  // The installer of the web view's runtime, shipped under config/.
  [[nodiscard]] virtual Text runtime_installer() = 0;
  // The screen-capture tool, shipped beside the program under config/.
  [[nodiscard]] virtual Text screenshot_tool() = 0;
};

// The platform's process services.
class PlatformProcess final : public Process {
 public:
  bool restart(int delay) override;
  void force_exit() override;
  std::int64_t launch(std::string_view path) override;
  [[nodiscard]] bool running(std::int64_t id) override;
  [[nodiscard]] Text runtime_installer() override;
  [[nodiscard]] Text screenshot_tool() override;
};

// One GET with everything else at its defaults: the body, and the status
// text of the exchange (a failure message when it failed).
using HttpGet = std::function<Text(std::string_view url, Text& status_text)>;

// The request engine with redirects followed and every other argument at
// its default.
[[nodiscard]] HttpGet platform_http_get();

}  // namespace quorvel::app
