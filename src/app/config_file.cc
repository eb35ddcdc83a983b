#include "app/config_file.h"

#include "app/profile.h"

namespace quorvel::config {

Text read_key(std::string_view key) {
  return profile::read_string(file_path(), kSection, key);
}

bool write_key(std::string_view key, std::string_view value) {
  return profile::write_string(file_path(), kSection, key, value);
}

}  // namespace quorvel::config
