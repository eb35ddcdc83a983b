// A window layer and services without a display: they keep the properties
// the handlers set, answer message boxes from a script, and record what
// was asked of them, so that every handler runs in a unit test.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "app/client.h"
#include "app/form_table.h"
#include "app/forms.h"

namespace quorvel::app::fake {

struct Box {
  Text text;
  Text caption;
  Buttons buttons;
};

// The table answers as every window layer's does; the "native" side keeps
// what a window would show.
class FakeUi final : public TableUi {
 public:
  std::deque<int> answers;  // message box answers; OK when empty
  std::vector<Box> boxes;
  std::vector<std::pair<Form, bool>> loads;  // form, modal
  std::vector<std::pair<TrayPicture, Text>> tray;
  std::vector<Point> popups;
  bool tray_attention = false;
  std::map<int, bool> menu_checks;
  bool urgent = false;
  Form active = Form::Main;
  bool active_set = false;  // whether `active` is the active window
  std::vector<Monitor> screens = {{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}}};
  Point mouse{500, 600};
  bool quit_called = false;
  int focus_count = 0;
  int caption_sets = 0;

  struct Set {
    Form form;
    Text control;
    Property property;
    int value;
  };
  std::vector<Set> sets;

  void load(Form form, bool modal) override {
    loads.emplace_back(form, modal);
    static_cast<void>(take_form(form));
    FormEntry& f = add_form(form);
    const FormDesign& d = form_design(form);
    auto& p = static_cast<Window&>(f).props;
    p[Property::Visible] = 1;
    p[Property::Left] = d.rect.left;
    p[Property::Top] = d.rect.top;
    p[Property::Width] = d.rect.width;
    p[Property::Height] = d.rect.height;
    static_cast<Window&>(f).caption = d.caption;
    for (auto& c : f.controls) static_cast<Widget&>(*c).text = c->design.text;
    if (events() != nullptr) events()->on_created(form);
  }
  void destroy(Form form) override { static_cast<void>(take_form(form)); }
  void set(Form form, std::string_view control, Property p, int value) override {
    sets.push_back({form, Text(control), p, value});
    TableUi::set(form, control, p, value);
  }
  void set_text(Form form, std::string_view control, TextProperty p,
                std::string_view value) override {
    if (p == TextProperty::Caption && control.empty()) ++caption_sets;
    TableUi::set_text(form, control, p, value);
  }
  void focus(Form form) override {
    ++focus_count;
    if (events() != nullptr) events()->on_focus(form);
  }
  void set_tray(TrayPicture picture, std::string_view tip) override {
    tray.emplace_back(picture, Text(tip));
  }
  void popup_tray_menu(Point at) override { popups.push_back(at); }
  void set_tray_attention(bool on) override { tray_attention = on; }
  void set_menu_check(int item, bool checked) override { menu_checks[item] = checked; }
  void set_urgent(Form, bool on) override { urgent = on; }
  [[nodiscard]] bool is_active(Form form) const override { return active == form && active_set; }
  [[nodiscard]] Point pointer() const override { return mouse; }
  [[nodiscard]] std::vector<Monitor> monitors() const override { return screens; }
  // Runs while a message box is open, as the events a nested loop
  // delivers do (each box runs it once).
  std::function<void()> while_box_open;
  int raised_boxes = 0;
  void raise_message_box() override { ++raised_boxes; }
  std::deque<PermissionAnswer> permission_answers;  // denied when empty
  std::vector<Text> permission_questions;
  PermissionAnswer ask_permission(std::string_view question) override {
    permission_questions.emplace_back(question);
    if (permission_answers.empty()) return {};
    const PermissionAnswer a = permission_answers.front();
    permission_answers.pop_front();
    return a;
  }
  std::vector<Text> focused_controls;
  void focus_control(Form, std::string_view control) override { focused_controls.emplace_back(control); }
  Text save_answer;  // what the save dialog answers
  std::vector<Text> save_suggestions;
  Text ask_save_path(std::string_view suggested) override {
    save_suggestions.emplace_back(suggested);
    return save_answer;
  }
  int message_box(std::string_view text, std::string_view caption, Buttons buttons) override {
    boxes.push_back({Text(text), Text(caption), buttons});
    if (while_box_open) std::exchange(while_box_open, nullptr)();
    if (answers.empty()) return kAnswerOk;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void quit() override { quit_called = true; }

 private:
  struct Window : FormEntry {
    std::map<Property, int> props;
    Text caption;
  };
  struct Widget : ControlEntry {
    bool visible = true;
    Text text;
  };
  [[nodiscard]] std::unique_ptr<FormEntry> new_form() override {
    return std::make_unique<Window>();
  }
  [[nodiscard]] std::unique_ptr<ControlEntry> new_control() override {
    return std::make_unique<Widget>();
  }
  [[nodiscard]] int form_property(const FormEntry& f, Property p) const override {
    const auto& props = static_cast<const Window&>(f).props;
    const auto found = props.find(p);
    return found == props.end() ? 0 : found->second;
  }
  void set_form_property(FormEntry& f, Property p, int value) override {
    static_cast<Window&>(f).props[p] = value;
    if (p == Property::State) f.state = static_cast<WindowState>(value);
  }
  [[nodiscard]] bool control_visible(const ControlEntry& c) const override {
    return static_cast<const Widget&>(c).visible;
  }
  void set_control_visible(FormEntry&, ControlEntry& c, bool visible) override {
    static_cast<Widget&>(c).visible = visible;
  }
  void place_control(FormEntry&, ControlEntry&) override {}
  [[nodiscard]] Text native_text(const FormEntry& f, const ControlEntry* c) const override {
    return c == nullptr ? static_cast<const Window&>(f).caption
                        : static_cast<const Widget*>(c)->text;
  }
  void set_native_text(FormEntry& f, ControlEntry* c, std::string_view text) override {
    (c == nullptr ? static_cast<Window&>(f).caption : static_cast<Widget*>(c)->text) = Text(text);
  }
  [[nodiscard]] std::intptr_t native_widget(const ControlEntry&) const override { return 77; }
};

class FakeSettings final : public Settings {
 public:
  std::map<Text, Text> values;
  std::vector<std::pair<Text, Text>> writes;
  [[nodiscard]] Text read(std::string_view key) override {
    const auto found = values.find(Text(key));
    return found == values.end() ? Text() : found->second;
  }
  bool writable = true;
  bool write(std::string_view key, std::string_view value) override {
    if (!writable) return false;
    values[Text(key)] = Text(value);
    writes.emplace_back(Text(key), Text(value));
    return true;
  }
  [[nodiscard]] Text location() const override { return "/home/agent/.config/quorvel/config.ini"; }
  std::map<std::pair<Text, Text>, Text> other_sections;
  [[nodiscard]] Text read_in(std::string_view section, std::string_view key) override {
    if (section == "main") return read(key);
    const auto found = other_sections.find({Text(section), Text(key)});
    return found == other_sections.end() ? Text() : found->second;
  }
  bool write_in(std::string_view section, std::string_view key, std::string_view value) override {
    if (section == "main") return write(key, value);
    if (!writable) return false;
    other_sections[{Text(section), Text(key)}] = Text(value);
    return true;
  }
};

class FakeDesktop final : public Desktop {
 public:
  int sounds = 0;
  bool quiet = false;
  bool with_session = false;
  bool writable = true;
  void play_message_sound() override { ++sounds; }
  [[nodiscard]] bool do_not_disturb() override { return quiet; }
  [[nodiscard]] bool starts_with_session() override { return with_session; }
  bool set_starts_with_session(bool on) override {
    if (writable) with_session = on;
    return writable;
  }
  [[nodiscard]] Text session_entry() const override { return "/home/a/.config/autostart/q.desktop"; }
  std::vector<Text> opened;  // addresses handed to the desktop's programs
  bool opens = true;
  bool open_on_desktop(std::string_view address) override {
    opened.emplace_back(address);
    return opens;
  }
  bool notification_service = true;
  std::vector<std::pair<Text, Text>> notifications;
  bool show_notification(std::string_view title, std::string_view body) override {
    if (notification_service) notifications.emplace_back(title, body);
    return notification_service;
  }
  Text downloads;  // the download folder
  std::vector<Text> opened_files, shown_folders;
  [[nodiscard]] Text download_folder() override { return downloads; }
  bool open_file(std::string_view path) override {
    opened_files.emplace_back(path);
    return true;
  }
  bool show_in_folder(std::string_view path) override {
    shown_folders.emplace_back(path);
    return true;
  }
};

class FakeClock final : public Clock {
 public:
  std::int64_t now = 1'000'000;
  [[nodiscard]] std::int64_t now_ms() override { return now; }
};

class FakeProcess final : public Process {
 public:
  bool restart_works = true;
  std::vector<int> restarts;
  int force_exits = 0;
  std::vector<Text> launches;
  std::set<std::int64_t> still_running;  // ids of launched programs that run
  bool restart(int delay) override {
    restarts.push_back(delay);
    return restart_works;
  }
  void force_exit() override { ++force_exits; }
  std::int64_t launch(std::string_view path) override {
    launches.emplace_back(path);
    return static_cast<std::int64_t>(launches.size());
  }
  [[nodiscard]] bool running(std::int64_t id) override { return still_running.count(id) != 0; }
  [[nodiscard]] Text runtime_installer() override { return "/opt/q/config/install-runtime.sh"; }
  [[nodiscard]] Text screenshot_tool() override { return "/opt/q/config/QQSnapShot"; }
};

class FakeView final : public app::WebView {
 public:
  bool runtime = true;
  bool opens = true;
  int prepared = 0, reloads = 0, closes = 0;
  std::vector<Text> opened;
  std::vector<Rect> bounds;
  std::vector<Text> scripts;
  app::PageEvents* events = nullptr;
  void prepare() override { ++prepared; }
  app::EngineStatus::Kind not_ready = app::EngineStatus::Kind::RuntimeMissing;
  [[nodiscard]] app::EngineStatus engine_status() override {
    if (runtime) return {};
    return {not_ready, not_ready == app::EngineStatus::Kind::RuntimeMissing
                           ? from_utf8("缺少WebView2支持库，请点击安装")
                           : from_utf8("无法写出网页组件")};
  }
  bool open(std::intptr_t, std::string_view url) override {
    opened.emplace_back(url);
    return opens;
  }
  void set_events(app::PageEvents* e) override { events = e; }
  void reload() override { ++reloads; }
  void set_bounds(Rect r) override { bounds.push_back(r); }
  void close() override { ++closes; }
  void run_script(std::string_view script) override { scripts.emplace_back(script); }
  std::map<Text, Text> options;
  std::vector<Text> loaded_urls, loaded_pages;
  std::vector<std::pair<Text, Text>> allowed;
  int terminations = 0;
  void set_option(std::string_view name, std::string_view value) override {
    options[Text(name)] = Text(value);
  }
  void load_url(std::string_view url) override { loaded_urls.emplace_back(url); }
  void load_html(std::string_view html) override { loaded_pages.emplace_back(html); }
  void allow_certificate(std::string_view host, std::string_view fingerprint) override {
    allowed.emplace_back(host, fingerprint);
  }
  void terminate_process() override { ++terminations; }
  std::map<int, Text> download_paths;
  std::vector<int> cancelled_downloads;
  void download_to(int id, std::string_view path) override { download_paths[id] = Text(path); }
  void cancel_download(int id) override { cancelled_downloads.push_back(id); }
  std::vector<int> zooms;
  std::vector<std::pair<Text, Find>> finds;
  int prints = 0;
  void set_zoom(int percent) override { zooms.push_back(percent); }
  void find(std::string_view text, Find how) override { finds.emplace_back(Text(text), how); }
  void print() override { ++prints; }
  // What an engine reports of a document the main frame takes, and of its
  // load ending well.
  void commit(std::string_view url, bool own_page = false,
              NavigationCause cause = NavigationCause::Other) {
    events->document_committed({Text(url), own_page, cause});
  }
  void load(std::string_view url) {
    commit(url);
    events->page_loaded(url);
  }
};

class FakeLog final : public EventLog {
 public:
  std::vector<Text> lines;
  void line(std::string_view text) override { lines.emplace_back(text); }
};

class FakeTimedBox final : public TimedMessageBox {
 public:
  std::vector<TimedMessage> shown;
  int show_timed_message(const TimedMessage& m) override {
    shown.push_back(m);
    return 0;
  }
};

// Everything a client needs, wired together; the directory's answer and
// status are what `answer` and `status` hold when the join asks.
struct World {
  FakeUi ui;
  FakeSettings settings;
  FakeView view;
  FakeProcess process;
  FakeTimedBox timed;
  FakeClock clock;
  FakeLog log;
  FakeDesktop desktop;
  Text answer;
  Text status = "200 OK";
  std::vector<Text> requested;
  Client client{ClientServices{ui, settings, view, process, timed, clock, log,
                               [this](std::string_view url, Text& s) {
                                 requested.emplace_back(url);
                                 s = status;
                                 return answer;
                               },
                               "https://dir.test", "/tmp/quorvel-fake-data", &desktop}};
  World() { ui.set_events(&client); }
};

}  // namespace quorvel::app::fake
