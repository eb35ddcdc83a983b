// One owner for every reference-counted GLib object: it holds exactly one
// reference and drops it when it goes, so no path can leak or double-free.
#pragma once

#include <glib-object.h>

#include <utility>

namespace quorvel::gtk {

template <typename T>
class GObjectPtr {
 public:
  GObjectPtr() = default;
  // Takes over a reference the caller owns (a "transfer full" result).
  static GObjectPtr adopt(T* object) { return GObjectPtr(object); }
  // Adds a reference of its own (a "transfer none" result, a floating one).
  static GObjectPtr share(T* object) {
    if (object != nullptr) g_object_ref_sink(object);
    return GObjectPtr(object);
  }
  GObjectPtr(const GObjectPtr& other) : object_(other.object_) {
    if (object_ != nullptr) g_object_ref(object_);
  }
  GObjectPtr(GObjectPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  GObjectPtr& operator=(GObjectPtr other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~GObjectPtr() {
    if (object_ != nullptr) g_object_unref(object_);
  }

  [[nodiscard]] T* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  explicit GObjectPtr(T* object) : object_(object) {}
  T* object_ = nullptr;
};

}  // namespace quorvel::gtk
