#include "binding/directory_answer.h"

#include "base/text_ops.h"
#include "binding/payload_cipher.h"
#include "data/json_document.h"

namespace quorvel {
namespace {

constexpr std::string_view kSeparator = ":@|";

// The answer as JSON text: an enciphered answer loses every double quote
// (the wrapping ones and any other), then is deciphered from the text after
// the last separator with the key before the first.
Text answer_json(std::string_view answer) {
  if (find_text(answer, kSeparator) == npos) return Text(answer);
  const Text w = replace_all(answer, "\"", "");
  const std::size_t first = find_text(w, kSeparator);
  std::size_t last = first;
  for (std::size_t at = first; at != npos; at = find_text(w, kSeparator, at + kSeparator.size())) {
    last = at;
  }
  return decipher_payload(std::string_view(w).substr(last + kSeparator.size()),
                          std::string_view(w).substr(0, first));
}

bool is_web_address(std::string_view address) {
  return starts_with_ignoring_case(address, "http://") ||
         starts_with_ignoring_case(address, "https://");
}

}  // namespace

DirectoryAnswer decode_directory_answer(std::string_view answer) {
  DirectoryAnswer out;
  if (answer.empty()) return out;
  JsonDocument doc;
  doc.parse(answer_json(answer));
  out.message = doc.get_text("msg");
  if (doc.get_text("code") != "200") {
    out.verdict = AnswerVerdict::Refused;
    return out;
  }
  const Text site = doc.get_text("data");
  if (site.empty()) {
    out.verdict = AnswerVerdict::NoSite;
  } else if (!is_web_address(site)) {
    out.verdict = AnswerVerdict::NotWebSite;
  } else {
    out.verdict = AnswerVerdict::Accepted;
    out.site_address = site;
  }
  return out;
}

Text refusal_text(const DirectoryAnswer& answer) {
  switch (answer.verdict) {
    case AnswerVerdict::NoSite:
      return from_utf8("目录服务没有给出这个服务器编号的站点地址，请联系站点管理员。");
    case AnswerVerdict::NotWebSite:
      return from_utf8("目录服务给出的站点地址不是http或https地址，请联系站点管理员。");
    default:
      return answer.message;
  }
}

Text refusal_explanation(const DirectoryAnswer& answer) {
  if (answer.verdict == AnswerVerdict::Empty) return from_utf8("目录服务没有回答。");
  if (answer.verdict == AnswerVerdict::Refused && answer.message.empty()) {
    return from_utf8("目录服务拒绝了这个服务器编号，或回答无法解密。");
  }
  return refusal_text(answer);
}

}  // namespace quorvel
