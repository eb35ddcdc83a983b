// What the site may use: notifications, the clipboard and sound without a
// click are granted; the microphone, camera and screen only when the agent
// says so, once per site (a remembered answer in the settings' section
// `permissions`); anything else is denied. Other sites get nothing.
#pragma once

#include <string_view>

#include "app/event_log.h"
#include "app/services.h"
#include "app/ui.h"
#include "app/web_view.h"

namespace quorvel::app {

class Permissions {
 public:
  Permissions(Ui& ui, Settings& settings, EventLog& log) : ui_(ui), settings_(settings), log_(log) {}

  // A request of the site's own document.
  [[nodiscard]] bool decide(const PermissionRequest& request);

 private:
  Ui& ui_;
  Settings& settings_;
  EventLog& log_;
};

// The settings section of remembered answers.
inline constexpr std::string_view kPermissionsSection = "permissions";

}  // namespace quorvel::app
