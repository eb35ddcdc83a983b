#include "app/profile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "app/config_file.h"
#include "base/file.h"

namespace quorvel {
namespace {

using profile::find_value;
using profile::with_value;

TEST(ProfileRead, NamesIgnoreAsciiCaseAndLeadingControlCharacters) {
  const std::string ini = "[Main]\r\nHostDataId=123\r\n";
  EXPECT_EQ(find_value(ini, "main", "hostdataid"), "123");
  EXPECT_EQ(find_value(ini, " \t main", "\x01hostdataid"), "123");
  EXPECT_EQ(find_value(ini, "other", "hostdataid"), "");
  EXPECT_EQ(find_value(ini, "main", "missing"), "");
  EXPECT_EQ(find_value("", "main", "x"), "");
}

TEST(ProfileRead, ValuesAreTrimmedAndLoseOnePairOfQuotes) {
  const std::string ini =
      "[main]\nA =  spaced out  \nb=\"quoted\"\nc='single'\nd=\"mixed'\ne=\"\"x\"\"\n";
  EXPECT_EQ(find_value(ini, "main", "a"), "spaced out");
  EXPECT_EQ(find_value(ini, "main", "b"), "quoted");
  EXPECT_EQ(find_value(ini, "main", "c"), "single");
  EXPECT_EQ(find_value(ini, "main", "d"), "\"mixed'");
  EXPECT_EQ(find_value(ini, "main", "e"), "\"x\"");
}

TEST(ProfileRead, FirstSectionAndFirstKeyWin) {
  const std::string ini = "[main]\nk=1\nk=2\n[other]\nk=3\n[main]\nk=4\nz=5\n";
  EXPECT_EQ(find_value(ini, "main", "k"), "1");
  EXPECT_EQ(find_value(ini, "main", "z"), "");
  EXPECT_EQ(find_value(ini, "other", "k"), "3");
}

TEST(ProfileRead, LongValuesAreCutAtTheBufferSize) {
  const std::string ini = "[main]\nhostdata=" + std::string(20000, 'x') + "\n";
  EXPECT_EQ(find_value(ini, "main", "hostdata").size(), profile::kMaxValueBytes);
}

TEST(ProfileRead, DoubleByteNamesCompareExactly) {
  // The second bytes 0x41/0x61 would fold together if compared as letters.
  const std::string ini = "[main]\n\xB0\x41=upper\n";
  EXPECT_EQ(find_value(ini, "main", "\xB0\x41"), "upper");
  EXPECT_EQ(find_value(ini, "main", "\xB0\x61"), "");
}

TEST(ProfileWrite, ReplacesInPlaceAndKeepsEverythingElse) {
  const std::string ini = "; comment\r\n[other]\r\nwide=1\r\n\r\n[MAIN]\r\nWide=5\r\nhigth=6\r\n";
  EXPECT_EQ(with_value(ini, "main", "wide", "800"),
            "; comment\r\n[other]\r\nwide=1\r\n\r\n[MAIN]\r\nWide=800\r\nhigth=6\r\n");
}

TEST(ProfileWrite, NewKeyGoesAfterTheSectionsLastEntry) {
  const std::string ini = "[main]\na=1\n\n[next]\nb=2\n";
  EXPECT_EQ(with_value(ini, "main", "c", "3"), "[main]\na=1\nc=3\n\n[next]\nb=2\n");
  EXPECT_EQ(with_value("[main]", "main", "c", ""), "[main]\r\nc=\r\n");
}

TEST(ProfileWrite, NewSectionGoesToTheEnd) {
  EXPECT_EQ(with_value("", "main", "k", "v"), "[main]\r\nk=v\r\n");
  EXPECT_EQ(with_value("[x]\ny=1", "main", "k", "v"), "[x]\ny=1\n[main]\nk=v\n");
}

TEST(ProfileWrite, LineBreaksInValuesBecomeSpaces) {
  const std::string ini = with_value("", "main", "hostdata", "{\"a\":\r\n1}\nx");
  EXPECT_EQ(find_value(ini, "main", "hostdata"), "{\"a\":  1} x");
  EXPECT_EQ(find_value(ini, "main", "x"), "");
}

TEST(ProfileWrite, ValuesWithQuotesReadBackUnchangedUnlessFullyQuoted) {
  const std::string answer = "\"aGVsbG8=\"";  // a wrapped directory answer
  const std::string ini = with_value("", "main", "hostdata", answer);
  // One pair of enclosing quotes is removed on reading, as the platform does.
  EXPECT_EQ(find_value(ini, "main", "hostdata"), "aGVsbG8=");
  const std::string json = "{\"code\":\"200\"}";
  EXPECT_EQ(find_value(with_value("", "main", "hostdata", json), "main", "hostdata"), json);
}

class ProfileFile : public testing::Test {
 protected:
  void SetUp() override {
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    dir_ = std::filesystem::temp_directory_path() /
           ("quorvel-profile-" +
            std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
            std::to_string(now));
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "config.ini").string();
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(dir_, ec);
  }
  std::filesystem::path dir_;
  std::string path_;
};

TEST_F(ProfileFile, MissingFileReadsEmptyAndFirstWriteCreatesIt) {
  EXPECT_EQ(profile::read_string(path_, "main", "loginurl"), "");
  EXPECT_TRUE(profile::write_string(path_, "main", "loginurl", "service/login"));
  EXPECT_EQ(profile::read_string(path_, "main", "loginurl"), "service/login");
  EXPECT_FALSE(std::filesystem::exists(path_ + ".tmp"));
}

TEST_F(ProfileFile, AValueWrittenAsItStandsLeavesTheFileAlone) {
  ASSERT_TRUE(profile::write_string(path_, "main", "wide", "700"));
  std::filesystem::last_write_time(
      path_, std::filesystem::file_time_type::clock::now() - std::chrono::hours(24));
  // As the file system stored it (its clock is coarser on some).
  const auto old = std::filesystem::last_write_time(path_);
  EXPECT_TRUE(profile::write_string(path_, "main", "wide", "700"));
  EXPECT_EQ(std::filesystem::last_write_time(path_), old);
  EXPECT_TRUE(profile::write_string(path_, "main", "wide", "701"));
  EXPECT_NE(std::filesystem::last_write_time(path_), old);
  EXPECT_EQ(profile::read_string(path_, "main", "wide"), "701");
}

TEST_F(ProfileFile, MissingFolderIsNeverCreated) {
  const std::string inside = (dir_ / "config" / "config.ini").string();
  EXPECT_FALSE(profile::write_string(inside, "main", "k", "v"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "config"));
}

TEST_F(ProfileFile, WriteGoesThroughASymbolicLinkToItsTarget) {
  const auto target = dir_ / "real.ini";
  { std::ofstream(target) << "[main]\nk=old\n"; }
  std::error_code ec;
  std::filesystem::create_symlink(target, path_, ec);
  if (ec) GTEST_SKIP() << "no symbolic links here";
  EXPECT_TRUE(profile::write_string(path_, "main", "k", "new"));
  EXPECT_TRUE(std::filesystem::is_symlink(path_));
  EXPECT_EQ(profile::read_string(target.string(), "main", "k"), "new");
}

TEST_F(ProfileFile, PermissionsAreKept) {
  { std::ofstream(path_) << "[main]\nk=1\n"; }
  using std::filesystem::perms;
  const perms wanted = perms::owner_read | perms::owner_write | perms::group_read;
  std::filesystem::permissions(path_, wanted);
  if ((std::filesystem::status(path_).permissions() & perms::all) != wanted) {
    GTEST_SKIP() << "no permission bits here";
  }
  EXPECT_TRUE(profile::write_string(path_, "main", "k", "2"));
  const auto p = std::filesystem::status(path_).permissions();
  EXPECT_EQ(p & perms::all, perms::owner_read | perms::owner_write | perms::group_read);
}

TEST_F(ProfileFile, ReadOnlyFileStaysAsItIs) {
  { std::ofstream(path_) << "[main]\nk=1\n"; }
  std::filesystem::permissions(path_, std::filesystem::perms::owner_read);
  if (std::ofstream(path_, std::ios::app))
    GTEST_SKIP() << "read-only files are writable here (root)";
  EXPECT_FALSE(profile::write_string(path_, "main", "k", "2"));
  EXPECT_EQ(profile::read_string(path_, "main", "k"), "1");
}

// The file beside the program only when its config folder is there and
// writable; otherwise the user's own file, so that a binding is never
// written where it cannot be kept.
TEST_F(ProfileFile, SettingsLiveBesideTheProgramOnlyInAnExistingConfigFolder) {
  const Text program_dir = from_utf8(dir_.string());
  const Text user = config::file_path_for(program_dir);
  EXPECT_NE(user, program_dir + "/config/config.ini");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "config"));  // never created
  std::filesystem::create_directories(dir_ / "config");
  EXPECT_EQ(config::file_path_for(program_dir), program_dir + "/config/config.ini");
}

TEST_F(ProfileFile, AUtf8MarkIsSkippedAndKept) {
  {
    std::ofstream(path_, std::ios::binary) << "\xEF\xBB\xBF[main]\r\nhostdataid=8866\r\n"
                                              "loginurl=\xE7\x99\xBB\xE5\xBD\x95\r\n";
  }
  EXPECT_EQ(profile::read_string(path_, "main", "hostdataid"), "8866");
  EXPECT_EQ(profile::read_string(path_, "main", "loginurl"), from_utf8("登录"));
  EXPECT_TRUE(profile::write_string(path_, "main", "wide", from_utf8("七百")));
  std::ifstream in(path_, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes,
            "\xEF\xBB\xBF[main]\r\nhostdataid=8866\r\nloginurl=\xE7\x99\xBB\xE5\xBD\x95\r\n"
            "wide=\xE4\xB8\x83\xE7\x99\xBE\r\n");
}

TEST_F(ProfileFile, Utf16FilesAreReadAndRewrittenAsUtf16) {
  const std::u16string text = u"[main]\r\nhostdataid=8866\r\nloginurl=\u767B\u5F55\r\n";
  const auto bytes_of = [](std::u16string_view units, bool big) {
    std::string out = big ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t u : units) {
      const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
      out += big ? hi : lo;
      out += big ? lo : hi;
    }
    return out;
  };
  for (const bool big : {false, true}) {
    { std::ofstream(path_, std::ios::binary | std::ios::trunc) << bytes_of(text, big); }
    EXPECT_EQ(profile::read_string(path_, "main", "hostdataid"), "8866");
    EXPECT_EQ(profile::read_string(path_, "main", "loginurl"), from_utf8("登录"));
    EXPECT_TRUE(profile::write_string(path_, "main", "top", "5"));
    std::ifstream in(path_, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, bytes_of(text + u"top=5\r\n", big));
  }
}

TEST_F(ProfileFile, KeysThatWouldBreakTheFileAreRefused) {
  const std::string before = "[main]\nhostdataid=1\nloginurl=x\n";
  { std::ofstream(path_, std::ios::binary) << before; }
  for (const char* key : {"a\nb", "a\rb", "[main", "; x", "a=b", "  [x", ""}) {
    EXPECT_EQ(profile::write_value(path_, "main", key, "v"), profile::Outcome::BadKey) << key;
  }
  std::ifstream in(path_, std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()),
            before);
  EXPECT_TRUE(profile::is_writable_key("hostdata"));
  EXPECT_TRUE(profile::is_writable_key(from_utf8("键]名")));
}

TEST_F(ProfileFile, AnOversizedFileIsRefusedNotReadOrReplaced) {
  {
    std::ofstream out(path_, std::ios::binary);
    out << "[main]\nk=1\n" << std::string(profile::kMaxFileBytes, ';');
  }
  Text value = "stale";
  EXPECT_EQ(profile::read_value(path_, "main", "k", value), profile::Outcome::TooLarge);
  EXPECT_EQ(value, "");
  EXPECT_EQ(profile::write_value(path_, "main", "k", "2"), profile::Outcome::TooLarge);
  EXPECT_GT(std::filesystem::file_size(path_), profile::kMaxFileBytes);
}

TEST_F(ProfileFile, AFolderInPlaceOfTheFileIsNotRead) {
  std::filesystem::create_directories(path_);
  Text value;
  EXPECT_EQ(profile::read_value(path_, "main", "k", value), profile::Outcome::NotRegular);
  EXPECT_EQ(profile::write_value(path_, "main", "k", "v"), profile::Outcome::NotRegular);
}

// Writers in parallel (the tool beside the client): every change stays, and
// a reader always sees a whole file.
TEST_F(ProfileFile, ParallelWritersLoseNothing) {
  constexpr int kWriters = 4, kRounds = 60;
  std::vector<std::thread> writers;
  std::atomic<int> failures{0}, torn{0};
  std::atomic<bool> done{false};
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      for (int i = 0; i <= kRounds; ++i) {
        if (!profile::write_string(path_, "main", "key" + std::to_string(w), std::to_string(i))) {
          ++failures;
        }
      }
    });
  }
  // A reader as the client reads (sharing the file's deletion, which a
  // rename needs on Windows).
  std::thread reader([&] {
    while (!done) {
      const file::ReadResult r = file::read_file(from_utf8(path_));
      if (r.status == file::ReadStatus::Ok && !r.data.empty() && r.data.substr(0, 6) != "[main]") {
        ++torn;
      }
    }
  });
  for (std::thread& t : writers) t.join();
  done = true;
  reader.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(torn, 0);
  for (int w = 0; w < kWriters; ++w) {
    EXPECT_EQ(profile::read_string(path_, "main", "key" + std::to_string(w)),
              std::to_string(kRounds));
  }
  // No temporary file is left behind.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
    files += entry.path().filename() == "config.ini.lock" ? 0 : 1;
  }
  EXPECT_EQ(files, 1);
}

}  // namespace
}  // namespace quorvel
