// The records the engine libraries send with their failure events: lines
// of "name=value", read here into the host's own terms.
#pragma once

#include <map>
#include <string_view>

#include "app/web_view.h"
#include "base/text.h"

namespace quorvel::webview {

struct EngineRecord {
  std::map<Text, Text> fields;
  [[nodiscard]] Text get(std::string_view name) const;
};

[[nodiscard]] EngineRecord read_record(std::string_view text);

[[nodiscard]] app::LoadFailure load_failure_of(const EngineRecord& r);
[[nodiscard]] app::ProcessEvent process_event_of(const EngineRecord& r);
[[nodiscard]] app::CertificateFailure certificate_failure_of(const EngineRecord& r);
[[nodiscard]] app::NavigationRequest navigation_request_of(const EngineRecord& r);
[[nodiscard]] app::DocumentCommit document_commit_of(const EngineRecord& r);
[[nodiscard]] app::DownloadEvent download_event_of(const EngineRecord& r);
[[nodiscard]] app::PermissionRequest permission_request_of(const EngineRecord& r);
// False for a command this host does not know.
[[nodiscard]] bool command_of(const EngineRecord& r, app::ViewCommand& command);

}  // namespace quorvel::webview
