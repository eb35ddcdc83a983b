#include "app/client.h"

#include <algorithm>
#include <array>

#include "app/forms.h"
#include "base/text_ops.h"
#include "base/trace.h"
#include "binding/directory_answer.h"
#include "http/extra_authority.h"
#include "binding/server_lookup.h"

namespace quorvel::app {
namespace {

// Settings keys; the spellings are those of existing settings files.
constexpr std::string_view kKeyAnswer = "hostdata";
constexpr std::string_view kKeyNumber = "hostdataid";
constexpr std::string_view kKeyLoginPath = "loginurl";
constexpr std::string_view kKeyWidth = "wide";
constexpr std::string_view kKeyHeight = "higth";
constexpr std::string_view kKeyTop = "top";
constexpr std::string_view kKeyLeft = "lift";
constexpr std::string_view kKeyState = "wz";
// The web process's memory limit in MiB.
constexpr std::string_view kKeyMemoryLimit = "memlimit";
constexpr int kDefaultMemoryLimit = 1024;
// The page's zoom in percent, kept between starts, and the steps of
// Ctrl+plus and Ctrl+minus.
constexpr std::string_view kKeyZoom = "zoom";
constexpr std::array<int, 13> kZoomLevels = {50, 67, 75, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300};
// Spell checking's languages (comma-separated), and the inspector.
constexpr std::string_view kKeySpellLanguages = "spelllangs";
constexpr std::string_view kKeyDevtools = "devtools";
// 1: the agent is asked where each download goes.
constexpr std::string_view kKeyAskDownload = "askdownload";
// Hosts, comma-separated, whose pages stay in the view beside the site's.
constexpr std::string_view kKeyInView = "inview";
// Certificates the agent trusted: a key per site host, the fingerprint.
constexpr std::string_view kTrustSection = "trust";

constexpr int kStateMinimised = static_cast<int>(WindowState::Minimised);

enum MenuItem { kConfigure, kRefresh, kClearAlert, kShow, kExit, kSound, kWithSession };

struct Texts {
  Text default_login_path = "service/login";
  Text enter_number = from_utf8("请输入服务器编号");
  Text confirm_exit = from_utf8("是否确定要退出");
  Text settings_unwritable =
      from_utf8("设置文件无法写入，服务器绑定只在本次运行中有效，请检查文件夹的写入权限：\n");
  Text no_directory = from_utf8("无法连接目录服务，请稍后再试。");
  Text session_entry_failed =
      from_utf8("开机自动启动设置失败，请检查以下位置能否写入：\n");
  Text restart_by_hand =
      from_utf8("已绑定新的服务器，但程序未能自动重新启动，请手动重新启动客服端。");
};

const Texts& texts() {
  static const Texts t;
  return t;
}

// "host[:port]" of an address, as the engine names a site.
Text host_of(std::string_view url) {
  const std::size_t scheme = url.find("://");
  std::string_view rest = scheme == std::string_view::npos ? url : url.substr(scheme + 3);
  rest = rest.substr(0, rest.find_first_of("/?#"));
  const std::size_t at = rest.rfind('@');
  return Text(at == std::string_view::npos ? rest : rest.substr(at + 1));
}

// A host as a settings key: no brackets of an IPv6 address, which would
// read as a section.
Text trust_key(std::string_view host) {
  Text key;
  for (const char c : host) {
    if (c != '[' && c != ']' && c != '=' && c != ';') key += c;
  }
  return key;
}

Text decimal(int value) {
  return std::to_string(value);
}

}  // namespace

Client::Client(ClientServices services)
    : s_(std::move(services)),
      notice_(s_.ui, s_.view, messages_),
      attention_(s_.ui, s_.settings, s_.clock, s_.desktop),
      bridge_(s_.ui, s_.view, notice_,
              {[this](int count) { unread_count_ = count; }, [this] { start_screenshot_tool(); },
               [this](TrayPicture picture, std::string_view tip) { show_tray(picture, tip); }}),
      guard_(s_.view, bridge_, s_.clock, s_.log, [this](const Text& host, const Text& fingerprint) {
        if (!s_.settings.write_in(kTrustSection, trust_key(host), fingerprint)) {
          s_.log.line(from_utf8("the trusted certificate could not be stored in ") +
                      s_.settings.location());
        }
      }),
      downloads_(s_.ui, s_.view, s_.log, s_.desktop),
      find_bar_(s_.ui, s_.view),
      permissions_(s_.ui, s_.settings, s_.log) {
  notice_.set_hooks({[this] { attention_.message(); }, [this] { return attention_.quiet(); },
                     [this] { load_notice_window(); }});
  guard_.set_downloads([this](const DownloadEvent& e) { downloads_.event(e); });
  guard_.set_site_services([this](const PermissionRequest& r) { return permissions_.decide(r); },
                           [this](const PageNotification& n) { notify(n); });
  guard_.set_commands(
      [this](ViewCommand command, std::string_view address) { carry_out(command, address); },
      [this](int matches) { find_bar_.result(matches); });
  guard_.set_desktop([this](std::string_view address) {
    return s_.desktop != nullptr && s_.desktop->open_on_desktop(address);
  });
}

void Client::show_tray(TrayPicture picture, std::string_view tip) {
  if (picture == tray_picture_ && tip == tray_tip_) return;
  tray_picture_ = picture;
  tray_tip_ = Text(tip);
  s_.ui.set_tray(picture, tip);
  update_tray_attention();
}

void Client::update_tray_attention() {
  const bool attention = unread_count_ > 0 && tray_picture_ != TrayPicture::None;
  if (attention == tray_attention_) return;
  tray_attention_ = attention;
  s_.ui.set_tray_attention(attention);
}

int Client::key_int(std::string_view key) {
  return text_to_int(s_.settings.read(key));
}

void Client::start() {
  start(false);
}

void Client::start(bool with_session) {
  s_.view.prepare();
  trace("engine library loaded");
  const Text stored = s_.settings.read(kKeyAnswer);
  const DirectoryAnswer decoded = decode_directory_answer(stored);
  if (decoded.accepted()) {
    site_address_ = decoded.site_address;
    // An accepted answer is written back as it stands, as every decoding
    // of an accepted answer stores it.
    s_.settings.write(kKeyAnswer, stored);
  }
  server_number_ = s_.settings.read(kKeyNumber);
  trace("settings read");
  s_.ui.load(site_address_.empty() ? Form::Join : Form::Main, false);
  trace("first window shown");
  // Beside the console the notice window waits for the main window's first
  // tick (or a message, whichever comes first): made now, it would keep
  // the thread from the console's first frame.
  if (!s_.ui.exists(Form::Main)) load_notice_window();
  // Hidden where a tray can bring it back, minimised elsewhere: the
  // window layer decides as for the close box, the tray made first.
  if (with_session && s_.ui.exists(Form::Main)) {
    show_first_tray();
    s_.ui.set(Form::Main, kSelf, Property::Visible, 0);
  }
}

void Client::load_notice_window() {
  if (s_.ui.exists(Form::Notice)) return;
  s_.ui.load(Form::Notice, false);
  s_.ui.set(Form::Notice, kSelf, Property::Visible, 0);
  trace("notice window ready");
}

void Client::on_created(Form form) {
  if (form == Form::Main) create_main();
  if (form == Form::Join) create_join();
}

void Client::create_main() {
  Ui& ui = s_.ui;
  login_path_ = s_.settings.read(kKeyLoginPath);
  if (login_path_.empty()) {
    login_path_ = texts().default_login_path;
    s_.settings.write(kKeyLoginPath, login_path_);
  }
  const app::EngineStatus engine = s_.view.engine_status();
  if (engine.kind != app::EngineStatus::Kind::Ready) {
    ui.message_box(engine.message, names().info_caption, Buttons::Ok);
    // An installer helps only when the runtime is what is missing.
    if (engine.kind == app::EngineStatus::Kind::RuntimeMissing) {
      static_cast<void>(s_.process.launch(s_.process.runtime_installer()));
    }
    ui.quit();
    return;
  }
  place_main();
  configure_engine();
  // The three parts are joined as they stand, slashes and all.
  const Text url = site_address_ + "/" + login_path_;
  guard_.watch(url);
  guard_.set_in_view_hosts(s_.settings.read(kKeyInView));
  downloads_.hide_strip();
  find_bar_.hide();
  if (s_.settings.read(kKeyAskDownload) == "1") {
    downloads_.set_save_dialog([this](const Text& suggested) { return s_.ui.ask_save_path(suggested); });
  }
  trace("opening the console");
  const bool opened = s_.view.open(ui.native_handle(Form::Main, names().board), url);
  trace("console requested");
  if (opened) {
    s_.view.set_events(&guard_);
    zoom_ = std::clamp(key_int(kKeyZoom) > 0 ? key_int(kKeyZoom) : 100, kZoomLevels.front(),
                       kZoomLevels.back());
    if (zoom_ != 100) s_.view.set_zoom(zoom_);
    // A certificate the agent trusted for this site before.
    const Text host = host_of(url);
    const Text fingerprint = s_.settings.read_in(kTrustSection, trust_key(host));
    if (!fingerprint.empty()) s_.view.allow_certificate(host, fingerprint);
  }
}

// The tray comes with the main window's first tick: made with the window,
// its probes of the desktop would keep the thread from the console's first
// frame.
void Client::show_first_tray() {
  if (menu_checked_) return;
  menu_checked_ = true;
  if (tray_picture_ == TrayPicture::None) show_tray(TrayPicture::WindowIcon, names().tray_tip);
  s_.ui.set_menu_check(kSound, attention_.sound_on());
  s_.ui.set_menu_check(kWithSession, s_.desktop != nullptr && s_.desktop->starts_with_session());
  trace("tray shown");
}

// Before the view opens: the login kept across starts, a memory limit for
// the web process, and the one authority the build trusts beside the
// system's (the lookup trusts it, so the console does too).
void Client::configure_engine() {
  if (!s_.data_directory.empty()) s_.view.set_option("data_directory", s_.data_directory);
  const int limit = key_int(kKeyMemoryLimit);
  s_.view.set_option("memory_limit_mb", std::to_string(limit > 0 ? limit : kDefaultMemoryLimit));
  const std::string_view authority = http::extra_authority_pem();
  if (!authority.empty()) s_.view.set_option("extra_authority", authority);
  s_.view.set_option("spell_languages", s_.settings.read(kKeySpellLanguages));
  if (s_.settings.read(kKeyDevtools) == "1") s_.view.set_option("devtools", "1");
}

namespace {

// The title bar, as far as placing goes: the top strip of the frame.
constexpr int kTitleBarHeight = 30;
// A stored size is never taken below this: a window too small to use.
constexpr int kMinWidth = 320;
constexpr int kMinHeight = 240;

int overlap(int a_start, int a_length, int b_start, int b_length) {
  return std::min(a_start + a_length, b_start + b_length) - std::max(a_start, b_start);
}

// Whether the window can be taken by its title bar on that work area: the
// whole bar height inside, and enough of its width.
bool title_bar_on(const Rect& place, const Rect& work) {
  const int enough = std::min(100, place.width);
  return overlap(place.left, place.width, work.left, work.width) >= enough &&
         place.top >= work.top && place.top + kTitleBarHeight <= work.top + work.height;
}

// The work area the window belongs to: where its title bar is, else the
// one it overlaps most, else the primary monitor's (`apart` then tells).
const Rect& home_of(const Rect& place, const std::vector<Monitor>& monitors, bool& apart) {
  const Monitor* best = &monitors.front();
  long best_area = 0;
  apart = false;
  for (const Monitor& m : monitors) {
    if (title_bar_on(place, m.work)) return m.work;
    const long area = static_cast<long>(std::max(
                          0, overlap(place.left, place.width, m.work.left, m.work.width))) *
                      std::max(0, overlap(place.top, place.height, m.work.top, m.work.height));
    if (area > best_area) {
      best_area = area;
      best = &m;
    }
  }
  apart = best_area == 0;
  return best->work;
}

}  // namespace

void Client::place_main() {
  Ui& ui = s_.ui;
  const Rect design = form_design(Form::Main).rect;
  Rect place{key_int(kKeyLeft), key_int(kKeyTop), design.width, design.height};
  const int height = key_int(kKeyHeight);
  if (height > 0) {
    const int width = key_int(kKeyWidth);
    place.height = height;
    // A width lost from the file keeps the designed one rather than 0.
    place.width = width > 0 ? width : design.width;
  }
  const std::vector<Monitor> monitors = ui.monitors();
  if (!monitors.empty()) {
    // A stored size larger than the screen (a damaged file, a monitor that
    // is gone) would make a window the system cannot map; a place whose
    // title bar is on no monitor would leave it out of reach.
    bool apart = false;
    const Rect& work = home_of(place, monitors, apart);
    place.width = std::clamp(place.width, std::min(kMinWidth, work.width), work.width);
    place.height = std::clamp(place.height, std::min(kMinHeight, work.height), work.height);
    if (apart) {
      // On no monitor at all (one that is gone): the middle of the primary.
      place.left = work.left + (work.width - place.width) / 2;
      place.top = work.top + (work.height - place.height) / 2;
    } else if (!title_bar_on(place, work)) {
      const int enough = std::min(100, place.width);
      place.top = std::clamp(place.top, work.top, work.top + work.height - kTitleBarHeight);
      place.left =
          std::clamp(place.left, work.left - place.width + enough, work.left + work.width - enough);
    }
  }
  if (height > 0) {
    ui.set(Form::Main, kSelf, Property::Height, place.height);
    ui.set(Form::Main, kSelf, Property::Width, place.width);
  }
  ui.set(Form::Main, kSelf, Property::Top, place.top);
  ui.set(Form::Main, kSelf, Property::Left, place.left);
}

void Client::create_join() {
  s_.ui.set_text(Form::Join, names().join_number, TextProperty::Text, server_number_);
  s_.ui.set_text(Form::Join, names().join_login_path, TextProperty::Text,
                 s_.settings.read(kKeyLoginPath));
}

bool Client::on_close_request(Form form) {
  Ui& ui = s_.ui;
  if (form == Form::Main) {
    ui.set(Form::Main, kSelf, Property::Visible, 0);
    ui.set(Form::Main, kSelf, Property::TopMost, 0);
    return false;
  }
  if (form == Form::Notice) {
    ui.set(Form::Notice, kSelf, Property::Visible, 0);
    return false;
  }
  // Closing the join window of an unbound client closes the only window:
  // the program ends rather than lingering without a window or tray icon.
  if (!ui.exists(Form::Main)) ui.quit();
  return true;
}

void Client::on_may_close(Form form) {
  if (form == Form::Main) end_session();
}

void Client::end_session() {
  show_tray(TrayPicture::None, {});
  s_.process.force_exit();
}

void Client::on_moved(Form form) {
  if (form != Form::Main) return;
  const int state = s_.ui.get(Form::Main, kSelf, Property::State);
  if (state == kStateMinimised) return;
  s_.settings.write(kKeyState, decimal(state));
  s_.settings.write(kKeyTop, decimal(s_.ui.get(Form::Main, kSelf, Property::Top)));
  s_.settings.write(kKeyLeft, decimal(s_.ui.get(Form::Main, kSelf, Property::Left)));
}

void Client::on_resized(Form form) {
  if (form != Form::Main) return;
  Ui& ui = s_.ui;
  const int width = ui.get(Form::Main, kSelf, Property::Width);
  const int height = ui.get(Form::Main, kSelf, Property::Height);
  const Text& board = names().board;
  ui.set(Form::Main, board, Property::Left, 0);
  ui.set(Form::Main, board, Property::Top, 0);
  ui.set(Form::Main, board, Property::Width, width - 5);
  ui.set(Form::Main, board, Property::Height, height - 5);
  s_.view.set_bounds({ui.get(Form::Main, board, Property::Left),
                      ui.get(Form::Main, board, Property::Top),
                      ui.get(Form::Main, board, Property::Width),
                      ui.get(Form::Main, board, Property::Height) - 30});
  downloads_.lay_out(ui.get(Form::Main, board, Property::Height));
  find_bar_.lay_out(ui.get(Form::Main, board, Property::Height));
  s_.settings.write(kKeyWidth, decimal(width));
  s_.settings.write(kKeyHeight, decimal(height));
}

void Client::on_focus(Form form) {
  if (form != Form::Main) return;
  s_.ui.set(Form::Main, kSelf, Property::TopMost, 0);
  attention_.activated();
}

void Client::on_timer(Form form, std::string_view control) {
  if (form == Form::Main && control == names().main_timer) {
    show_first_tray();
    load_notice_window();
    tray_blink();
    guard_.tick();
    attention_.tick(unread_count_);
    // The quiet is over and messages still wait: the notice now.
    if (!attention_.quiet() && (unread_count_ > 0 || notice_.announcement_held_back())) {
      notice_.show_held_back();
    }
  }
  if (form == Form::Notice && control == names().notice_timer) notice_.tick();
}

void Client::on_press(Form form, std::string_view control) {
  if (form == Form::Notice && control == names().notice_reply) notice_.hold();
}

void Client::on_double_click(Form form, std::string_view control) {
  if (form == Form::Notice && control == names().notice_content) show_main();
}

void Client::on_key(Form form, std::string_view control, int code) {
  if (form == Form::Notice && control == names().notice_reply) notice_.key(code);
  if (form == Form::Main && control == names().find_box) {
    find_bar_.key(code);
    if (!find_bar_.is_open()) downloads_.restore_strip();
  }
}

// The site's own notification: the desktop's service where there is one
// (its click brings the client forward), else the client's notice; held
// back, as the notices are, while the desktop asks for quiet.
void Client::notify(const PageNotification& notification) {
  if (attention_.quiet()) {
    notice_.announce(notification.title, notification.body);
    return;
  }
  if (s_.desktop != nullptr && s_.desktop->show_notification(notification.title, notification.body)) {
    return;
  }
  notice_.announce(notification.title, notification.body);
}

void Client::zoom(int direction) {
  int next = 100;
  if (direction > 0) {
    next = kZoomLevels.back();
    for (const int level : kZoomLevels) {
      if (level > zoom_) {
        next = level;
        break;
      }
    }
  } else if (direction < 0) {
    next = kZoomLevels.front();
    for (const int level : kZoomLevels) {
      if (level < zoom_) next = level;
    }
  }
  if (next == zoom_) return;
  zoom_ = next;
  s_.view.set_zoom(zoom_);
  s_.settings.write(kKeyZoom, decimal(zoom_));
}

void Client::carry_out(ViewCommand command, std::string_view address) {
  switch (command) {
    case ViewCommand::ZoomIn:
      zoom(1);
      break;
    case ViewCommand::ZoomOut:
      zoom(-1);
      break;
    case ViewCommand::ZoomReset:
      zoom(0);
      break;
    case ViewCommand::Find:
      downloads_.hide_strip();
      find_bar_.open();
      break;
    case ViewCommand::Print:
      s_.view.print();
      break;
    case ViewCommand::Reload:
      s_.view.reload();
      break;
    case ViewCommand::OpenInBrowser:
      s_.log.line("a link opened in the browser at the agent's request: " + Text(address));
      if (s_.desktop == nullptr || !s_.desktop->open_on_desktop(address)) {
        s_.log.line("no program of the desktop took the address");
      }
      break;
  }
}

void Client::start_screenshot_tool() {
  constexpr std::int64_t kAtMostEveryMs = 2000;
  const std::int64_t now = s_.clock.now_ms();
  if (screenshot_started_ &&
      (now - screenshot_at_ < kAtMostEveryMs || s_.process.running(screenshot_id_))) {
    return;
  }
  screenshot_started_ = true;
  screenshot_at_ = now;
  screenshot_id_ = s_.process.launch(s_.process.screenshot_tool());
}

void Client::tray_blink() {
  ++tick_counter_;
  update_tray_attention();
  if (unread_count_ <= 0) return;
  show_tray(tick_counter_ % 2 == 1 ? TrayPicture::WindowIcon : TrayPicture::Alternate,
            s_.ui.get_text(Form::Main, kSelf, TextProperty::Caption));
}

void Client::on_click(Form form, std::string_view control) {
  if (form == Form::Join && control == names().join_button) join_server();
  if (form == Form::Main) {
    downloads_.on_click(control);
    find_bar_.click(control);
  }
}

void Client::on_tray(int kind) {
  if (kind == kTrayLeftUp || kind == kTrayDoubleClick) {
    show_main();
  } else if (kind == kTrayRightUp) {
    const Point at = s_.ui.pointer();
    s_.ui.popup_tray_menu({at.x + 3, at.y + 3});
  }
}

void Client::on_menu(int item) {
  switch (item) {
    case kConfigure:
      // One join window: a further 服务器配置 brings the open one forward.
      if (s_.ui.exists(Form::Join)) {
        s_.ui.set(Form::Join, kSelf, Property::Visible, 1);
        s_.ui.focus(Form::Join);
      } else {
        s_.ui.load(Form::Join, true);
      }
      break;
    case kRefresh:
      s_.view.reload();
      break;
    case kClearAlert:
      unread_count_ = 0;
      break;
    case kShow:
      show_main();
      break;
    case kExit:
      exit_from_tray();
      break;
    case kSound:
      attention_.set_sound(!attention_.sound_on());
      s_.ui.set_menu_check(kSound, attention_.sound_on());
      break;
    case kWithSession:
      if (s_.desktop != nullptr) {
        const bool wanted = !s_.desktop->starts_with_session();
        const bool done = s_.desktop->set_starts_with_session(wanted);
        // The check shows what is so, also when the menu flipped it itself.
        s_.ui.set_menu_check(kWithSession, s_.desktop->starts_with_session());
        if (!done) {
          s_.log.line("the session's start entry could not be " +
                      Text(wanted ? "written: " : "removed: ") + s_.desktop->session_entry());
          s_.timed_messages.show_timed_message({texts().session_entry_failed +
                                                s_.desktop->session_entry()});
        }
      }
      break;
    default:
      break;
  }
}

void Client::on_network_changed() {
  if (s_.ui.exists(Form::Main)) guard_.network_changed();
}

void Client::on_resumed() {
  if (s_.ui.exists(Form::Main)) guard_.resumed();
}

void Client::show_main() {
  Ui& ui = s_.ui;
  if (!ui.exists(Form::Main)) return;
  const bool hidden = ui.get(Form::Main, kSelf, Property::Visible) == 0;
  if (!hidden && ui.get(Form::Main, kSelf, Property::State) != kStateMinimised) return;
  // On top once, so it comes to the front; the focus handler clears it.
  ui.set(Form::Main, kSelf, Property::TopMost, 1);
  ui.set(Form::Main, kSelf, Property::Visible, 1);
  ui.focus(Form::Main);
  ui.set(Form::Main, kSelf, Property::State, key_int(kKeyState));
}

void Client::bring_forward() {
  Ui& ui = s_.ui;
  const Form form = ui.exists(Form::Join) ? Form::Join : Form::Main;
  if (!ui.exists(form)) return;
  // Hidden or minimised, the main window comes back as the tray brings it.
  if (form == Form::Main) show_main();
  ui.set(form, kSelf, Property::Visible, 1);
  ui.focus(form);
}

void Client::exit_from_tray() {
  Ui& ui = s_.ui;
  if (confirming_exit_) {
    ui.raise_message_box();
    return;
  }
  ui.set(Form::Main, kSelf, Property::TopMost, 0);
  const Text question =
      texts().confirm_exit + ui.get_text(Form::Main, kSelf, TextProperty::Caption) + "?";
  confirming_exit_ = true;
  const int answer = ui.message_box(question, names().info_caption, Buttons::OkCancel);
  confirming_exit_ = false;
  if (answer != kAnswerOk) return;
  s_.view.close();
  show_tray(TrayPicture::None, {});
  s_.process.force_exit();
}

void Client::join_server() {
  Ui& ui = s_.ui;
  const bool rejoin = ui.exists(Form::Main);
  const Text previous_login_key = s_.settings.read(kKeyLoginPath);
  const Text previous_number_key = s_.settings.read(kKeyNumber);
  const Text previous_login_path = login_path_;
  const Text previous_number = server_number_;

  login_path_ = ui.get_text(Form::Join, names().join_login_path, TextProperty::Text);
  s_.settings.write(kKeyLoginPath, login_path_);
  const Text number = ui.get_text(Form::Join, names().join_number, TextProperty::Text);
  if (number.empty()) {
    ui.message_box(texts().enter_number, names().info_caption, Buttons::Ok);
    return;
  }
  server_number_ = number;
  if (!s_.settings.write(kKeyNumber, server_number_)) {
    // The binding holds for this run only: the agent must know why the
    // next start asks again.
    ui.message_box(texts().settings_unwritable + s_.settings.location(), names().info_caption,
                   Buttons::Ok);
  }

  Text status;
  const Text answer = s_.http_get(lookup_url(s_.directory_address, server_number_), status);
  const DirectoryAnswer decoded = decode_directory_answer(answer);
  if (decoded.accepted()) {
    site_address_ = decoded.site_address;
    s_.settings.write(kKeyAnswer, answer);
    if (!rejoin) {
      ui.load(Form::Main, false);
    } else if (!s_.process.restart(0)) {
      ui.message_box(texts().restart_by_hand, names().info_caption, Buttons::Ok);
    }
    ui.destroy(Form::Join);
    return;
  }
  // A refusal shows its own text; no answer at all is said so, naming the
  // failure.
  if (decoded.verdict != AnswerVerdict::Empty) {
    s_.timed_messages.show_timed_message({refusal_text(decoded)});
  } else {
    ui.message_box(texts().no_directory + (status.empty() ? Text() : "\n" + status),
                   names().info_caption, Buttons::Ok);
  }
  if (rejoin) {
    // The running binding stays, and so does what the next start opens.
    s_.settings.write(kKeyLoginPath, previous_login_key);
    s_.settings.write(kKeyNumber, previous_number_key);
    login_path_ = previous_login_path;
    server_number_ = previous_number;
    ui.destroy(Form::Join);
  }
  // Unbound: the join window stays open for another try.
}

}  // namespace quorvel::app
