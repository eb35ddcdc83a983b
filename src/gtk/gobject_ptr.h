// Owners for what GLib hands out: one reference of a reference-counted
// object (GObjectPtr), a main-loop source by its id, a main loop.
#pragma once

#include <glib-object.h>

#include <utility>

#include "base/unique_handle.h"

namespace quorvel::gtk {

// Holds exactly one reference and drops it when it goes, so no path can
// leak or double-free.
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

// A source attached to the main context, removed when its owner goes. A
// source that ends itself (its callback answers G_SOURCE_REMOVE) must be
// released first, for its id may be reused.
struct SourceTraits {
  using Handle = guint;
  static constexpr Handle invalid() noexcept { return 0; }
  static void close(Handle id) noexcept { g_source_remove(id); }
};
using SourceId = UniqueHandle<SourceTraits>;

struct MainLoopTraits {
  using Handle = GMainLoop*;
  static constexpr Handle invalid() noexcept { return nullptr; }
  static void close(Handle loop) noexcept { g_main_loop_unref(loop); }
};
using MainLoopPtr = UniqueHandle<MainLoopTraits>;

}  // namespace quorvel::gtk
