#include "app/notice.h"

#include <algorithm>
#include <limits>

#include "app/forms.h"
#include "base/text_ops.h"
#include "binding/payload_cipher.h"

namespace quorvel::app {
namespace {

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
  Text not_delivered = from_utf8("（回复未发出：这条消息没有访客编号，请在主窗口中回复）");
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
  if (hooks_.window) hooks_.window();
  const Names& n = names();
  messages_.parse(replace_all(payload, "\\", ""));
  if (messages_.get_text("T").empty()) return;
  const Text from_id = messages_.get_text("D.FromId");
  const Text key = messages_.get_text("D.BossId");
  const Text content = decipher_payload(messages_.get_text("D.Content"), key);
  // A payload that names no sender and carries no text is no message.
  if (from_id.empty() && content.empty()) return;
  if (ui_.get(Form::Notice, kSelf, Property::Visible) != 0) {
    if (from_id == ui_.get_text(Form::Notice, n.notice_content, TextProperty::Tag)) {
      entries_.push_back("=>:  " + content);
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
    announced_ = false;
    title_ = texts().from + decipher_payload(messages_.get_text("D.BossName"), key) +
             texts().colon + decipher_payload(messages_.get_text("D.Fnick"), key) + texts().message;
    ui_.set_text(Form::Notice, kSelf, TextProperty::Caption, title_);
    entries_ = {"=>:  " + content};
    countdown_ = kShowSeconds;
    ui_.set_text(Form::Notice, n.notice_content, TextProperty::Tag, from_id);
    reply_to_ = from_id;
    reply_account_ = key;
    other_senders_ = 0;
  }
  if (hooks_.message) hooks_.message();
  present();
}

void Notice::present() {
  if (hooks_.quiet && hooks_.quiet()) {
    held_back_ = true;
    return;
  }
  held_back_ = false;
  // Placed and counting before it maps, never first at the screen's centre
  // or with the countdown of an earlier notice.
  show_countdown();
  lay_out();
  ui_.set(Form::Notice, kSelf, Property::Visible, 1);
  ui_.set(Form::Notice, kSelf, Property::TopMost, 1);
}

void Notice::announce(std::string_view caption, std::string_view text) {
  if (hooks_.window) hooks_.window();
  const Names& n = names();
  title_ = Text(caption);
  ui_.set_text(Form::Notice, kSelf, TextProperty::Caption, title_);
  ui_.set_text(Form::Notice, n.notice_content, TextProperty::Tag, {});
  entries_ = {Text(text)};
  announced_ = true;
  reply_to_.clear();
  reply_account_.clear();
  other_senders_ = 0;
  countdown_ = kShowSeconds;
  present();
}

void Notice::show_held_back() {
  if (!held_back_) return;
  if (hooks_.window) hooks_.window();
  held_back_ = false;
  countdown_ = kShowSeconds;
  show_countdown();
  lay_out();
  ui_.set(Form::Notice, kSelf, Property::Visible, 1);
  ui_.set(Form::Notice, kSelf, Property::TopMost, 1);
}

int notice_label_height(std::string_view text) {
  const auto lines = static_cast<int>(split_text(text, "\r\n").size());
  const auto bytes = static_cast<int>(std::min<std::size_t>(text.size(), 1u << 24));
  return (bytes / 59 + lines) * 14;
}

Text Notice::conversation_text(int room) {
  const auto joined = [this] {
    Text text;
    for (const Text& entry : entries_) {
      if (!text.empty()) text += "\r\n\r\n";
      text += entry;
    }
    return text;
  };
  // Without this a sender who keeps writing grows the window past the
  // screen and past what the window system accepts, and every new message
  // lays out the whole history again.
  Text text = joined();
  while (entries_.size() > 1 && notice_label_height(text) > room) {
    entries_.pop_front();
    text = joined();
  }
  if (notice_label_height(text) <= room) return text;
  const int lines = static_cast<int>(split_text(text, "\r\n").size());
  const auto keep = static_cast<std::size_t>(std::max(0, (room / 14 - lines) * 59 - 1));
  std::size_t end = 0;
  while (end < text.size() && end + char_length_at(text, end) <= keep) {
    end += char_length_at(text, end);
  }
  return text.substr(0, end);
}

void Notice::lay_out() {
  const Names& n = names();
  // Bottom right of the whole screen (not the work area)...
  const std::vector<Monitor> screens = ui_.monitors();
  const Rect screen = screens.empty() ? Rect{} : screens.front().area;
  int bottom = screen.top + screen.height - 50;
  int right = screen.left + screen.width - 10;
  // ...but the sizes here are the client area's, and the frame (title bar,
  // borders) lies outside it: the whole notice ends inside the work area,
  // above a taskbar at the bottom and left of one at the right.
  if (!screens.empty() && screens.front().work.height > 0 && screens.front().work.width > 0) {
    const Rect& work = screens.front().work;
    bottom = std::min(bottom, work.top + work.height - kFrameAllowance);
    right = std::min(right, work.left + work.width - kFrameSide);
  }
  const int content_top = ui_.get(Form::Notice, n.notice_content, Property::Top);
  const int reply_height = ui_.get(Form::Notice, n.notice_reply, Property::Height);
  const int room = screen.height > 0 ? bottom - screen.top - (content_top + 10 + reply_height + 30)
                                     : std::numeric_limits<int>::max();
  const Text text = conversation_text(room);
  ui_.set_text(Form::Notice, n.notice_content, TextProperty::Text, text);
  const int label_height = notice_label_height(text);
  ui_.set(Form::Notice, n.notice_content, Property::Height, label_height);
  const int reply_top = content_top + label_height + 10;
  ui_.set(Form::Notice, n.notice_reply, Property::Top, reply_top);
  ui_.set(Form::Notice, n.notice_reply_caption, Property::Top, reply_top);
  const int height = reply_top + reply_height + 30;
  ui_.set(Form::Notice, kSelf, Property::Height, height);
  const int width = ui_.get(Form::Notice, kSelf, Property::Width);
  ui_.set(Form::Notice, kSelf, Property::Left, right - width);
  ui_.set(Form::Notice, kSelf, Property::Top, bottom - height);
}

void Notice::show_countdown() {
  ui_.set_text(Form::Notice, names().notice_countdown, TextProperty::Text,
               std::to_string(countdown_));
}

void Notice::tick() {
  --countdown_;
  show_countdown();
  if (countdown_ > 0) return;
  ui_.set(Form::Notice, kSelf, Property::Visible, 0);
  ui_.set_text(Form::Notice, names().notice_timer, TextProperty::Tag, {});
}

void Notice::hold() {
  ui_.set_text(Form::Notice, names().notice_timer, TextProperty::Tag, "1");
  countdown_ = kHeldSeconds;
}

void Notice::key(int code) {
  // An agent typing a reply is working in the box as much as one who
  // clicked into it: the notice stays.
  if (code != kEnter) {
    hold();
    return;
  }
  const Names& n = names();
  const Text reply = ui_.get_text(Form::Notice, n.notice_reply, TextProperty::Text);
  if (reply_to_.empty()) {
    // With no sender id the page cannot tell whom it is for; the text stays
    // in the box.
    entries_.push_back("<=:  " + reply + "\r\n" + texts().not_delivered);
    lay_out();
    return;
  }
  // The sender whose conversation the notice shows, as it was composed.
  view_.run_script("vueapp.sendInputingStrNowPc(" + script_literal(reply) + ",'text','msg'," +
                   script_literal(reply_to_) + "," + script_literal(reply_account_) + ");");
  entries_.push_back("<=:  " + reply);
  lay_out();
  ui_.set_text(Form::Notice, n.notice_reply, TextProperty::Text, {});
}

}  // namespace quorvel::app
