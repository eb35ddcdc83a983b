#include "app/services.h"

#include <chrono>

#include "app/config_file.h"
#include "app/process.h"
#include "app/profile.h"
#include "http/http_request.h"

namespace quorvel::app {

Text ConfigSettings::read(std::string_view key) {
  return read_in(config::kSection, key);
}

bool ConfigSettings::write(std::string_view key, std::string_view value) {
  return write_in(config::kSection, key, value);
}

Text ConfigSettings::read_in(std::string_view section, std::string_view key) {
  return profile::read_string(location(), section, key);
}

// A write that fails leaves the file as it was.
bool ConfigSettings::write_in(std::string_view section, std::string_view key,
                              std::string_view value) {
  return profile::write_string(location(), section, key, value);
}

Text ConfigSettings::location() const {
  return path_.empty() ? config::file_path() : path_;
}

bool PlatformProcess::restart(int delay) {
  return process::restart_program(delay);
}

void PlatformProcess::force_exit() {
  process::force_exit();
}

std::int64_t PlatformProcess::launch(std::string_view path) {
  return process::launch_program(path);
}

bool PlatformProcess::running(std::int64_t id) {
  return process::is_running(id);
}

std::int64_t SteadyClock::now_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

Text PlatformProcess::runtime_installer() {
  return process::runtime_installer();
}

Text PlatformProcess::screenshot_tool() {
  return process::screenshot_tool();
}

HttpGet platform_http_get() {
  return [](std::string_view url, Text& status) {
    http::HttpResult result = http::send_request(url);
    if (result.status_text) status = *result.status_text;
    return std::move(result.body);
  };
}

}  // namespace quorvel::app
