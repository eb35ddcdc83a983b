// Files and process paths. Paths are internal text; each platform converts
// them at the system call (UTF-8 on Linux, UTF-16 on Windows).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/text.h"

namespace quorvel::file {

// The whole file, or nothing when it cannot be opened or read.
[[nodiscard]] std::optional<std::string> read(const Text& path);

// Replaces the file's contents so that a process killed at any instant
// leaves either the old or the new contents, never a mix: the data goes to
// "<name>.tmp" in the same folder, which is then renamed over the file. A
// symbolic link is followed, so the link stays and its target changes; the
// file's permission bits are kept. No fsync: a power cut may lose the latest
// write, a killed client may not. False when the folder cannot be written.
[[nodiscard]] bool replace_contents(const Text& path, std::string_view data);

// Full path of the running executable.
[[nodiscard]] Text executable_path();

// The path's folder, without the trailing separator ("" when it has none).
[[nodiscard]] Text directory_of(const Text& path);

// What joins a folder and a name in a path: "/", or "\\" on Windows.
[[nodiscard]] Text separator();

[[nodiscard]] bool is_directory(const Text& path);
[[nodiscard]] bool is_writable_directory(const Text& path);
// Creates the folder and its missing parents; true when it exists after.
[[nodiscard]] bool make_directories(const Text& path);

}  // namespace quorvel::file
