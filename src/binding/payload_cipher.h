// The payload cipher of the directory exchange and of page message fields:
// AES-128-CBC with PKCS #7 padding, key and initialisation vector from a
// double MD5 of a key text, Base64 text.
//
// The scheme was first computed by filling the call line
//     secret("@string@","@code@",@operation@)
// of a script program and evaluating it; peers depend on the exact results
// of that route, text effects included. So the native computation goes
// through the same filled call line and reads it as the script engine did.
#pragma once

#include <string>
#include <string_view>

#include "base/text.h"

namespace quorvel {

// Empty text on any failure (a key text with a double quote, a plain text
// with a lone CR or LF, ...).
[[nodiscard]] Text encipher_payload(std::string_view plain, std::string_view key);
// Empty text when the cipher text cannot be deciphered into valid UTF-8.
[[nodiscard]] Text decipher_payload(std::string_view cipher, std::string_view key);

namespace cipher_detail {

// The call line with the text prepared and the markers filled, after the
// removal of every "eval": what the script engine was given to evaluate.
[[nodiscard]] Text filled_call_line(std::string_view text, std::string_view key, bool decipher);

struct CallArguments {
  std::u16string text;
  std::u16string key;
};
// Reads the call line as the script engine does; false on a syntax error.
[[nodiscard]] bool read_call_line(std::string_view line, CallArguments& args);

}  // namespace cipher_detail
}  // namespace quorvel
