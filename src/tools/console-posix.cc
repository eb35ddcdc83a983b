#include "tools/console.h"

namespace quorvel::tool {

void prepare_console() {}

// Linux passes the bytes the user typed, which are UTF-8.
std::vector<std::string> utf8_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

}  // namespace quorvel::tool
