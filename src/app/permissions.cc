#include "app/permissions.h"

#include "base/web_address.h"

namespace quorvel::app {
namespace {

using Kind = PermissionRequest::Kind;

// How a device request reads in the settings and in the question.
struct Device {
  const char* key;
  const char* words;
};

bool device_of(Kind kind, Device& out) {
  switch (kind) {
    case Kind::Microphone:
      out = {"microphone", "麦克风"};
      return true;
    case Kind::Camera:
      out = {"camera", "摄像头"};
      return true;
    case Kind::MicrophoneAndCamera:
      out = {"microphone+camera", "麦克风和摄像头"};
      return true;
    case Kind::Screen:
      out = {"screen", "屏幕"};
      return true;
    default:
      return false;
  }
}

// "host[:port]:what": a site's answer for one device. No "=" or "[" in it,
// which a settings key must not hold.
Text remembered_key(std::string_view address, const char* device) {
  const web::Origin origin = web::origin_of(address);
  Text host;
  for (const char c : origin.host) {
    if (c != '[' && c != ']') host += c;
  }
  const bool usual = origin.port == (origin.scheme == "https" ? 443 : 80);
  return host + (usual ? "" : "-" + std::to_string(origin.port)) + ":" + device;
}

}  // namespace

bool Permissions::decide(const PermissionRequest& request) {
  switch (request.kind) {
    case Kind::Notifications:
    case Kind::Clipboard:
    case Kind::Autoplay:
      return true;
    case Kind::Location:
    case Kind::Other:
      log_.line("a permission the console has no use for was denied: " + request.address);
      return false;
    default:
      break;
  }
  Device device{};
  if (!device_of(request.kind, device)) return false;
  const Text key = remembered_key(request.address, device.key);
  const Text kept = settings_.read_in(kPermissionsSection, key);
  if (kept == "allow" || kept == "deny") return kept == "allow";
  const Ui::PermissionAnswer answer =
      ui_.ask_permission(from_utf8(std::string("此站点请求使用") + device.words));
  log_.line("the agent " + Text(answer.allow ? "allowed " : "denied ") + device.key + " to " +
            request.address + (answer.remember ? " (remembered)" : ""));
  if (answer.remember) {
    settings_.write_in(kPermissionsSection, key, answer.allow ? "allow" : "deny");
  }
  return answer.allow;
}

}  // namespace quorvel::app
