// The owner of one COM reference: released when it goes, added when copied.
#pragma once

#include <unknwn.h>

#include <utility>

namespace quorvel {

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over a reference the caller owns (an object just made with its
  // count at 1, an interface an out argument handed back).
  [[nodiscard]] static ComPtr adopt(T* object) {
    ComPtr p;
    p.object_ = object;
    return p;
  }
  ComPtr(const ComPtr& other) : object_(other.object_) {
    if (object_ != nullptr) object_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~ComPtr() { reset(); }

  void reset() {
    if (object_ != nullptr) std::exchange(object_, nullptr)->Release();
  }
  // For an out argument: what was held goes, the call fills in a new one.
  [[nodiscard]] T** put() {
    reset();
    return &object_;
  }
  [[nodiscard]] T* get() const { return object_; }
  T* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T* object_ = nullptr;
};

}  // namespace quorvel
