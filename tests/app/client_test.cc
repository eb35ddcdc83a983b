// The client's start and window handlers against the fake window layer.
#include "app/client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "app/fake_platform.h"
#include "binding/payload_cipher.h"
#include "binding/server_lookup.h"

namespace quorvel::app {
namespace {

using fake::World;

Text gb(const char* utf8) {
  return from_utf8(utf8);
}

Text accepted_answer(const Text& site) {
  return "42:@|" +
         encipher_payload("{\"code\":\"200\",\"msg\":\"ok\",\"data\":\"" + site + "\"}", "42");
}
Text refused_answer(const char* message_utf8) {
  return "\"9:@|" +
         encipher_payload(gb("{\"code\":\"404\",\"msg\":\"") + gb(message_utf8) + "\"}", "9") +
         "\"";
}

const Text kBoard = gb("画板2");
const Text kNumberField = gb("编辑框1");
const Text kLoginField = gb("编辑框loginurl");
const Text kJoinButton = gb("按钮1");

int main_prop(World& w, Property p) {
  return w.ui.get(Form::Main, {}, p);
}

TEST(ClientStart, FirstRunShowsTheJoinWindowAndAHiddenNotice) {
  World w;
  w.client.start();
  EXPECT_EQ(w.view.prepared, 1);
  EXPECT_TRUE(w.ui.exists(Form::Join));
  EXPECT_FALSE(w.ui.exists(Form::Main));
  EXPECT_TRUE(w.ui.exists(Form::Notice));
  EXPECT_EQ(w.ui.get(Form::Notice, {}, Property::Visible), 0);
  EXPECT_TRUE(w.ui.tray.empty());
  EXPECT_TRUE(w.settings.writes.empty());
}

TEST(ClientStart, StoredAnswerDecidesTheFirstWindowSilently) {
  for (const Text& stored : {refused_answer("拒绝"), Text("7:@|AAAAbroken"), Text("garbage")}) {
    World w;
    w.settings.values["hostdata"] = stored;
    w.settings.values["hostdataid"] = "1024";
    w.client.start();
    EXPECT_TRUE(w.ui.exists(Form::Join));
    EXPECT_FALSE(w.ui.exists(Form::Main));
    EXPECT_TRUE(w.timed.shown.empty());
    EXPECT_TRUE(w.ui.boxes.empty());
    EXPECT_EQ(w.ui.get_text(Form::Join, kNumberField, TextProperty::Text), "1024");
  }
  World w;
  w.settings.values["hostdata"] = accepted_answer("http://site.test");
  w.client.start();
  EXPECT_FALSE(w.ui.exists(Form::Join));
  EXPECT_TRUE(w.ui.exists(Form::Main));
  EXPECT_EQ(w.client.site_address(), "http://site.test");
  ASSERT_EQ(w.view.opened.size(), 1u);
  EXPECT_EQ(w.view.opened[0], "http://site.test/service/login");
  EXPECT_EQ(w.settings.values["loginurl"], "service/login");
  // The tray and the notice window come with the main window's first tick,
  // after the console was asked for.
  EXPECT_TRUE(w.ui.tray.empty());
  EXPECT_FALSE(w.ui.exists(Form::Notice));
  w.client.on_timer(Form::Main, gb("时钟1"));
  ASSERT_FALSE(w.ui.tray.empty());
  EXPECT_EQ(w.ui.tray.back(), std::make_pair(TrayPicture::WindowIcon, gb("Quorvel客服系统")));
  EXPECT_TRUE(w.ui.exists(Form::Notice));
  EXPECT_EQ(w.ui.get(Form::Notice, {}, Property::Visible), 0);
}

TEST(ClientMain, StoredGeometryAndItsRepairs) {
  World w;
  w.settings.values = {{"higth", "300"},
                       {"wide", "400"},
                       {"top", "10"},
                       {"lift", "20"},
                       {"loginurl", "custom/path"}};
  w.ui.load(Form::Main, false);
  EXPECT_EQ(main_prop(w, Property::Height), 300);
  EXPECT_EQ(main_prop(w, Property::Width), 400);
  EXPECT_EQ(main_prop(w, Property::Top), 10);
  EXPECT_EQ(main_prop(w, Property::Left), 20);
  EXPECT_EQ(w.view.opened.back(), "/custom/path");
  // Top is placed before left.
  const auto top_at = std::find_if(w.ui.sets.begin(), w.ui.sets.end(),
                                   [](const auto& s) { return s.property == Property::Top; });
  const auto left_at = std::find_if(w.ui.sets.begin(), w.ui.sets.end(),
                                    [](const auto& s) { return s.property == Property::Left; });
  EXPECT_LT(top_at, left_at);

  // On no monitor (one that is gone): the middle of the primary's work area.
  World lost;
  lost.settings.values = {{"higth", "300"}, {"wide", "0"}, {"top", "-5000"}, {"lift", "9000"}};
  lost.ui.load(Form::Main, false);
  EXPECT_EQ(main_prop(lost, Property::Width), 1080);  // designed width
  EXPECT_EQ(main_prop(lost, Property::Left), (1920 - 1080) / 2);
  EXPECT_EQ(main_prop(lost, Property::Top), (1040 - 300) / 2);

  // Partly off the screen: it stays as it was put, as long as its title bar
  // can still be taken.
  World partly;
  partly.settings.values = {{"top", "20"}, {"lift", "1800"}};
  partly.ui.load(Form::Main, false);
  EXPECT_EQ(main_prop(partly, Property::Left), 1800);
  EXPECT_EQ(main_prop(partly, Property::Top), 20);
}

// A damaged or foreign settings file: a size larger than the screen made a
// 32767-pixel window that took seconds and gigabytes to show; a place above
// the screen hid the title bar.
TEST(ClientMain, StoredGeometryIsKeptWithinReach) {
  World huge;
  huge.settings.values = {{"higth", "100000"}, {"wide", "100000"}, {"top", "0"}, {"lift", "0"}};
  huge.ui.load(Form::Main, false);
  EXPECT_EQ(main_prop(huge, Property::Width), 1920);
  EXPECT_EQ(main_prop(huge, Property::Height), 1040);

  World tiny;
  tiny.settings.values = {{"higth", "5"}, {"wide", "3"}};
  tiny.ui.load(Form::Main, false);
  EXPECT_EQ(main_prop(tiny, Property::Width), 320);
  EXPECT_EQ(main_prop(tiny, Property::Height), 240);

  World above;
  above.settings.values = {{"higth", "500"}, {"wide", "700"}, {"top", "-280"}, {"lift", "-200"}};
  above.ui.load(Form::Main, false);
  EXPECT_EQ(main_prop(above, Property::Top), 0);
  EXPECT_EQ(main_prop(above, Property::Left), -200);  // 500 pixels of its bar are on the screen

  World far_left;
  far_left.settings.values = {{"higth", "500"}, {"wide", "700"}, {"top", "100"}, {"lift", "-650"}};
  far_left.ui.load(Form::Main, false);
  EXPECT_EQ(main_prop(far_left, Property::Left), -600);  // 100 pixels of the bar

  // Two monitors: a window on the second stays there.
  World two;
  two.ui.screens.push_back({{1920, 0, 1280, 1024}, {1920, 0, 1280, 1024}});
  two.settings.values = {{"higth", "2000"}, {"wide", "1000"}, {"top", "10"}, {"lift", "2000"}};
  two.ui.load(Form::Main, false);
  EXPECT_EQ(main_prop(two, Property::Left), 2000);
  EXPECT_EQ(main_prop(two, Property::Height), 1024);
}

TEST(ClientMain, MissingRuntimeStartsTheInstallerAndEnds) {
  World w;
  w.view.runtime = false;
  w.settings.values["hostdata"] = accepted_answer("http://s");
  w.client.start();
  ASSERT_EQ(w.ui.boxes.size(), 1u);
  EXPECT_EQ(w.ui.boxes[0].text, gb("缺少WebView2支持库，请点击安装"));
  EXPECT_EQ(w.ui.boxes[0].caption, gb("信息："));
  EXPECT_EQ(w.process.launches, std::vector<Text>{"/opt/q/config/install-runtime.sh"});
  EXPECT_TRUE(w.ui.quit_called);
  EXPECT_TRUE(w.view.opened.empty());
  EXPECT_TRUE(w.ui.tray.empty());
}

TEST(ClientMain, AnEngineWrittenNowhereIsSaidSoWithoutAnInstaller) {
  World w;
  w.view.runtime = false;
  w.view.not_ready = app::EngineStatus::Kind::NotWritten;
  w.settings.values["hostdata"] = accepted_answer("http://s");
  w.client.start();
  ASSERT_EQ(w.ui.boxes.size(), 1u);
  EXPECT_EQ(w.ui.boxes[0].text, gb("无法写出网页组件"));
  EXPECT_TRUE(w.process.launches.empty());
  EXPECT_TRUE(w.ui.quit_called);
}

TEST(ClientMain, ResizeLaysOutTheBoardAndWritesTheSize) {
  World w;
  w.ui.load(Form::Main, false);
  w.settings.writes.clear();
  w.ui.set(Form::Main, {}, Property::Width, 400);
  w.ui.set(Form::Main, {}, Property::Height, 300);
  w.client.on_resized(Form::Main);
  EXPECT_EQ(w.ui.get(Form::Main, kBoard, Property::Left), 0);
  EXPECT_EQ(w.ui.get(Form::Main, kBoard, Property::Top), 0);
  EXPECT_EQ(w.ui.get(Form::Main, kBoard, Property::Width), 395);
  EXPECT_EQ(w.ui.get(Form::Main, kBoard, Property::Height), 295);
  ASSERT_FALSE(w.view.bounds.empty());
  const Rect b = w.view.bounds.back();
  EXPECT_EQ(std::vector<int>({b.left, b.top, b.width, b.height}),
            std::vector<int>({0, 0, 395, 265}));
  EXPECT_EQ(w.settings.writes,
            (std::vector<std::pair<Text, Text>>{{"wide", "400"}, {"higth", "300"}}));
}

TEST(ClientMain, MovesAreStoredUnlessMinimised) {
  World w;
  w.ui.load(Form::Main, false);
  w.settings.writes.clear();
  w.ui.set(Form::Main, {}, Property::State, 2);
  w.client.on_moved(Form::Main);
  EXPECT_TRUE(w.settings.writes.empty());
  w.ui.set(Form::Main, {}, Property::State, 0);
  w.ui.set(Form::Main, {}, Property::Top, 33);
  w.ui.set(Form::Main, {}, Property::Left, 44);
  w.client.on_moved(Form::Main);
  EXPECT_EQ(w.settings.writes,
            (std::vector<std::pair<Text, Text>>{{"wz", "0"}, {"top", "33"}, {"lift", "44"}}));
}

TEST(ClientMain, CloseHidesAndShowBringsItBackInTheStoredState) {
  World w;
  w.ui.load(Form::Main, false);
  w.settings.values["wz"] = "3";
  EXPECT_FALSE(w.client.on_close_request(Form::Main));
  EXPECT_EQ(main_prop(w, Property::Visible), 0);
  EXPECT_EQ(main_prop(w, Property::TopMost), 0);
  w.client.on_menu(3);  // 显示
  EXPECT_EQ(main_prop(w, Property::Visible), 1);
  EXPECT_EQ(main_prop(w, Property::State), 3);
  EXPECT_EQ(w.ui.focus_count, 1);
  EXPECT_EQ(main_prop(w, Property::TopMost), 0);  // cleared again by the focus
  // Visible and not minimised: nothing at all.
  w.ui.sets.clear();
  w.ui.set(Form::Main, {}, Property::State, 0);
  w.client.on_tray(kTrayLeftUp);
  EXPECT_EQ(w.ui.sets.size(), 1u);
  EXPECT_EQ(w.ui.focus_count, 1);
  // Minimised: shown again, from the tray too.
  w.ui.set(Form::Main, {}, Property::State, 2);
  w.client.on_tray(kTrayDoubleClick);
  EXPECT_EQ(w.ui.focus_count, 2);
}

TEST(ClientTray, MenuPopsUpBesideThePointerAndItemsAct) {
  World w;
  w.ui.load(Form::Main, false);
  w.client.on_tray(kTrayRightUp);
  ASSERT_EQ(w.ui.popups.size(), 1u);
  EXPECT_EQ(w.ui.popups[0].x, 503);
  EXPECT_EQ(w.ui.popups[0].y, 603);
  w.client.on_tray(7);
  EXPECT_EQ(w.ui.popups.size(), 1u);
  w.client.on_menu(1);  // 刷新主页
  EXPECT_EQ(w.view.reloads, 1);
  w.client.on_menu(0);  // 服务器配置
  w.client.on_menu(0);
  EXPECT_EQ(std::count(w.ui.loads.begin(), w.ui.loads.end(), std::make_pair(Form::Join, true)), 1);
}

TEST(ClientTray, BlinksWhileUnreadAndStopsWhenCleared) {
  World w;
  w.ui.load(Form::Main, false);
  w.client.on_timer(Form::Main, gb("时钟1"));  // the first tick shows the tray
  w.ui.tray.clear();
  w.client.on_timer(Form::Main, gb("时钟1"));
  w.client.on_timer(Form::Main, gb("时钟1"));
  EXPECT_TRUE(w.ui.tray.empty());
  w.client.set_unread_count(2);
  w.client.on_timer(Form::Main, gb("时钟1"));
  w.client.on_timer(Form::Main, gb("时钟1"));
  ASSERT_EQ(w.ui.tray.size(), 2u);
  EXPECT_EQ(w.ui.tray[0].first, TrayPicture::Alternate);  // tick 4: even
  EXPECT_EQ(w.ui.tray[1].first, TrayPicture::WindowIcon);
  EXPECT_EQ(w.ui.tray[1].second, gb("Quorvel在线客服"));
  w.client.on_menu(2);  // 清除提醒
  EXPECT_EQ(w.client.unread_count(), 0);
  w.client.on_timer(Form::Main, gb("时钟1"));
  EXPECT_EQ(w.ui.tray.size(), 2u);
}

TEST(ClientTray, ExitAsksFirst) {
  World w;
  w.ui.load(Form::Main, false);
  w.client.on_timer(Form::Main, gb("时钟1"));  // the tray is there
  w.ui.set(Form::Main, {}, Property::TopMost, 1);
  w.ui.answers = {kAnswerCancel};
  w.client.on_menu(4);
  EXPECT_EQ(main_prop(w, Property::TopMost), 0);
  ASSERT_EQ(w.ui.boxes.size(), 1u);
  EXPECT_EQ(w.ui.boxes[0].text, gb("是否确定要退出Quorvel在线客服?"));
  EXPECT_EQ(w.ui.boxes[0].buttons, Buttons::OkCancel);
  EXPECT_EQ(w.process.force_exits, 0);
  EXPECT_EQ(w.view.closes, 0);
  w.client.on_menu(4);
  EXPECT_EQ(w.view.closes, 1);
  ASSERT_FALSE(w.ui.tray.empty());
  EXPECT_EQ(w.ui.tray.back(), std::make_pair(TrayPicture::None, Text()));
  EXPECT_EQ(w.process.force_exits, 1);
}

// A 退出 that comes while its confirmation is open (a second click, a flood
// of menu events over the bus) brings that box forward: one box, one
// nested loop, whatever comes.
TEST(ClientTray, OneExitConfirmationAtATime) {
  World w;
  w.ui.load(Form::Main, false);
  w.ui.answers = {kAnswerCancel};
  w.ui.while_box_open = [&] {
    for (int i = 0; i < 1000; ++i) w.client.on_menu(4);
  };
  w.client.on_menu(4);
  EXPECT_EQ(w.ui.boxes.size(), 1u);
  EXPECT_EQ(w.ui.raised_boxes, 1000);
  EXPECT_EQ(w.process.force_exits, 0);
  // Once it is answered, 退出 asks again.
  w.client.on_menu(4);
  EXPECT_EQ(w.ui.boxes.size(), 2u);
  EXPECT_EQ(w.process.force_exits, 1);
  // 服务器配置 opens one join window; again, it comes forward.
  World bound;
  bound.ui.load(Form::Main, false);
  bound.client.on_menu(0);
  const int focused = bound.ui.focus_count;
  bound.client.on_menu(0);
  EXPECT_EQ(std::count_if(bound.ui.loads.begin(), bound.ui.loads.end(),
                          [](const auto& l) { return l.first == Form::Join; }),
            1);
  EXPECT_EQ(bound.ui.focus_count, focused + 1);
}

TEST(ClientTray, SessionEndRemovesTheTrayAndForcesTheExit) {
  World w;
  w.ui.load(Form::Main, false);
  w.client.on_timer(Form::Main, gb("时钟1"));  // the tray is there
  w.settings.writes.clear();
  w.client.on_may_close(Form::Main);
  EXPECT_EQ(w.process.force_exits, 1);
  ASSERT_FALSE(w.ui.tray.empty());
  EXPECT_EQ(w.ui.tray.back(), std::make_pair(TrayPicture::None, Text()));
  EXPECT_TRUE(w.settings.writes.empty());
  // Asked by the system to end (a signal) while only the join window shows.
  World unbound;
  unbound.client.start();
  unbound.client.end_session();
  EXPECT_EQ(unbound.process.force_exits, 1);
}

void type_and_join(World& w, const Text& number, const Text& login_path) {
  w.ui.set_text(Form::Join, kNumberField, TextProperty::Text, number);
  w.ui.set_text(Form::Join, kLoginField, TextProperty::Text, login_path);
  w.client.on_click(Form::Join, kJoinButton);
}

TEST(ClientJoin, EmptyNumberAsksForOne) {
  World w;
  w.client.start();
  type_and_join(w, {}, "x/login");
  EXPECT_EQ(w.settings.values["loginurl"], "x/login");
  ASSERT_EQ(w.ui.boxes.size(), 1u);
  EXPECT_EQ(w.ui.boxes[0].text, gb("请输入服务器编号"));
  EXPECT_EQ(w.ui.boxes[0].caption, gb("信息："));
  EXPECT_TRUE(w.requested.empty());
  EXPECT_TRUE(w.ui.exists(Form::Join));
}

TEST(ClientJoin, AcceptedAnswerOpensTheMainWindow) {
  World w;
  w.client.start();
  w.answer = "\"" + accepted_answer("http://chat.test") + "\"";
  type_and_join(w, "8866", {});
  ASSERT_EQ(w.requested.size(), 1u);
  EXPECT_EQ(w.requested[0], lookup_url("https://dir.test", "8866"));
  EXPECT_EQ(w.settings.values["hostdataid"], "8866");
  EXPECT_EQ(w.settings.values["hostdata"], w.answer);
  EXPECT_TRUE(w.ui.exists(Form::Main));
  EXPECT_FALSE(w.ui.exists(Form::Join));
  // An empty login path is replaced when the main window opens.
  EXPECT_EQ(w.view.opened.back(), "http://chat.test/service/login");
  EXPECT_TRUE(w.process.restarts.empty());
}

TEST(ClientJoin, UnboundFailuresKeepTheJoinWindowOpen) {
  World w;
  w.client.start();
  w.answer = refused_answer("服务器编号不存在");
  type_and_join(w, "1", "a");
  ASSERT_EQ(w.timed.shown.size(), 1u);
  EXPECT_EQ(w.timed.shown[0].text, gb("服务器编号不存在"));
  EXPECT_TRUE(w.ui.boxes.empty());
  EXPECT_TRUE(w.ui.exists(Form::Join));
  EXPECT_FALSE(w.ui.exists(Form::Main));

  w.answer.clear();
  w.status = gb("711 发送请求失败!");
  type_and_join(w, "1", "a");
  ASSERT_EQ(w.ui.boxes.size(), 1u);
  EXPECT_NE(w.ui.boxes[0].text.find(gb("711 发送请求失败!")), Text::npos);
  EXPECT_TRUE(w.ui.exists(Form::Join));
  EXPECT_EQ(w.settings.values["hostdataid"], "1");  // written before the lookup
}

TEST(ClientJoin, RejoinRestartsOnlyWhenAccepted) {
  World w;
  w.settings.values = {{"hostdata", accepted_answer("http://old.test")},
                       {"hostdataid", "1"},
                       {"loginurl", "old/login"}};
  w.client.start();
  w.client.on_menu(0);  // 服务器配置: the join window, modal
  EXPECT_EQ(w.ui.get_text(Form::Join, kLoginField, TextProperty::Text), "old/login");
  w.answer = refused_answer("no");
  type_and_join(w, "2", "new/login");
  EXPECT_TRUE(w.process.restarts.empty());
  EXPECT_FALSE(w.ui.exists(Form::Join));
  EXPECT_EQ(w.settings.values["hostdataid"], "1");
  EXPECT_EQ(w.settings.values["loginurl"], "old/login");
  EXPECT_EQ(w.client.site_address(), "http://old.test");

  w.client.on_menu(0);
  w.answer = accepted_answer("http://new.test");
  w.process.restart_works = false;
  type_and_join(w, "3", "new/login");
  EXPECT_EQ(w.process.restarts, std::vector<int>{0});
  ASSERT_FALSE(w.ui.boxes.empty());  // restart by hand
  EXPECT_EQ(w.settings.values["hostdataid"], "3");
  EXPECT_EQ(w.settings.values["hostdata"], w.answer);
  EXPECT_FALSE(w.ui.exists(Form::Join));
}

TEST(ClientJoin, ClosingTheOnlyWindowEndsTheProgram) {
  World w;
  w.client.start();
  EXPECT_TRUE(w.client.on_close_request(Form::Join));
  EXPECT_TRUE(w.ui.quit_called);
  World bound;
  bound.settings.values["hostdata"] = accepted_answer("http://s");
  bound.client.start();
  bound.client.on_menu(0);
  EXPECT_TRUE(bound.client.on_close_request(Form::Join));
  EXPECT_FALSE(bound.ui.quit_called);
}

TEST(ServerLookup, PayloadKeepsTheNumberAsTyped) {
  EXPECT_EQ(lookup_payload("abc"), "{\"domainid\":\"abc\"}");
  EXPECT_EQ(lookup_payload("1\"2\\3\n"), "{\"domainid\":\"1\\\"2\\\\3\\u000a\"}");
  EXPECT_EQ(lookup_payload(gb("编号")), gb("{\"domainid\":\"编号\"}"));
  const Text url = lookup_url("https://d", "1024");
  EXPECT_EQ(url.substr(0, 33), "https://d/api/domaincheckid?data=");
  EXPECT_EQ(url.substr(33, 4), "7:@|");
  EXPECT_EQ(decipher_payload(url.substr(37), "7"), "{\"domainid\":\"1024\"}");
  // Any bytes, any length: still one JSON string, still enciphered.
  Text wild;
  for (int i = 0; i < 20000; ++i) wild += static_cast<char>(1 + i % 255);
  const Text long_url = lookup_url("https://d", wild);
  EXPECT_GT(long_url.size(), 20000u);
  EXPECT_EQ(decipher_payload(long_url.substr(37), "7").substr(0, 13), "{\"domainid\":\"");
}

// A plain accepted answer of exactly `size` bytes.
Text accepted_answer_of_size(std::size_t size) {
  const Text head = "{\"code\":\"200\",\"data\":\"http://s/";
  const Text tail = "\"}";
  return head + Text(size - head.size() - tail.size(), 'a') + tail;
}

TEST(ClientSettingsFile, HostileFilesStartUnboundWithoutHarm) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("quorvel_client_test_" +
                    std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "config.ini").string();
  const auto start_with = [&](const std::string& contents) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
    ConfigSettings settings(from_utf8(path));
    auto w = std::make_unique<World>();
    w->settings.values["hostdata"] = settings.read("hostdata");
    w->client.start();
    return w;
  };
  std::string garbage(50u << 20, '\0');
  for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 131 % 251);
  for (const std::string& contents : {garbage, std::string("[other]\nhostdata=x\n")}) {
    EXPECT_TRUE(start_with(contents)->ui.exists(Form::Join));
  }
  // A stored answer is read through a 10240-byte buffer: one that fits binds,
  // one that is valid but longer is cut, fails to decode and starts unbound.
  EXPECT_TRUE(start_with("[main]\nhostdata=" + accepted_answer_of_size(10239) + "\n")
                  ->ui.exists(Form::Main));
  EXPECT_TRUE(start_with("[main]\nhostdata=" + accepted_answer_of_size(10300) + "\n")
                  ->ui.exists(Form::Join));
  std::filesystem::remove_all(dir);
}

TEST(ClientJoin, ASettingsFileThatCannotBeWrittenIsSaidSo) {
  World w;
  w.client.start();
  w.settings.writable = false;
  w.answer = accepted_answer("http://chat.test");
  type_and_join(w, "8866", {});
  ASSERT_EQ(w.ui.boxes.size(), 1u);
  EXPECT_NE(w.ui.boxes[0].text.find("/home/agent/.config/quorvel/config.ini"), Text::npos);
  // Bound for this run all the same.
  EXPECT_TRUE(w.ui.exists(Form::Main));
}

TEST(ClientJoin, AnAnswerNamingNoSiteDoesNotBind) {
  for (const char* answer : {R"({"code":"200","data":""})", R"({"code":"200","data":"x.test"})"}) {
    World w;
    w.client.start();
    w.answer = answer;
    type_and_join(w, "8866", {});
    EXPECT_TRUE(w.ui.exists(Form::Join)) << answer;
    EXPECT_FALSE(w.ui.exists(Form::Main));
    EXPECT_TRUE(w.client.site_address().empty());
    EXPECT_EQ(w.settings.values.count("hostdata"), 0u);
    ASSERT_EQ(w.timed.shown.size(), 1u);
    EXPECT_FALSE(w.timed.shown[0].text.empty());
  }
}

}  // namespace
}  // namespace quorvel::app
