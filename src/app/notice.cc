#include "app/notice.h"

#include "app/forms.h"
#include "base/text_ops.h"
#include "binding/payload_cipher.h"
#include "http/headers.h"

namespace quorvel::app {
namespace {

constexpr std::string_view kSelf;
constexpr int kShowSeconds = 18;
constexpr int kHeldSeconds = 1500;
constexpr int kEnter = 13;

// GB18030 bytes of U+2028 and U+2029, which end a line inside a script.
constexpr std::string_view kLineSeparator = "\x81\x36\xA6\x35";
constexpr std::string_view kParagraphSeparator = "\x81\x36\xA6\x36";

struct Texts {
  Text from = from_utf8("来自【");
  Text colon = from_utf8("：");
  Text message = from_utf8("】的消息");
  Text more = from_utf8(" 还有");
  Text more_tail = from_utf8("位也有新消息！");
};

const Texts& texts() {
  static const Texts t;
  return t;
}

}  // namespace

Text script_literal(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  Text out = "'";
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = char_length_at(text, i);
    const std::string_view ch = text.substr(i, length);
    i += length;
    if (ch == kLineSeparator) {
      out += "\\u2028";
    } else if (ch == kParagraphSeparator) {
      out += "\\u2029";
    } else if (length > 1) {
      out.append(ch);
    } else if (ch[0] == '\\' || ch[0] == '\'' || ch[0] == '"') {
      out += '\\';
      out += ch[0];
    } else if (static_cast<unsigned char>(ch[0]) < 0x20 || ch[0] == 0x7F) {
      const auto b = static_cast<unsigned char>(ch[0]);
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    } else {
      out += ch[0];
    }
  }
  return out + "'";
}

void Notice::compose(std::string_view payload) {
  const Names& n = names();
  messages_.parse(replace_all(payload, "\\", ""));
  if (messages_.get_text("T").empty()) return;
  const Text from_id = messages_.get_text("D.FromId");
  const Text key = messages_.get_text("D.BossId");
  const Text content = decipher_payload(messages_.get_text("D.Content"), key);
  if (ui_.get(Form::Notice, kSelf, Property::Visible) != 0) {
    if (from_id == ui_.get_text(Form::Notice, n.notice_content, TextProperty::Tag)) {
      ui_.set_text(Form::Notice, n.notice_content, TextProperty::Text,
                   ui_.get_text(Form::Notice, n.notice_content, TextProperty::Text) +
                       "\r\n\r\n=>:  " + content);
      if (ui_.get_text(Form::Notice, n.notice_timer, TextProperty::Tag).empty()) {
        countdown_ = kShowSeconds;
      }
    } else {
      // The list of other senders lasts for the whole run.
      const Text mark = "," + from_id + ",";
      const Text list = ui_.get_text(Form::Notice, kSelf, TextProperty::Tag);
      if (find_text(list, mark) == npos) {
        ui_.set_text(Form::Notice, kSelf, TextProperty::Tag, list + mark);
        ++other_senders_;
      }
      if (other_senders_ > 0) {
        ui_.set_text(Form::Notice, kSelf, TextProperty::Caption,
                     title_ + texts().more + std::to_string(other_senders_) + texts().more_tail);
      }
    }
  } else {
    title_ = texts().from + decipher_payload(messages_.get_text("D.BossName"), key) +
             texts().colon + decipher_payload(messages_.get_text("D.Fnick"), key) + texts().message;
    ui_.set_text(Form::Notice, kSelf, TextProperty::Caption, title_);
    ui_.set_text(Form::Notice, n.notice_content, TextProperty::Text, "=>:  " + content);
    countdown_ = kShowSeconds;
    ui_.set_text(Form::Notice, n.notice_content, TextProperty::Tag, from_id);
    other_senders_ = 0;
  }
  lay_out();
  ui_.set(Form::Notice, kSelf, Property::Visible, 1);
  ui_.set(Form::Notice, kSelf, Property::TopMost, 1);
}

void Notice::lay_out() {
  const Names& n = names();
  const Text text = ui_.get_text(Form::Notice, n.notice_content, TextProperty::Text);
  const auto lines = static_cast<int>(http::split_text(text, "\r\n").size());
  const auto bytes = static_cast<int>(std::min<std::size_t>(text.size(), 1u << 24));
  const int label_height = (bytes / 59 + lines) * 14;
  ui_.set(Form::Notice, n.notice_content, Property::Height, label_height);
  const int reply_top = ui_.get(Form::Notice, n.notice_content, Property::Top) + label_height + 10;
  ui_.set(Form::Notice, n.notice_reply, Property::Top, reply_top);
  ui_.set(Form::Notice, n.notice_reply_caption, Property::Top, reply_top);
  const int height = reply_top + ui_.get(Form::Notice, n.notice_reply, Property::Height) + 30;
  ui_.set(Form::Notice, kSelf, Property::Height, height);
  // Bottom right of the whole screen (not the work area).
  const std::vector<Rect> screens = ui_.monitors();
  const Rect screen = screens.empty() ? Rect{} : screens.front();
  const int width = ui_.get(Form::Notice, kSelf, Property::Width);
  ui_.set(Form::Notice, kSelf, Property::Left, screen.left + screen.width - 10 - width);
  ui_.set(Form::Notice, kSelf, Property::Top, screen.top + screen.height - 50 - height);
}

void Notice::tick() {
  const Names& n = names();
  --countdown_;
  ui_.set_text(Form::Notice, n.notice_countdown, TextProperty::Text, std::to_string(countdown_));
  if (countdown_ > 0) return;
  ui_.set(Form::Notice, kSelf, Property::Visible, 0);
  ui_.set_text(Form::Notice, n.notice_timer, TextProperty::Tag, {});
}

void Notice::hold() {
  ui_.set_text(Form::Notice, names().notice_timer, TextProperty::Tag, "1");
  countdown_ = kHeldSeconds;
}

void Notice::key(int code) {
  if (code != kEnter) return;
  const Names& n = names();
  const Text reply = ui_.get_text(Form::Notice, n.notice_reply, TextProperty::Text);
  // The sender of the latest payload, whichever conversation shows.
  view_.run_script("vueapp.sendInputingStrNowPc(" + script_literal(reply) + ",'text','msg'," +
                   script_literal(messages_.get_text("D.FromId")) + "," +
                   script_literal(messages_.get_text("D.BossId")) + ");");
  ui_.set_text(
      Form::Notice, n.notice_content, TextProperty::Text,
      ui_.get_text(Form::Notice, n.notice_content, TextProperty::Text) + "\r\n\r\n<=:  " + reply);
  lay_out();
  ui_.set_text(Form::Notice, n.notice_reply, TextProperty::Text, {});
}

}  // namespace quorvel::app
