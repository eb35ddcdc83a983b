#include "app/console_guard.h"

#include <algorithm>
#include <random>

#include "app/console_pages.h"
#include "base/text_ops.h"
#include "base/web_address.h"

namespace quorvel::app {
namespace {

// A document of no web origin in the main frame (a page that went to
// about:blank, or a data: or file: page the engine let through) shows no
// console and never comes back by itself.
bool blank_document(std::string_view address) {
  return !web::origin_of(address).valid();
}

const char* cause_words(NavigationCause cause) {
  switch (cause) {
    case NavigationCause::Link:
      return "a link";
    case NavigationCause::Form:
      return "a form";
    case NavigationCause::Redirect:
      return "a redirect";
    case NavigationCause::Script:
      return "a script";
    case NavigationCause::Reload:
      return "a reload";
    case NavigationCause::BackForward:
      return "back or forward";
    case NavigationCause::Other:
      break;
  }
  return "the page";
}

// A token no page can guess: only the client's own page knows it.
Text new_nonce() {
  std::random_device source;
  static constexpr char kHex[] = "0123456789abcdef";
  Text nonce;
  for (int i = 0; i < 16; ++i) nonce += kHex[source() % 16];
  return nonce;
}

int seconds(std::int64_t ms) {
  return static_cast<int>((ms + 999) / 1000);
}

}  // namespace

ConsoleGuard::ConsoleGuard(WebView& view, PageEvents& console, Clock& clock, EventLog& log,
                           std::function<void(const Text&, const Text&)> trusted)
    : view_(view),
      console_(console),
      clock_(clock),
      log_(log),
      trusted_(std::move(trusted)),
      nonce_(new_nonce()) {}

void ConsoleGuard::watch(std::string_view console_url) {
  console_url_ = Text(console_url);
  retry_url_ = console_url_;
  policy_.set_site(console_url);
}

void ConsoleGuard::log(std::string_view what_utf8, std::string_view detail) {
  Text line = from_utf8(what_utf8);
  if (!detail.empty()) line += ": " + Text(detail);
  log_.line(line);
}

void ConsoleGuard::show(Shows what) {
  shows_ = what;
  const std::int64_t wait = std::max<std::int64_t>(0, next_retry_at_ - clock_.now_ms());
  switch (what) {
    case Shows::Unreachable:
      view_.load_html(unreachable_page(failure_, seconds(wait), nonce_));
      break;
    case Shows::Crashed:
      view_.load_html(crashed_page(crash_cause_, seconds(kCrashedRetryMs), nonce_));
      break;
    case Shows::Trust:
      view_.load_html(trust_page(certificate_, nonce_));
      break;
    case Shows::Console:
      break;
  }
}

void ConsoleGuard::retry(std::string_view why) {
  // A web process that keeps ending is given the console again.
  const Text& address = shows_ == Shows::Crashed ? console_url_ : retry_url_;
  log(why, address);
  retrying_ = true;
  // Should this load neither fail nor finish, the next retry still comes.
  next_retry_at_ = clock_.now_ms() +
                   (shows_ == Shows::Crashed ? kCrashedRetryMs
                                             : std::min(kLongestRetryMs, kFirstRetryMs
                                                                             << std::min(
                                                                                    failed_attempts_, 10)));
  view_.load_url(address);
}

void ConsoleGuard::document_committed(const DocumentCommit& commit) {
  failed_since_commit_ = false;
  if (commit.own_page) {
    document_ = Document::Own;
    return;
  }
  if (blank_document(commit.address)) {
    document_ = Document::None;
    failed({LoadFailure::Kind::Blank, console_url_, commit.address, 0});
    return;
  }
  if (!policy_.of_site(commit.address)) {
    document_ = Document::Foreign;
    // A page of another site that a script put in the main frame (the
    // engine asks about clicks before, not about every frame's loads):
    // where the policy wants it elsewhere, it goes there and the console
    // comes back.
    if (navigation_requested({commit.address, commit.cause, false, false}) != NavigationAnswer::Load) {
      log("the console is loaded again in place of", commit.address);
      view_.load_url(console_url_);
    }
    return;
  }
  // From here on whatever the console logs is delivered, also while it is
  // still being parsed.
  document_ = Document::Page;
  if (shows_ != Shows::Console) coming_back_ = true;
  shows_ = Shows::Console;
}

void ConsoleGuard::page_loaded(std::string_view address) {
  // One of the client's own pages, or the end of a load that failed.
  if (document_ != Document::Page || failed_since_commit_) return;
  if (coming_back_) log("the console is back", address);
  coming_back_ = false;
  retrying_ = false;
  failed_attempts_ = 0;
  next_retry_at_ = 0;
  console_.page_loaded(address);
}

void ConsoleGuard::console_message(std::string_view text) {
  const std::size_t marker = find_text(text, kActionMarker);
  if (marker != npos && document_ == Document::Own) {
    const std::string_view rest = text.substr(marker + kActionMarker.size());
    const std::size_t colon = rest.find(':');
    if (colon != std::string_view::npos && rest.substr(0, colon) == nonce_) {
      act(rest.substr(colon + 1));
    }
    return;
  }
  // Only the console's own messages reach the bridge.
  if (document_ == Document::Page && shows_ == Shows::Console) console_.console_message(text);
}

void ConsoleGuard::act(std::string_view action) {
  if (action == "retry" && shows_ == Shows::Unreachable) {
    retry("retrying at the agent's request");
  } else if (action == "reachable" && shows_ == Shows::Unreachable && !retrying_) {
    retry("the site answers again; retrying");
  } else if (action == "reload" && shows_ == Shows::Crashed) {
    retry("reloading at the agent's request");
  } else if (action == "trust" && shows_ == Shows::Trust && !certificate_.fingerprint.empty()) {
    log("the agent trusted the certificate of " + to_utf8(certificate_.host),
        certificate_.fingerprint);
    if (trusted_) trusted_(certificate_.host, certificate_.fingerprint);
    view_.allow_certificate(certificate_.host, certificate_.fingerprint);
    view_.load_url(console_url_);
  }
}

void ConsoleGuard::load_failed(const LoadFailure& failure) {
  failed_since_commit_ = true;
  // Another site's page that does not load is no console's failure: the
  // page shown stays.
  if (!failure.address.empty() && !policy_.of_site(failure.address)) {
    log("a page of another site could not be loaded", failure.address + " (" + failure.reason + ")");
    return;
  }
  failed(failure);
}

void ConsoleGuard::failed(const LoadFailure& failure) {
  failure_ = failure;
  coming_back_ = false;
  // The retry and the probe go to the address that failed when it is the
  // site's; a page of no site is replaced by the console.
  retry_url_ = !failure_.address.empty() && policy_.of_site(failure_.address) ? failure_.address
                                                                              : console_url_;
  failure_.address = retry_url_;
  retrying_ = false;
  const std::int64_t delay =
      std::min(kLongestRetryMs, kFirstRetryMs << std::min(failed_attempts_, 10));
  ++failed_attempts_;
  next_retry_at_ = clock_.now_ms() + delay;
  log("the console could not be loaded",
      failure_.address + " (" + failure_reason(failure_) + ", " + failure_.reason +
          "); retrying in " + std::to_string(seconds(delay)) + " s");
  show(Shows::Unreachable);
}

void ConsoleGuard::process_event(ProcessEvent event, std::string_view reason) {
  const std::int64_t now = clock_.now_ms();
  if (event == ProcessEvent::Unresponsive) {
    if (unresponsive_since_ == 0) {
      unresponsive_since_ = now;
      log("the page stopped answering", console_url_);
    }
    return;
  }
  if (event == ProcessEvent::Responsive) {
    if (unresponsive_since_ != 0) log("the page answers again", console_url_);
    unresponsive_since_ = 0;
    return;
  }
  unresponsive_since_ = 0;
  crash_cause_ = event;
  const Text what = process_reason(event) + (reason.empty() ? Text() : " (" + Text(reason) + ")");
  // One of the client's own pages shows it again; the retry stays as planned.
  if (shows_ != Shows::Console) {
    log("the web process ended under the client's page", what);
    show(shows_);
    return;
  }
  while (!recoveries_.empty() && now - recoveries_.front() > kQuickWindowMs) recoveries_.pop_front();
  if (static_cast<int>(recoveries_.size()) < kQuickRecoveries) {
    recoveries_.push_back(now);
    log("the web process ended (" + to_utf8(what) + "); reloading", console_url_);
    view_.reload();
    return;
  }
  next_retry_at_ = now + kCrashedRetryMs;
  log("the web process keeps ending (" + to_utf8(what) + "); retrying every 60 s", console_url_);
  show(Shows::Crashed);
}

void ConsoleGuard::certificate_failed(const CertificateFailure& failure) {
  failed_since_commit_ = true;
  // Only the site's own certificate is the agent's to trust.
  if (!failure.address.empty() && web::origin_of(failure.address) != policy_.site()) {
    log("another site's certificate was not accepted",
        failure.host + " (" + failure.reason + ", SHA-256 " + failure.fingerprint + ")");
    return;
  }
  coming_back_ = false;
  certificate_ = failure;
  next_retry_at_ = 0;
  log("the site's certificate was not accepted",
      failure.host + " (" + failure.reason + ", SHA-256 " + failure.fingerprint + ")");
  show(Shows::Trust);
}

NavigationAnswer ConsoleGuard::navigation_requested(const NavigationRequest& request) {
  const NavigationAnswer answer = policy_.decide(request);
  if (answer == NavigationAnswer::Load) return answer;
  log(std::string(request.new_window ? "a new window for " : "a navigation to ") +
          to_utf8(request.address) + " by " + cause_words(request.cause) + ": " +
          std::string(answer_words(answer)));
  if (answer == NavigationAnswer::Desktop && !(open_on_desktop_ && open_on_desktop_(request.address))) {
    log("no program of the desktop took the address");
  }
  return answer;
}

// Only the site's own pages are granted anything, or heard.
bool ConsoleGuard::permission_requested(const PermissionRequest& request) {
  if (!policy_.of_site(request.address)) {
    log("another site's page asked for a permission; denied", request.address);
    return false;
  }
  return permissions_ && permissions_(request);
}

void ConsoleGuard::page_notification(const PageNotification& notification) {
  if (policy_.of_site(notification.address) && notifications_) notifications_(notification);
}

void ConsoleGuard::tick() {
  const std::int64_t now = clock_.now_ms();
  if (unresponsive_since_ != 0 && now - unresponsive_since_ >= kUnresponsiveMs) {
    unresponsive_since_ = 0;
    log("the page did not answer for 15 s; ending its web process", console_url_);
    view_.terminate_process();
    return;
  }
  if ((shows_ == Shows::Unreachable || shows_ == Shows::Crashed) && next_retry_at_ != 0 &&
      now >= next_retry_at_) {
    retry(shows_ == Shows::Crashed ? "reloading the console" : "retrying the console");
  }
}

void ConsoleGuard::network_changed() {
  // Networks change in bursts (an interface, then its routes, then DNS):
  // one retry at a time is enough.
  if (shows_ == Shows::Unreachable && !retrying_) retry("the network changed; retrying");
}

void ConsoleGuard::resumed() {
  if (shows_ == Shows::Console) {
    log("the machine woke; reloading", console_url_);
    view_.reload();
  } else if (shows_ != Shows::Trust) {
    retry("the machine woke; retrying");
  }
}

}  // namespace quorvel::app
