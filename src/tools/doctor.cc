#include "tools/doctor.h"

#include "app/config_file.h"
#include "app/profile.h"
#include "base/file.h"
#include "base/text.h"
#include "binding/directory_answer.h"
#include "binding/server_lookup.h"
#include "http/http_request.h"

namespace quorvel::tool {
namespace {

// Whether an address answered at all: a status line of HTTP (any code) and
// not one of the request engine's own failures (700 and above).
Check reachable(const char* what, const Text& url) {
  if (url.empty()) return {false, what, "no address"};
  const http::HttpResult result = http::send_request(url, {.timeout_seconds = 10});
  const std::string status = to_utf8(result.status_text.value_or(Text()));
  const bool answered = status.size() >= 3 && status[0] >= '1' && status[0] <= '6';
  return {answered, what, to_utf8(url) + (answered ? ": " : ": no answer: ") + status};
}

// The join button's lookup: the directory works when its answer decodes
// and names a site, as the client would take it.
Check directory_answers(const Text& directory, const Text& number) {
  const Text url = lookup_url(directory, number);
  const http::HttpResult result = http::send_request(url, {.timeout_seconds = 10});
  const std::string status = to_utf8(result.status_text.value_or(Text()));
  if (result.body.empty()) return {false, "directory", to_utf8(directory) + ": no answer: " + status};
  const DirectoryAnswer answer = decode_directory_answer(result.body);
  if (!answer.accepted()) {
    return {false, "directory",
            to_utf8(directory) + ": server number " + to_utf8(number) +
                " refused or not understood: " + to_utf8(refusal_text(answer))};
  }
  return {true, "directory",
          to_utf8(directory) + ": server number " + to_utf8(number) + " is " +
              to_utf8(answer.site_address)};
}

Check settings_file(const Text& path) {
  Text value;
  const profile::Outcome read = profile::read_value(path, config::kSection, "hostdata", value);
  if (read != profile::Outcome::Ok) return {false, "settings", to_utf8(path) + ": cannot be read"};
  const bool writable = file::is_writable_directory(file::directory_of(path));
  return {writable, "settings",
          to_utf8(path) + (writable ? " (can be written)" : ": its folder cannot be written")};
}

}  // namespace

int doctor(const std::vector<std::string>& args, Io& io) {
  Text directory = builtin_directory_address();
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--directory" && i + 1 < args.size()) {
      directory = from_utf8(args[++i]);
    } else {
      io.error += "usage: quorvel-tool doctor [--directory URL]\n";
      return 2;
    }
  }
  bool all = true;
  const Report report = [&](const Check& c) {
    io.print((c.ok ? "ok   " : "fail ") + c.what + ": " + c.detail + "\n");
    all = all && c.ok;
  };
  const Text path = config::file_path();
  report(settings_file(path));
  const DirectoryAnswer answer =
      decode_directory_answer(profile::read_string(path, config::kSection, "hostdata"));
  const Text number = profile::read_string(path, config::kSection, "hostdataid");
  Text login = profile::read_string(path, config::kSection, "loginurl");
  if (login.empty()) login = "service/login";
  report({answer.accepted(), "binding",
          answer.accepted() ? "server number " + to_utf8(number) + ", site " +
                                  to_utf8(answer.site_address)
                            : "not bound: join with a server number first"});
  if (directory.empty()) {
    report({false, "directory",
            "this build names no directory service; give one with --directory"});
  } else if (number.empty()) {
    // Nothing to look up: whether it answers at all is what can be told.
    report(reachable("directory", directory));
  } else {
    report(directory_answers(directory, number));
  }
  report(answer.accepted() ? reachable("site", answer.site_address + "/" + login)
                           : Check{false, "site", "not bound"});
  platform_checks(report);
  return all ? 0 : 1;
}

}  // namespace quorvel::tool
