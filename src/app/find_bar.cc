#include "app/find_bar.h"

#include "app/forms.h"

namespace quorvel::app {

void FindBar::open() {
  const Names& n = names();
  for (const Text* control : {&n.find_box, &n.find_previous, &n.find_next, &n.find_count}) {
    ui_.set(Form::Main, *control, Property::Visible, 1);
  }
  open_ = true;
  show_count();
  ui_.focus_control(Form::Main, n.find_box);
}

void FindBar::hide() {
  const Names& n = names();
  for (const Text* control : {&n.find_box, &n.find_previous, &n.find_next, &n.find_count}) {
    ui_.set(Form::Main, *control, Property::Visible, 0);
  }
}

void FindBar::close() {
  if (!open_) return;
  open_ = false;
  hide();
  view_.find({}, WebView::Find::End);
  searched_.clear();
  matches_ = -1;
  index_ = 0;
  ui_.focus_control(Form::Main, names().board);
}

void FindBar::step(bool forward) {
  const Text text = ui_.get_text(Form::Main, names().find_box, TextProperty::Text);
  if (text.empty()) return;
  if (text != searched_) {
    // A new text starts over at its first match.
    searched_ = text;
    matches_ = -1;
    index_ = 1;
    view_.find(text, WebView::Find::Next);
  } else if (matches_ > 0) {
    index_ = forward ? index_ % matches_ + 1 : (index_ + matches_ - 2) % matches_ + 1;
    view_.find(text, forward ? WebView::Find::Next : WebView::Find::Previous);
  }
  show_count();
}

void FindBar::key(int code) {
  if (code == kKeyEnter) {
    step(true);
  } else if (code == kKeyShiftEnter) {
    step(false);
  } else if (code == kKeyEscape || code == kKeyEscapeValue) {
    close();
  }
}

void FindBar::click(std::string_view control) {
  if (control == names().find_next) step(true);
  if (control == names().find_previous) step(false);
}

void FindBar::result(int matches) {
  matches_ = matches;
  if (matches <= 0) index_ = 0;
  if (index_ > matches) index_ = matches;
  show_count();
}

void FindBar::show_count() {
  Text text;
  if (matches_ == 0) {
    text = from_utf8("无结果");
  } else if (matches_ > 0) {
    text = std::to_string(index_) + "/" + std::to_string(matches_);
  }
  ui_.set_text(Form::Main, names().find_count, TextProperty::Text, text);
}

void FindBar::lay_out(int board_height) {
  const Names& n = names();
  ui_.set(Form::Main, n.find_box, Property::Top, board_height - 28);
  ui_.set(Form::Main, n.find_previous, Property::Top, board_height - 29);
  ui_.set(Form::Main, n.find_next, Property::Top, board_height - 29);
  ui_.set(Form::Main, n.find_count, Property::Top, board_height - 25);
}

}  // namespace quorvel::app
