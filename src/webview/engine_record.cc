#include "webview/engine_record.h"

#include "base/text_ops.h"
#include "base/web_address.h"

namespace quorvel::webview {

Text EngineRecord::get(std::string_view name) const {
  const auto found = fields.find(Text(name));
  return found == fields.end() ? Text() : found->second;
}

EngineRecord read_record(std::string_view text) {
  EngineRecord r;
  for (const Text& line : split_text(text, "\n")) {
    const std::size_t eq = line.find('=');
    if (eq == Text::npos || eq == 0) continue;
    r.fields.emplace(line.substr(0, eq), line.substr(eq + 1));
  }
  return r;
}

app::LoadFailure load_failure_of(const EngineRecord& r) {
  using Kind = app::LoadFailure::Kind;
  app::LoadFailure f;
  const Text kind = r.get("kind");
  f.kind = kind == "dns"       ? Kind::Dns
           : kind == "refused" ? Kind::Refused
           : kind == "timeout" ? Kind::Timeout
           : kind == "tls"     ? Kind::Tls
           : kind == "http"    ? Kind::Http
                               : Kind::Network;
  f.address = r.get("address");
  f.reason = r.get("reason");
  f.status = text_to_int(r.get("status"));
  return f;
}

app::ProcessEvent process_event_of(const EngineRecord& r) {
  using Event = app::ProcessEvent;
  const Text kind = r.get("kind");
  if (kind == "killed") return Event::Killed;
  if (kind == "memory") return Event::MemoryLimit;
  if (kind == "unresponsive") return Event::Unresponsive;
  if (kind == "responsive") return Event::Responsive;
  if (kind == "terminated") return Event::Terminated;
  return Event::Crashed;
}

app::CertificateFailure certificate_failure_of(const EngineRecord& r) {
  return {r.get("host"),    r.get("address"),    r.get("fingerprint"),  r.get("subject"),
          r.get("issuer"),  r.get("valid_from"), r.get("valid_until"), r.get("reason")};
}

namespace {

app::NavigationCause cause_of(const EngineRecord& r) {
  using Cause = app::NavigationCause;
  const Text cause = r.get("cause");
  return cause == "link"           ? Cause::Link
         : cause == "form"         ? Cause::Form
         : cause == "redirect"     ? Cause::Redirect
         : cause == "script"       ? Cause::Script
         : cause == "reload"       ? Cause::Reload
         : cause == "back_forward" ? Cause::BackForward
                                   : Cause::Other;
}

}  // namespace

app::DocumentCommit document_commit_of(const EngineRecord& r) {
  return {r.get("address"), r.get("own") == "1", cause_of(r)};
}

app::NavigationRequest navigation_request_of(const EngineRecord& r) {
  app::NavigationRequest out;
  out.address = r.get("address");
  out.cause = cause_of(r);
  out.user_gesture = r.get("gesture") == "1";
  out.new_window = r.get("new_window") == "1";
  return out;
}

namespace {

std::int64_t number(const Text& text, std::int64_t otherwise) {
  if (text.empty()) return otherwise;
  std::int64_t value = 0;
  bool negative = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i == 0 && text[i] == '-') {
      negative = true;
    } else if (text[i] >= '0' && text[i] <= '9' && value < (std::int64_t{1} << 56)) {
      value = value * 10 + (text[i] - '0');
    } else {
      return otherwise;
    }
  }
  return negative ? -value : value;
}

}  // namespace

app::DownloadEvent download_event_of(const EngineRecord& r) {
  using Event = app::DownloadEvent;
  Event e;
  e.id = static_cast<int>(number(r.get("id"), 0));
  const Text stage = r.get("stage");
  e.stage = stage == "progress"   ? Event::Stage::Progress
            : stage == "finished" ? Event::Stage::Finished
            : stage == "failed"   ? Event::Stage::Failed
                                  : Event::Stage::Started;
  e.address = r.get("address");
  e.disposition = web::percent_decoded(r.get("disposition"));
  e.total = number(r.get("total"), -1);
  e.received = number(r.get("received"), 0);
  const Text error = r.get("error");
  e.error = error == "disk"         ? Event::Error::Disk
            : error == "permission" ? Event::Error::Permission
            : error == "network"    ? Event::Error::Network
            : error == "cancelled"  ? Event::Error::Cancelled
            : error.empty()         ? Event::Error::None
                                    : Event::Error::Other;
  e.reason = r.get("reason");
  return e;
}

bool command_of(const EngineRecord& r, app::ViewCommand& command) {
  using C = app::ViewCommand;
  static const std::pair<std::string_view, C> kCommands[] = {
      {"zoom_in", C::ZoomIn}, {"zoom_out", C::ZoomOut}, {"zoom_reset", C::ZoomReset},
      {"find", C::Find},      {"print", C::Print},      {"reload", C::Reload},
      {"open_in_browser", C::OpenInBrowser}};
  const Text name = r.get("command");
  for (const auto& [word, value] : kCommands) {
    if (name == word) {
      command = value;
      return true;
    }
  }
  return false;
}

app::PermissionRequest permission_request_of(const EngineRecord& r) {
  using Kind = app::PermissionRequest::Kind;
  static const std::pair<std::string_view, Kind> kKinds[] = {
      {"notifications", Kind::Notifications},
      {"microphone", Kind::Microphone},
      {"camera", Kind::Camera},
      {"microphone+camera", Kind::MicrophoneAndCamera},
      {"screen", Kind::Screen},
      {"clipboard", Kind::Clipboard},
      {"autoplay", Kind::Autoplay},
      {"location", Kind::Location}};
  app::PermissionRequest out;
  out.address = r.get("address");
  const Text kind = r.get("kind");
  for (const auto& [word, value] : kKinds) {
    if (kind == word) out.kind = value;
  }
  return out;
}

}  // namespace quorvel::webview
