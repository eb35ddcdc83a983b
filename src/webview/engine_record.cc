#include "webview/engine_record.h"

#include "base/text_ops.h"

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

}  // namespace quorvel::webview
