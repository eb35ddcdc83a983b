// The web view through the engine library: deployed and loaded at start,
// opened in the main window's host panel, its page events handed to the
// page bridge. Until the library's objects exist, inert placeholders stand
// in, so that an early command does nothing.
#pragma once

#include <string_view>
#include <vector>

#include "app/web_view.h"
#include "data/hash_table.h"
#include "webview/engine_api.h"
#include "webview/engine_loader.h"

namespace quorvel::webview {

class EngineView final : public app::WebView {
 public:
  // `image`: the library's bytes, carried by the program.
  EngineView(std::string_view image, Text program_directory);

  void prepare() override;
  [[nodiscard]] app::EngineStatus engine_status() override;
  bool open(std::intptr_t host, std::string_view url) override;
  void set_events(app::PageEvents* events) override;
  void reload() override;
  void set_bounds(app::Rect bounds) override;
  void close() override;
  void run_script(std::string_view script) override;
  void set_option(std::string_view name, std::string_view value) override;
  void load_url(std::string_view url) override;
  void load_html(std::string_view html) override;
  void allow_certificate(std::string_view host, std::string_view fingerprint) override;
  void terminate_process() override;
  void download_to(int id, std::string_view path) override;
  void cancel_download(int id) override;
  void set_zoom(int percent) override;
  void find(std::string_view text, Find how) override;
  void print() override;

 private:
  std::string_view image_;
  Text program_directory_;
  HashTable deployed_;
  EngineExports exports_;
  bool loaded_ = false;
  std::vector<Text> unwritable_folders_;
  qv_view* view_;
  qv_converter* converter_;
  qv_events* events_;
};

}  // namespace quorvel::webview
