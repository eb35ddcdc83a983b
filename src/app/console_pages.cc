#include "app/console_pages.h"

#include <string>

#include "app/notice.h"
#include "base/text_ops.h"

namespace quorvel::app {
namespace {

Text t(std::string_view utf8) {
  return from_utf8(utf8);
}

// One style for the three pages: plain, readable, the client's colours.
Text page(std::string_view title, const Text& body) {
  return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + Text(title) +
         "</title><style>"
         "body{font-family:sans-serif;background:#f4f6f4;color:#222;margin:0}"
         "main{max-width:560px;margin:40px auto;background:#fff;padding:28px 32px;"
         "border-radius:8px;box-shadow:0 1px 4px rgba(0,0,0,.15)}"
         "h1{font-size:20px;color:#2f7d32;margin-top:0}"
         "p{line-height:1.6}.detail{color:#777;font-size:13px;word-break:break-all}"
         "dl{display:grid;grid-template-columns:max-content 1fr;gap:6px 14px}"
         // Long names of a certificate scroll inside their box: the button
         // below stays in the window.
         ".details{max-height:calc(100vh - 330px);min-height:80px;overflow:auto}"
         "dt{color:#555}dd{margin:0;word-break:break-all}"
         "button{font-size:15px;padding:8px 22px;margin-top:12px;border:0;border-radius:4px;"
         "background:#2f7d32;color:#fff;cursor:pointer}"
         "</style></head><body><main><h1>" +
         Text(title) + "</h1>" + body + "</main></body></html>";
}

Text button(std::string_view nonce, std::string_view action, std::string_view label) {
  // The nonce is hex and the action a word: nothing in them needs escaping.
  return "<button onclick=\"console.log('" + Text(kActionMarker) + Text(nonce) + ":" +
         Text(action) + "')\">" + Text(label) + "</button>";
}

// "A1B2…" as "A1:B2:…", as certificate viewers show fingerprints.
Text spaced_fingerprint(std::string_view hex) {
  Text out;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    if (!out.empty()) out += ':';
    out.append(hex.substr(i, 2));
  }
  return out;
}

}  // namespace

Text html_text(std::string_view s) {
  Text out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = char_length_at(s, i);
    if (n == 1) {
      switch (s[i]) {
        case '<':
          out += "&lt;";
          break;
        case '>':
          out += "&gt;";
          break;
        case '&':
          out += "&amp;";
          break;
        case '"':
          out += "&quot;";
          break;
        case '\'':
          out += "&#39;";
          break;
        default:
          out += s[i];
          break;
      }
    } else {
      out.append(s.substr(i, n));
    }
    i += n;
  }
  return out;
}

Text failure_reason(const LoadFailure& f) {
  switch (f.kind) {
    case LoadFailure::Kind::Dns:
      return t("找不到服务器（域名无法解析）");
    case LoadFailure::Kind::Refused:
      return t("服务器拒绝连接（站点可能已停止运行）");
    case LoadFailure::Kind::Timeout:
      return t("连接服务器超时");
    case LoadFailure::Kind::Tls:
      return t("安全连接（HTTPS）失败");
    case LoadFailure::Kind::Http:
      return t("服务器出错（HTTP ") + std::to_string(f.status) + t("）");
    case LoadFailure::Kind::Blank:
      return t("控制台页面被替换成了空白页");
    case LoadFailure::Kind::Network:
      break;
  }
  return t("网络连接失败");
}

Text process_reason(ProcessEvent event) {
  switch (event) {
    case ProcessEvent::Killed:
      return t("网页进程被结束");
    case ProcessEvent::MemoryLimit:
      return t("网页进程超出内存限制");
    case ProcessEvent::Terminated:
    case ProcessEvent::Unresponsive:
      return t("页面长时间没有响应");
    default:
      return t("网页进程崩溃");
  }
}

namespace {

// While the site cannot be reached, the page asks it every 3 s whether it
// answers (an opaque request: nothing of the answer is read) and has the
// client reload as soon as it does, so that the console is back within
// seconds of the site, whatever the pause before the next retry. A site
// that answers with a server error answers all the time: it is only
// retried on the pauses.
Text probe_script(std::string_view address, std::string_view nonce) {
  // Inside a script element "</" must not appear, even in a string.
  const Text literal = replace_all(script_literal(address), "<", "\\x3c");
  return "<script>(function(){var u=" + literal +
         ";function probe(){fetch(u,{mode:'no-cors',cache:'no-store'}).then(function(){"
         "console.log('" +
         Text(kActionMarker) + Text(nonce) +
         ":reachable')},function(){setTimeout(probe,3000)})}setTimeout(probe,3000)})()"
         "</script>";
}

}  // namespace

Text unreachable_page(const LoadFailure& f, int retry_in_seconds, std::string_view nonce) {
  const Text title = t("无法打开客服控制台");
  const Text body = "<p>" + t("地址：") + html_text(f.address) + "</p><p>" + t("原因：") +
                    html_text(failure_reason(f)) + "</p><p>" + t("将在 ") +
                    std::to_string(retry_in_seconds) +
                    t(" 秒后自动重试；网络恢复或电脑唤醒时也会立即重试。") + "</p>" +
                    button(nonce, "retry", t("重试")) + "<p class=\"detail\">" +
                    html_text(f.reason) + "</p>" +
                    (f.kind == LoadFailure::Kind::Http || f.address.empty()
                         ? Text()
                         : probe_script(f.address, nonce));
  return page(title, body);
}

Text crashed_page(ProcessEvent cause, int retry_in_seconds, std::string_view nonce) {
  const Text title = t("控制台意外退出");
  const Text body = "<p>" + t("客服控制台在几分钟内多次意外退出（") +
                    html_text(process_reason(cause)) + t("）。") + "</p><p>" + t("将每 ") +
                    std::to_string(retry_in_seconds) + t(" 秒自动重新加载一次。") + "</p>" +
                    button(nonce, "reload", t("重新加载"));
  return page(title, body);
}

Text trust_page(const CertificateFailure& f, std::string_view nonce) {
  const Text title = t("站点证书不受信任");
  const auto row = [](std::string_view name_utf8, std::string_view value) {
    return "<dt>" + t(name_utf8) + "</dt><dd>" + html_text(value) + "</dd>";
  };
  const Text body = "<p>" + t("客服站点的证书没有通过验证，控制台未被打开。") +
                    "</p><div class=\"details\"><dl>" +
                    row("站点", f.host) + row("颁发者", f.issuer) + row("证书主体", f.subject) +
                    row("有效期", f.valid_from + t(" 至 ") + f.valid_until) +
                    row("SHA-256 指纹", spaced_fingerprint(f.fingerprint)) +
                    row("原因", f.reason) + "</dl></div><p>";
  // Trust is kept as a fingerprint: a certificate whose fingerprint could
  // not be read cannot be trusted, only reported.
  if (f.fingerprint.empty()) {
    return page(title, body + t("无法读取此证书的指纹，不能信任它。请联系站点管理员更换证书。") +
                           "</p>");
  }
  return page(title, body +
                         t("请先向站点管理员核对上面的指纹。信任后，只有指纹相同的证书会被接受；"
                           "证书更换后会再次询问。") +
                         "</p>" + button(nonce, "trust", t("信任此证书")));
}

}  // namespace quorvel::app
