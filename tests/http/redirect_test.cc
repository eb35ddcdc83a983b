#include "http/redirect.h"

#include <gtest/gtest.h>

namespace quorvel::http {
namespace {

TEST(Redirect, LocationsResolveAgainstTheUrlThatAnswered) {
  const char* base = "http://h:8/a/b/c?q=1#f";
  EXPECT_EQ(resolve_location(base, "/next"), "http://h:8/next");
  EXPECT_EQ(resolve_location(base, "d"), "http://h:8/a/b/d");
  EXPECT_EQ(resolve_location(base, "../d?x"), "http://h:8/a/d?x");
  EXPECT_EQ(resolve_location(base, "./../../../d"), "http://h:8/d");
  EXPECT_EQ(resolve_location(base, "?r=2"), "http://h:8/a/b/c?r=2");
  EXPECT_EQ(resolve_location(base, "//other/x"), "http://other/x");
  EXPECT_EQ(resolve_location(base, "HTTPS://s/y#frag"), "HTTPS://s/y");
  EXPECT_EQ(resolve_location("http://h", "x"), "http://h/x");
  EXPECT_EQ(resolve_location("http://h?q", "/"), "http://h/");
  // Only web URLs are followed.
  EXPECT_EQ(resolve_location(base, "ftp://h/x"), "");
  EXPECT_EQ(resolve_location(base, "javascript:alert(1)"), "");
}

TEST(Redirect, StatusLocationAndTheNextVerb) {
  const std::string block = "HTTP/1.1 302 Found\r\nlocation: /a\r\nLocation:  /b\r\n\r\n";
  EXPECT_EQ(status_code(block), 302);
  EXPECT_EQ(location_of(block), "/b");
  EXPECT_EQ(status_code("HTTP/1.1 2x0 OK\r\n"), 0);
  EXPECT_EQ(status_code("HTTP/1.1"), 0);
  EXPECT_TRUE(is_redirect(308));
  EXPECT_FALSE(is_redirect(304));
  EXPECT_EQ(redirected_verb(302, "POST"), "GET");
  EXPECT_TRUE(redirect_drops_body(302, "POST"));
  EXPECT_EQ(redirected_verb(307, "POST"), "POST");
  EXPECT_FALSE(redirect_drops_body(307, "POST"));
  EXPECT_EQ(redirected_verb(303, "PUT"), "GET");
  EXPECT_EQ(redirected_verb(303, "HEAD"), "HEAD");
  EXPECT_EQ(redirected_verb(301, "PUT"), "PUT");
}

}  // namespace
}  // namespace quorvel::http
