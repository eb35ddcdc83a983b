#include "binding/directory_answer.h"

#include "app/config_file.h"
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

}  // namespace

bool decode_directory_answer(std::string_view answer, DirectoryAnswerContext context) {
  if (answer.empty()) return false;
  JsonDocument doc;
  doc.parse(answer_json(answer));
  if (doc.get_text("code") == "200") {
    context.site_address = doc.get_text("data");
    context.store.store_answer(answer);
    return true;
  }
  if (context.messages) context.messages->show_timed_message({doc.get_text("msg")});
  return false;
}

void ConfigAnswerStore::store_answer(std::string_view answer) {
  config::write_key("hostdata", answer);
}

}  // namespace quorvel
