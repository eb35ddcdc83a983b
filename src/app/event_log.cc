#include "app/event_log.h"

#include <cstdio>
#include <ctime>
#include <string>

#include "base/text.h"

namespace quorvel::app {

void StderrLog::line(std::string_view text) {
  const std::time_t now = std::time(nullptr);
  // The one thread writes lines, so the shared result of localtime serves.
  const std::tm* local = std::localtime(&now);
  char stamp[32] = "";
  if (local != nullptr) std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", local);
  const std::string out = std::string(stamp) + " quorvel: " + to_utf8(text) + "\n";
  std::fwrite(out.data(), 1, out.size(), stderr);
  std::fflush(stderr);
}

}  // namespace quorvel::app
