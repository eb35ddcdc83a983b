#include "tools/tool_commands.h"

#include "tools/doctor.h"

#include <string_view>

#include "app/config_file.h"
#include "app/profile.h"
#include "base/text.h"
#include "base/text_ops.h"
#include "binding/directory_answer.h"
#include "binding/payload_cipher.h"
#include "binding/server_lookup.h"
#include "data/json_document.h"
#include "http/http_request.h"

namespace quorvel::tool {
namespace {

constexpr std::string_view kUsage =
    "usage:\n"
    "  quorvel-tool json-get [--zero-based] PATH      < json\n"
    "  quorvel-tool config get KEY [--file FILE]\n"
    "  quorvel-tool config set KEY VALUE [--file FILE]  (VALUE - : standard input)\n"
    "  quorvel-tool encipher KEY TEXT                  (TEXT - : standard input)\n"
    "  quorvel-tool decipher KEY CIPHER                (CIPHER - : standard input)\n"
    "  quorvel-tool decode-answer                     < answer\n"
    "  quorvel-tool lookup NUMBER [--directory URL]\n"
    "  quorvel-tool http [--method N] [--data TEXT] [--header LINE]... [--cookies TEXT]\n"
    "                    [--no-redirect] [--proxy HOST:PORT] [--timeout S] [--insecure] URL\n"
    "  quorvel-tool doctor [--directory URL]\n"
    "  quorvel-tool --version\n";

int usage(Io& io) {
  io.error += kUsage;
  return 2;
}

std::string without_final_newline(std::string s) {
  if (!s.empty() && s.back() == '\n') {
    s.pop_back();
    if (!s.empty() && s.back() == '\r') s.pop_back();
  }
  return s;
}

// An argument as internal text; "-" stands for standard input (without its
// final line end), for texts longer than a command line may be.
Text argument_text(const std::string& argument, const Io& io) {
  return from_utf8(argument == "-" ? without_final_newline(io.input) : argument);
}

// Why a path names nothing: the client reads members only so deep (the
// deepest one it reads holds the rest as its text), and a path below them
// is no member of what it read.
std::string missing_member(JsonDocument& doc, const std::string& path) {
  std::size_t cut = std::string::npos;
  for (int level = 1; level < JsonDocument::kMaxLevel; ++level) {
    cut = path.find('.', cut + 1);
    if (cut == std::string::npos) break;
  }
  const Text deepest = cut != std::string::npos ? from_utf8(path.substr(0, cut)) : Text();
  const Text held = deepest.empty() ? Text() : doc.get_text(deepest);
  if (!held.empty() && (held[0] == '{' || held[0] == '[')) {
    return path + ": the document nests deeper than the " +
           std::to_string(JsonDocument::kMaxLevel) + " levels the client reads";
  }
  return "no member " + path;
}

int json_get(const std::vector<std::string>& args, Io& io) {
  bool zero_based = false;
  std::vector<std::string> rest;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--zero-based") {
      zero_based = true;
    } else {
      rest.push_back(args[i]);
    }
  }
  if (rest.size() != 1) return usage(io);
  JsonDocument doc;
  doc.parse(from_utf8(without_final_newline(io.input)), zero_based);
  const Text path = from_utf8(rest[0]);
  // A member whose value is empty is there; a path that names none is not.
  if (!doc.contains(path)) {
    io.error += "quorvel-tool: " + missing_member(doc, rest[0]) + "\n";
    return 1;
  }
  io.output += to_utf8(doc.get_text(path)) + "\n";
  return 0;
}

int config(const std::vector<std::string>& args, Io& io) {
  std::vector<std::string> rest;
  Text file;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--file") {
      if (++i >= args.size()) return usage(io);
      file = from_utf8(args[i]);
    } else {
      rest.push_back(args[i]);
    }
  }
  if (file.empty()) file = config::file_path();
  const bool get = rest.size() == 2 && rest[0] == "get";
  const bool set = rest.size() == 3 && rest[0] == "set";
  if (!get && !set) return usage(io);
  const Text key = from_utf8(rest[1]);
  if (set && !profile::is_writable_key(key)) {
    io.error +=
        "quorvel-tool: " + to_utf8(profile::outcome_text(profile::Outcome::BadKey, file)) + "\n";
    return usage(io);
  }
  profile::Outcome outcome;
  if (get) {
    Text value;
    outcome = profile::read_value(file, config::kSection, key, value);
    if (outcome == profile::Outcome::Ok) io.output += to_utf8(value) + "\n";
  } else {
    outcome = profile::write_value(file, config::kSection, key, argument_text(rest[2], io));
  }
  if (outcome == profile::Outcome::Ok) return 0;
  io.error += "quorvel-tool: " + to_utf8(profile::outcome_text(outcome, file)) + "\n";
  return 1;
}

int cipher(const std::vector<std::string>& args, Io& io) {
  if (args.size() != 3) return usage(io);
  const Text key = from_utf8(args[1]);
  const Text text = argument_text(args[2], io);
  const bool encipher = args[0] == "encipher";
  const Text result = encipher ? encipher_payload(text, key) : decipher_payload(text, key);
  // Empty text is the ciphers' failure, unless it deciphers an empty text.
  if (result.empty() && (encipher || encipher_payload({}, key) != text)) {
    io.error += encipher ? "quorvel-tool: the text cannot be enciphered with this key\n"
                         : "quorvel-tool: the text does not decipher with this key\n";
    return 1;
  }
  io.output += to_utf8(result) + "\n";
  return 0;
}

// Decoding never touches a settings file: the tool only reports.
int report_answer(std::string_view answer, Io& io) {
  const DirectoryAnswer decoded = decode_directory_answer(answer);
  if (!decoded.accepted()) {
    io.error += to_utf8(refusal_explanation(decoded)) + "\n";
    return 1;
  }
  io.output += to_utf8(decoded.site_address) + "\n";
  return 0;
}

int decode_answer(const std::vector<std::string>& args, Io& io) {
  if (args.size() != 1) return usage(io);
  return report_answer(from_utf8(without_final_newline(io.input)), io);
}

// The join button's lookup, without settings file or window.
int lookup(const std::vector<std::string>& args, Io& io) {
  Text directory = builtin_directory_address();
  std::vector<std::string> rest;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--directory") {
      if (++i >= args.size()) return usage(io);
      directory = from_utf8(args[i]);
    } else {
      rest.push_back(args[i]);
    }
  }
  if (rest.size() != 1) return usage(io);
  const http::HttpResult result = http::send_request(lookup_url(directory, from_utf8(rest[0])));
  const Text& answer = result.body;
  if (answer.empty()) {
    io.error += to_utf8(result.status_text.value_or(Text())) + "\n";
    return 1;
  }
  return report_answer(answer, io);
}

struct HttpOptions {
  int method = 0;
  Text data, headers, cookies, proxy, url;
  bool no_redirect = false;
  bool verify = true;
  int timeout = 0;
};

// Reads the options of the http command; false for anything unknown.
bool parse_http_options(const std::vector<std::string>& args, HttpOptions& o) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool takes_value = a == "--method" || a == "--data" || a == "--header" ||
                             a == "--cookies" || a == "--proxy" || a == "--timeout";
    if (takes_value && i + 1 >= args.size()) return false;
    if (a == "--method") {
      const std::string& m = args[++i];
      if (m.size() != 1 || m[0] < '0' || m[0] > '7') return false;
      o.method = m[0] - '0';
    } else if (a == "--data") {
      o.data = from_utf8(args[++i]);
    } else if (a == "--header") {
      // One line each: a line break inside would smuggle in lines of its
      // own (another Host) past what the caller meant.
      const std::string& line = args[++i];
      if (line.find_first_of("\r\n") != std::string::npos) return false;
      if (!o.headers.empty()) o.headers += "\r\n";
      o.headers += from_utf8(line);
    } else if (a == "--cookies") {
      o.cookies = from_utf8(args[++i]);
    } else if (a == "--proxy") {
      o.proxy = from_utf8(args[++i]);
    } else if (a == "--timeout") {
      o.timeout = text_to_int(args[++i]);
    } else if (a == "--no-redirect") {
      o.no_redirect = true;
    } else if (a == "--insecure") {
      o.verify = false;
    } else if (o.url.empty() && a.rfind("--", 0) != 0) {
      o.url = from_utf8(a);
    } else {
      return false;
    }
  }
  return !o.url.empty();
}

int http(const std::vector<std::string>& args, Io& io) {
  HttpOptions o;
  if (!parse_http_options(args, o)) return usage(io);
  const http::HttpResult result = http::send_request(o.url, {.method = o.method,
                                                             .post_text = o.data,
                                                             .send_cookies = o.cookies,
                                                             .extra_headers = o.headers,
                                                             .no_redirect = o.no_redirect,
                                                             .proxy = o.proxy,
                                                             .timeout_seconds = o.timeout,
                                                             .verify_certificates = o.verify});
  Text headers = result.response_headers.value_or(Text());
  const Text status = result.status_text.value_or(Text());
  const Text& body = result.body;
  if (headers.empty()) {
    io.error += to_utf8(status) + "\n";
    return 1;
  }
  while (!headers.empty() && (headers.back() == '\n' || headers.back() == '\r')) headers.pop_back();
  io.output += to_utf8(status) + "\n" + to_utf8(headers) + "\n\n" + to_utf8(body) + "\n";
  // A body cut short (the cap, a broken or stalled read) is no success.
  if (status.substr(0, 4) == "713 ") {
    io.error += to_utf8(status) + "\n";
    return 1;
  }
  return 0;
}

}  // namespace

int run(const std::vector<std::string>& args, Io& io) {
  if (args.empty()) return usage(io);
  if (args[0] == "--version" && args.size() == 1) {
    io.output = "quorvel-tool " QUORVEL_VERSION "\n";
    return 0;
  }
  if (args[0] == "doctor") return doctor(args, io);
  if (args[0] == "json-get") return json_get(args, io);
  if (args[0] == "config") return config(args, io);
  if (args[0] == "encipher" || args[0] == "decipher") return cipher(args, io);
  if (args[0] == "decode-answer") return decode_answer(args, io);
  if (args[0] == "http") return http(args, io);
  if (args[0] == "lookup") return lookup(args, io);
  return usage(io);
}

}  // namespace quorvel::tool
