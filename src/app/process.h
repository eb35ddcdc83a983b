// The process services of the platform: restart through a script, forced
// exit, starting another program.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "base/text.h"

namespace quorvel::process {

// Writes the restart script (beside the program, or in a private temporary
// folder when that cannot be written), starts it detached, and ends this
// process. The script waits about as long as `delay` pings to the loopback
// take (delay 0 or less: 2), starts the program anew and deletes itself.
// Returns false, and the process goes on, when the program file is missing
// or the script could not be written or started.
bool restart_program(int delay);

// From now on what the client and its engine create (cookies, site
// storage, logs) is for the user alone; programs it starts for the agent
// get the permissions the client was started with. Nothing on Windows,
// whose per-user folders are the user's already.
void keep_new_files_private();
// Runs `start` (a program started for the agent by a toolkit's call) with
// the permissions the client was started with.
void with_started_permissions(const std::function<void()>& start);

// Ends this process only, at once, with code 0.
[[noreturn]] void force_exit();

// Starts a program by its full path with no arguments, detached. Answers
// an id for is_running, or 0 when it could not be started.
[[nodiscard]] std::int64_t launch_program(std::string_view path);

// Whether a program that launch_program started still runs.
[[nodiscard]] bool is_running(std::int64_t id);

// The installer of the web view's runtime, beside the program under config/.
[[nodiscard]] Text runtime_installer();

// The screen-capture tool, beside the program under config/.
[[nodiscard]] Text screenshot_tool();

// The restart script for a program path and a delay, as written; a script
// in a private folder of its own also removes that folder.
[[nodiscard]] Text restart_script(std::string_view program, int delay, bool remove_folder = false);

// Writes the restart script for the program and answers its path, or empty
// text when it could not be written. Beside the program when that folder
// can be written, else in the user's runtime folder, else in a new private
// folder; the file is always created anew, never through an existing file
// or link.
[[nodiscard]] Text write_restart_script(const Text& program, int delay);

}  // namespace quorvel::process
