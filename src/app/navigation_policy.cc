#include "app/navigation_policy.h"

namespace quorvel::app {

void NavigationPolicy::set_site(std::string_view console_address) {
  site_ = web::origin_of(console_address);
}

void NavigationPolicy::set_in_view_hosts(std::string_view hosts) {
  in_view_.clear();
  std::size_t start = 0;
  while (start <= hosts.size()) {
    std::size_t end = hosts.find(',', start);
    if (end == std::string_view::npos) end = hosts.size();
    std::string_view host = hosts.substr(start, end - start);
    while (!host.empty() && (host.front() == ' ' || host.front() == '\t')) host.remove_prefix(1);
    while (!host.empty() && (host.back() == ' ' || host.back() == '\t')) host.remove_suffix(1);
    if (!host.empty()) {
      const Text ascii = web::ascii_host(host);
      if (!ascii.empty()) in_view_.push_back(ascii);
    }
    start = end + 1;
  }
}

bool NavigationPolicy::of_site(std::string_view address) const {
  return site_.valid() && web::origin_of(address) == site_;
}

bool NavigationPolicy::in_view_host(const web::Origin& origin) const {
  for (const Text& host : in_view_) {
    if (origin.host == host) return true;
  }
  return false;
}

NavigationAnswer NavigationPolicy::decide(const NavigationRequest& r) const {
  const Text scheme = web::scheme_of(r.address);
  // Mail and telephone belong to the desktop's programs, whoever asks.
  if (scheme == "mailto" || scheme == "tel") return NavigationAnswer::Desktop;
  const web::Origin origin = web::origin_of(r.address);
  if (!origin.valid()) return NavigationAnswer::Refuse;
  if (origin == site_) return r.new_window ? NavigationAnswer::OwnWindow : NavigationAnswer::Load;
  if (r.new_window) return NavigationAnswer::Desktop;
  // A sign-in through the buyer's identity provider goes by forms and
  // server redirects; a page once shown may be reloaded or gone back to.
  switch (r.cause) {
    case NavigationCause::Form:
    case NavigationCause::Redirect:
    case NavigationCause::Reload:
    case NavigationCause::BackForward:
      return NavigationAnswer::Load;
    default:
      break;
  }
  return in_view_host(origin) ? NavigationAnswer::Load : NavigationAnswer::Desktop;
}

std::string_view answer_words(NavigationAnswer answer) {
  switch (answer) {
    case NavigationAnswer::Load:
      return "loaded in the view";
    case NavigationAnswer::Desktop:
      return "opened on the desktop";
    case NavigationAnswer::OwnWindow:
      return "opened in a window of the client's own";
    case NavigationAnswer::Refuse:
      break;
  }
  return "refused";
}

}  // namespace quorvel::app
