#include "app/page_bridge.h"

#include "base/text_ops.h"

namespace quorvel::app {
namespace {

constexpr std::string_view kUnreadMarker = "newmsgnum=>";
constexpr std::string_view kMessageMarker = "newmsg=>";
constexpr std::string_view kMessageEnd = "<=";
constexpr std::string_view kScreenshotMarker = "screenshot=>";
constexpr std::string_view kTitleMarker = "settitle=>";
constexpr std::string_view kFlagScript = "window.isWindow=true;vueapp.screenshot=true;";

// A flood of messages is not kept without bound.
constexpr std::size_t kMaxWaiting = 4096;

// The text after the last occurrence of the marker, or nothing when there
// is none. The search steps over double-byte characters whole.
bool text_after_last(std::string_view text, std::string_view marker, std::string_view& after) {
  std::size_t last = npos;
  for (std::size_t at = find_text(text, marker); at != npos;
       at = find_text(text, marker, at + marker.size())) {
    last = at;
  }
  if (last == npos) return false;
  after = text.substr(last + marker.size());
  return true;
}

}  // namespace

Text shown_text(std::string_view text, std::size_t max_chars) {
  std::size_t end = 0;
  for (std::size_t chars = 0; end < text.size() && chars < max_chars; ++chars) {
    end += char_length_at(text, end);
  }
  return Text(text.substr(0, end));
}

Text alert_caption(std::string_view title, int count) {
  if (count <= 0) return shown_text(title);
  static const Text open = from_utf8("  新消息【");
  static const Text close = from_utf8("】");
  const Text number = count > 99999 ? Text("99999+") : std::to_string(count);
  const Text suffix = open + number + close;
  std::size_t suffix_chars = 0;
  for (std::size_t i = 0; i < suffix.size(); i += char_length_at(suffix, i)) ++suffix_chars;
  return shown_text(title, kMaxShownCharacters - suffix_chars) + suffix;
}

void PageBridge::page_loaded(std::string_view) {
  view_.run_script(kFlagScript);
}

void PageBridge::console_message(std::string_view text) {
  if (busy_) {
    if (waiting_.size() < kMaxWaiting) waiting_.emplace_back(text);
    return;
  }
  busy_ = true;
  dispatch(text);
  while (!waiting_.empty()) {
    const Text next = std::move(waiting_.front());
    waiting_.pop_front();
    dispatch(next);
  }
  busy_ = false;
}

void PageBridge::dispatch(std::string_view text) {
  using app::Form;
  using app::TextProperty;
  std::string_view after;
  if (text_after_last(text, kUnreadMarker, after)) {
    const int count = text_to_int(after);
    hooks_.set_unread(count);
    const Text title = ui_.get_text(Form::Main, kSelf, TextProperty::Tag);
    show_caption(alert_caption(title, count));
    if (count <= 0) hooks_.show_tray(app::TrayPicture::WindowIcon, shown_text(title));
    return;
  }
  const std::size_t message = find_text(text, kMessageMarker);
  if (message != npos) {
    const std::size_t start = message + kMessageMarker.size();
    const std::size_t end = find_text(text, kMessageEnd, start);
    notice_.compose(end == npos ? std::string_view() : text.substr(start, end - start));
    return;
  }
  if (find_text(text, kScreenshotMarker) != npos) {
    hooks_.start_screenshot_tool();
    return;
  }
  if (text_after_last(text, kTitleMarker, after)) {
    show_caption(shown_text(after));
    ui_.set_text(Form::Main, kSelf, TextProperty::Tag, after);
  }
}

void PageBridge::show_caption(const Text& caption) {
  using app::Form;
  using app::TextProperty;
  if (ui_.get_text(Form::Main, kSelf, TextProperty::Caption) == caption) return;
  ui_.set_text(Form::Main, kSelf, TextProperty::Caption, caption);
}

}  // namespace quorvel::app
