// Writing the engine library that the program carries to disk and loading
// it: beside the program when a file is there, else in the user's
// documents folder under ee/Plugins, with a fall-back to beside the program.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "data/hash_table.h"

namespace quorvel::webview {

struct Deployment {
  Text path;            // empty when the name was deployed before in this run
  bool loaded = false;  // `load` accepted the deployed file
  // The folders tried in vain when the image could be written nowhere (the
  // runtime is then not what is missing); empty otherwise.
  std::vector<Text> unwritable_folders;
};

// `deployed` is the process-wide deployed-names set (text keys, integer
// values), created by the caller; a name in it is not deployed again.
// `load` loads a library by full path. A file beside the program that
// still differs from the image after the rewrite attempt (a folder that
// cannot be written) does not count, nor does a fall-back beside the program
// that could not be written: an old library is never loaded.
[[nodiscard]] Deployment deploy_engine(HashTable& deployed, std::string_view name,
                                       std::string_view image, const Text& program_directory,
                                       const Text& documents_directory,
                                       const std::function<bool(const Text&)>& load);

}  // namespace quorvel::webview
