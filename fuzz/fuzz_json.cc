// Any bytes parse and answer path queries without a crash or a hang.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "data/json_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  // The first line, when there is one, is also used as a path.
  const auto nl = in.find('\n');
  const std::string_view path = nl == std::string_view::npos ? "a.b" : in.substr(0, nl);
  for (bool zero_based : {false, true}) {
    quorvel::JsonDocument doc;
    doc.parse(in, zero_based);
    (void)doc.get_text(path);
    (void)doc.get_text("");
    (void)doc.get_text("D.[1].x");
    int index = 0;
    (void)doc.member_count(path, index);
    (void)doc.node_path(doc.nodes().node_count());
    doc.set_value(path, "v", quorvel::JsonKind::Plain);
  }
  return 0;
}
