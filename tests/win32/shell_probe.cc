// The end-to-end test's eyes inside Wine's desktop, where the client's
// windows are no X windows of their own: it finds windows, the tray's
// icons, menu items and dialog buttons, and prints their places in desktop
// coordinates, so that the test clicks them as an agent would.
//   shell_probe window TITLE         "visible|hidden L T R B CX CY PID" (the
//                                    frame, the client area's origin, the
//                                    process), or "none"
//   shell_probe close-box TITLE      "X Y" of the window's close button
//   shell_probe tray                 "COUNT X Y" (the first icon's centre)
//   shell_probe menu                 whether a menu is open
//   shell_probe menu-item N          "X Y COUNT": the open menu's N-th item
//                                    (from 0), and how many items it has
//   shell_probe dialog-button TITLE ID   "X Y" of the dialog's button
//   shell_probe place TITLE L T W H  moves and sizes the window (frame)
// Exits 1 when what was asked for is not there.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

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

// Wine's taskbar draws its notification icons itself, from its right end
// leftwards, one small icon's width (plus a margin) each: the first icon is
// there when that square differs from the bar's own colour.
int tray() {
  const HWND bar = FindWindowW(L"Shell_TrayWnd", nullptr);
  RECT r{};
  if (bar == nullptr || !GetWindowRect(bar, &r)) return 1;
  const int size = GetSystemMetrics(SM_CXSMICON) + 4;
  const HDC screen = GetDC(nullptr);
  const COLORREF background = GetPixel(screen, r.right - 3 * size, (r.top + r.bottom) / 2);
  int differing = 0;
  for (int x = r.right - size; x < r.right; ++x) {
    for (int y = r.top + 2; y < r.bottom - 2; ++y) differing += GetPixel(screen, x, y) != background;
  }
  ReleaseDC(nullptr, screen);
  const bool shown = differing > size;
  std::printf("%d %ld %ld\n", shown ? 1 : 0, r.right - size / 2, (r.top + r.bottom) / 2);
  return shown ? 0 : 1;
}

// The open menu's text rows, read off the screen: its items cannot be read
// from another process under Wine, and keys do not reach a tray menu there.
// A row of dark pixels at least five high is an item's text (a separator is
// a light line).
int menu_item(int wanted) {
  const HWND menu_window = FindWindowW(L"#32768", nullptr);
  RECT r{};
  if (menu_window == nullptr || !IsWindowVisible(menu_window) || !GetWindowRect(menu_window, &r)) {
    return 1;
  }
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  const HBITMAP picture = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ old = SelectObject(memory, picture);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  const auto* pixels = static_cast<const std::uint32_t*>(bits);
  auto dark_row = [&](int y) {
    for (int x = 4; x < width - 4; ++x) {
      const std::uint32_t p = pixels[y * width + x];
      if (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) < 3 * 100) return true;
    }
    return false;
  };
  // Rows of dark pixels with gaps of at most four rows (inside a glyph:
  // 显 has three) make one line of text; items are eight or more apart.
  std::vector<int> centres;
  int first = -1;
  int last = -1;
  for (int y = 0; y < height; ++y) {
    if (!dark_row(y)) continue;
    if (first >= 0 && y - last > 5) {
      if (last - first >= 4) centres.push_back((first + last) / 2);
      first = -1;
    }
    if (first < 0) first = y;
    last = y;
  }
  if (first >= 0 && last - first >= 4) centres.push_back((first + last) / 2);
  const int found = wanted < static_cast<int>(centres.size()) ? centres[wanted] : -1;
  SelectObject(memory, old);
  DeleteObject(picture);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (found < 0) return 1;
  std::printf("%ld %ld %zu\n", r.left + width / 2, r.top + found, centres.size());
  return 0;
}

// Whether a menu is open.
int menu() {
  const HWND menu_window = FindWindowW(L"#32768", nullptr);
  return menu_window != nullptr && IsWindowVisible(menu_window) ? 0 : 1;
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
  if (command == L"menu" && argc == 2) return menu();
  if (command == L"menu-item" && argc == 3) return menu_item(_wtoi(argv[2]));
  if (command == L"dialog-button" && argc == 4) return dialog_button(argv[2], _wtoi(argv[3]));
  if (command == L"place" && argc == 7) {
    return place(argv[2], _wtoi(argv[3]), _wtoi(argv[4]), _wtoi(argv[5]), _wtoi(argv[6]));
  }
  std::fprintf(stderr, "usage: see the comment at the top of shell_probe.cc\n");
  return 2;
}
