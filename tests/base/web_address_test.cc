// Origins as the client's policies compare them.
#include "base/web_address.h"

#include <gtest/gtest.h>

namespace quorvel::web {
namespace {

TEST(WebAddress, OriginsCompareByTheirThreeParts) {
  EXPECT_EQ(origin_of("https://Chat.Test:443/service/login"), origin_of("https://chat.test/x?y#z"));
  EXPECT_EQ(origin_of("http://chat.test/"), origin_of("HTTP://CHAT.TEST:80"));
  EXPECT_NE(origin_of("http://chat.test:8080/"), origin_of("http://chat.test/"));
  EXPECT_NE(origin_of("http://chat.test/"), origin_of("https://chat.test/"));
  EXPECT_EQ(origin_of("http://chat.test./a").host, "chat.test");
  const Origin v6 = origin_of("http://[::1]:8080/a");
  EXPECT_EQ(v6.host, "[::1]");
  EXPECT_EQ(v6.port, 8080);
  // Whatever comes before an "@" is no host; a backslash ends the host as
  // engines read it.
  EXPECT_EQ(origin_of("https://chat.test@evil.example/").host, "evil.example");
  EXPECT_EQ(origin_of("https://evil.example:1@chat.test/").host, "chat.test");
  EXPECT_EQ(origin_of("https://chat.test\\@evil.example/").host, "chat.test");
  for (const char* none : {"javascript:alert(1)", "mailto:a@b.c", "file:///etc/passwd",
                           "about:blank", "data:text/html,x", "http:/x", "https://", "http://h:99999/",
                           "http://h:8x/", "quorvel-page:abc"}) {
    EXPECT_FALSE(origin_of(none).valid()) << none;
  }
}

TEST(WebAddress, HostsInChineseCompareWithTheirAsciiForm) {
  EXPECT_EQ(ascii_host(from_utf8("例子.测试")), "xn--fsqu00a.xn--0zwm56d");
  EXPECT_EQ(ascii_host(from_utf8("Bücher.Example")), "xn--bcher-kva.example");
  EXPECT_EQ(origin_of(from_utf8("https://客服.例子.测试:8443/")),
            origin_of("https://xn--ubtq9x.xn--fsqu00a.xn--0zwm56d:8443/login"));
}

TEST(WebAddress, SchemesAndLastSegments) {
  EXPECT_EQ(scheme_of("MailTo:a@b.c"), "mailto");
  EXPECT_EQ(scheme_of("web+chat:x"), "web+chat");
  EXPECT_EQ(scheme_of("/relative:path"), "");
  EXPECT_EQ(scheme_of("1http://x"), "");
  EXPECT_EQ(last_path_segment("https://s/files/%E6%8A%A5%E5%91%8A.pdf?x=1#y"), "\xE6\x8A\xA5\xE5\x91\x8A.pdf");
  EXPECT_EQ(last_path_segment("https://s/files/"), "");
  EXPECT_EQ(last_path_segment("https://s"), "");
  EXPECT_EQ(last_path_segment("https://s/a%2"), "a%2");
}

}  // namespace
}  // namespace quorvel::web
