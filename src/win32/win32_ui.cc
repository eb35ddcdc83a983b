#include "win32/win32_ui.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "app/forms.h"
#include "base/proc_address-win32.h"
#include "base/wide-win32.h"
#include "base/yield.h"
#include "win32/resource_ids.h"

// Exported by user32 on every supported system but declared in no header.
extern "C" int WINAPI MessageBoxTimeoutW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type,
                                         WORD language, DWORD timeout_ms);

namespace quorvel::win32 {

using app::Form;
using app::Property;
using app::TextProperty;

namespace {

constexpr wchar_t kFormClass[] = L"QuorvelForm";
constexpr wchar_t kBoardClass[] = L"QuorvelBoard";
constexpr const wchar_t* kTrayClass = kTrayWindowClass;
constexpr UINT kTrayMessage = WM_APP + 1;
constexpr UINT kNetworkChanged = WM_APP + 2;
constexpr UINT kTrayId = 1;
constexpr int kFirstControlId = 100;
constexpr int kTimedOut = 32000;

// The monitor-aware calls, looked up at run time: older systems lack them.
template <typename F>
F user32(const char* name) {
  return proc_address<F>(GetModuleHandleW(L"user32.dll"), name);
}

UINT dpi_of(HWND window) {
  static const auto for_window = user32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  static const auto for_system = user32<UINT(WINAPI*)()>("GetDpiForSystem");
  UINT dpi = window != nullptr && for_window != nullptr ? for_window(window) : 0;
  if (dpi == 0 && for_system != nullptr) dpi = for_system();
  return dpi == 0 ? USER_DEFAULT_SCREEN_DPI : dpi;
}

int to_screen(HWND window, int logical) {
  return MulDiv(logical, static_cast<int>(dpi_of(window)), USER_DEFAULT_SCREEN_DPI);
}

int to_logical(HWND window, int pixels) {
  return MulDiv(pixels, USER_DEFAULT_SCREEN_DPI, static_cast<int>(dpi_of(window)));
}

std::wstring window_text(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

HFONT make_font(int pixels, int weight, const wchar_t* face) {
  return CreateFontW(-pixels, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH,
                     face);
}

// A visible top-level window of this process, searched for at most 1000 ms;
// pending messages run after each window passed over that is visible.
HWND find_owner() {
  const DWORD start = GetTickCount();
  HWND window = nullptr;
  while ((window = FindWindowExW(nullptr, window, nullptr, nullptr)) != nullptr) {
    if (GetTickCount() - start > 1000) return nullptr;
    if (!IsWindowVisible(window)) continue;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && GetParent(window) == nullptr) return window;
    yield_to_ui();
  }
  return nullptr;
}

// The self-closing boxes this thread shows, innermost last: each one's
// fallback timer and the box it ends. The box is caught by a hook as it is
// created, so that the timer never ends another dialog of the thread (a
// confirmation opened from the tray while the box waits stays open).
struct TimedBox {
  UINT_PTR timer = 0;
  HWND box = nullptr;
  HHOOK hook = nullptr;
};
thread_local std::vector<TimedBox> timed_boxes;

bool is_dialog(HWND window) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  return std::wstring_view(name) == L"#32770";
}

LRESULT CALLBACK catch_timed_box(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_CREATEWND && !timed_boxes.empty()) {
    TimedBox& last = timed_boxes.back();
    const HWND window = reinterpret_cast<HWND>(wparam);
    if (last.box == nullptr && last.hook != nullptr && is_dialog(window)) {
      last.box = window;
      UnhookWindowsHookEx(last.hook);
      last.hook = nullptr;
    }
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

// Ends the box whose own timeout was ignored, and that box only.
void CALLBACK close_timed_box(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  for (const TimedBox& entry : timed_boxes) {
    if (entry.timer == timer && entry.box != nullptr && IsWindow(entry.box)) {
      EndDialog(entry.box, kTimedOut);
    }
  }
}

}  // namespace

struct Win32Ui::Control : app::ControlEntry {
  HWND window = nullptr;  // null for a timer
  int id = 0;
  app::Rect offset;  // the container's place when it is a group box
};

struct Win32Ui::FormState : app::FormEntry {
  HWND window = nullptr;
  std::map<int, Control*> by_id;
  bool created = false;  // events are reported once the creation handler ran
  bool modal = false;
  Win32Ui* owner = nullptr;
};

namespace {

// An activated form gives the keys to its first box, unless one of its
// controls has them already: the agent can type at once.
void focus_first_box(const Win32Ui::FormState& f) {
  const HWND focused = GetFocus();
  if (focused != nullptr && IsChild(f.window, focused)) return;
  for (const auto& [id, c] : f.by_id) {
    if (c->window != nullptr && (GetWindowLongPtrW(c->window, GWL_STYLE) & WS_TABSTOP) != 0) {
      SetFocus(c->window);
      return;
    }
  }
}

}  // namespace

// The window procedures, turned into the client's events.
struct WindowProcedures {
  static Win32Ui::FormState* form_of(HWND window) {
    return reinterpret_cast<Win32Ui::FormState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  }

  static LRESULT CALLBACK form(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(l);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    Win32Ui::FormState* f = form_of(window);
    app::UiEvents* client = f != nullptr && f->created ? f->owner->events() : nullptr;
    if (f == nullptr) return DefWindowProcW(window, message, w, l);
    switch (message) {
      case WM_CLOSE:
        if (client != nullptr && !client->on_close_request(f->form)) return 0;
        f->owner->destroy(f->form);
        return 0;
      case WM_QUERYENDSESSION:
        if (client != nullptr) client->on_may_close(f->form);
        return TRUE;
      case WM_MOVE:
        if (client != nullptr && f->state != app::WindowState::Minimised) client->on_moved(f->form);
        return 0;
      case WM_SIZE: {
        const app::WindowState state = w == SIZE_MINIMIZED   ? app::WindowState::Minimised
                                       : w == SIZE_MAXIMIZED ? app::WindowState::Maximised
                                                             : app::WindowState::Normal;
        const bool changed = state != f->state;
        f->state = state;
        if (client == nullptr || state == app::WindowState::Minimised) return 0;
        client->on_resized(f->form);
        // A restore or a maximise moves the window as far as the handlers
        // are concerned: they store the new state with the place.
        if (changed) client->on_moved(f->form);
        return 0;
      }
      case WM_ACTIVATE:
        if (LOWORD(w) == WA_INACTIVE) break;
        focus_first_box(*f);
        if (client != nullptr) client->on_focus(f->form);
        break;
      case WM_TIMER:
        if (client != nullptr && f->by_id.count(static_cast<int>(w))) {
          client->on_timer(f->form, f->by_id[static_cast<int>(w)]->design.name);
        }
        return 0;
      case WM_COMMAND: {
        const auto found = f->by_id.find(LOWORD(w));
        if (client == nullptr || found == f->by_id.end()) break;
        const Text& name = found->second->design.name;
        if (found->second->design.kind == app::ControlKind::Button && HIWORD(w) == BN_CLICKED) {
          client->on_click(f->form, name);
        } else if (HIWORD(w) == STN_DBLCLK && l != 0 &&
                   found->second->design.kind == app::ControlKind::ContentLabel) {
          client->on_double_click(f->form, name);
        }
        return 0;
      }
      case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(l);
        SetWindowPos(window, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        for (auto& c : f->controls) f->owner->place_control(*f, *c);
        return 0;
      }
      default:
        break;
    }
    return DefWindowProcW(window, message, w, l);
  }

  // Enter in an edit box is its key 13, any other key its virtual-key code;
  // a press marks the box.
  static LRESULT CALLBACK edit(HWND window, UINT message, WPARAM w, LPARAM l, UINT_PTR,
                               DWORD_PTR data) {
    auto* c = reinterpret_cast<Win32Ui::Control*>(data);
    Win32Ui::FormState* f = form_of(GetAncestor(window, GA_ROOT));
    app::UiEvents* client = f != nullptr && f->created ? f->owner->events() : nullptr;
    if (message == WM_CHAR && w == '\r') return 0;  // no beep
    if (client != nullptr && message == WM_KEYDOWN && w == VK_RETURN) {
      client->on_key(f->form, c->design.name, 13);
      return 0;
    }
    if (client != nullptr && message == WM_KEYDOWN) {
      client->on_key(f->form, c->design.name, static_cast<int>(w));
    }
    if (client != nullptr && message == WM_LBUTTONDOWN) client->on_press(f->form, c->design.name);
    return DefSubclassProc(window, message, w, l);
  }

  static LRESULT CALLBACK tray(HWND window, UINT message, WPARAM w, LPARAM l) {
    static const UINT taskbar_created = RegisterWindowMessageW(L"TaskbarCreated");
    auto* ui = reinterpret_cast<Win32Ui*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (ui != nullptr && message == kTrayMessage) {
      ui->tray_message(l);
      return 0;
    }
    // The system's news for the console's recovery. A resume is announced
    // once as "automatic", whether or not someone is at the machine.
    if (ui != nullptr && message == kNetworkChanged) {
      if (ui->news_) ui->news_->watch_again();
      if (ui->events() != nullptr) ui->events()->on_network_changed();
      return 0;
    }
    if (ui != nullptr && message == kBringForwardMessage) {
      if (ui->bring_forward_) ui->bring_forward_();
      return 0;
    }
    if (ui != nullptr && message == WM_POWERBROADCAST && w == PBT_APMRESUMEAUTOMATIC) {
      if (ui->events() != nullptr) ui->events()->on_resumed();
      return TRUE;
    }
    // Explorer restarted: the icon must be added again.
    if (ui != nullptr && message == taskbar_created && ui->tray_shown_) {
      ui->tray_shown_ = false;
      ui->set_tray(ui->tray_picture_, ui->tray_tip_);
      return 0;
    }
    return DefWindowProcW(window, message, w, l);
  }
};

Win32Ui::Win32Ui(HINSTANCE instance) : instance_(instance) {
  const auto aware = user32<BOOL(WINAPI*)(HANDLE)>("SetProcessDpiAwarenessContext");
  if (aware != nullptr) aware(reinterpret_cast<HANDLE>(-4));  // per monitor, version 2
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  window_icon_ = LoadIconW(instance_, MAKEINTRESOURCEW(kIconWindow));
  alert_icon_ = LoadIconW(instance_, MAKEINTRESOURCEW(kIconAlert));
  // The notification area shows small icons: the size drawn for this
  // scale (20 px at 125 %, 24 at 150 %...), not one scaled down from 32.
  const auto metrics_for = user32<int(WINAPI*)(int, UINT)>("GetSystemMetricsForDpi");
  const int small = metrics_for != nullptr ? metrics_for(SM_CXSMICON, dpi_of(nullptr))
                                           : GetSystemMetrics(SM_CXSMICON);
  tray_icon_.reset(static_cast<HICON>(
      LoadImageW(instance_, MAKEINTRESOURCEW(kIconWindow), IMAGE_ICON, small, small, 0)));
  tray_alert_icon_.reset(static_cast<HICON>(
      LoadImageW(instance_, MAKEINTRESOURCEW(kIconAlert), IMAGE_ICON, small, small, 0)));
  WNDCLASSEXW form_class{};
  form_class.cbSize = sizeof form_class;
  form_class.lpfnWndProc = WindowProcedures::form;
  form_class.hInstance = instance_;
  form_class.hIcon = window_icon_;
  form_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  form_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  form_class.lpszClassName = kFormClass;
  RegisterClassExW(&form_class);
  WNDCLASSEXW board_class{};
  board_class.cbSize = sizeof board_class;
  board_class.lpfnWndProc = DefWindowProcW;
  board_class.hInstance = instance_;
  board_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  board_class.lpszClassName = kBoardClass;
  RegisterClassExW(&board_class);
  WNDCLASSEXW tray_class{};
  tray_class.cbSize = sizeof tray_class;
  tray_class.lpfnWndProc = WindowProcedures::tray;
  tray_class.hInstance = instance_;
  tray_class.lpszClassName = kTrayClass;
  RegisterClassExW(&tray_class);
  // A hidden top-level window, not a message-only one: only top-level
  // windows hear that the taskbar was created again.
  tray_window_ = CreateWindowExW(0, kTrayClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 instance_, nullptr);
  SetWindowLongPtrW(tray_window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

  const int scale = static_cast<int>(dpi_of(nullptr));
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  font_.reset(CreateFontIndirectW(&metrics.lfMessageFont));
  bold_font_.reset(make_font(MulDiv(16, scale, 96), FW_BOLD, metrics.lfMessageFont.lfFaceName));
  content_font_.reset(make_font(MulDiv(14, scale, 96), FW_NORMAL, L"SimSun"));
}

Win32Ui::~Win32Ui() {
  set_tray(app::TrayPicture::None, {});
  while (!form_entries().empty()) destroy(form_entries().begin()->first);
  if (tray_window_ != nullptr) DestroyWindow(tray_window_);
}

void Win32Ui::run_pending_messages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void Win32Ui::watch_system_news() {
  news_ = std::make_unique<SystemNews>(tray_window_, kNetworkChanged);
}

// Escape closes a form, as its close box would, in the main loop and in a
// modal form's loop alike; true when the key was taken for that.
bool Win32Ui::escape_closes(const MSG& message) {
  if (message.message != WM_KEYDOWN || message.wParam != VK_ESCAPE) return false;
  HWND root = GetAncestor(message.hwnd, GA_ROOT);
  if (root == nullptr || WindowProcedures::form_of(root) == nullptr) return false;
  PostMessageW(root, WM_CLOSE, 0, 0);
  return true;
}

void Win32Ui::run() {
  if (quit_requested_) return;
  running_ = true;
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (escape_closes(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  running_ = false;
}

void Win32Ui::quit() {
  quit_requested_ = true;
  PostQuitMessage(0);
}

Win32Ui::FormState* Win32Ui::state(Form form) const {
  return static_cast<FormState*>(form_entry(form));
}

std::unique_ptr<app::FormEntry> Win32Ui::new_form() {
  return std::make_unique<FormState>();
}

std::unique_ptr<app::ControlEntry> Win32Ui::new_control() {
  return std::make_unique<Control>();
}

void Win32Ui::place_control(app::FormEntry& form, app::ControlEntry& control) {
  auto& f = static_cast<FormState&>(form);
  auto& c = static_cast<Control&>(control);
  if (c.window == nullptr) return;
  const HWND w = f.window;
  SetWindowPos(c.window, nullptr, to_screen(w, c.offset.left + c.rect.left),
               to_screen(w, c.offset.top + c.rect.top), to_screen(w, std::max(c.rect.width, 1)),
               to_screen(w, std::max(c.rect.height, 1)), SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Ui::build_control(FormState& f, Control& c) {
  const app::ControlDesign& d = c.design;
  if (!d.container.empty()) {
    if (const auto* container = static_cast<const Control*>(f.control(d.container))) {
      c.offset = {container->offset.left + container->rect.left,
                  container->offset.top + container->rect.top, 0, 0};
    }
  }
  const std::wstring text = wide(d.text);
  const auto menu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id));
  const DWORD child = WS_CHILD | WS_VISIBLE;
  HFONT font = font_.get();
  switch (d.kind) {
    case app::ControlKind::Timer:
      SetTimer(f.window, static_cast<UINT_PTR>(c.id), static_cast<UINT>(d.interval_ms), nullptr);
      break;
    case app::ControlKind::Board:
      c.window = CreateWindowExW(0, kBoardClass, L"", child | WS_CLIPCHILDREN, 0, 0, 1, 1, f.window,
                                 menu, instance_, nullptr);
      break;
    case app::ControlKind::Edit:
      c.window = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", text.c_str(),
                                 child | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 1, 1, f.window, menu,
                                 instance_, nullptr);
      SetWindowSubclass(c.window, WindowProcedures::edit, 1, reinterpret_cast<DWORD_PTR>(&c));
      break;
    case app::ControlKind::Button:
      c.window = CreateWindowExW(0, L"BUTTON", text.c_str(), child | WS_TABSTOP | BS_PUSHBUTTON, 0,
                                 0, 1, 1, f.window, menu, instance_, nullptr);
      break;
    case app::ControlKind::GroupBox:
      c.window = CreateWindowExW(0, L"BUTTON", text.c_str(), child | BS_GROUPBOX, 0, 0, 1, 1,
                                 f.window, menu, instance_, nullptr);
      break;
    default:
      if (d.kind == app::ControlKind::BoldLabel) font = bold_font_.get();
      if (d.kind == app::ControlKind::ContentLabel) font = content_font_.get();
      // SS_NOTIFY: the label reports its clicks and double clicks.
      c.window = CreateWindowExW(0, L"STATIC", text.c_str(), child | SS_NOTIFY, 0, 0, 1, 1,
                                 f.window, menu, instance_, nullptr);
      break;
  }
  if (c.window != nullptr) {
    SendMessageW(c.window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    place_control(f, c);
  }
  f.by_id[c.id] = &c;
}

void Win32Ui::build_form(Form form) {
  const app::FormDesign& d = app::form_design(form);
  auto& f = static_cast<FormState&>(add_form(form));
  f.owner = this;
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  // The web view's host must not be painted over; a group box, which
  // paints no background of its own, needs the form to paint beneath it.
  if (form == Form::Main) style |= WS_CLIPCHILDREN;
  if (d.resizable) style |= WS_THICKFRAME;
  if (d.maximize_box) style |= WS_MAXIMIZEBOX;
  DWORD ex_style = 0;
  if (form == Form::Notice) {
    style &= ~static_cast<DWORD>(WS_MINIMIZEBOX);
    ex_style |= WS_EX_TOOLWINDOW;
  }
  f.window = CreateWindowExW(ex_style, kFormClass, wide(d.caption).c_str(), style, CW_USEDEFAULT,
                             CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance_, &f);
  // The designed client size, centred on the primary monitor's work area.
  RECT frame{0, 0, to_screen(f.window, d.rect.width), to_screen(f.window, d.rect.height)};
  AdjustWindowRectEx(&frame, style, FALSE, ex_style);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  SetWindowPos(f.window, nullptr, work.left + (work.right - work.left - width) / 2,
               work.top + (work.bottom - work.top - height) / 2, width, height,
               SWP_NOZORDER | SWP_NOACTIVATE);
  int next_id = kFirstControlId;
  for (auto& c : f.controls) {
    auto& control = static_cast<Control&>(*c);
    control.id = next_id++;
    build_control(f, control);
  }
}

void Win32Ui::load(Form form, bool modal) {
  if (exists(form)) return;
  build_form(form);
  FormState& f = *state(form);
  f.modal = modal;
  FormState* main = form != Form::Main ? state(Form::Main) : nullptr;
  if (modal && main != nullptr) EnableWindow(main->window, FALSE);
  f.created = true;
  // Placed by its creation handler before it shows, so that it never shows
  // at its designed size first.
  if (events() != nullptr) events()->on_created(form);
  if (!exists(form)) return;
  if (app::form_design(form).visible_at_load) {
    // The notice never takes the activation from the agent's work.
    ShowWindow(f.window, form == Form::Notice ? SW_SHOWNOACTIVATE : SW_SHOW);
  }
  if (!modal) return;
  // A modal form holds its caller until it is destroyed.
  MSG message{};
  while (exists(form) && GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (escape_closes(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  // The quit the modal loop took is the main loop's.
  if (message.message == WM_QUIT) PostQuitMessage(static_cast<int>(message.wParam));
}

void Win32Ui::destroy(Form form) {
  std::unique_ptr<app::FormEntry> entry = take_form(form);
  if (!entry) return;
  auto& f = static_cast<FormState&>(*entry);
  if (f.modal) {
    if (FormState* main = state(Form::Main)) EnableWindow(main->window, TRUE);
  }
  SetWindowLongPtrW(f.window, GWLP_USERDATA, 0);
  DestroyWindow(f.window);
}

int Win32Ui::form_property(const app::FormEntry& entry, Property p) const {
  const HWND w = static_cast<const FormState&>(entry).window;
  RECT r{};
  switch (p) {
    case Property::Visible:
      return IsWindowVisible(w) ? 1 : 0;
    case Property::Left:
    case Property::Top:
      GetWindowRect(w, &r);
      return to_logical(w, p == Property::Left ? r.left : r.top);
    case Property::Width:
    case Property::Height:
      GetClientRect(w, &r);
      return to_logical(w, p == Property::Width ? r.right : r.bottom);
    default:
      return 0;
  }
}

void Win32Ui::set_form_property(app::FormEntry& entry, Property p, int value) {
  auto& f = static_cast<FormState&>(entry);
  HWND w = f.window;
  RECT r{};
  GetWindowRect(w, &r);
  switch (p) {
    case Property::Visible:
      // The notice must not take the focus from the agent's work.
      ShowWindow(w, value == 0 ? SW_HIDE : f.form == Form::Notice ? SW_SHOWNOACTIVATE : SW_SHOW);
      break;
    case Property::TopMost:
      SetWindowPos(w, f.top_most ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      break;
    case Property::State:
      ShowWindow(w, value == static_cast<int>(app::WindowState::Minimised)   ? SW_MINIMIZE
                    : value == static_cast<int>(app::WindowState::Maximised) ? SW_MAXIMIZE
                                                                             : SW_RESTORE);
      break;
    case Property::Left:
    case Property::Top: {
      const int x = p == Property::Left ? to_screen(w, value) : r.left;
      const int y = p == Property::Top ? to_screen(w, value) : r.top;
      SetWindowPos(w, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      break;
    }
    case Property::Width:
    case Property::Height: {
      RECT client{};
      GetClientRect(w, &client);
      if (p == Property::Width) client.right = to_screen(w, std::max(value, 1));
      if (p == Property::Height) client.bottom = to_screen(w, std::max(value, 1));
      AdjustWindowRectEx(&client, static_cast<DWORD>(GetWindowLongPtrW(w, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(GetWindowLongPtrW(w, GWL_EXSTYLE)));
      SetWindowPos(w, nullptr, 0, 0, client.right - client.left, client.bottom - client.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      break;
    }
  }
}

bool Win32Ui::control_visible(const app::ControlEntry& entry) const {
  const HWND w = static_cast<const Control&>(entry).window;
  return w != nullptr && IsWindowVisible(w);
}

void Win32Ui::set_control_visible(app::FormEntry&, app::ControlEntry& entry, bool visible) {
  const HWND w = static_cast<Control&>(entry).window;
  if (w != nullptr) ShowWindow(w, visible ? SW_SHOWNA : SW_HIDE);
}

Text Win32Ui::native_text(const app::FormEntry& entry, const app::ControlEntry* control) const {
  const HWND w = control == nullptr ? static_cast<const FormState&>(entry).window
                                    : static_cast<const Control*>(control)->window;
  return w == nullptr ? Text() : narrow(window_text(w));
}

void Win32Ui::set_native_text(app::FormEntry& entry, app::ControlEntry* control,
                              std::string_view value) {
  const HWND w = control == nullptr ? static_cast<FormState&>(entry).window
                                    : static_cast<Control*>(control)->window;
  if (w != nullptr) SetWindowTextW(w, wide(value).c_str());
}

std::intptr_t Win32Ui::native_widget(const app::ControlEntry& entry) const {
  return reinterpret_cast<std::intptr_t>(static_cast<const Control&>(entry).window);
}

void Win32Ui::focus(Form form) {
  if (FormState* f = state(form)) {
    if (IsIconic(f->window)) ShowWindow(f->window, SW_RESTORE);
    SetForegroundWindow(f->window);
  }
}

void Win32Ui::set_tray(app::TrayPicture picture, std::string_view tip) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = tray_window_;
  data.uID = kTrayId;
  if (picture == app::TrayPicture::None) {
    if (tray_shown_) Shell_NotifyIconW(NIM_DELETE, &data);
    tray_shown_ = false;
    tray_picture_ = picture;
    return;
  }
  tray_picture_ = picture;
  tray_tip_ = Text(tip);
  data.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
  data.uCallbackMessage = kTrayMessage;
  const HICON icon = picture == app::TrayPicture::Alternate ? tray_alert_icon_.get() : tray_icon_.get();
  data.hIcon = icon != nullptr ? icon
               : picture == app::TrayPicture::Alternate ? alert_icon_
                                                         : window_icon_;
  const std::wstring wide_tip = wide(tip).substr(0, std::size(data.szTip) - 1);
  std::copy(wide_tip.begin(), wide_tip.end(), data.szTip);
  if (tray_shown_ && Shell_NotifyIconW(NIM_MODIFY, &data)) return;
  tray_shown_ = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

void Win32Ui::tray_message(LPARAM event) {
  if (events() == nullptr) return;
  switch (LOWORD(event)) {
    case WM_LBUTTONUP:
      events()->on_tray(app::kTrayLeftUp);
      break;
    case WM_LBUTTONDBLCLK:
      events()->on_tray(app::kTrayDoubleClick);
      break;
    case WM_RBUTTONUP:
      events()->on_tray(app::kTrayRightUp);
      break;
    default:
      break;
  }
}

void Win32Ui::popup_tray_menu(app::Point at) {
  HMENU menu = CreatePopupMenu();
  const auto& items = app::form_design(Form::Main).menu;
  for (std::size_t i = 0; i < items.size(); ++i) {
    AppendMenuW(menu, MF_STRING, i + 1, wide(items[i]).c_str());
  }
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  const auto& checks = app::form_design(Form::Main).menu_checks;
  for (std::size_t i = 0; i < checks.size(); ++i) {
    const int item = static_cast<int>(items.size() + i);
    const UINT checked = menu_checks_[item] ? MF_CHECKED : MF_UNCHECKED;
    AppendMenuW(menu, MF_STRING | checked, item + 1, wide(checks[i]).c_str());
  }
  // The menu closes when the user clicks elsewhere only if its owner is
  // in the foreground.
  SetForegroundWindow(tray_window_);
  const int chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, to_screen(nullptr, at.x),
                                    to_screen(nullptr, at.y), 0, tray_window_, nullptr);
  PostMessageW(tray_window_, WM_NULL, 0, 0);
  DestroyMenu(menu);
  if (chosen > 0 && events() != nullptr) events()->on_menu(chosen - 1);
}

void Win32Ui::set_menu_check(int item, bool checked) {
  menu_checks_[item] = checked;
}

void Win32Ui::set_urgent(Form form, bool urgent) {
  const FormState* f = state(form);
  if (f == nullptr) return;
  // The taskbar button flashes until the window comes to the foreground.
  const DWORD how = urgent ? FLASHW_TRAY | FLASHW_TIMERNOFG : FLASHW_STOP;
  FLASHWINFO flash{sizeof flash, f->window, how, 0, 0};
  FlashWindowEx(&flash);
}

bool Win32Ui::is_active(Form form) const {
  const FormState* f = state(form);
  return f != nullptr && GetForegroundWindow() == f->window;
}

app::Point Win32Ui::pointer() const {
  POINT p{};
  GetCursorPos(&p);
  return {to_logical(nullptr, p.x), to_logical(nullptr, p.y)};
}

std::vector<app::Monitor> Win32Ui::monitors() const {
  std::vector<app::Monitor> out;
  EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR monitor, HDC, LPRECT, LPARAM list) -> BOOL {
        MONITORINFO info{};
        info.cbSize = sizeof info;
        if (!GetMonitorInfoW(monitor, &info)) return TRUE;
        const auto logical = [](const RECT& r) {
          return app::Rect{to_logical(nullptr, r.left), to_logical(nullptr, r.top),
                           to_logical(nullptr, r.right - r.left),
                           to_logical(nullptr, r.bottom - r.top)};
        };
        const app::Monitor m{logical(info.rcMonitor), logical(info.rcWork)};
        auto& monitors = *reinterpret_cast<std::vector<app::Monitor>*>(list);
        if (info.dwFlags & MONITORINFOF_PRIMARY) {
          monitors.insert(monitors.begin(), m);
        } else {
          monitors.push_back(m);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&out));
  return out;
}

int Win32Ui::message_box(std::string_view text, std::string_view caption, app::Buttons buttons) {
  const UINT type = MB_TASKMODAL | (buttons == app::Buttons::Ok ? MB_OK | MB_ICONINFORMATION
                                                                : MB_OKCANCEL | MB_ICONQUESTION);
  const int answer = MessageBoxW(nullptr, wide(text).c_str(), wide(caption).c_str(), type);
  return answer == IDOK ? app::kAnswerOk : app::kAnswerCancel;
}

Text Win32Ui::ask_save_path(std::string_view suggested) {
  std::wstring buffer = wide(suggested);
  buffer.resize(32768, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = exists(app::Form::Main) ? reinterpret_cast<HWND>(native_handle(app::Form::Main, {}))
                                             : nullptr;
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = static_cast<DWORD>(buffer.size());
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameW(&dialog)) return {};
  return narrow(buffer.c_str());
}

// The box is the system's: the newest dialog window of this thread.
void Win32Ui::raise_message_box() {
  HWND box = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM found) {
        if (is_dialog(window) && IsWindowVisible(window)) {
          *reinterpret_cast<HWND*>(found) = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&box));
  if (box == nullptr) return;
  ShowWindow(box, SW_SHOWNORMAL);
  SetForegroundWindow(box);
  BringWindowToTop(box);
}

int Win32Ui::show_timed_message(const app::TimedMessage& message) {
  HWND owner = message.owner != 0 ? reinterpret_cast<HWND>(message.owner) : find_owner();
  const DWORD timeout = static_cast<DWORD>(std::max(message.timeout_ms, 0));
  // Our own timer closes the box too: some systems ignore the timeout.
  TimedBox entry;
  entry.timer = SetTimer(nullptr, 0, timeout + 50, close_timed_box);
  entry.hook = SetWindowsHookExW(WH_CBT, catch_timed_box, nullptr, GetCurrentThreadId());
  timed_boxes.push_back(entry);
  const int answer =
      MessageBoxTimeoutW(owner, wide(message.text).c_str(), wide(message.caption).c_str(),
                         static_cast<UINT>(message.buttons), 0, timeout);
  const TimedBox done = timed_boxes.back();
  timed_boxes.pop_back();
  if (done.hook != nullptr) UnhookWindowsHookEx(done.hook);
  KillTimer(nullptr, done.timer);
  return answer - 1;
}

}  // namespace quorvel::win32
