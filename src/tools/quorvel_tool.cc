// quorvel-tool: a command-line companion for administrators and support
// staff. See tool_commands.h for the commands.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <iterator>

#include "tools/console.h"
#include "tools/tool_commands.h"

int main(int argc, char** argv) {
  quorvel::tool::prepare_console();
  std::vector<std::string> args = quorvel::tool::utf8_arguments(argc, argv);
  quorvel::tool::Io io;
  // Only these read their input; others must not wait on a terminal.
  const bool dash = std::find(args.begin(), args.end(), "-") != args.end();
  const bool from_input =
      !args.empty() &&
      (args[0] == "json-get" || args[0] == "decode-answer" ||
       (dash && (args[0] == "encipher" || args[0] == "decipher" || args[0] == "config")));
  if (from_input) {
    io.input.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  }
  io.stream = [](std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  };
  const int status = quorvel::tool::run(args, io);
  std::fwrite(io.output.data(), 1, io.output.size(), stdout);
  std::fwrite(io.error.data(), 1, io.error.size(), stderr);
  return status;
}
