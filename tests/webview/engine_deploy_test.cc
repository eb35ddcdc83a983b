// Writing out the carried engine library, in a folder of the test's own.
#include "webview/engine_deploy.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quorvel::webview {
namespace {

namespace fs = std::filesystem;

// False where a folder's permissions do not keep its owner out (root, or
// Windows, where they stand for the read-only attribute alone).
bool folder_can_be_closed(const fs::path& folder) {
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
  const bool closed = !std::ofstream(folder / "probe").is_open();
  fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
  fs::remove(folder / "probe");
  return closed;
}

class Deploy : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("quorvel-deploy-" +
             std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(root_ / "program");
    fs::create_directories(root_ / "home");
    ASSERT_TRUE(names_.create_text_int());
  }
  void TearDown() override {
    fs::permissions(root_ / "program", fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(root_);
  }

  Deployment deploy(bool plugin_loads = true) {
    return deploy_engine(names_, "Engine.so", kImage, (root_ / "program").string(),
                         (root_ / "home").string(), [&](const Text& path) {
                           loads_.push_back(path);
                           const Text folder = (fs::path("ee") / "Plugins").string();
                           return plugin_loads || path.find(folder) == Text::npos;
                         });
  }
  static std::string contents(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  fs::path beside() const { return root_ / "program" / "Engine.so"; }
  fs::path plugin() const { return root_ / "home" / "ee" / "Plugins" / "Engine.so"; }

  static constexpr std::string_view kImage = "library image \x01\x02";
  fs::path root_;
  HashTable names_;
  std::vector<Text> loads_;
};

TEST_F(Deploy, NoFileBesideTheProgramGoesToThePluginFolder) {
  const Deployment d = deploy();
  EXPECT_TRUE(d.loaded);
  EXPECT_EQ(d.path, plugin().string());
  EXPECT_EQ(contents(plugin()), kImage);
  EXPECT_FALSE(fs::exists(beside()));
  // Once per run.
  loads_.clear();
  const Deployment again = deploy();
  EXPECT_EQ(again.path, "");
  EXPECT_TRUE(loads_.empty());
}

TEST_F(Deploy, AnIdenticalFileBesideIsLeftAlone) {
  std::ofstream(beside(), std::ios::binary) << kImage;
  const auto before = fs::last_write_time(beside());
  fs::last_write_time(beside(), before - std::chrono::hours(1));
  const Deployment d = deploy();
  EXPECT_EQ(d.path, beside().string());
  EXPECT_TRUE(d.loaded);
  EXPECT_EQ(fs::last_write_time(beside()), before - std::chrono::hours(1));
  EXPECT_FALSE(fs::exists(plugin()));
}

TEST_F(Deploy, ADifferentOrReadOnlyFileBesideIsRewritten) {
  std::ofstream(beside(), std::ios::binary) << "an older library";
  fs::permissions(beside(), fs::perms::owner_read);
  const Deployment d = deploy();
  EXPECT_EQ(d.path, beside().string());
  EXPECT_EQ(contents(beside()), kImage);
}

TEST_F(Deploy, AnOldFileInAFolderThatCannotBeWrittenIsNeverLoaded) {
  if (!folder_can_be_closed(root_ / "program")) GTEST_SKIP() << "this user writes into any folder";
  std::ofstream(beside(), std::ios::binary) << "an older library";
  fs::permissions(beside(), fs::perms::owner_read);
  fs::permissions(root_ / "program", fs::perms::owner_read | fs::perms::owner_exec);
  const Deployment d = deploy();
  EXPECT_EQ(d.path, plugin().string());
  EXPECT_EQ(loads_, std::vector<Text>{plugin().string()});
}

TEST_F(Deploy, SomethingBesideThatCannotBeReplacedIsPassedOver) {
  // A folder of the library's name: the rewrite fails, whoever runs this.
  fs::create_directories(beside());
  const Deployment d = deploy();
  EXPECT_EQ(d.path, plugin().string());
  EXPECT_EQ(loads_, std::vector<Text>{plugin().string()});
}

// Folders of the library's name stand for places that cannot be written,
// whoever runs the test.
TEST_F(Deploy, NothingOldIsLoadedWhenTheFallBackCannotBeWritten) {
  fs::create_directories(beside());
  const Deployment d = deploy(/*plugin_loads=*/false);
  EXPECT_FALSE(d.loaded);
  EXPECT_EQ(loads_, std::vector<Text>{plugin().string()});  // the runtime is what is missing
  EXPECT_TRUE(d.unwritable_folders.empty());
}

TEST_F(Deploy, WrittenNowhereNamesTheFolders) {
  fs::create_directories(beside());
  fs::create_directories(plugin());
  const Deployment d = deploy();
  EXPECT_FALSE(d.loaded);
  EXPECT_TRUE(loads_.empty());
  EXPECT_EQ(d.unwritable_folders,
            (std::vector<Text>{(root_ / "program").string(), plugin().parent_path().string()}));
}

TEST_F(Deploy, FallsBackBesideTheProgramWhenThePluginCannotLoad) {
  const Deployment d = deploy(/*plugin_loads=*/false);
  EXPECT_EQ(d.path, beside().string());
  EXPECT_TRUE(d.loaded);
  EXPECT_EQ(contents(beside()), kImage);
  EXPECT_EQ(loads_.size(), 2u);
}

}  // namespace
}  // namespace quorvel::webview
