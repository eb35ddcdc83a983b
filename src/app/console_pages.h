// The client's own pages, shown in the web view in place of a console that
// cannot be shown: the site unreachable, the console's web process that
// keeps ending, a certificate the agent may trust. Their buttons answer
// through the console as "quorvel-action=>" + the page's nonce + ":" + an
// action, so that no other page can press them.
#pragma once

#include <string_view>

#include "app/web_view.h"
#include "base/text.h"

namespace quorvel::app {

inline constexpr std::string_view kActionMarker = "quorvel-action=>";

// Text made safe inside HTML (no markup, no link).
[[nodiscard]] Text html_text(std::string_view internal);

// What went wrong, in the agent's words.
[[nodiscard]] Text failure_reason(const LoadFailure& failure);
[[nodiscard]] Text process_reason(ProcessEvent event);

// Action "retry".
[[nodiscard]] Text unreachable_page(const LoadFailure& failure, int retry_in_seconds,
                                    std::string_view nonce);
// Action "reload".
[[nodiscard]] Text crashed_page(ProcessEvent cause, int retry_in_seconds, std::string_view nonce);
// Action "trust".
[[nodiscard]] Text trust_page(const CertificateFailure& failure, std::string_view nonce);

}  // namespace quorvel::app
