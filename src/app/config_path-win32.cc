#include "app/config_file.h"
#include "base/file.h"

namespace quorvel::config {

// The mixed separators ("C:\dir" + "/config/config.ini") are what Windows
// accepts and what the client has always used.
Text file_path() {
  return file::directory_of(file::executable_path()) + "/config/config.ini";
}

}  // namespace quorvel::config
