#include "webview/engine_deploy.h"

#include "base/file.h"
#include "binding/crypto.h"
#include "webview/engine_loader.h"

namespace quorvel::webview {

Deployment deploy_engine(HashTable& deployed, std::string_view name, std::string_view image,
                         const Text& program_directory, const Text& documents_directory,
                         const std::function<bool(const Text&)>& load) {
  Deployment out;
  if (deployed.contains_key(Text(name))) return out;
  const crypto::Digest wanted = crypto::md5(image);
  // A file that cannot be read counts as different, and is rewritten.
  const auto holds_image = [&](const Text& path) {
    const auto contents = file::read(path);
    return contents.has_value() && crypto::md5(*contents) == wanted;
  };
  const auto write_image = [&](const Text& path) {
    make_writable(path);
    static_cast<void>(file::replace_contents(path, image));
  };

  const Text beside = program_directory + "/" + Text(name);
  if (file::read(beside).has_value() || file::is_directory(beside)) {
    if (!holds_image(beside)) write_image(beside);
    if (holds_image(beside)) out.path = beside;
  }
  if (out.path.empty()) {
    const Text folder = documents_directory + "/ee/Plugins";
    if (!file::is_directory(folder)) static_cast<void>(file::make_directories(folder));
    const Text plugin = folder + "/" + Text(name);
    if (!holds_image(plugin)) write_image(plugin);
    if (holds_image(plugin) && load(plugin)) {
      out.path = plugin;
      out.loaded = true;
    } else {
      write_image(beside);
      out.path = beside;
    }
  }
  if (!out.loaded) out.loaded = load(out.path);
  static_cast<void>(deployed.put(Text(name), std::int32_t{1}));
  return out;
}

}  // namespace quorvel::webview
