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
  void page_loaded(std::string_view address) override { seen.push_back("loaded " + Text(address)); }
  void console_message(std::string_view text) override { seen.emplace_back(text); }
  void load_failed(const app::LoadFailure& f) override {
    seen.push_back("failed " + std::to_string(static_cast<int>(f.kind)) + " " + f.address + " " +
                   f.reason + " " + std::to_string(f.status));
  }
  void process_event(app::ProcessEvent e, std::string_view reason) override {
    seen.push_back("process " + std::to_string(static_cast<int>(e)) + " " + Text(reason));
  }
  app::NavigationAnswer navigation_requested(const app::NavigationRequest& r) override {
    seen.push_back("navigation " + r.address + " " + std::to_string(static_cast<int>(r.cause)) +
                   (r.user_gesture ? " gesture" : "") + (r.new_window ? " new" : ""));
    return r.new_window ? app::NavigationAnswer::OwnWindow
           : r.address.rfind("mailto:", 0) == 0 ? app::NavigationAnswer::Desktop
           : r.address.rfind("file:", 0) == 0   ? app::NavigationAnswer::Refuse
                                                : app::NavigationAnswer::Load;
  }
  void document_committed(const app::DocumentCommit& c) override {
    seen.push_back("committed " + c.address + (c.own_page ? " own" : "") + " " +
                   std::to_string(static_cast<int>(c.cause)));
  }
  void certificate_failed(const app::CertificateFailure& c) override {
    seen.push_back("certificate " + c.host + " " + c.fingerprint + " " + c.issuer + " " +
                   c.valid_until);
  }
};

int64_t argument(const char* text) {
  return static_cast<int64_t>(reinterpret_cast<intptr_t>(text));
}

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

  view.set_option("memory_limit_mb", "1024");
  EXPECT_EQ(state.options, std::vector<std::string>{"memory_limit_mb=1024"});
  state.calls.clear();
  view.set_events(&events);
  ASSERT_TRUE(view.open(1234, "http://s/service/login"));
  // The Part's four registrations first, in its order; the recovery's after.
  const std::vector<std::string> opened = {
      "init 0",          "open 1234 http://s/service/login", "on_page_loaded 0",
      "set_first_hook",  "set_second_hook",                  "on_console_message 0",
      "on_load_failed 0", "on_process_event 0",              "on_tls_error 0",
      "on_document_committed 0", "on_navigation 0",  "on_download 0",
      "on_command 0",           "on_find_result 0", "on_permission 0",
      "on_notification 0"};
  EXPECT_EQ(state.calls, opened);
  // Fields 4 and 19, counting from 1, set to 1; every other field 0.
  for (int i = 0; i < 22; ++i) EXPECT_EQ(state.open_fields[i], i == 3 || i == 18 ? 1 : 0) << i;

  // Page events: every argument becomes text through the converter, which
  // also releases it.
  state.calls.clear();
  state.committed(argument("address=http://s/service/login\nown=0\ncause=redirect\n"));
  state.console(argument("newmsgnum=>3"));
  state.page_loaded(argument("http://s/service/login"));
  state.committed(argument("address=\nown=1\n"));
  EXPECT_EQ(events.seen,
            (std::vector<Text>{"committed http://s/service/login 2", "newmsgnum=>3",
                               "loaded http://s/service/login", "committed  own 6"}));
  EXPECT_EQ(state.calls.size(), 8u);

  // Navigations are questions: the answer comes back as the engine's code.
  events.seen.clear();
  EXPECT_EQ(state.navigation(argument("address=mailto:a@b.c\ncause=link\ngesture=1\nnew_window=0\n")),
            QV_NAVIGATE_CANCEL);
  EXPECT_EQ(state.navigation(argument("address=file:///x\ncause=script\n")), QV_NAVIGATE_CANCEL);
  EXPECT_EQ(state.navigation(argument("address=http://s/t\ncause=redirect\nnew_window=1\n")),
            QV_NAVIGATE_OWN_WINDOW);
  EXPECT_EQ(state.navigation(argument("address=http://s/a\ncause=back_forward\n")), QV_NAVIGATE_LOAD);
  EXPECT_EQ(events.seen, (std::vector<Text>{"navigation mailto:a@b.c 0 gesture",
                                            "navigation file:///x 3", "navigation http://s/t 2 new",
                                            "navigation http://s/a 5"}));

  // The failure records, read into the host's terms; unknown names ignored.
  events.seen.clear();
  state.load_failed(argument("kind=refused\naddress=http://s/\nreason=Could not connect\nx=y\n"));
  state.load_failed(argument("kind=http\naddress=http://s/\nstatus=502\n"));
  state.process_event(argument("kind=memory\nreason=limit\n"));
  state.tls_error(argument("host=s:8443\nfingerprint=ab12\nissuer=CN=Self\nvalid_until=2030-01-01\n"));
  EXPECT_EQ(events.seen, (std::vector<Text>{"failed 2 http://s/ Could not connect 0",
                                            "failed 5 http://s/  502", "process 2 limit",
                                            "certificate s:8443 ab12 CN=Self 2030-01-01"}));

  state.calls.clear();
  view.run_script("window.isWindow=true;");
  view.set_bounds({0, 0, 395, 265});
  view.reload();
  view.load_url("http://s/service/login");
  view.load_html("<p>x</p>");
  view.allow_certificate("s:8443", "ab12");
  view.terminate_process();
  view.close();
  EXPECT_EQ(state.calls,
            (std::vector<std::string>{"run_script window.isWindow=true;", "release_result",
                                      "set_bounds 0,0,395,265 flags 4", "reload",
                                      "load_url http://s/service/login", "load_html 8",
                                      "allow_certificate s:8443 ab12", "terminate_process",
                                      "close_first", "close_second"}));
  view.set_events(nullptr);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace quorvel::webview
