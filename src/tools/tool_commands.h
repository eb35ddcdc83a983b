// The command-line companion's commands, apart from the process around
// them so that tests can run them in memory. Arguments, input and output
// are UTF-8.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::tool {

struct Io {
  std::string input;   // all of standard input (read only by commands that use it)
  std::string output;  // what goes to standard output
  std::string error;   // what goes to standard error
  // When set, what a command prints as it goes is handed on at once
  // instead of kept in `output`: a check that hangs or fails later never
  // hides the lines decided before it.
  std::function<void(std::string_view)> stream;
  void print(std::string_view text) {
    if (stream) {
      stream(text);
    } else {
      output += text;
    }
  }
};

// The exit status: 0; 1 when a file cannot be written or an answer is
// refused; 2 for wrong arguments.
int run(const std::vector<std::string>& args, Io& io);

}  // namespace quorvel::tool
