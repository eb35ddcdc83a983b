// A folder of the user's own: created for the owner alone, and an existing
// one (with what is under it) closed to others, links not followed.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "base/file.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;

mode_t mode_of(const fs::path& p) {
  struct stat st {};
  return ::lstat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

struct Scratch {
  fs::path root = fs::temp_directory_path() / ("quorvel-private-" + std::to_string(::getpid()));
  Scratch() { fs::remove_all(root); fs::create_directories(root); }
  ~Scratch() { fs::remove_all(root); }
};

TEST(PrivateDirectory, NewFoldersAreTheOwnersAlone) {
  Scratch s;
  const mode_t before = ::umask(022);
  const fs::path data = s.root / "share" / "quorvel";
  EXPECT_TRUE(file::make_user_directory(from_utf8(data.string())));
  ::umask(before);
  EXPECT_EQ(mode_of(data), 0700u);
  EXPECT_EQ(mode_of(data.parent_path()) & 0700, 0700u);  // parents as usual
}

TEST(PrivateDirectory, AnExistingTreeIsClosedToOthers) {
  Scratch s;
  const fs::path data = s.root / "quorvel";
  fs::create_directories(data / "cache" / "deep");
  std::ofstream(data / "cookies.sqlite") << "session";
  std::ofstream(data / "cache" / "deep" / "entry") << "x";
  const fs::path outside = s.root / "elsewhere";
  std::ofstream(outside) << "not ours to change";
  ::chmod(outside.c_str(), 0644);
  fs::create_symlink(outside, data / "link");
  for (const fs::path& p : {data, data / "cache", data / "cache" / "deep"}) ::chmod(p.c_str(), 0755);
  ::chmod((data / "cookies.sqlite").c_str(), 0644);
  ::chmod((data / "cache" / "deep" / "entry").c_str(), 0664);

  EXPECT_TRUE(file::make_user_directory(from_utf8(data.string())));
  EXPECT_EQ(mode_of(data), 0700u);
  EXPECT_EQ(mode_of(data / "cache"), 0700u);
  EXPECT_EQ(mode_of(data / "cache" / "deep"), 0700u);
  EXPECT_EQ(mode_of(data / "cookies.sqlite"), 0600u);
  EXPECT_EQ(mode_of(data / "cache" / "deep" / "entry"), 0600u);
  EXPECT_EQ(mode_of(outside), 0644u);  // through the link: untouched
  // A file where the folder should be is no folder.
  std::ofstream(s.root / "plain") << "x";
  EXPECT_FALSE(file::make_user_directory(from_utf8((s.root / "plain").string())));
}

}  // namespace
}  // namespace quorvel
