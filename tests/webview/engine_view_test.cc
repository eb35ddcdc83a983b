// The engine host against a stand-in engine library: inert until the
// library's objects exist, the open options, the order the page events are
// registered in, and every text through the library's converter.
#include "webview/engine_view.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "fake_engine.h"

namespace quorvel::webview {
namespace {

namespace fs = std::filesystem;

struct Recorder final : app::PageEvents {
  std::vector<Text> seen;
  void page_loaded() override { seen.emplace_back("(loaded)"); }
  void console_message(std::string_view text) override { seen.emplace_back(text); }
};

std::string file_bytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(EngineView, DrivesTheLibraryAsTheInterfaceSays) {
  const fs::path dir =
      fs::temp_directory_path() /
      ("quorvel-engine-view-" +
       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  fs::create_directories(dir);
  // Something of the library's name beside the program: it is deployed there.
  std::ofstream(dir / "WebView2Plus.so") << "old";
  const std::string image = file_bytes(FAKE_ENGINE);
  ASSERT_FALSE(image.empty());
  EngineView view(image, from_utf8(dir.string()));
  Recorder events;

  // Before the library's objects exist every call is harmless.
  view.reload();
  view.set_bounds({1, 2, 3, 4});
  view.run_script("x");
  view.close();
  EXPECT_FALSE(view.open(1234, "http://s/service/login"));  // not deployed yet

  view.prepare();
  void* library = dlopen((dir / "WebView2Plus.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(library, nullptr) << "not loaded from beside the program";
  using StateFn = FakeEngineState* (*)();
  FakeEngineState& state = *reinterpret_cast<StateFn>(dlsym(library, "fake_engine_state"))();
  EXPECT_EQ(state.calls, std::vector<std::string>{"dllwrite"});
  EXPECT_EQ(view.engine_status().kind, app::EngineStatus::Kind::Ready);
  state.has_edge = 0;
  EXPECT_EQ(view.engine_status().kind, app::EngineStatus::Kind::RuntimeMissing);
  state.has_edge = 1;

  state.calls.clear();
  view.set_events(&events);
  ASSERT_TRUE(view.open(1234, "http://s/service/login"));
  const std::vector<std::string> opened = {"init 0",           "open 1234 http://s/service/login",
                                           "on_page_loaded 0", "set_first_hook",
                                           "set_second_hook",  "on_console_message 0"};
  EXPECT_EQ(state.calls, opened);
  // Fields 4 and 19, counting from 1, set to 1; every other field 0.
  for (int i = 0; i < 22; ++i) EXPECT_EQ(state.open_fields[i], i == 3 || i == 18 ? 1 : 0) << i;

  // Page events: every argument becomes text through the converter, which
  // also releases it.
  state.calls.clear();
  const char* message = "newmsgnum=>3";
  state.console(static_cast<int64_t>(reinterpret_cast<intptr_t>(message)));
  state.page_loaded(0);
  EXPECT_EQ(events.seen, (std::vector<Text>{"newmsgnum=>3", "(loaded)"}));
  EXPECT_EQ(state.calls, (std::vector<std::string>{"argument_to_text", "release_text",
                                                   "argument_to_text", "release_text"}));

  state.calls.clear();
  view.run_script("window.isWindow=true;");
  view.set_bounds({0, 0, 395, 265});
  view.reload();
  view.close();
  EXPECT_EQ(state.calls,
            (std::vector<std::string>{"run_script window.isWindow=true;", "release_result",
                                      "set_bounds 0,0,395,265 flags 4", "reload", "close_first",
                                      "close_second"}));
  view.set_events(nullptr);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace quorvel::webview
