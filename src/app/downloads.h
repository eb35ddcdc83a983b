// Files the page hands over: saved into the download folder under the name
// the site suggests (made safe, numbered when taken), written to a
// temporary name beside it and renamed only when whole, so that a failed or
// cancelled download leaves nothing behind. A strip at the bottom of the
// main window tells how the latest goes, with 打开, 打开所在文件夹 and 取消.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "app/desktop.h"
#include "app/event_log.h"
#include "app/ui.h"
#include "app/web_view.h"

namespace quorvel::app {

class Downloads {
 public:
  // `ask`: where to save a file the agent is asked about (the key
  // `askdownload`), empty when the agent declined; null: never asked.
  Downloads(Ui& ui, WebView& view, EventLog& log, Desktop* desktop)
      : ui_(ui), view_(view), log_(log), desktop_(desktop) {}

  void set_save_dialog(std::function<Text(const Text& suggested_path)> ask) { ask_ = std::move(ask); }

  void event(const DownloadEvent& e);
  // The strip's buttons.
  void on_click(std::string_view control);
  // The strip follows the board's bottom edge.
  void lay_out(int board_height);
  // Hides the strip (the main window is made, the find bar takes it), and
  // shows it again with the latest download.
  void hide_strip();
  void restore_strip();

  struct Entry {
    int id = 0;
    Text path;       // the name it takes when whole
    Text temporary;  // where it is written meanwhile
    std::int64_t received = 0, total = -1;
    enum class State { Running, Done, Failed, Cancelled } state = State::Running;
    Text reason;  // of a failure, for the agent
  };
  [[nodiscard]] const std::vector<Entry>& entries() const { return entries_; }

 private:
  void start(const DownloadEvent& e);
  void finish(Entry& entry);
  void fail(Entry& entry, const DownloadEvent& e);
  [[nodiscard]] Entry* find(int id);
  void show(const Entry& entry);

  Ui& ui_;
  WebView& view_;
  EventLog& log_;
  Desktop* desktop_;
  std::function<Text(const Text&)> ask_;
  std::vector<Entry> entries_;  // the latest last; a few kept
};

// A byte count as the strip shows it: "512 KB", "3.4 MB", "1.2 GB".
[[nodiscard]] Text size_text(std::int64_t bytes);

}  // namespace quorvel::app
