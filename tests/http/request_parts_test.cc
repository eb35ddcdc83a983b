// The parts of the request engine that need no server.
#include <gtest/gtest.h>

#include "http/http_request.h"

namespace quorvel::http {
namespace {

TEST(HeaderBlock, DefaultsRespectTheCallersLinesAndTheMethod) {
  const Text post = build_header_block({}, 1, true, true, {});
  EXPECT_NE(post.find("Content-Type: application/x-www-form-urlencoded"), Text::npos);
  EXPECT_EQ(build_header_block({}, 3, true, true, {}).find("Content-Type"), Text::npos);
  // The content-type probe has no space after the colon.
  const Text own_type = build_header_block("content-type:text/plain", 1, true, true, {});
  EXPECT_EQ(own_type.find("x-www-form-urlencoded"), Text::npos);
  EXPECT_EQ(own_type.substr(0, 25), "Content-Type:text/plain\r\n");
  EXPECT_EQ(build_header_block("A: 1", 0, false, false, {}), "A: 1\r\n");
  EXPECT_EQ(build_header_block({}, 0, false, false, {}), "");
}

TEST(HeaderBlock, KeepAliveGoesOnlyWhileACrLfFollows) {
  EXPECT_EQ(build_header_block("Connection: keep-alive\r\nA: 1", 0, false, true, {}), "A: 1");
  // Normalisation leaves no CR LF after the last line, so it stays.
  EXPECT_EQ(build_header_block("A: 1\r\nConnection: keep-alive", 0, false, true, {}),
            "A: 1\r\nConnection: keep-alive");
  EXPECT_EQ(build_header_block("Connection: Keep-Alive\r\nA: 1", 0, false, true, {}),
            "Connection: Keep-Alive\r\nA: 1");
}

TEST(HeaderBlock, CookieLine) {
  EXPECT_EQ(build_header_block("A: 1", 0, false, true, "a=1"), "A: 1\r\nCookie: a=1");
  EXPECT_EQ(build_header_block("A: 1", 0, false, true, "Cookie: a=1"), "A: 1\r\nCookie: a=1");
  EXPECT_EQ(build_header_block("cookie: z=0", 0, false, true, "a=1"), "Cookie: z=0");
  // Nothing else in the block: the line still starts with CR LF.
  EXPECT_EQ(build_header_block({}, 0, false, false, "a=1"), "\r\nCookie: a=1");
}

TEST(StatusText, FromTheTenthCharacter) {
  EXPECT_EQ(status_from_block("HTTP/1.1 200 OK\r\nA: b\r\n\r\n"), "200 OK");
  EXPECT_EQ(status_from_block("HTTP/1.1 404 Not Found"), "404 Not Found");
  EXPECT_EQ(status_from_block("HTTP/1.1\r\n\r\n"), "\n");
  EXPECT_EQ(status_from_block("HTTP/1.1 "), "");
  EXPECT_EQ(status_from_block(""), "");
}

TEST(BodyText, CharsetSearchLooksAtTheFirst1024BytesOnly) {
  std::string late(1100, ' ');
  late += "<meta charset=utf-8>\xE4\xB8\xAD";
  const Bytes late_bytes(late.begin(), late.end());
  EXPECT_EQ(body_text(late_bytes), late);
  const std::string early = "<meta charset=utf-8>\xE4\xB8\xAD";
  EXPECT_EQ(body_text(Bytes(early.begin(), early.end())), from_utf8(early));
  // An unknown charset leaves the bytes as they came.
  const std::string unknown = "<meta charset=x-no-such-set>\xE4\xB8\xAD";
  EXPECT_EQ(body_text(Bytes(unknown.begin(), unknown.end())), unknown);
}

TEST(Verbs, IndexesAndTheFallback) {
  EXPECT_EQ(verb_name(0), "GET");
  EXPECT_EQ(verb_name(7), "CONNECT");
  EXPECT_EQ(verb_name(8), "GET");
  EXPECT_EQ(verb_name(-1), "GET");
}

}  // namespace
}  // namespace quorvel::http
