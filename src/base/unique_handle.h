// One owner for every C handle that is closed by a function: a descriptor,
// a Windows HANDLE, a library, an iconv state. A traits type names the
// handle type, its invalid value and how it is closed:
//
//   struct FdTraits {
//     using Handle = int;
//     static constexpr Handle invalid() noexcept { return -1; }
//     static void close(Handle fd) noexcept { ::close(fd); }
//   };
//   using UniqueFd = UniqueHandle<FdTraits>;
#pragma once

#include <type_traits>
#include <utility>

namespace quorvel {

template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  [[nodiscard]] Handle get() const noexcept { return handle_; }
  // Member access, for handles that are pointers to records.
  Handle operator->() const noexcept requires std::is_pointer_v<Handle> { return handle_; }
  [[nodiscard]] bool valid() const noexcept { return handle_ != Traits::invalid(); }
  explicit operator bool() const noexcept { return valid(); }

  // Gives the handle up without closing it.
  [[nodiscard]] Handle release() noexcept { return std::exchange(handle_, Traits::invalid()); }

  void reset(Handle handle = Traits::invalid()) noexcept {
    const Handle old = std::exchange(handle_, handle);
    if (old != Traits::invalid()) Traits::close(old);
  }

 private:
  Handle handle_ = Traits::invalid();
};

// The common case: a pointer freed by one function, as in
//   using Easy = UniquePointer<CURL, curl_easy_cleanup>;
template <typename T, auto Free>
struct PointerTraits {
  using Handle = T*;
  static constexpr Handle invalid() noexcept { return nullptr; }
  static void close(Handle h) noexcept { static_cast<void>(Free(h)); }
};
template <typename T, auto Free>
using UniquePointer = UniqueHandle<PointerTraits<T, Free>>;

}  // namespace quorvel
