// The Windows transport is built with the Windows front-end; until then a
// request on Windows fails as on a system without the HTTP service.
#include "http/transport.h"

namespace quorvel::http {

TransportResponse perform_transport(const TransportRequest&) {
  TransportResponse out;
  out.failure = TransportFailure::Platform;
  return out;
}

}  // namespace quorvel::http
