// The network's changes, for the console's recovery: IP Helper's address
// change notification, waited for on the thread pool and handed to a
// window of the UI thread as a message. (The machine's waking needs no
// watcher: every top-level window hears WM_POWERBROADCAST.) Where the
// notification is missing (older Wine), nothing is watched and the
// console's retries still come.
#pragma once

#include <windows.h>

namespace quorvel::win32 {

class SystemNews {
 public:
  // `message` is posted to `window` on each change.
  SystemNews(HWND window, UINT message);
  ~SystemNews();
  SystemNews(const SystemNews&) = delete;
  SystemNews& operator=(const SystemNews&) = delete;

  // After each message: the notification fires once per request.
  void watch_again();
  [[nodiscard]] bool watching() const { return wait_ != nullptr; }

 private:
  static void CALLBACK on_change(void* self, BOOLEAN timed_out);
  void stop();

  HWND window_;
  UINT message_;
  HANDLE event_ = nullptr;
  HANDLE wait_ = nullptr;
  OVERLAPPED overlapped_{};
};

}  // namespace quorvel::win32
