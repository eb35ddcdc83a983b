// Loading the engine library, per platform.
#pragma once

#include "base/text.h"
#include "webview/engine_api.h"

namespace quorvel::webview {

// The library's file name, also its key in the deployed-names set.
[[nodiscard]] Text engine_file_name();

struct EngineExports {
  qv_dllwrite_fn dllwrite = nullptr;
  qv_has_edge_fn has_edge = nullptr;
  qv_init_fn init = nullptr;
  qv_log_fn log = nullptr;
  qv_open_fn open = nullptr;
  qv_set_option_fn set_option = nullptr;  // optional
};

// Loads the library by its full path (kept loaded for the life of the
// process) and binds the five exports; false when it cannot be loaded (its
// runtime missing, say) or lacks one. The loader's own reason goes to
// standard error, for whoever helps the agent.
[[nodiscard]] bool load_engine(const Text& path, EngineExports& exports);

// What the agent is told when the engine's runtime is missing; an
// installer is offered next.
[[nodiscard]] Text runtime_missing_message();

// The user's documents folder: the XDG documents directory on Linux (or
// $HOME/Documents), the shell's personal folder on Windows.
[[nodiscard]] Text documents_directory();

// Makes a file writable again ("clears its attributes").
void make_writable(const Text& path);

}  // namespace quorvel::webview
