// The one certificate authority the build trusts beside the system's store
// (a private directory service's, or the test authority of a test build).
// Its certificates are carried inside the program: a path read at run time
// would let anyone who can create that path add a trusted authority.
#pragma once

#include <string_view>

namespace quorvel::http {

// PEM text of the authority's certificates; empty when the build has none.
[[nodiscard]] std::string_view extra_authority_pem();

}  // namespace quorvel::http
