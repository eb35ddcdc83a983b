// Decoding of the directory service's answer to a server-number lookup:
// either the JSON object itself, or a key text, ":@|" and the enciphered
// object, the whole possibly wrapped in double quotes. Decoding is pure: the
// caller stores an accepted answer and shows a refusal.
#pragma once

#include <string_view>

#include "base/text.h"

namespace quorvel {

enum class AnswerVerdict {
  Accepted,
  Empty,       // no answer at all: nothing to show
  Refused,     // "code" is not "200" (an undecipherable answer too)
  NoSite,      // "code" 200, but "data" names no site
  NotWebSite,  // "code" 200, but "data" is no http(s) address
};

struct DirectoryAnswer {
  AnswerVerdict verdict = AnswerVerdict::Empty;
  Text site_address;  // "data" of an accepted answer, else empty
  Text message;       // the answer's "msg", the text a refusal shows
  [[nodiscard]] bool accepted() const { return verdict == AnswerVerdict::Accepted; }
};

// Accepted when "code" reads "200" and "data" is an http or https address.
// A code 200 without a usable address is refused too: binding to it would
// open "/service/login" on nothing.
[[nodiscard]] DirectoryAnswer decode_directory_answer(std::string_view answer);

// What the agent is told of a refused answer: the answer's own "msg" for a
// refusal (empty when it has none, as the directory sent it), the client's
// words when the directory named no usable site.
[[nodiscard]] Text refusal_text(const DirectoryAnswer& answer);

// The same in words whatever the answer held, for logs and the tool.
[[nodiscard]] Text refusal_explanation(const DirectoryAnswer& answer);

}  // namespace quorvel
