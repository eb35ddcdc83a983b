#include "http/extra_authority.h"

#include <cstddef>

namespace quorvel::embedded {
extern const unsigned char extra_authority[];
extern const std::size_t extra_authority_size;
}  // namespace quorvel::embedded

namespace quorvel::http {

std::string_view extra_authority_pem() {
  return {reinterpret_cast<const char*>(embedded::extra_authority), embedded::extra_authority_size};
}

}  // namespace quorvel::http
