#include "app/attention.h"

namespace quorvel::app {

Attention::Attention(Ui& ui, Settings& settings, Clock& clock, Desktop* desktop)
    : ui_(ui), settings_(settings), clock_(clock), desktop_(desktop) {}

bool Attention::sound_on() {
  return settings_.read(kKeySound) != "0";
}

void Attention::set_sound(bool on) {
  static_cast<void>(settings_.write(kKeySound, on ? "1" : "0"));
}

void Attention::sound() {
  last_sound_ms_ = clock_.now_ms();
  if (desktop_ != nullptr && !quiet_ && sound_on()) desktop_->play_message_sound();
}

void Attention::message() {
  if (desktop_ != nullptr) quiet_ = desktop_->do_not_disturb();
  if (ui_.exists(Form::Main) && !ui_.is_active(Form::Main)) {
    ui_.set_urgent(Form::Main, true);
    urgent_ = true;
  }
  repeats_ = 0;
  sound();
}

void Attention::tick(int unread) {
  if (desktop_ != nullptr) quiet_ = desktop_->do_not_disturb();
  if (unread <= 0 || ui_.is_active(Form::Main)) {
    repeats_ = kMostRepeats;
    return;
  }
  if (repeats_ >= kMostRepeats || clock_.now_ms() - last_sound_ms_ < kRepeatMs) return;
  ++repeats_;
  sound();
}

void Attention::activated() {
  repeats_ = kMostRepeats;
  if (!urgent_) return;
  urgent_ = false;
  ui_.set_urgent(Form::Main, false);
}

}  // namespace quorvel::app
