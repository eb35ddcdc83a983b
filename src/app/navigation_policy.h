// What the page may do with the main frame and new windows, decided here
// once for both engines: the console stays the console. The engine asks
// before every main-frame navigation and new-window request and obeys.
#pragma once

#include <string_view>
#include <vector>

#include "base/text.h"
#include "base/web_address.h"

namespace quorvel::app {

enum class NavigationCause { Link, Form, Redirect, Script, Reload, BackForward, Other };

struct NavigationRequest {
  Text address;
  NavigationCause cause = NavigationCause::Other;
  bool user_gesture = false;
  bool new_window = false;
};

enum class NavigationAnswer {
  Load,       // in the view
  Desktop,    // in the desktop's default program (browser, mail)
  Refuse,     // nowhere
  OwnWindow,  // a new window of the client's own (the site's transcripts)
};

class NavigationPolicy {
 public:
  // The console's address: its origin is the site's.
  void set_site(std::string_view console_address);
  // The key `inview`: hosts, comma-separated, whose pages stay in the view.
  void set_in_view_hosts(std::string_view hosts);

  [[nodiscard]] NavigationAnswer decide(const NavigationRequest& request) const;
  // Whether an address is of the site's origin.
  [[nodiscard]] bool of_site(std::string_view address) const;
  [[nodiscard]] const web::Origin& site() const { return site_; }

 private:
  [[nodiscard]] bool in_view_host(const web::Origin& origin) const;

  web::Origin site_;
  std::vector<Text> in_view_;
};

// How a decision reads in the log: "to the desktop", "refused", ...
[[nodiscard]] std::string_view answer_words(NavigationAnswer answer);

}  // namespace quorvel::app
