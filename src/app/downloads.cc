#include "app/downloads.h"

#include <cstdio>

#include "app/download_name.h"
#include "app/forms.h"
#include "base/file.h"

namespace quorvel::app {
namespace {

constexpr std::size_t kKept = 5;
constexpr int kMostNumbers = 999;

Text t(std::string_view utf8) {
  return from_utf8(utf8);
}

Text name_of(const Text& path) {
  const std::size_t at = path.find_last_of("/\\");
  return at == Text::npos ? path : path.substr(at + 1);
}

// Where a download is written until it is whole: a hidden name beside the
// one it takes, unique among what is there.
Text temporary_for(const Text& path, int id) {
  const Text folder = file::directory_of(path);
  Text temporary = folder + file::separator() + "." + name_of(path) + ".part";
  if (file::exists(temporary)) {
    temporary = folder + file::separator() + "." + name_of(path) + "." + std::to_string(id) + ".part";
  }
  return temporary;
}

// The name in the folder, numbered while it is taken; empty when even the
// numbers run out.
Text free_path(const Text& folder, const Text& name) {
  Text path = folder + file::separator() + name;
  for (int n = 1; file::exists(path); ++n) {
    if (n > kMostNumbers) return {};
    path = folder + file::separator() + numbered_name(name, n);
  }
  return path;
}

Text failure_text(const DownloadEvent& e) {
  switch (e.error) {
    case DownloadEvent::Error::Disk:
      return t("保存失败：磁盘已满");
    case DownloadEvent::Error::Permission:
      return t("保存失败：没有写入权限");
    case DownloadEvent::Error::Network:
      return t("下载失败：网络连接中断");
    case DownloadEvent::Error::Cancelled:
      return t("已取消");
    default:
      break;
  }
  return t("下载失败：") + e.reason;
}

}  // namespace

Text size_text(std::int64_t bytes) {
  char buffer[32];
  if (bytes < 1024 * 1024) {
    std::snprintf(buffer, sizeof buffer, "%lld KB", static_cast<long long>((bytes + 1023) / 1024));
  } else if (bytes < std::int64_t{1024} * 1024 * 1024) {
    std::snprintf(buffer, sizeof buffer, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
  } else {
    std::snprintf(buffer, sizeof buffer, "%.1f GB",
                  static_cast<double>(bytes) / (1024.0 * 1024.0 * 1024.0));
  }
  return buffer;
}

Downloads::Entry* Downloads::find(int id) {
  for (Entry& e : entries_) {
    if (e.id == id) return &e;
  }
  return nullptr;
}

void Downloads::event(const DownloadEvent& e) {
  if (e.stage == DownloadEvent::Stage::Started) {
    start(e);
    return;
  }
  Entry* entry = find(e.id);
  if (entry == nullptr || entry->state != Entry::State::Running) return;
  entry->received = e.received;
  if (e.total >= 0) entry->total = e.total;
  if (e.stage == DownloadEvent::Stage::Finished) {
    finish(*entry);
  } else if (e.stage == DownloadEvent::Stage::Failed) {
    fail(*entry, e);
  }
  show(*entry);
}

void Downloads::start(const DownloadEvent& e) {
  const Text folder = desktop_ != nullptr ? desktop_->download_folder() : Text();
  const Text name = safe_name(suggested_name(e.disposition, e.address));
  Text path;
  if (ask_) {
    path = ask_(folder + file::separator() + name);
    if (path.empty()) {
      log_.line("a download was declined: " + e.address);
      view_.cancel_download(e.id);
      return;
    }
  } else if (!folder.empty() && file::make_directories(folder)) {
    path = free_path(folder, name);
  }
  if (path.empty()) {
    log_.line("a download has no folder to go to: " + e.address);
    view_.cancel_download(e.id);
    return;
  }
  Entry entry;
  entry.id = e.id;
  entry.path = path;
  entry.temporary = temporary_for(path, e.id);
  entry.total = e.total;
  view_.download_to(e.id, entry.temporary);
  log_.line("a download started: " + e.address + " -> " + path);
  entries_.push_back(entry);
  if (entries_.size() > kKept) entries_.erase(entries_.begin());
  show(entries_.back());
}

void Downloads::finish(Entry& entry) {
  // A file of the same name may have come meanwhile: the next number then.
  const Text wanted = entry.path;
  bool moved = file::rename_new(entry.temporary, entry.path);
  for (int n = 1; !moved && n <= kMostNumbers && file::exists(entry.temporary); ++n) {
    entry.path = file::directory_of(wanted) + file::separator() + numbered_name(name_of(wanted), n);
    moved = file::rename_new(entry.temporary, entry.path);
  }
  if (!moved) {
    file::remove(entry.temporary);
    entry.state = Entry::State::Failed;
    entry.reason = t("保存失败：无法写入文件");
    log_.line("a download could not be saved: " + wanted);
    return;
  }
  entry.state = Entry::State::Done;
  log_.line("a download is saved: " + entry.path);
}

void Downloads::fail(Entry& entry, const DownloadEvent& e) {
  file::remove(entry.temporary);
  entry.state = e.error == DownloadEvent::Error::Cancelled ? Entry::State::Cancelled
                                                           : Entry::State::Failed;
  entry.reason = failure_text(e);
  log_.line("a download ended without its file (" + e.reason + "): " + entry.path);
}

void Downloads::show(const Entry& entry) {
  const Names& n = names();
  const Text name = name_of(entry.path);
  Text text;
  switch (entry.state) {
    case Entry::State::Running:
      text = t("正在下载：") + name + "  " +
             (entry.total > 0 ? std::to_string(entry.received * 100 / entry.total) + "%" + " / " +
                                    size_text(entry.total)
                              : size_text(entry.received));
      break;
    case Entry::State::Done:
      text = t("已下载：") + name;
      break;
    case Entry::State::Failed:
    case Entry::State::Cancelled:
      text = entry.reason + t("（") + name + t("）");
      break;
  }
  const bool done = entry.state == Entry::State::Done;
  ui_.set_text(Form::Main, n.download_label, TextProperty::Text, text);
  ui_.set(Form::Main, n.download_label, Property::Visible, 1);
  ui_.set(Form::Main, n.download_open, Property::Visible, done ? 1 : 0);
  ui_.set(Form::Main, n.download_folder, Property::Visible, done ? 1 : 0);
  ui_.set(Form::Main, n.download_cancel, Property::Visible,
          entry.state == Entry::State::Running ? 1 : 0);
}

void Downloads::hide_strip() {
  const Names& n = names();
  for (const Text* control :
       {&n.download_label, &n.download_open, &n.download_folder, &n.download_cancel}) {
    ui_.set(Form::Main, *control, Property::Visible, 0);
  }
}

void Downloads::restore_strip() {
  if (!entries_.empty()) show(entries_.back());
}

void Downloads::lay_out(int board_height) {
  const Names& n = names();
  ui_.set(Form::Main, n.download_label, Property::Top, board_height - 27);
  for (const Text* button : {&n.download_open, &n.download_folder, &n.download_cancel}) {
    ui_.set(Form::Main, *button, Property::Top, board_height - 29);
  }
}

void Downloads::on_click(std::string_view control) {
  if (entries_.empty()) return;
  const Names& n = names();
  Entry& latest = entries_.back();
  if (control == n.download_cancel && latest.state == Entry::State::Running) {
    view_.cancel_download(latest.id);
  } else if (control == n.download_open && latest.state == Entry::State::Done && desktop_ != nullptr) {
    if (!desktop_->open_file(latest.path)) log_.line("no program opened " + latest.path);
  } else if (control == n.download_folder && latest.state == Entry::State::Done &&
             desktop_ != nullptr) {
    if (!desktop_->show_in_folder(latest.path)) log_.line("the folder could not be shown: " + latest.path);
  }
}

}  // namespace quorvel::app
