// Milestones of the client's start, for finding what the page waits for:
// with QUORVEL_TRACE set in the environment, each milestone is one line on
// standard error, "quorvel trace: <milliseconds since 1970> <step>", so
// that a script can set them beside its own clock. Without it, a milestone
// costs one test of a flag.
#pragma once

#include <string_view>

namespace quorvel {

void trace(std::string_view step);

}  // namespace quorvel
