#include "http/http_request.h"

#include <algorithm>
#include <array>
#include <climits>

#include "base/text_ops.h"
#include "base/yield.h"
#include "data/regex_object.h"
#include "http/charset.h"
#include "http/headers.h"
#include "http/transport.h"

namespace quorvel::http {
namespace {

constexpr std::string_view kCrLf = "\r\n";

constexpr std::array<std::string_view, 8> kVerbs = {"GET",     "POST",   "HEAD",  "PUT",
                                                    "OPTIONS", "DELETE", "TRACE", "CONNECT"};

struct DefaultHeader {
  std::string_view probe;
  std::string_view line;
  bool post_only;
};

// Considered in this order; each is added only when the block built so far
// lacks its probe (case ignored). Four probes end in a space, the content
// type's does not.
constexpr DefaultHeader kDefaultHeaders[] = {
    {"User-Agent: ",
     "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n",
     false},
    {"Accept: ", "Accept: text/html, application/xhtml+xml, */*\r\n", false},
    {"Accept-Encoding: ", "Accept-Encoding: identity\r\n", false},
    {"Accept-Language: ", "Accept-Language: zh-cn\r\n", false},
    {"Content-Type:", "Content-Type: application/x-www-form-urlencoded\r\n", true},
    {"Cache-Control: ", "Cache-Control: no-cache\r\n", false},
};

// The stage messages, GB18030 bytes of the texts in the comments.
Text failure_message(TransportFailure failure) {
  switch (failure) {
    case TransportFailure::None:
      return {};
    case TransportFailure::Platform:  // 700 当前系统不支持WinHttp服务!
      return "700 \xB5\xB1\xC7\xB0\xCF\xB5\xCD\xB3\xB2\xBB\xD6\xA7\xB3\xD6WinHttp\xB7\xFE\xCE\xF1!";
    case TransportFailure::BadUrl:  // 701 解析URL地址失败!
      return "701 \xBD\xE2\xCE\xF6URL\xB5\xD8\xD6\xB7\xCA\xA7\xB0\xDC!";
    case TransportFailure::Session:  // 702 创建WinHttp会话失败!
      return "702 \xB4\xB4\xBD\xA8WinHttp\xBB\xE1\xBB\xB0\xCA\xA7\xB0\xDC!";
    case TransportFailure::Connection:  // 703 创建WinHttp连接失败!
      return "703 \xB4\xB4\xBD\xA8WinHttp\xC1\xAC\xBD\xD3\xCA\xA7\xB0\xDC!";
    case TransportFailure::Request:  // 704 创建WinHttp请求失败!
      return "704 \xB4\xB4\xBD\xA8WinHttp\xC7\xEB\xC7\xF3\xCA\xA7\xB0\xDC!";
    case TransportFailure::Timeouts:  // 705 设置超时时间失败!
      return "705 \xC9\xE8\xD6\xC3\xB3\xAC\xCA\xB1\xCA\xB1\xBC\xE4\xCA\xA7\xB0\xDC!";
    case TransportFailure::Credentials:  // 707 设置代理凭证失败!
      return "707 \xC9\xE8\xD6\xC3\xB4\xFA\xC0\xED\xC6\xBE\xD6\xA4\xCA\xA7\xB0\xDC!";
    case TransportFailure::Certificate:  // 忽略错误/证书错误  失败！
      return "\xBA\xF6\xC2\xD4\xB4\xED\xCE\xF3/\xD6\xA4\xCA\xE9\xB4\xED\xCE\xF3  "
             "\xCA\xA7\xB0\xDC\xA3\xA1";
    case TransportFailure::Cookies:  // 708 禁止自动设置Cookies失败!
      return "708 \xBD\xFB\xD6\xB9\xD7\xD4\xB6\xAF\xC9\xE8\xD6\xC3"
             "Cookies\xCA\xA7\xB0\xDC!";
    case TransportFailure::Redirects:  // 709 重定向设置失败!
      return "709 \xD6\xD8\xB6\xA8\xCF\xF2\xC9\xE8\xD6\xC3\xCA\xA7\xB0\xDC!";
    case TransportFailure::Headers:  // 710 设置协议头失败!
      return "710 \xC9\xE8\xD6\xC3\xD0\xAD\xD2\xE9\xCD\xB7\xCA\xA7\xB0\xDC!";
    case TransportFailure::Send:  // 711 发送请求失败!
      return "711 \xB7\xA2\xCB\xCD\xC7\xEB\xC7\xF3\xCA\xA7\xB0\xDC!";
    case TransportFailure::Receive:  // 712 服务器未响应!
      return "712 \xB7\xFE\xCE\xF1\xC6\xF7\xCE\xB4\xCF\xEC\xD3\xA6!";
    case TransportFailure::TooManyRedirects:  // 712 重定向次数过多!
      return "712 " + from_utf8("重定向次数过多!");
  }
  return {};
}

// 713 读取数据失败!
constexpr std::string_view kReadFailedMessage =
    "713 \xB6\xC1\xC8\xA1\xCA\xFD\xBE\xDD\xCA\xA7\xB0\xDC!";

// The cookie item of one "Set-Cookie" line: "name=value" without the
// attributes, trimmed of ASCII and full-width spaces.
Text cookie_item(std::string_view line) {
  if (find_text(line, ";") == npos) {
    Text rest(line);
    for (std::size_t at = find_text(rest, "Set-Cookie:", 0, true); at != npos;
         at = find_text(rest, "Set-Cookie:", at, true)) {
      rest.erase(at, 11);
    }
    return trim_spaces(rest);
  }
  return trim_spaces(text_between(line, "Set-Cookie:", ";"));
}

// Cookies and the redirect target from the response lines, in order.
void scan_response_lines(std::string_view block, Text& received_cookies,
                         std::optional<Text>& location) {
  for (const Text& line : split_text(block, kCrLf)) {
    const std::size_t colon = find_text(line, ": ");
    if (colon != npos && std::string_view(line).substr(0, colon) == "Set-Cookie") {
      received_cookies += cookie_item(line);
      received_cookies += "; ";
    }
    if (line.size() >= 10 &&
        find_text(std::string_view(line).substr(0, 10), "Location: ", 0, true) == 0) {
      location = Text(std::string_view(line).substr(10));
    }
    yield_to_ui();
  }
}

Text charset_of(std::string_view text) {
  const std::string_view head = text.substr(0, 1024);
  // Most answers name no charset: skip the pattern when its two literal
  // parts are not both there.
  if (find_text(head, "<meta", 0, true) == npos || find_text(head, "charset=", 0, true) == npos) {
    return {};
  }
  RegexObject regex;
  const bool ran = regex.execute("<meta.+?charset=[^\\w]?([-\\w]+)", head,
                                 /*case_sensitive=*/false, /*multiline=*/true, /*global=*/true);
  if (!ran || regex.match_count() < 1) return {};
  return regex.submatch_text(1, 1);
}

}  // namespace

std::string_view verb_name(int method) noexcept {
  return method >= 0 && method < static_cast<int>(kVerbs.size()) ? kVerbs[method] : kVerbs[0];
}

Text build_header_block(std::string_view extra_headers, int method, bool default_headers,
                        bool normalize_headers, std::string_view send_cookies) {
  Text block;
  if (!extra_headers.empty()) block.append(extra_headers).append(kCrLf);
  if (default_headers) {
    for (const DefaultHeader& header : kDefaultHeaders) {
      if (header.post_only && method != 1) continue;
      if (find_text(block, header.probe, 0, true) == npos) block += header.line;
    }
  }
  if (normalize_headers) block = normalize_header_block(block);
  if (find_text(block, "Connection") != npos && header_value(block, "Connection") == "keep-alive") {
    block = replace_all(block, "Connection: keep-alive\r\n", "");
  }
  if (find_text(block, "Cookie:", 0, true) == npos && !send_cookies.empty()) {
    if (find_text(send_cookies, "Cookie:", 0, true) == npos) {
      block.append("\r\nCookie: ").append(send_cookies);
    } else {
      block.append(kCrLf).append(send_cookies);
    }
  }
  return block;
}

Text status_from_block(std::string_view block) {
  // The 10th character: bytes and characters agree on a status line, which
  // is ASCII.
  if (block.size() < 10) return {};
  const std::size_t end = find_text(block, kCrLf, 9);
  return Text(block.substr(9, end == npos ? npos : end - 9));
}

Text body_text(const Bytes& body) {
  const auto zero = std::find(body.begin(), body.end(), std::uint8_t{0});
  Text text(body.begin(), zero);
  const Text charset = charset_of(text);
  if (charset.empty() || charset == "gbk" || charset == "gb2312") return text;
  Text converted;
  const std::string_view all(reinterpret_cast<const char*>(body.data()), body.size());
  if (!decode_charset(charset, all, converted)) return text;
  // The decoded page ends where a zero character is, as the undecoded one does.
  const std::size_t nul = converted.find('\0');
  if (nul != npos) converted.resize(nul);
  return converted;
}

namespace {

// A line break inside a value would start a header line of its own on the
// wire: cookies may hold none, caller header lines none but their CR LF
// separators.
bool injects_lines(std::string_view extra_headers, std::string_view cookies) {
  if (cookies.find_first_of("\r\n") != npos) return true;
  for (const Text& line : split_text(extra_headers, kCrLf)) {
    if (line.find_first_of("\r\n") != npos) return true;
  }
  return false;
}

}  // namespace

HttpResult send_request(std::string_view url, const HttpRequestOptions& o) {
  HttpResult result;
  const Text cookies_in(o.send_cookies);
  if (injects_lines(o.extra_headers, cookies_in)) {
    result.status_text = failure_message(TransportFailure::Headers);
    return result;
  }
  const Text headers = build_header_block(o.extra_headers, o.method, o.default_headers,
                                          o.normalize_headers, cookies_in);

  TransportRequest request;
  request.url = url;
  request.verb = verb_name(o.method);
  request.headers = headers;
  request.body = o.post_bytes == nullptr || o.post_bytes->empty()
                     ? o.post_text
                     : std::string_view(reinterpret_cast<const char*>(o.post_bytes->data()),
                                        o.post_bytes->size());
  if (!o.user_name.empty() && !o.password.empty()) {
    request.user_name = o.user_name;
    request.password = o.password;
  }
  request.proxy = o.proxy;
  if (!o.proxy_user.empty() && !o.proxy_password.empty()) {
    request.proxy_user = o.proxy_user;
    request.proxy_password = o.proxy_password;
  }
  const long long timeout_ms = o.timeout_seconds > 0 ? o.timeout_seconds * 1000LL : 30000;
  request.timeout_ms = static_cast<int>(std::min<long long>(timeout_ms, INT_MAX));
  // Four stages, each within the timeout: the whole call within four.
  request.total_ms = static_cast<int>(std::min<long long>(timeout_ms * 4, INT_MAX));
  request.follow_redirects = !o.no_redirect;
  request.platform_cookies = !cookies_in.empty();
  request.verify_certificates = o.verify_certificates;
  request.max_body_bytes = kMaxBodyBytes;

  TransportResponse response = perform_transport(request);
  yield_to_ui();
  if (response.failure != TransportFailure::None) {
    result.status_text = failure_message(response.failure);
    return result;
  }
  if (response.read_failed) result.status_text = Text(kReadFailedMessage);
  // No header block means the response headers could not be read: an
  // empty result, and the status text keeps what it held.
  if (response.header_block.empty()) return result;

  result.response_headers = response.header_block;
  // A body cut short (capped, broken or stalled) keeps its 713 message: a
  // partial page must never pass for a complete one under "200 OK".
  if (!response.read_failed) result.status_text = status_from_block(response.header_block);

  Text gathered(o.received_cookies);
  scan_response_lines(response.header_block, gathered, result.location);
  if (std::string_view(gathered).ends_with("; ")) gathered.resize(gathered.size() - 2);
  if (o.merge_cookies && !cookies_in.empty()) {
    Text old_list = cookies_in;
    const Text merged = merge_cookie_text(old_list, gathered);
    result.send_cookies = merged;
    gathered = merged;
  }
  result.received_cookies = gathered;

  result.body = body_text(response.body);
  result.bytes = std::move(response.body);
  return result;
}

Text http_request(std::string_view url, int method, std::string_view post_text, Text* send_cookies,
                  Text* received_cookies, std::string_view extra_headers, Text* response_headers,
                  bool no_redirect, std::string_view user_name, std::string_view password,
                  std::string_view proxy, std::string_view proxy_user,
                  std::string_view proxy_password, int timeout_seconds, Text* location,
                  Text* status_text, Bytes* response_bytes, bool merge_cookies,
                  bool default_headers, const Bytes& post_bytes, bool normalize_headers,
                  bool verify_certificates) {
  HttpResult r = send_request(
      url,
      {.method = method,
       .post_text = post_text,
       .post_bytes = &post_bytes,
       .send_cookies = send_cookies != nullptr ? std::string_view(*send_cookies) : "",
       .received_cookies = received_cookies != nullptr ? std::string_view(*received_cookies) : "",
       .merge_cookies = merge_cookies,
       .extra_headers = extra_headers,
       .default_headers = default_headers,
       .normalize_headers = normalize_headers,
       .no_redirect = no_redirect,
       .user_name = user_name,
       .password = password,
       .proxy = proxy,
       .proxy_user = proxy_user,
       .proxy_password = proxy_password,
       .timeout_seconds = timeout_seconds,
       .verify_certificates = verify_certificates});
  const auto put = [](Text* out, const std::optional<Text>& value) {
    if (out != nullptr && value) *out = *value;
  };
  put(status_text, r.status_text);
  put(response_headers, r.response_headers);
  put(location, r.location);
  put(send_cookies, r.send_cookies);
  put(received_cookies, r.received_cookies);
  if (response_bytes != nullptr && r.bytes) *response_bytes = std::move(*r.bytes);
  return std::move(r.body);
}

}  // namespace quorvel::http
