// Any answer decodes to an acceptance or a refusal, never a crash.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/directory_answer.h"

namespace {
struct NoStore final : quorvel::AnswerStore {
  void store_answer(std::string_view) override {}
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quorvel::Text site;
  NoStore store;
  (void)quorvel::decode_directory_answer(
      std::string_view(reinterpret_cast<const char*>(data), size), {site, store, nullptr});
  return 0;
}
