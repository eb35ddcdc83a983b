#include "webview/engine_deploy.h"

#include <optional>
#include <string>

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
  // One read per candidate: a file that already holds the image is left
  // alone; anything else (different, unreadable) is rewritten, and counts
  // only when the rewrite succeeded.
  const auto ensure_image = [&](const Text& path, const std::optional<std::string>& contents) {
    if (contents.has_value() && crypto::md5(*contents) == wanted) return true;
    make_writable(path);
    return file::replace_contents(path, image);
  };

  const Text separator = file::separator();
  const Text beside = program_directory + separator + Text(name);
  const auto existing = file::read(beside);
  if ((existing.has_value() || file::is_directory(beside)) && ensure_image(beside, existing)) {
    out.path = beside;
  }
  if (out.path.empty()) {
    const Text folder = documents_directory + separator + "ee" + separator + "Plugins";
    if (!file::is_directory(folder)) static_cast<void>(file::make_directories(folder));
    const Text plugin = folder + separator + Text(name);
    const bool plugin_written = ensure_image(plugin, file::read(plugin));
    if (plugin_written && load(plugin)) {
      out.path = plugin;
      out.loaded = true;
    } else if (ensure_image(beside, std::nullopt)) {
      out.path = beside;
    } else if (!plugin_written) {
      out.unwritable_folders = {program_directory, folder};
    }
  }
  if (!out.loaded && !out.path.empty()) out.loaded = load(out.path);
  static_cast<void>(deployed.put(Text(name), std::int32_t{1}));
  return out;
}

}  // namespace quorvel::webview
