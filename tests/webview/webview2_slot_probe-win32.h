// An object that answers any COM method call with the vtable slot the call
// went through, for checking declared interfaces against the reference.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

namespace quorvel::webview2 {

// On x64 the caller cleans up the arguments, so a method that takes none
// can stand in for any method.
template <int N>
HRESULT STDMETHODCALLTYPE answer_slot() {
  return N;
}

template <int... N>
const std::uintptr_t* slot_table(std::integer_sequence<int, N...>) {
  static const std::uintptr_t table[] = {reinterpret_cast<std::uintptr_t>(&answer_slot<N>)...};
  return table;
}

template <typename Interface>
Interface* probe() {
  struct Object {
    const std::uintptr_t* vtable;
  };
  static Object object{slot_table(std::make_integer_sequence<int, 128>())};
  return reinterpret_cast<Interface*>(&object);
}

inline std::string iid_text(const GUID& g) {
  char text[40];
  std::snprintf(text, sizeof text, "%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

}  // namespace quorvel::webview2
