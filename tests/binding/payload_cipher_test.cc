// Expected cipher texts were computed apart from this code, with the
// openssl command and md5sum:
//   m1=$(printf %s "$key" | md5sum); m2=$(printf %s "${m1:0:32}" | md5sum)
//   printf %s "$plain" | openssl enc -aes-128-cbc -K <hex of m2[16..32]>
//       -iv <hex of m2[0..16]> | base64 -w0      (one line)
#include "binding/payload_cipher.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

const Text kChinese = "\xD6\xD0\xCE\xC4\xB2\xE2\xCA\xD4";  // 中文测试
const Text kChineseKey = "\xC3\xDC\xD4\xBF";               // 密钥

TEST(PayloadCipher, MatchesIndependentVectors) {
  EXPECT_EQ(encipher_payload("", "7"), "twzORTt6Sp43LyUJ9MnoXw==");
  EXPECT_EQ(encipher_payload("0123456789abcdef", "7"),
            "rYxwr2m8v28xv0eYkGVu0fad/ULbgkdlv4C0WDy7xyQ=");
  EXPECT_EQ(encipher_payload(R"({"domainid":"10001"})", "7"),
            "iCP/ePZdvnDxFNvfmCpSp3r6N+daAhrxsbx37zItmio=");
  EXPECT_EQ(encipher_payload(kChinese, kChineseKey), "dfNnF7AZPkb6eRVem/++yg==");
}

TEST(PayloadCipher, EmptyTextIsOneBlockAndSixteenBytesAreTwo) {
  EXPECT_EQ(encipher_payload("", "k").size(), 24u);
  EXPECT_EQ(encipher_payload("", "k").substr(22), "==");
  EXPECT_EQ(encipher_payload("0123456789abcdef", "k").size(), 44u);
}

TEST(PayloadCipher, RoundTripsAndIsDeterministic) {
  const Text c = encipher_payload(kChinese, kChineseKey);
  EXPECT_EQ(c, encipher_payload(kChinese, kChineseKey));
  EXPECT_EQ(decipher_payload(c, kChineseKey), kChinese);
  EXPECT_EQ(decipher_payload("twzORTt6Sp43LyUJ9MnoXw==", "7"), "");
  const Text answer = R"({"code":"200","msg":"ok","data":"https://chat.example.test"})";
  EXPECT_EQ(decipher_payload("foWDtcx0Dv0lnHS756oFXiU6WCRhRpdtQvPf/VZ8qkUYbPw0HlSMyX+bDmBexGsXa5Y+"
                             "2iITRkQIUfDWHbI4wA==",
                             "K9"),
            answer);
}

TEST(PayloadCipher, TextEffectsOfTheCallLine) {
  // "eval" is removed everywhere: "medieval" is enciphered as "medi".
  EXPECT_EQ(encipher_payload("medieval", "7"), "5+PvoS2HlnrsH014KReKBQ==");
  // Markers inside the text are filled too.
  EXPECT_EQ(encipher_payload("@code@", "7"), "uAJ6ggKJKKK5f7ctXjAT+g==");
  EXPECT_EQ(encipher_payload("a@operation@", "7"), "SdmNj23DJ067scbJ38BiNA==");
  // Backslashes and quotes survive their escaping.
  EXPECT_EQ(encipher_payload("a\\b\"c", "k"), "aahriIu9HShZ0HjD/VRdhA==");
  // The key is read as a literal: backslash-n is a line feed.
  EXPECT_EQ(encipher_payload("x", "a\\nb"), "AcaC7opzyLh2guTkj1V6cw==");
  // CR LF pairs vanish; a lone CR or LF breaks the program.
  EXPECT_EQ(encipher_payload("med\r\nieval", "7"), "5+PvoS2HlnrsH014KReKBQ==");
  EXPECT_EQ(encipher_payload("a\nb", "7"), "");
  EXPECT_EQ(encipher_payload("a\rb", "7"), "");
  // A quote or a trailing backslash in the key breaks it as well.
  EXPECT_EQ(encipher_payload("x", "a\"b"), "");
  EXPECT_EQ(encipher_payload("x", "a\\"), "");
}

TEST(PayloadCipher, CallLineIsReadAsTheScriptEngineReadsIt) {
  cipher_detail::CallArguments args;
  ASSERT_TRUE(cipher_detail::read_call_line(
      cipher_detail::filled_call_line("evevalal \\ \"", "\\x41\\u4e2d\\101\\q", false), args));
  EXPECT_EQ(args.text, u"eval \\ \"");
  EXPECT_EQ(args.key, u"A\u4e2dAq");
  ASSERT_TRUE(
      cipher_detail::read_call_line(cipher_detail::filled_call_line("x", "\\xZ", false), args));
  EXPECT_EQ(args.key, u"xZ");
  // A double-byte character whose second byte is a backslash stays whole.
  ASSERT_TRUE(cipher_detail::read_call_line(
      cipher_detail::filled_call_line("\xB0\x5C\"", "k", false), args));
  EXPECT_EQ(args.text, u"\u7668\"");
}

TEST(PayloadCipher, WrongKeysAndDamagedTextsGiveNothing) {
  const Text c = encipher_payload("hello", "right");
  EXPECT_EQ(decipher_payload(c, "wrong"), "");
  EXPECT_EQ(decipher_payload("", "k"), "");
  EXPECT_EQ(decipher_payload("not base64!", "k"), "");
  EXPECT_EQ(decipher_payload("AAAA", "k"), "");  // 3 bytes: no whole block
  EXPECT_EQ(decipher_payload(Text(10 << 20, 'A'), "k"), "");
  // CR LF pairs in a cipher text are removed before reading.
  EXPECT_EQ(decipher_payload(c.substr(0, 10) + "\r\n" + c.substr(10), "right"), "hello");
}

TEST(PayloadCipher, PaddingValuesOutOfRangeAreRefused) {
  // The first block of "0123456789abcdef" alone: its last byte, "f" (102),
  // is no padding value.
  EXPECT_EQ(decipher_payload("rYxwr2m8v28xv0eYkGVu0Q==", "7"), "");
}

TEST(PayloadCipher, SaltHeaderIsSkipped) {
  // "Salted__", eight salt bytes, then the cipher bytes of "medi" with key "7".
  EXPECT_EQ(decipher_payload("U2FsdGVkX18AAAAAAAAAAOfj76Eth5Z67B9NeCkXigU=", "7"), "medi");
}

}  // namespace
}  // namespace quorvel
