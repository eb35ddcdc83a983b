// Decoding of the directory service's answer to a server-number lookup:
// either the JSON object itself, or a key text, ":@|" and the enciphered
// object, the whole possibly wrapped in double quotes.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/text.h"

namespace quorvel {

// What a self-closing message box shows; the defaults are those of a
// directory refusal.
struct TimedMessage {
  Text text;
  int buttons = 0;                                    // OK only
  Text caption = "\xD3\xD1\xC7\xE9\xCC\xE1\xD0\xD1";  // 友情提醒
  std::intptr_t owner = 0;                            // 0: the front-end searches one
  int timeout_ms = 5000;
};

// The self-closing message box, provided by the front-end: without an
// owner it searches a visible top-level window of this process for at most
// 1000 ms. Answers the platform's answer code minus 1.
class TimedMessageBox {
 public:
  virtual ~TimedMessageBox() = default;
  virtual int show_timed_message(const TimedMessage& message) = 0;
};

// Where an accepted answer is stored (key "hostdata" of the settings).
class AnswerStore {
 public:
  virtual ~AnswerStore() = default;
  virtual void store_answer(std::string_view answer) = 0;
};

struct DirectoryAnswerContext {
  Text& site_address;
  AnswerStore& store;
  TimedMessageBox* messages;  // null: refusals are silent
};

// True when the answer was accepted ("code" reads "200"): the site address
// becomes its "data" and the answer, exactly as received, is stored. A
// refused answer changes nothing and, with messages, shows its "msg". An
// empty answer is ignored silently.
bool decode_directory_answer(std::string_view answer, DirectoryAnswerContext context);

// Stores into the settings file beside the program.
class ConfigAnswerStore final : public AnswerStore {
 public:
  void store_answer(std::string_view answer) override;
};

}  // namespace quorvel
