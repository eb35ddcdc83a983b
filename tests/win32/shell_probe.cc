// The end-to-end test's eyes inside Wine's desktop, where the client's
// windows are no X windows of their own: it finds windows, the tray's
// icons, menu items and dialog buttons, and prints their places in desktop
// coordinates, so that the test clicks them as an agent would.
//   shell_probe window TITLE         "visible|hidden L T R B CX CY PID" (the
//                                    frame, the client area's origin, the
//                                    process), or "none"
//   shell_probe close-box TITLE      "X Y" of the window's close button
//   shell_probe tray                 "COUNT X Y" (the first icon's centre)
//   shell_probe menu-item TEXT       "X Y" of the open menu's item
//   shell_probe dialog-button TITLE ID   "X Y" of the dialog's button
//   shell_probe place TITLE L T W H  moves and sizes the window (frame)
// Exits 1 when what was asked for is not there.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

int print_centre(const RECT& r) {
  std::printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  return 0;
}

// The visible top-level window with the title, else any with it.
HWND window_titled(const wchar_t* title) {
  struct Search {
    const wchar_t* title;
    HWND visible = nullptr;
    HWND any = nullptr;
  } search{title};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        wchar_t text[512] = {};
        GetWindowTextW(window, text, 512);
        if (std::wcscmp(text, s->title) != 0) return TRUE;
        if (s->any == nullptr) s->any = window;
        if (IsWindowVisible(window)) s->visible = window;
        return s->visible == nullptr;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.visible != nullptr ? search.visible : search.any;
}

int window(const wchar_t* title) {
  const HWND found = window_titled(title);
  if (found == nullptr) {
    std::printf("none\n");
    return 0;
  }
  RECT r{};
  GetWindowRect(found, &r);
  POINT client{0, 0};
  ClientToScreen(found, &client);
  DWORD process = 0;
  GetWindowThreadProcessId(found, &process);
  std::printf("%s %ld %ld %ld %ld %ld %ld %lu\n", IsWindowVisible(found) ? "visible" : "hidden",
              r.left, r.top, r.right, r.bottom, client.x, client.y, process);
  return 0;
}

int close_box(const wchar_t* title) {
  const HWND found = window_titled(title);
  if (found == nullptr) return 1;
  RECT r{};
  GetWindowRect(found, &r);
  const int frame = GetSystemMetrics(SM_CXFRAME) + GetSystemMetrics(SM_CXPADDEDBORDER);
  const int button = GetSystemMetrics(SM_CXSIZE);
  std::printf("%ld %ld\n", r.right - frame - button / 2,
              r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYSIZE) / 2);
  return 0;
}

// Wine's taskbar keeps each notification icon in a child window of its own.
int tray() {
  const HWND bar = FindWindowW(L"Shell_TrayWnd", nullptr);
  if (bar == nullptr) return 1;
  struct Icons {
    int count = 0;
    RECT first{};
  } icons;
  EnumChildWindows(
      bar,
      [](HWND child, LPARAM data) -> BOOL {
        auto* i = reinterpret_cast<Icons*>(data);
        wchar_t name[64] = {};
        GetClassNameW(child, name, 64);
        if (std::wcsstr(name, L"tray_icon") == nullptr || !IsWindowVisible(child)) return TRUE;
        if (i->count++ == 0) GetWindowRect(child, &i->first);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&icons));
  std::printf("%d %ld %ld\n", icons.count, (icons.first.left + icons.first.right) / 2,
              (icons.first.top + icons.first.bottom) / 2);
  return icons.count > 0 ? 0 : 1;
}

int menu_item(const wchar_t* text) {
  const HWND menu_window = FindWindowW(L"#32768", nullptr);
  if (menu_window == nullptr) return 1;
  const auto menu = reinterpret_cast<HMENU>(SendMessageW(menu_window, MN_GETHMENU, 0, 0));
  if (menu == nullptr) return 1;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    wchar_t item[128] = {};
    GetMenuStringW(menu, static_cast<UINT>(i), item, 128, MF_BYPOSITION);
    RECT r{};
    if (std::wcscmp(item, text) == 0 && GetMenuItemRect(nullptr, menu, static_cast<UINT>(i), &r)) {
      return print_centre(r);
    }
  }
  return 1;
}

int dialog_button(const wchar_t* title, int id) {
  const HWND dialog = window_titled(title);
  const HWND button = dialog != nullptr ? GetDlgItem(dialog, id) : nullptr;
  if (button == nullptr) return 1;
  RECT r{};
  GetWindowRect(button, &r);
  return print_centre(r);
}

int place(const wchar_t* title, int left, int top, int width, int height) {
  const HWND found = window_titled(title);
  if (found == nullptr) return 1;
  return SetWindowPos(found, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE)
             ? 0
             : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"window" && argc == 3) return window(argv[2]);
  if (command == L"close-box" && argc == 3) return close_box(argv[2]);
  if (command == L"tray" && argc == 2) return tray();
  if (command == L"menu-item" && argc == 3) return menu_item(argv[2]);
  if (command == L"dialog-button" && argc == 4) return dialog_button(argv[2], _wtoi(argv[3]));
  if (command == L"place" && argc == 7) {
    return place(argv[2], _wtoi(argv[3]), _wtoi(argv[4]), _wtoi(argv[5]), _wtoi(argv[6]));
  }
  std::fprintf(stderr, "usage: see the comment at the top of shell_probe.cc\n");
  return 2;
}
