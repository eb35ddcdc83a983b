#include "binding/payload_cipher.h"

#include <cstdio>

#include "base/text_ops.h"
#include "binding/base64.h"
#include "binding/crypto.h"

namespace quorvel {
namespace cipher_detail {
namespace {

constexpr std::string_view kCallLine = "secret(\"@string@\",\"@code@\",@operation@)";

// The plain text is made safe for a double-quoted literal: backslashes
// doubled, then quotes escaped, then CR LF pairs removed. A lone CR or LF
// stays and ends the literal early, which is a syntax error: such texts
// cannot be enciphered.
Text prepare_plain(std::string_view plain) {
  Text t = replace_all(plain, "\\", "\\\\");
  t = replace_all(t, "\"", "\\\"");
  return replace_all(t, "\r\n", "");
}

bool is_hex(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}
int hex_value(char16_t c) {
  return c <= u'9' ? c - u'0' : (c <= u'F' ? c - u'A' + 10 : c - u'a' + 10);
}
bool is_line_terminator(char16_t c) {
  return c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029;
}

// One escape sequence after a backslash, by the rules of the script
// dialect: the usual single-letter escapes, legacy octal escapes (up to
// three digits from 0-3, two from 4-7), \xHH and \uHHHH (a malformed one
// stands for its letter), a line continuation, and any other character
// standing for itself.
void read_escape(std::u16string_view s, std::size_t& i, std::u16string& out) {
  const char16_t e = s[i++];
  switch (e) {
    case u'b':
      out += u'\b';
      return;
    case u'f':
      out += u'\f';
      return;
    case u'n':
      out += u'\n';
      return;
    case u'r':
      out += u'\r';
      return;
    case u't':
      out += u'\t';
      return;
    case u'v':
      out += u'\v';
      return;
    case u'\r':
      if (i < s.size() && s[i] == u'\n') ++i;
      return;
    case u'\n':
    case 0x2028:
    case 0x2029:
      return;
    default:
      break;
  }
  if (e >= u'0' && e <= u'7') {
    int value = e - u'0';
    const std::size_t max_digits = e <= u'3' ? 3 : 2;
    for (std::size_t n = 1; n < max_digits && i < s.size() && s[i] >= u'0' && s[i] <= u'7'; ++n) {
      value = value * 8 + (s[i++] - u'0');
    }
    out += static_cast<char16_t>(value);
    return;
  }
  const std::size_t digits = e == u'x' ? 2 : (e == u'u' ? 4 : 0);
  if (digits && i + digits <= s.size()) {
    bool ok = true;
    int value = 0;
    for (std::size_t k = 0; k < digits; ++k) {
      ok = ok && is_hex(s[i + k]);
      if (ok) value = value * 16 + hex_value(s[i + k]);
    }
    if (ok) {
      out += static_cast<char16_t>(value);
      i += digits;
      return;
    }
  }
  out += e;
}

// A double-quoted string literal starting at s[i]; i ends after it.
bool read_literal(std::u16string_view s, std::size_t& i, std::u16string& out) {
  if (i >= s.size() || s[i] != u'"') return false;
  ++i;
  out.clear();
  while (i < s.size()) {
    // Plain characters are copied as a run.
    std::size_t run = i;
    while (run < s.size() && s[run] != u'"' && s[run] != u'\\' && !is_line_terminator(s[run])) {
      ++run;
    }
    out.append(s.substr(i, run - i));
    i = run;
    if (i >= s.size()) break;
    const char16_t c = s[i++];
    if (c == u'"') return true;
    if (is_line_terminator(c)) return false;  // unterminated on this line
    if (c == u'\\') {
      if (i >= s.size()) return false;
      read_escape(s, i, out);
    } else {
      out += c;
    }
  }
  return false;
}

bool expect(std::u16string_view s, std::size_t& i, std::u16string_view word) {
  if (s.substr(i, word.size()) != word) return false;
  i += word.size();
  return true;
}

}  // namespace

Text filled_call_line(std::string_view text, std::string_view key, bool decipher) {
  // The markers are filled in this order, each in the whole line, so that
  // markers inside the inserted text are filled as well; the key text goes
  // in unescaped and is read as a literal's contents.
  const Text prepared = decipher ? replace_all(text, "\r\n", "") : prepare_plain(text);
  Text line = replace_all(kCallLine, "@string@", prepared);
  line = replace_all(line, "@code@", key);
  line = replace_all(line, "@operation@", decipher ? "true" : "false");
  // Every "eval" was removed from the whole program before evaluation, in
  // one left-to-right pass: "medieval" reads "medi", "evevalal" reads "eval".
  return replace_all(line, "eval", "");
}

bool read_call_line(std::string_view line, CallArguments& args) {
  const std::u16string s = to_utf16_units(line);
  std::size_t i = 0;
  return expect(s, i, u"secret(") && read_literal(s, i, args.text) && expect(s, i, u",") &&
         read_literal(s, i, args.key) && expect(s, i, u",") &&
         (expect(s, i, u"false") || expect(s, i, u"true")) && expect(s, i, u")") && i == s.size();
}

}  // namespace cipher_detail

namespace {

struct DerivedKey {
  crypto::Block key;
  crypto::Block iv;
};

std::string hex_of(const crypto::Digest& d) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (std::uint8_t b : d) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

// m1 = hex MD5 of the key's UTF-8 bytes, m2 = hex MD5 of m1; the vector is
// the first half of m2's characters, the key the second half.
DerivedKey derive(std::string_view key_utf8) {
  const std::string m2 = hex_of(crypto::md5(hex_of(crypto::md5(key_utf8))));
  DerivedKey k{};
  for (std::size_t i = 0; i < 16; ++i) {
    k.iv[i] = static_cast<std::uint8_t>(m2[i]);
    k.key[i] = static_cast<std::uint8_t>(m2[16 + i]);
  }
  return k;
}

bool read_arguments(std::string_view line, std::string& text_utf8, std::string& key_utf8) {
  cipher_detail::CallArguments args;
  return cipher_detail::read_call_line(line, args) && utf16_to_utf8_strict(args.text, text_utf8) &&
         utf16_to_utf8_strict(args.key, key_utf8);
}

constexpr std::string_view kSaltHeader = "Salted__";

}  // namespace

Text encipher_payload(std::string_view plain, std::string_view key) {
  std::string text;
  std::string key_utf8;
  if (!read_arguments(cipher_detail::filled_call_line(plain, key, false), text, key_utf8)) {
    return {};
  }
  Bytes data(text.begin(), text.end());
  const std::size_t pad = 16 - data.size() % 16;
  data.insert(data.end(), pad, static_cast<std::uint8_t>(pad));
  const DerivedKey k = derive(key_utf8);
  const Bytes sealed = crypto::aes128_cbc_encrypt(k.key, k.iv, data);
  return sealed.empty() ? Text() : base64::encode(sealed);
}

Text decipher_payload(std::string_view cipher, std::string_view key) {
  std::string text;
  std::string key_utf8;
  if (!read_arguments(cipher_detail::filled_call_line(cipher, key, true), text, key_utf8)) {
    return {};
  }
  std::optional<Bytes> data = base64::decode(text);
  if (!data) return {};
  if (data->size() >= 16 && std::equal(kSaltHeader.begin(), kSaltHeader.end(), data->begin())) {
    data->erase(data->begin(), data->begin() + 16);
  }
  if (data->empty() || data->size() % 16 != 0) return {};
  const DerivedKey k = derive(key_utf8);
  Bytes plain = crypto::aes128_cbc_decrypt(k.key, k.iv, *data);
  if (plain.empty()) return {};
  // The padding value must be a real one: dropping an unchecked count could
  // run past the start of the buffer.
  const std::size_t n = plain.back();
  if (n < 1 || n > 16 || n > plain.size()) return {};
  plain.resize(plain.size() - n);
  std::u16string units;
  if (!utf8_to_utf16_strict(
          std::string_view(reinterpret_cast<const char*>(plain.data()), plain.size()), units)) {
    return {};
  }
  return from_utf16_units(units);
}

}  // namespace quorvel
