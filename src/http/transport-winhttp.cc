// The transport over WinHTTP in synchronous mode: the calls and options in
// the request engine's order (check, crack, open, timeouts, connect, open
// request, credentials, certificate flags, cookie feature, redirects,
// header block, send, receive, raw headers, read). Failures map as written
// down beside the libcurl transport.
//
// WinHTTP's own redirects are turned off: the hops are followed here by the
// rules both transports share (http/redirect.h), one connection and request
// per hop in one session, whose cookie jar carries cookies from hop to hop
// when the platform's cookies are on. (Wine's own following re-sent a
// POST's length with the GET it became, and the server waited for a body.)
//
// The synchronous calls block, so they run on a worker thread while the
// calling (window) thread keeps pumping its messages every 20 ms; the caller
// sees one blocking call, as on Linux. The caller also keeps the clock: a
// stage that outlives its timeout by a second (some ignore it), or an
// exchange that outlives its whole deadline, ends the call with a failure
// at once, and the worker finishes on its own copies of the request.
//
// Certificates are verified by default. The build's one extra authority
// (QUORVEL_EXTRA_CA_FILE, carried inside the program) has no WinHTTP option: for a secure URL the
// unknown-authority check is relaxed and the server's chain is checked here
// instead, just before the request goes out, against the system's store
// plus that authority; a chain that fails closes the request unsent.
#include <windows.h>
// After windows.h, which they need.
#include <wincrypt.h>
#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cwchar>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/certificate_chain-win32.h"
#include "base/file.h"
#include "base/unique_handle.h"
#include "base/wide-win32.h"
#include "base/yield.h"
#include "base/text_ops.h"
#include "http/extra_authority.h"
#include "http/redirect.h"
#include "http/transport.h"

namespace quorvel::http {
namespace {

constexpr DWORD kIgnoreCertificateErrors = 0x3300;
constexpr DWORD kAccessNoProxy = 1;
constexpr DWORD kAccessNamedProxy = 3;
constexpr int kPollMs = 20;
// libcurl's bound on a response's header block, so that both platforms
// refuse the same floods.
constexpr DWORD kMaxHeaderBlock = 300 * 1024;

using Internet = UniquePointer<void, WinHttpCloseHandle>;
// The extra authority the program carries; null without one.
CertificatePtr extra_authority() {
  return certificate_from_pem(extra_authority_pem());
}

std::int64_t now_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Handed to the status callback through the request's context value: the
// server's chain to check against the extra authority (none: WinHTTP's own
// checks hold), and where the stages reached are told to the caller.
struct RequestWatch {
  const CERT_CONTEXT* authority = nullptr;
  std::wstring host;
  bool refused = false;
  std::atomic<bool>* sent = nullptr;
  std::atomic<std::int64_t>* progress_ms = nullptr;
};

void CALLBACK on_status(HINTERNET request, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
  if (context == 0) return;
  auto* watch = reinterpret_cast<RequestWatch*>(context);
  if (status == WINHTTP_CALLBACK_STATUS_CONNECTED_TO_SERVER) *watch->progress_ms = now_ms();
  if (status == WINHTTP_CALLBACK_STATUS_REQUEST_SENT) {
    *watch->sent = true;
    *watch->progress_ms = now_ms();
  }
  if (status != WINHTTP_CALLBACK_STATUS_SENDING_REQUEST || watch->authority == nullptr) return;
  const CERT_CONTEXT* server = nullptr;
  DWORD size = sizeof server;
  bool trusted = false;
  if (WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &server, &size) && server) {
    const CertificatePtr owned(server);
    trusted = chain_trusted(server, watch->authority, watch->host);
  }
  if (!trusted) {
    // Closing the request here is how WinHTTP lets a caller refuse a
    // server before anything is sent to it.
    watch->refused = true;
    WinHttpCloseHandle(request);
  }
}

bool set_flag(HINTERNET handle, DWORD option, DWORD value) {
  return WinHttpSetOption(handle, option, &value, sizeof value) != FALSE;
}

TransportResponse failed(TransportFailure failure) {
  TransportResponse out;
  out.failure = failure;
  return out;
}

// Whichever of WinHTTP's errors carries a certificate's failure (Windows
// reports a summary, Wine the reason itself): the certificate message.
bool certificate_error(DWORD error) {
  switch (error) {
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
      return true;
    default:
      return false;
  }
}

TransportFailure stage_failure(TransportFailure stage) {
  return certificate_error(GetLastError()) ? TransportFailure::Certificate : stage;
}

// What a call and its worker share. The worker may outlive a call that gave
// up on it, so it owns copies of everything it reads.
struct Exchange {
  explicit Exchange(const TransportRequest& r)
      : url(r.url),
        verb(r.verb),
        headers(r.headers),
        body(r.body),
        user(r.user_name),
        password(r.password),
        proxy(r.proxy),
        proxy_user(r.proxy_user),
        proxy_password(r.proxy_password),
        request(r) {
    request.url = url;
    request.verb = verb;
    request.headers = headers;
    request.body = body;
    request.user_name = user;
    request.password = password;
    request.proxy = proxy;
    request.proxy_user = proxy_user;
    request.proxy_password = proxy_password;
  }
  // The request reached another stage (sent, answered, more body read).
  void progress() { progress_ms = now_ms(); }

  const std::string url, verb, headers, body, user, password, proxy, proxy_user, proxy_password;
  TransportRequest request;
  std::atomic<std::int64_t> progress_ms{now_ms()};
  std::atomic<bool> sent{false};
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  TransportResponse response;
};

// The length the response announced, or -1.
long long announced_length(HINTERNET request) {
  wchar_t value[32] = {};
  DWORD size = sizeof value;
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                           value, &size, WINHTTP_NO_HEADER_INDEX)) {
    return -1;
  }
  return std::wcstoll(value, nullptr, 10);
}

// Reads the body up to the cap, which is filled to its last byte as on
// Linux. A read that fails or stalls, a body shorter than announced and a
// body cut at the cap are all a body that stopped early.
// A HEAD answer, a 204 and a 304 announce a length without a body.
void read_body(HINTERNET request, std::string_view verb, std::size_t cap, TransportResponse& out,
               Exchange& x) {
  const int code = status_code(out.header_block);
  const long long announced =
      verb == "HEAD" || code == 204 || code == 304 ? -1 : announced_length(request);
  for (;;) {
    x.progress();
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request, &available)) {
      out.read_failed = true;
      return;
    }
    if (available == 0) break;
    if (cap != 0 && out.body.size() + available > cap) {
      available = static_cast<DWORD>(cap - out.body.size());
      out.read_failed = true;
    }
    const std::size_t at = out.body.size();
    out.body.resize(at + available);
    DWORD read = 0;
    if (available > 0 && !WinHttpReadData(request, out.body.data() + at, available, &read)) {
      out.body.resize(at);
      out.read_failed = true;
      return;
    }
    out.body.resize(at + read);
    if (out.read_failed) return;
  }
  if (announced >= 0 && out.body.size() < static_cast<unsigned long long>(announced)) {
    out.read_failed = true;
  }
}

Text raw_headers(HINTERNET request) {
  DWORD size = 0;
  WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                      WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX);
  if (size == 0) return {};
  std::wstring block(size / sizeof(wchar_t) + 1, L'\0');
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                           block.data(), &size, WINHTTP_NO_HEADER_INDEX)) {
    return {};
  }
  block.resize(size / sizeof(wchar_t));
  return narrow(block);
}

// "scheme://authority" of a URL, case folded, for comparing origins.
std::string origin_of(std::string_view url) {
  const std::size_t slashes = url.find("://");
  if (slashes == std::string_view::npos) return {};
  const std::size_t end = std::min(url.find_first_of("/?#", slashes + 3), url.size());
  std::string origin(url.substr(0, end));
  for (char& c : origin) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return origin;
}

bool http_1_reply(std::string_view block) {
  return block.size() >= 12 && block.substr(0, 7) == "HTTP/1." && status_code(block) != 0;
}

struct CrackedUrl {
  std::wstring host, path;
  INTERNET_PORT port = 0;
  bool secure = false;
};

bool crack(std::string_view url, CrackedUrl& out) {
  const std::wstring wide_url = wide(url);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwSchemeLength = static_cast<DWORD>(-1);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(wide_url.c_str(), 0, 0, &parts)) return false;
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return false;
  if (parts.dwHostNameLength == 0) return false;
  out.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  if (parts.dwUrlPathLength == 0) {
    out.path = L"/";
  } else {
    out.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.dwExtraInfoLength > 0) out.path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  }
  out.port = parts.nPort;
  out.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  return true;
}

bool set_credentials(HINTERNET request, DWORD target, std::string_view user,
                     std::string_view password) {
  if (user.empty() || password.empty()) return true;
  return WinHttpSetCredentials(request, target, WINHTTP_AUTH_SCHEME_BASIC, wide(user).c_str(),
                               wide(password).c_str(), nullptr) != FALSE;
}

// One hop of the exchange: its own connection and request in the shared
// session (whose cookie jar carries cookies from hop to hop when the
// platform's cookies are on).
struct Hop {
  std::string url;
  std::string verb;
  std::string_view body;
  bool first_origin = true;  // credentials go to the first origin only
};

TransportResponse send_hop(HINTERNET session, const Hop& hop, Exchange& x) {
  const TransportRequest& r = x.request;
  CrackedUrl url;
  if (!crack(hop.url, url)) return failed(TransportFailure::BadUrl);
  const Internet connection(WinHttpConnect(session, url.host.c_str(), url.port, 0));
  if (!connection) return failed(TransportFailure::Connection);
  Internet request(WinHttpOpenRequest(connection.get(), wide(hop.verb).c_str(), url.path.c_str(),
                                      nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                      url.secure ? WINHTTP_FLAG_SECURE : 0));
  if (!request) return failed(TransportFailure::Request);
  if ((hop.first_origin &&
       !set_credentials(request.get(), WINHTTP_AUTH_TARGET_SERVER, r.user_name, r.password)) ||
      !set_credentials(request.get(), WINHTTP_AUTH_TARGET_PROXY, r.proxy_user, r.proxy_password)) {
    return failed(TransportFailure::Credentials);
  }

  const CertificatePtr authority =
      url.secure && r.verify_certificates ? extra_authority() : CertificatePtr();
  RequestWatch watch{authority.get(), url.host, false, &x.sent, &x.progress_ms};
  if (!r.verify_certificates &&
      !set_flag(request.get(), WINHTTP_OPTION_SECURITY_FLAGS, kIgnoreCertificateErrors)) {
    return failed(TransportFailure::Certificate);
  }
  if (authority &&
      !set_flag(request.get(), WINHTTP_OPTION_SECURITY_FLAGS, SECURITY_FLAG_IGNORE_UNKNOWN_CA)) {
    return failed(TransportFailure::Certificate);
  }
  // Sending and sent; connecting and connected.
  constexpr DWORD kWatched = WINHTTP_CALLBACK_FLAG_SEND_REQUEST |
                             WINHTTP_CALLBACK_FLAG_CONNECT_TO_SERVER;
  if (WinHttpSetStatusCallback(request.get(), on_status, kWatched, 0) ==
      WINHTTP_INVALID_STATUS_CALLBACK) {
    return failed(authority ? TransportFailure::Certificate : TransportFailure::Request);
  }
  // Without the platform's cookies nothing is kept between hops. (Enabling
  // feature 1 would turn on revocation checks instead: the enable and
  // disable flags share their numbers.)
  if (!r.platform_cookies &&
      !set_flag(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_COOKIES)) {
    return failed(TransportFailure::Cookies);
  }
  // Redirects are followed by the caller, hop by hop, as on Linux.
  if (!set_flag(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_REDIRECTS)) {
    return failed(TransportFailure::Redirects);
  }
  set_flag(request.get(), WINHTTP_OPTION_MAX_RESPONSE_HEADER_SIZE, kMaxHeaderBlock);
  if (!r.headers.empty()) {
    const std::wstring headers = wide(r.headers);
    if (!WinHttpAddRequestHeaders(request.get(), headers.c_str(),
                                  static_cast<DWORD>(headers.size()), WINHTTP_ADDREQ_FLAG_ADD)) {
      return failed(TransportFailure::Headers);
    }
  }

  const auto length = static_cast<DWORD>(hop.body.size());
  void* body = length ? const_cast<char*>(hop.body.data()) : WINHTTP_NO_REQUEST_DATA;
  const bool sent = WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, body,
                                       length, length, reinterpret_cast<DWORD_PTR>(&watch));
  if (watch.refused) {
    static_cast<void>(request.release());  // closed by the callback
    return failed(TransportFailure::Certificate);
  }
  if (!sent) return failed(stage_failure(TransportFailure::Send));
  x.sent = true;
  x.progress();
  if (!WinHttpReceiveResponse(request.get(), nullptr)) {
    return failed(stage_failure(TransportFailure::Receive));
  }
  TransportResponse out;
  out.header_block = raw_headers(request.get());
  // Wine takes a reply without a status line for HTTP/0.9, and does not
  // hold the header block to the size asked for; Windows refuses both.
  if (out.header_block.size() > kMaxHeaderBlock || !http_1_reply(out.header_block)) {
    return failed(TransportFailure::Receive);
  }
  read_body(request.get(), hop.verb, r.max_body_bytes, out, x);
  return out;
}

TransportResponse exchange(Exchange& x) {
  const TransportRequest& r = x.request;
  if (!WinHttpCheckPlatform()) return failed(TransportFailure::Platform);
  CrackedUrl first;
  if (!crack(r.url, first)) return failed(TransportFailure::BadUrl);

  // "host:port" serves every scheme.
  const std::wstring proxy = wide(r.proxy);
  const Internet session(WinHttpOpen(nullptr, r.proxy.empty() ? kAccessNoProxy : kAccessNamedProxy,
                                     r.proxy.empty() ? WINHTTP_NO_PROXY_NAME : proxy.c_str(),
                                     WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return failed(TransportFailure::Session);
  const int t = r.timeout_ms;
  if (!WinHttpSetTimeouts(session.get(), t, t, t, t)) return failed(TransportFailure::Timeouts);

  const std::string first_origin = origin_of(r.url);
  Hop hop{std::string(r.url), std::string(r.verb), r.body, true};
  for (int redirects = 0;; ++redirects) {
    TransportResponse response = send_hop(session.get(), hop, x);
    if (response.failure != TransportFailure::None || !r.follow_redirects) return response;
    const int code = status_code(response.header_block);
    const std::string target = location_of(response.header_block);
    if (!is_redirect(code) || target.empty()) return response;
    if (redirects == kMaxRedirects) return failed(TransportFailure::TooManyRedirects);
    // A target that is not a web URL, or that leaves https for http, is not
    // followed: the redirect response is the answer.
    const std::string next = resolve_location(hop.url, target);
    const bool was_secure = hop.url.rfind("https:", 0) == 0;
    if (next.empty() || (was_secure && !equal_ignoring_case(next.substr(0, 6), "https:"))) {
      return response;
    }
    if (redirect_drops_body(code, hop.verb)) hop.body = {};
    hop.verb = redirected_verb(code, hop.verb);
    hop.url = next;
    hop.first_origin = origin_of(next) == first_origin;
  }
}

}  // namespace

TransportResponse perform_transport(const TransportRequest& request) {
  constexpr std::int64_t kGraceMs = 1000;
  const auto x = std::make_shared<Exchange>(request);
  std::thread([x] {
    TransportResponse response = exchange(*x);
    const std::lock_guard<std::mutex> lock(x->mutex);
    x->response = std::move(response);
    x->done = true;
    x->finished.notify_one();
  }).detach();
  const std::int64_t start = now_ms();
  std::unique_lock<std::mutex> lock(x->mutex);
  while (!x->finished.wait_for(lock, std::chrono::milliseconds(kPollMs), [&] { return x->done; })) {
    lock.unlock();
    yield_to_ui();
    const std::int64_t now = now_ms();
    const bool stalled = request.timeout_ms > 0 && now - x->progress_ms > request.timeout_ms + kGraceMs;
    const bool overdue = request.total_ms > 0 && now - start > request.total_ms + kGraceMs;
    if (stalled || overdue) {
      // Given up on: the worker ends by itself later, on its own copies.
      return failed(x->sent ? TransportFailure::Receive : TransportFailure::Send);
    }
    lock.lock();
  }
  return std::move(x->response);
}

}  // namespace quorvel::http
