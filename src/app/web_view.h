// The embedded web view as the client's handlers use it. The engine library
// behind it comes with its own files; until a view is opened every call is
// harmless, so a tray command that arrives first does nothing.
#pragma once

#include <cstdint>
#include <string_view>

#include "app/ui.h"

namespace quorvel::app {

// What the page tells the host.
class PageEvents {
 public:
  virtual ~PageEvents() = default;
  virtual void page_loaded() = 0;
  virtual void console_message(std::string_view text) = 0;
};

// Whether the engine can be used, and what to tell the agent when not.
struct EngineStatus {
  enum class Kind {
    Ready,
    RuntimeMissing,  // the library loads only with its runtime
    NotWritten,      // the library could be written in no folder
  };
  Kind kind = Kind::Ready;
  Text message;  // for the agent when not ready, naming the runtime or the folders
};

class WebView {
 public:
  virtual ~WebView() = default;
  // Deploys and prepares the engine library (early in the start).
  virtual void prepare() = 0;
  // Whether the engine is usable on this system.
  [[nodiscard]] virtual EngineStatus engine_status() = 0;
  // Opens the view inside a native window on a URL; false when it failed.
  virtual bool open(std::intptr_t host, std::string_view url) = 0;
  virtual void set_events(PageEvents* events) = 0;
  virtual void reload() = 0;
  virtual void set_bounds(Rect bounds) = 0;
  virtual void close() = 0;
  virtual void run_script(std::string_view script) = 0;
};

}  // namespace quorvel::app
