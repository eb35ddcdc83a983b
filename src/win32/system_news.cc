#include "win32/system_news.h"

// After windows.h, which it needs.
#include <iphlpapi.h>

namespace quorvel::win32 {

SystemNews::SystemNews(HWND window, UINT message)
    : window_(window), message_(message), event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
  watch_again();
}

SystemNews::~SystemNews() {
  stop();
  if (event_ != nullptr) CloseHandle(event_);
}

void SystemNews::stop() {
  // Waits for a callback under way, so that none runs after this.
  if (wait_ != nullptr) UnregisterWaitEx(wait_, INVALID_HANDLE_VALUE);
  wait_ = nullptr;
  CancelIPChangeNotify(&overlapped_);
}

void SystemNews::watch_again() {
  stop();
  if (event_ == nullptr) return;
  overlapped_ = OVERLAPPED{};
  overlapped_.hEvent = event_;
  HANDLE handle = nullptr;
  if (NotifyAddrChange(&handle, &overlapped_) != ERROR_IO_PENDING) return;
  if (!RegisterWaitForSingleObject(&wait_, event_, on_change, this, INFINITE,
                                   WT_EXECUTEONLYONCE)) {
    wait_ = nullptr;
    CancelIPChangeNotify(&overlapped_);
  }
}

void CALLBACK SystemNews::on_change(void* self, BOOLEAN) {
  const auto* news = static_cast<SystemNews*>(self);
  PostMessageW(news->window_, news->message_, 0, 0);
}

}  // namespace quorvel::win32
