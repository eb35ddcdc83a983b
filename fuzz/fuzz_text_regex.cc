// Conversions of any bytes, and any pattern run over any subject.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/text.h"
#include "data/regex_object.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string in(reinterpret_cast<const char*>(data), size);
  const std::string utf8 = quorvel::to_utf8(in);
  if (quorvel::to_utf8(quorvel::from_utf8(utf8)) != utf8) __builtin_trap();
  (void)quorvel::from_utf16(quorvel::Bytes(data, data + size));
  const auto nl = in.find('\n');
  if (nl != std::string::npos) {
    quorvel::RegexObject re;
    if (re.execute(in.substr(0, nl), in.substr(nl + 1), size % 2, size % 3, size % 5)) {
      (void)re.replace("[$1$&]");
      int position = 0;
      (void)re.submatch_text(1, 1, &position);
    }
  }
  return 0;
}
