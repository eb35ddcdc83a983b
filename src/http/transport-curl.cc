// The transport over libcurl, made to behave as the stepwise Windows HTTP
// service does, so that both platforms give the same observable results:
//
//  - HTTP/1.1 only: a "HTTP/2 200" status line would break the rule that the
//    status starts at the 10th character.
//  - Only http and https, checked here (libcurl would guess a scheme).
//  - Redirects are followed here, one fresh handle per hop: at most 10, never
//    from https to http (the redirect response is then the answer), and only
//    the final response's header block is kept.
//  - libcurl adds no header beyond Host and Content-Length: its Accept,
//    Expect, form Content-Type and Proxy-Connection lines are suppressed,
//    and the user agent travels in the caller's block. No decompression, no connection reuse,
//    no proxy from the environment.
//  - The proxy serves plain and secure URLs alike; credentials (server and
//    proxy) are basic and sent only when both texts are given.
//  - One timeout t for resolve plus connect (and the TLS handshake), and as
//    the longest silence while sending and receiving.
//
// How failures map (the Windows transport reuses this table):
//   library not initialised ............................ Platform   (700)
//   URL unparsable, or scheme not http/https ........... BadUrl     (701)
//   out of memory / handle creation .................... Session    (702)
//   header line without a name ......................... Headers    (710)
//   unresolvable host or proxy, refused connection,
//   connect timeout, TLS handshake failure, send
//   failure, silence while sending, proxy refused ....... Send       (711)
//   certificate that does not verify ................... Certificate
//   no complete final header block: nothing received,
//   malformed reply, silence before the headers,
//   header block over 4 MiB, a reply that is no HTTP,
//   the deadline of the whole exchange passed .......... Receive    (712)
//   more than 10 redirects ............................. TooManyRedirects (712)
//   the body stopped after the headers: broken or
//   silent connection, short body, 64 MiB cap ........... read_failed (713)
#include <curl/curl.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "base/text_ops.h"
#include "base/unique_handle.h"
#include "base/yield.h"
#include "http/extra_authority.h"
#include "http/redirect.h"
#include "http/transport.h"

namespace quorvel::http {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxHeaderBlock = std::size_t{4} << 20;
// The transfer loop wakes at least this often, so the window stays alive.
constexpr int kPollMs = 20;

using Easy = UniquePointer<CURL, curl_easy_cleanup>;
using Multi = UniquePointer<CURLM, curl_multi_cleanup>;
using Slist = UniquePointer<curl_slist, curl_slist_free_all>;
using Url = UniquePointer<CURLU, curl_url_cleanup>;
using Share = UniquePointer<CURLSH, curl_share_cleanup>;
using CurlString = UniquePointer<char, curl_free>;

bool library_ready() {
  static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ready;
}

// Spaces, controls and bytes above 0x7E percent-encoded, as the Windows
// service escapes a URL before sending it.
std::string escape_unsafe(std::string_view s) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(s.size());
  for (const char c : s) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b >= 0x7F) {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

std::string url_part(CURLU* url, CURLUPart part, unsigned flags = 0) {
  char* raw = nullptr;
  if (curl_url_get(url, part, &raw, flags) != CURLUE_OK || raw == nullptr) return {};
  const CurlString owned(raw);
  return std::string(raw);
}

// True when the URL handle holds an absolute http or https URL with a host.
bool usable_web_url(CURLU* url) {
  const std::string scheme = url_part(url, CURLUPART_SCHEME);
  if (!equal_ignoring_case(scheme, "http") && !equal_ignoring_case(scheme, "https")) return false;
  if (url_part(url, CURLUPART_HOST).empty()) return false;
  // Credentials inside a URL are never sent.
  curl_url_set(url, CURLUPART_USER, nullptr, 0);
  curl_url_set(url, CURLUPART_PASSWORD, nullptr, 0);
  return true;
}

bool is_secure(CURLU* url) {
  return equal_ignoring_case(url_part(url, CURLUPART_SCHEME), "https");
}

// A URL whose authority is not followed by "/" has an empty path: "/" is
// requested then, without the query or fragment.
bool path_is_empty(std::string_view escaped) {
  const std::size_t scheme_end = escaped.find("://");
  if (scheme_end == std::string_view::npos) return false;
  const std::size_t after = escaped.find_first_of("/?#", scheme_end + 3);
  return after == std::string_view::npos || escaped[after] != '/';
}

// The request target: path, query and fragment as the URL gives them.
std::string request_target(CURLU* url, bool empty_path) {
  if (empty_path) return "/";
  std::string target = url_part(url, CURLUPART_PATH);
  if (target.empty()) target = "/";
  const std::string query = url_part(url, CURLUPART_QUERY);
  if (!query.empty()) target += "?" + query;
  const std::string fragment = url_part(url, CURLUPART_FRAGMENT);
  if (!fragment.empty()) target += "#" + fragment;
  return target;
}

std::string origin_of(CURLU* url) {
  return url_part(url, CURLUPART_SCHEME) + "://" + url_part(url, CURLUPART_HOST) + ":" +
         url_part(url, CURLUPART_PORT, CURLU_DEFAULT_PORT);
}

bool block_has_header(std::string_view block, std::string_view name) {
  for (const std::string_view line : lines_of(block)) {
    if (line.size() > name.size() && line[name.size()] == ':' &&
        equal_ignoring_case(line.substr(0, name.size()), name)) {
      return true;
    }
  }
  return false;
}

// The header block as libcurl's list; false for a line without a name,
// which the Windows service refuses too.
bool header_list(std::string_view block, Slist& list) {
  auto append = [&list](const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (grown == nullptr) return false;
    static_cast<void>(list.release());
    list.reset(grown);
    return true;
  };
  for (const std::string_view raw : lines_of(block)) {
    if (raw.empty()) continue;
    std::string line(raw);
    const std::size_t colon = line.find(':');
    if (colon == 0 || colon == std::string::npos || line.find('\0') != std::string::npos) {
      return false;
    }
    // "Name:" alone would tell libcurl to drop the header; "Name;" sends it
    // with an empty value, as written.
    if (line.find_first_not_of(' ', colon + 1) == std::string::npos) {
      line = line.substr(0, colon) + ";";
    }
    if (!append(line)) return false;
  }
  for (const char* own : {"Accept", "Expect", "Content-Type"}) {
    if (!block_has_header(block, own) && !append(std::string(own) + ":")) return false;
  }
  return true;
}

CURLcode add_extra_authority(CURL*, void* ssl_ctx, void*) {
  const std::string_view pem = extra_authority_pem();
  if (pem.empty()) return CURLE_OK;
  BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
  if (bio == nullptr) {
    ERR_clear_error();
    return CURLE_OK;
  }
  X509_STORE* store = SSL_CTX_get_cert_store(static_cast<SSL_CTX*>(ssl_ctx));
  while (X509* cert = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr)) {
    X509_STORE_add_cert(store, cert);
    X509_free(cert);
  }
  ERR_clear_error();
  BIO_free(bio);
  return CURLE_OK;
}

// What one hop collects, and the clock of its silence.
struct Hop {
  Text block;
  bool block_complete = false;
  bool block_too_large = false;
  Bytes body;
  std::size_t max_body = 0;
  bool capped = false;
  bool connected = false;
  Clock::time_point last_activity = Clock::now();
  curl_off_t last_upload = 0;

  void touch() { last_activity = Clock::now(); }

  // A final header block has been read (1xx blocks are interim).
  [[nodiscard]] bool final_headers() const {
    return block_complete && !(block.size() > 9 && block[9] == '1');
  }
};

size_t on_header(char* data, size_t size, size_t count, void* user) {
  Hop& hop = *static_cast<Hop*>(user);
  const std::size_t length = size * count;
  std::string_view line(data, length);
  hop.touch();
  // Every response (an interim 1xx one, the final one) starts a new block;
  // trailer lines after a complete block are not part of it.
  if (line.substr(0, 5) == "HTTP/") {
    hop.block.clear();
    hop.block_complete = false;
  } else if (hop.block_complete) {
    return length;
  }
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (hop.block.size() + line.size() + 2 > kMaxHeaderBlock) {
    hop.block_too_large = true;
    return 0;
  }
  hop.block.append(line).append("\r\n");
  if (line.empty()) hop.block_complete = true;
  return length;
}

size_t on_body(char* data, size_t size, size_t count, void* user) {
  Hop& hop = *static_cast<Hop*>(user);
  const std::size_t length = size * count;
  hop.touch();
  const std::size_t room = hop.max_body - std::min(hop.max_body, hop.body.size());
  const std::size_t take = std::min(room, length);
  hop.body.insert(hop.body.end(), data, data + take);
  if (take < length) {
    hop.capped = true;
    return 0;
  }
  return length;
}

// Everything one hop needs from the request, beyond the URL.
struct HopSetup {
  const TransportRequest* request;
  Clock::time_point deadline;
  std::string url;
  std::string target;
  std::string_view verb;
  std::string_view body;
  bool send_credentials;
  CURLSH* cookies;
  curl_slist* headers;
  curl_slist* proxy_headers;
};

void configure(CURL* easy, const HopSetup& s, Hop& hop, const std::string& proxy) {
  const TransportRequest& r = *s.request;
  curl_easy_setopt(easy, CURLOPT_URL, s.url.c_str());
  curl_easy_setopt(easy, CURLOPT_REQUEST_TARGET, s.target.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(r.timeout_ms));
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, s.headers);
  curl_easy_setopt(easy, CURLOPT_HEADEROPT, static_cast<long>(CURLHEADER_SEPARATE));
  curl_easy_setopt(easy, CURLOPT_PROXYHEADER, s.proxy_headers);
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, on_header);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &hop);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, on_body);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &hop);

  // The verb: HEAD awaits no body; a body goes with any verb.
  if (s.verb == "HEAD") curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
  if (!s.body.empty() || s.verb == "POST") {
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(s.body.size()));
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, s.body.empty() ? "" : s.body.data());
  }
  if (s.verb != "GET" && s.verb != "POST" && !(s.verb == "HEAD" && s.body.empty())) {
    const std::string verb(s.verb);
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, verb.c_str());  // libcurl copies it
  }

  if (s.send_credentials && !r.user_name.empty()) {
    const std::string user(r.user_name), password(r.password);
    curl_easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
    curl_easy_setopt(easy, CURLOPT_USERNAME, user.c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, password.c_str());
  }
  // An empty proxy also keeps libcurl from taking one from the environment.
  curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
  if (!r.proxy_user.empty()) {
    const std::string user(r.proxy_user), password(r.proxy_password);
    curl_easy_setopt(easy, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
    curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, user.c_str());
    curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, password.c_str());
  }

  const long verify = r.verify_certificates ? 1L : 0L;
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, verify);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, verify * 2);
  curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, add_extra_authority);

  if (s.cookies != nullptr) {
    curl_easy_setopt(easy, CURLOPT_SHARE, s.cookies);
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
  }
}

TransportFailure classify(CURLcode code, const Hop& hop) {
  switch (code) {
    case CURLE_OK:
      return TransportFailure::None;
    // The URL was checked before any hop: during the exchange these mean a
    // reply that is no HTTP (an SSH banner, binary), or a header line that
    // never ends.
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
    case CURLE_OUT_OF_MEMORY:
      return TransportFailure::Receive;
    case CURLE_FAILED_INIT:
      return TransportFailure::Session;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
      return TransportFailure::Certificate;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PROXY:
      return TransportFailure::Send;
    case CURLE_OPERATION_TIMEDOUT:
      return hop.connected ? TransportFailure::Receive : TransportFailure::Send;
    default:
      return TransportFailure::Receive;
  }
}

// Runs one hop, waking every few milliseconds to let the window breathe
// and to watch the silence on the line.
TransportResponse run_hop(const HopSetup& setup) {
  TransportResponse out;
  const TransportRequest& r = *setup.request;
  Hop hop;
  hop.max_body = r.max_body_bytes;
  Easy easy(curl_easy_init());
  Multi multi(curl_multi_init());
  if (!easy || !multi) {
    out.failure = TransportFailure::Session;
    return out;
  }
  const std::string proxy = r.proxy.empty() || r.proxy.find("://") != std::string_view::npos
                                ? std::string(r.proxy)
                                : "http://" + std::string(r.proxy);
  configure(easy.get(), setup, hop, proxy);
  if (curl_multi_add_handle(multi.get(), easy.get()) != CURLM_OK) {
    out.failure = TransportFailure::Session;
    return out;
  }

  const auto timeout = std::chrono::milliseconds(r.timeout_ms);
  bool silent_too_long = false;
  int running = 1;
  CURLcode code = CURLE_OK;
  while (running > 0) {
    if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
      out.failure = TransportFailure::Session;
      curl_multi_remove_handle(multi.get(), easy.get());
      return out;
    }
    if (Clock::now() > setup.deadline) {
      curl_multi_remove_handle(multi.get(), easy.get());
      out.failure = TransportFailure::Receive;
      return out;
    }
    if (running == 0) break;
    curl_multi_poll(multi.get(), nullptr, 0, kPollMs, nullptr);
    yield_to_ui();
    // Connecting has libcurl's own timeout; after that, silence counts.
    curl_off_t value = 0;
    if (!hop.connected &&
        curl_easy_getinfo(easy.get(), CURLINFO_PRETRANSFER_TIME_T, &value) == CURLE_OK &&
        value > 0) {
      hop.connected = true;
      hop.touch();
    }
    if (curl_easy_getinfo(easy.get(), CURLINFO_SIZE_UPLOAD_T, &value) == CURLE_OK &&
        value != hop.last_upload) {
      hop.last_upload = value;
      hop.touch();
    }
    if (hop.connected && Clock::now() - hop.last_activity > timeout) {
      silent_too_long = true;
      break;
    }
  }
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi.get(), &left)) {
    if (message->msg == CURLMSG_DONE) code = message->data.result;
  }
  curl_multi_remove_handle(multi.get(), easy.get());

  if (silent_too_long) {
    const bool sent = hop.last_upload >= static_cast<curl_off_t>(setup.body.size());
    code = !sent ? CURLE_SEND_ERROR : CURLE_OPERATION_TIMEDOUT;
  }
  if (code != CURLE_OK && hop.final_headers() && !hop.block_too_large) {
    out.read_failed = true;  // the body stopped early; the rest goes on
  } else if (code != CURLE_OK) {
    out.failure = classify(code, hop);
    return out;
  }
  out.header_block = std::move(hop.block);
  out.body = std::move(hop.body);
  return out;
}

}  // namespace

TransportResponse perform_transport(const TransportRequest& request) {
  TransportResponse out;
  if (!library_ready()) {
    out.failure = TransportFailure::Platform;
    return out;
  }
  Url url(curl_url());
  if (!url) {
    out.failure = TransportFailure::Session;
    return out;
  }
  const std::string escaped = escape_unsafe(to_utf8(request.url));
  if (curl_url_set(url.get(), CURLUPART_URL, escaped.c_str(), 0) != CURLUE_OK ||
      !usable_web_url(url.get())) {
    out.failure = TransportFailure::BadUrl;
    return out;
  }
  Slist headers;
  if (!header_list(request.headers, headers)) {
    out.failure = TransportFailure::Headers;
    return out;
  }
  // libcurl's own line to a proxy goes too.
  const Slist proxy_headers(curl_slist_append(nullptr, "Proxy-Connection:"));
  if (!proxy_headers) {
    out.failure = TransportFailure::Session;
    return out;
  }
  Share cookies;
  if (request.platform_cookies) {
    cookies.reset(curl_share_init());
    if (!cookies ||
        curl_share_setopt(cookies.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE) != CURLSHE_OK) {
      out.failure = TransportFailure::Cookies;
      return out;
    }
  }

  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(request.total_ms);
  const std::string first_origin = origin_of(url.get());
  bool empty_path = path_is_empty(escaped);
  std::string verb(request.verb);
  std::string_view body = request.body;
  for (int redirects = 0;; ++redirects) {
    const std::string origin = origin_of(url.get());
    HopSetup setup{&request,
                   deadline,
                   url_part(url.get(), CURLUPART_URL),
                   request_target(url.get(), empty_path),
                   verb,
                   body,
                   origin == first_origin,
                   cookies.get(),
                   headers.get(),
                   proxy_headers.get()};
    // Through a proxy, a plain request names its whole URL.
    if (!request.proxy.empty() && !is_secure(url.get())) {
      setup.target = origin + setup.target;
    }
    TransportResponse response = run_hop(setup);
    if (response.failure != TransportFailure::None || !request.follow_redirects) return response;
    const int code = status_code(response.header_block);
    const std::string target = location_of(response.header_block);
    if (!is_redirect(code) || target.empty()) {
      return response;
    }
    if (redirects == kMaxRedirects) {
      out.failure = TransportFailure::TooManyRedirects;
      return out;
    }
    // A target that is not a web URL, or that leaves https for http, is not
    // followed: the redirect response is the answer.
    const bool was_secure = is_secure(url.get());
    Url next(curl_url_dup(url.get()));
    if (!next ||
        curl_url_set(next.get(), CURLUPART_URL, escape_unsafe(target).c_str(), 0) != CURLUE_OK ||
        !usable_web_url(next.get()) || (was_secure && !is_secure(next.get()))) {
      return response;
    }
    url = std::move(next);
    empty_path = false;
    if (redirect_drops_body(code, verb)) body = {};
    verb = redirected_verb(code, verb);
  }
}

}  // namespace quorvel::http
