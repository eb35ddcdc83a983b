// The names downloads take: what the site suggests, made safe.
#include "app/download_name.h"

#include <gtest/gtest.h>

namespace quorvel::app {
namespace {

Text u(const char* utf8) {
  return from_utf8(utf8);
}

TEST(DownloadName, TheSitesSuggestionInEachFormItComesIn) {
  // filename* first, whatever comes before it.
  EXPECT_EQ(suggested_name("attachment; filename=\"fallback.pdf\"; "
                           "filename*=UTF-8''%E6%8A%A5%E5%91%8A.pdf",
                           "https://s/x"),
            u("报告.pdf"));
  EXPECT_EQ(suggested_name("attachment; filename*=iso-8859-1'en'caf%E9.txt", "https://s/x"),
            u("café.txt"));
  // A plain name in raw UTF-8, in GBK, or percent-encoded.
  EXPECT_EQ(suggested_name("attachment; filename=\"\xE6\x8A\xA5\xE5\x91\x8A.pdf\"", "https://s/x"),
            u("报告.pdf"));
  EXPECT_EQ(suggested_name("attachment; filename=\"\xB1\xA8\xB8\xE6.pdf\"", "https://s/x"),
            u("报告.pdf"));
  EXPECT_EQ(suggested_name("attachment; filename=%E6%8A%A5.pdf", "https://s/x"), u("报.pdf"));
  EXPECT_EQ(suggested_name("attachment; FILENAME=\"a \\\"b\\\";c.txt\"", "https://s/x"),
            "a \"b\";c.txt");
  // Else the address's last segment, else a name of our own.
  EXPECT_EQ(suggested_name("", "https://s/files/%E6%8A%A5%E5%91%8A.xlsx?x=1#y"), u("报告.xlsx"));
  EXPECT_EQ(suggested_name("attachment", "https://s/"), u("下载"));
  EXPECT_TRUE(is_attachment("Attachment; filename=a"));
  EXPECT_FALSE(is_attachment("inline; filename=a.pdf"));
  EXPECT_FALSE(is_attachment(""));
}

TEST(DownloadName, HostileNamesAreMadeSafe) {
  EXPECT_EQ(safe_name("../../etc/passwd"), "_.._etc_passwd");
  EXPECT_EQ(safe_name("..\\..\\Windows\\win.ini"), "_.._Windows_win.ini");
  EXPECT_EQ(safe_name("CON.txt"), "_CON.txt");
  EXPECT_EQ(safe_name("lpt9"), "_lpt9");
  EXPECT_EQ(safe_name("COM0.log"), "COM0.log");
  EXPECT_EQ(safe_name("a\r\nb\t.txt"), "ab.txt");
  EXPECT_EQ(safe_name(".bashrc"), "bashrc");
  EXPECT_EQ(safe_name("name. . "), "name");
  EXPECT_EQ(safe_name("a<b>c:d|e?f*\".txt"), "a_b_c_d_e_f__.txt");
  EXPECT_EQ(safe_name(u("invoice\u202Efdp.exe")), "invoicefdp.exe");
  EXPECT_EQ(safe_name(""), u("下载"));
  EXPECT_EQ(safe_name("..."), u("下载"));
  // At most 200 bytes of UTF-8, the extension kept, no character cut.
  const Text long_ascii = safe_name(Text(300, 'a') + ".pdf");
  EXPECT_EQ(long_ascii.size(), 200u);
  EXPECT_EQ(long_ascii.substr(196), ".pdf");
  std::string chinese;
  for (int i = 0; i < 100; ++i) chinese += "报";
  const std::string cut = to_utf8(safe_name(from_utf8(chinese + ".docx")));
  EXPECT_LE(cut.size(), 200u);
  EXPECT_EQ(cut.substr(cut.size() - 5), ".docx");
  EXPECT_EQ(to_utf8(from_utf8(cut)), cut);  // whole characters only
}

TEST(DownloadName, ATakenNameIsNumbered) {
  EXPECT_EQ(numbered_name(u("报告.pdf"), 1), u("报告 (1).pdf"));
  EXPECT_EQ(numbered_name("README", 2), "README (2)");
  EXPECT_EQ(numbered_name("archive.tar.gz", 3), "archive.tar (3).gz");
  const Text longest = numbered_name(Text(196, 'a') + ".pdf", 12);
  EXPECT_EQ(longest.size(), 200u);
  EXPECT_EQ(longest.substr(longest.size() - 9), " (12).pdf");
}

}  // namespace
}  // namespace quorvel::app
