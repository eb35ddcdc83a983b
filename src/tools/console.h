// The tool's process edges, per platform: arguments as UTF-8 and standard
// streams that pass bytes through unchanged.
#pragma once

#include <string>
#include <vector>

namespace quorvel::tool {

void prepare_console();
[[nodiscard]] std::vector<std::string> utf8_arguments(int argc, char** argv);

}  // namespace quorvel::tool
