// Files and process paths. Paths are internal text; each platform converts
// them at the system call (UTF-8 on Linux, UTF-16 on Windows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/text.h"

namespace quorvel::file {

// What a read found. Only regular files are read (a link to one counts):
// a FIFO would block the reader and a device never ends.
enum class ReadStatus {
  Ok,
  Missing,     // nothing at that path, or a folder on the way is missing
  Unreadable,  // there, but it may not be read (permissions, an I/O error)
  NotRegular,  // a folder, FIFO, socket or device
  TooLarge,    // more than the reader's limit
};

struct ReadResult {
  ReadStatus status = ReadStatus::Missing;
  std::string data;  // the whole file when Ok
};

// Reads are bounded: nothing this program reads legitimately comes near it.
inline constexpr std::size_t kDefaultReadLimit = std::size_t{256} << 20;

[[nodiscard]] ReadResult read_file(const Text& path, std::size_t max_bytes = kDefaultReadLimit);

// The whole file, or nothing when it cannot be read for any reason.
[[nodiscard]] std::optional<std::string> read(const Text& path);

// Replaces the file's contents so that a process killed at any instant
// leaves either the old or the new contents, never a mix, and a reader
// never sees a partial file: the data goes to a temporary file of a unique
// name in the same folder, created exclusively (never through an existing
// file or link), which is then renamed over the file. A symbolic link at
// the path itself is followed, so the link stays and its target changes;
// the file's permission bits are kept. No fsync: a power cut may lose the
// latest write, a killed client may not. False when the folder cannot be
// written or the file may not be.
[[nodiscard]] bool replace_contents(const Text& path, std::string_view data);

// Creates a new file with the data, failing when anything (a file, a link)
// is at the path already; owner-only permissions plus `executable`.
[[nodiscard]] bool create_new(const Text& path, std::string_view data, bool executable = false);

// A new folder only this user can enter, in the system's temporary folder;
// empty text when none could be made.
[[nodiscard]] Text make_private_directory(std::string_view prefix);

// Removes a file (a link itself, never its target); true when it is gone.
bool remove(const Text& path);
// Whether anything (a file, a folder, a link) is at the path.
[[nodiscard]] bool exists(const Text& path);
// Gives a file a new name that nothing has yet; false when something has
// (it is never replaced) or the file cannot be moved.
[[nodiscard]] bool rename_new(const Text& from, const Text& to);

// Full path of the running executable.
[[nodiscard]] Text executable_path();

// The path's folder, without the trailing separator ("" when it has none).
[[nodiscard]] Text directory_of(const Text& path);

// What joins a folder and a name in a path: "/", or "\\" on Windows.
[[nodiscard]] Text separator();

[[nodiscard]] bool is_directory(const Text& path);
// Nothing at the path, or a regular file (through links): what a settings
// file may be before anything is created beside it.
[[nodiscard]] bool is_regular_or_missing(const Text& path);
// Removes what replace_contents of that path left behind when its writer
// was killed: temporary files of its own name pattern, older than
// `older_than_seconds`, the user's own.
void remove_stale_temporaries(const Text& path, int older_than_seconds);
[[nodiscard]] bool is_writable_directory(const Text& path);
// Creates the folder and its missing parents; true when it exists after.
[[nodiscard]] bool make_directories(const Text& path);
// The same for a folder of the user's own (site data with the login, the
// log): only its owner may enter it. On POSIX a new one is created 0700,
// and an existing one the user owns loses every permission of others,
// with everything under it (files 0600 at most). Windows' per-user
// folders are the user's already.
[[nodiscard]] bool make_user_directory(const Text& path);

// An exclusive advisory lock on a companion file (created when missing),
// held until the object goes. Writers of one settings file take it around
// their read-modify-replace so that no change of one is lost to another.
// Waits at most `wait_ms` for another holder; held() says whether it got it.
class ExclusiveLock {
 public:
  explicit ExclusiveLock(const Text& lock_path, int wait_ms = 2000);
  ~ExclusiveLock();
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;
  [[nodiscard]] bool held() const { return held_; }

 private:
  std::intptr_t handle_ = -1;
  // Where the platform's file lock cannot be waited for in order (Windows),
  // the writers of this machine queue on a lock named after the file first.
  [[maybe_unused]] std::intptr_t queue_ = -1;
  bool held_ = false;
};

}  // namespace quorvel::file
