// Files the page hands over, against a download folder of the test's own:
// the name, the temporary file renamed only when whole, nothing left of a
// failed or cancelled one, and the strip with its buttons.
#include "app/downloads.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "app/fake_platform.h"

namespace quorvel::app {
namespace {

namespace fs = std::filesystem;
using Stage = DownloadEvent::Stage;
using Error = DownloadEvent::Error;

// Paths as UTF-8 text and back, the same on Windows (whose narrow paths
// are the ANSI code page's).
std::string utf8_of(const fs::path& path) {
  const std::u8string s = path.u8string();
  return std::string(s.begin(), s.end());
}
fs::path path_of(std::string_view utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

struct Folder {
  fs::path path = fs::temp_directory_path() /
                  ("quorvel-downloads-" + std::to_string(::getpid()) + "-" +
                   std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  Folder() { fs::create_directories(path); }
  ~Folder() { fs::remove_all(path); }
  [[nodiscard]] std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(path)) out.push_back(utf8_of(e.path().filename()));
    std::sort(out.begin(), out.end());
    return out;
  }
};

struct Bound : fake::World {
  Folder folder;
  Bound() {
    desktop.downloads = from_utf8(utf8_of(folder.path));
    settings.values["hostdata"] = "{\"code\":\"200\",\"data\":\"https://chat.test\"}";
    client.start();
  }
  void tell(int id, Stage stage, std::string disposition = {}, std::int64_t received = 0,
            std::int64_t total = 1000, Error error = Error::None) {
    DownloadEvent e;
    e.id = id;
    e.stage = stage;
    e.address = "https://chat.test/files/get?id=7";
    e.disposition = std::move(disposition);
    e.received = received;
    e.total = total;
    e.error = error;
    e.reason = "engine words";
    view.events->download(e);
  }
  // What the engine writes where the client told it.
  void write(int id, const std::string& bytes) {
    std::ofstream(path_of(to_utf8(view.download_paths.at(id))), std::ios::binary) << bytes;
  }
  Text strip() { return ui.get_text(Form::Main, names().download_label, TextProperty::Text); }
  bool shown(const Text& control) { return ui.get(Form::Main, control, Property::Visible) != 0; }
};

TEST(Downloads, AFileIsWrittenAsideAndTakesItsNameWhenWhole) {
  Bound w;
  EXPECT_FALSE(w.shown(names().download_label));  // nothing to show yet
  w.tell(1, Stage::Started, "attachment; filename*=UTF-8''%E6%8A%A5%E5%91%8A.pdf");
  const fs::path temporary = path_of(to_utf8(w.view.download_paths.at(1)));
  EXPECT_EQ(temporary.parent_path(), w.folder.path);
  EXPECT_EQ(utf8_of(temporary.filename()), ".报告.pdf.part");
  w.write(1, "half");
  w.tell(1, Stage::Progress, {}, 500);
  EXPECT_NE(w.strip().find(from_utf8("报告.pdf  50%")), Text::npos);
  EXPECT_TRUE(w.shown(names().download_cancel));
  EXPECT_FALSE(w.shown(names().download_open));
  w.write(1, "whole");
  w.tell(1, Stage::Finished, {}, 1000);
  EXPECT_EQ(w.folder.names(), std::vector<std::string>{"报告.pdf"});
  EXPECT_EQ(w.strip(), from_utf8("已下载：报告.pdf"));
  EXPECT_TRUE(w.shown(names().download_open));
  EXPECT_FALSE(w.shown(names().download_cancel));
  w.client.on_click(Form::Main, names().download_open);
  w.client.on_click(Form::Main, names().download_folder);
  const Text saved = from_utf8(utf8_of(w.folder.path / path_of("报告.pdf")));
  EXPECT_EQ(w.desktop.opened_files, std::vector<Text>{saved});
  EXPECT_EQ(w.desktop.shown_folders, std::vector<Text>{saved});
  // The same name again is kept beside it.
  w.tell(2, Stage::Started, "attachment; filename=\"\xE6\x8A\xA5\xE5\x91\x8A.pdf\"");
  w.write(2, "second");
  w.tell(2, Stage::Finished);
  EXPECT_EQ(w.folder.names(), (std::vector<std::string>{"报告 (1).pdf", "报告.pdf"}));
}

TEST(Downloads, NothingIsLeftOfAFailedOrCancelledOne) {
  Bound w;
  w.tell(1, Stage::Started, "attachment; filename=big.iso");
  w.write(1, "part");
  w.tell(1, Stage::Failed, {}, 4, 1000, Error::Disk);
  EXPECT_TRUE(w.folder.names().empty());
  EXPECT_EQ(w.strip(), from_utf8("保存失败：磁盘已满（big.iso）"));
  // The agent's 取消: the engine is told, then reports the end.
  w.tell(2, Stage::Started, "attachment; filename=big.iso");
  w.write(2, "part");
  w.client.on_click(Form::Main, names().download_cancel);
  EXPECT_EQ(w.view.cancelled_downloads, std::vector<int>{2});
  w.tell(2, Stage::Failed, {}, 4, 1000, Error::Cancelled);
  EXPECT_TRUE(w.folder.names().empty());
  EXPECT_EQ(w.strip(), from_utf8("已取消（big.iso）"));
}

TEST(Downloads, HostileNamesStayInTheFolder) {
  Bound w;
  w.tell(1, Stage::Started, "attachment; filename=\"../../.bashrc\"");
  w.write(1, "x");
  w.tell(1, Stage::Finished);
  EXPECT_EQ(w.folder.names(), std::vector<std::string>{"_.._.bashrc"});
  // No folder to go to: the download does not start.
  Bound nowhere;
  nowhere.desktop.downloads.clear();
  nowhere.tell(1, Stage::Started);
  EXPECT_EQ(nowhere.view.cancelled_downloads, std::vector<int>{1});
  EXPECT_TRUE(nowhere.view.download_paths.empty());
}

TEST(Downloads, AskedWhereEachGoesWhenTheKeySaysSo) {
  fake::World w;
  Folder folder;
  w.desktop.downloads = from_utf8(utf8_of(folder.path));
  w.settings.values = {{"hostdata", "{\"code\":\"200\",\"data\":\"https://chat.test\"}"},
                       {"askdownload", "1"}};
  const Text chosen = from_utf8(utf8_of(folder.path / "mine.txt"));
  w.ui.save_answer = chosen;
  w.client.start();
  DownloadEvent e;
  e.id = 3;
  e.disposition = "attachment; filename=theirs.txt";
  w.view.events->download(e);
  EXPECT_EQ(w.ui.save_suggestions, std::vector<Text>{from_utf8(utf8_of(folder.path / "theirs.txt"))});
  std::ofstream(path_of(to_utf8(w.view.download_paths.at(3)))) << "x";
  e.stage = Stage::Finished;
  w.view.events->download(e);
  EXPECT_TRUE(fs::exists(folder.path / "mine.txt"));
  // Declined: nothing starts.
  w.ui.save_answer.clear();
  e.id = 4;
  e.stage = Stage::Started;
  w.view.events->download(e);
  EXPECT_EQ(w.view.cancelled_downloads, std::vector<int>{4});
}

}  // namespace
}  // namespace quorvel::app
