/* Watches a window-manager-less X display for the benchmarks (by hand only).
 *
 *   x_probe notice PREFIX
 *     prints "ready", then waits (10 s at most) for a top-level window whose
 *     title starts with PREFIX to be mapped, prints the wall-clock time of
 *     the map in milliseconds since 1970, asks the window to close
 *     (WM_DELETE_WINDOW, as a title bar's close box would) and waits until it
 *     is unmapped again.
 *
 *   x_probe ping PREFIX SECONDS
 *     sends _NET_WM_PING to the top-level window titled PREFIX... every 10 ms
 *     for SECONDS and prints how long its UI thread took to answer:
 *     "pings N p50 MS p99 MS max MS unanswered K". A toolkit answers the ping
 *     from its main loop, so the delay is how long that loop was busy.
 *
 * Build: gcc -O2 -o x_probe bench/x_probe.c -lX11
 */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static double now_ms(clockid_t clock) {
  struct timespec ts;
  clock_gettime(clock, &ts);
  return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

static int title_starts_with(Display* d, Window w, const char* prefix) {
  Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  Atom net_name = XInternAtom(d, "_NET_WM_NAME", False);
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* value = NULL;
  int match = 0;
  if (XGetWindowProperty(d, w, net_name, 0, 4096, False, utf8, &type, &format, &count, &after,
                         &value) == Success &&
      value) {
    match = strncmp((const char*)value, prefix, strlen(prefix)) == 0;
    XFree(value);
  }
  return match;
}

static Window find_top_level(Display* d, const char* prefix) {
  Window root_return, parent, *children = NULL, found = None;
  unsigned int n = 0;
  XQueryTree(d, DefaultRootWindow(d), &root_return, &parent, &children, &n);
  for (unsigned int i = 0; i < n && found == None; ++i) {
    if (title_starts_with(d, children[i], prefix)) found = children[i];
  }
  if (children) XFree(children);
  return found;
}

/* Waits for the next event up to deadline (CLOCK_MONOTONIC ms); 0 on timeout. */
static int next_event(Display* d, XEvent* ev, double deadline) {
  while (!XPending(d)) {
    double left = deadline - now_ms(CLOCK_MONOTONIC);
    if (left <= 0) return 0;
    struct pollfd p = {ConnectionNumber(d), POLLIN, 0};
    poll(&p, 1, (int)left + 1);
  }
  XNextEvent(d, ev);
  return 1;
}

static void send_protocol(Display* d, Window w, Atom protocol, long stamp) {
  XEvent ev;
  memset(&ev, 0, sizeof ev);
  ev.xclient.type = ClientMessage;
  ev.xclient.window = w;
  ev.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = (long)protocol;
  ev.xclient.data.l[1] = stamp;
  ev.xclient.data.l[2] = (long)w;
  XSendEvent(d, w, False, NoEventMask, &ev);
  XFlush(d);
}

static int watch_notice(Display* d, const char* prefix) {
  XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
  XSync(d, False);
  printf("ready\n");
  fflush(stdout);
  double deadline = now_ms(CLOCK_MONOTONIC) + 10000;
  XEvent ev;
  Window shown = None;
  while (shown == None && next_event(d, &ev, deadline)) {
    if (ev.type == MapNotify && title_starts_with(d, ev.xmap.window, prefix)) {
      printf("%.1f\n", now_ms(CLOCK_REALTIME));
      fflush(stdout);
      shown = ev.xmap.window;
    }
  }
  if (shown == None) return 1;
  send_protocol(d, shown, XInternAtom(d, "WM_DELETE_WINDOW", False), CurrentTime);
  deadline = now_ms(CLOCK_MONOTONIC) + 5000;
  while (next_event(d, &ev, deadline)) {
    if (ev.type == UnmapNotify && ev.xunmap.window == shown) return 0;
  }
  return 2;
}

static int by_value(const void* a, const void* b) {
  double x = *(const double*)a, y = *(const double*)b;
  return (x > y) - (x < y);
}

static int ping(Display* d, const char* prefix, int seconds) {
  Window w = find_top_level(d, prefix);
  if (w == None) {
    fprintf(stderr, "no window titled %s...\n", prefix);
    return 1;
  }
  Atom protocols = XInternAtom(d, "WM_PROTOCOLS", False);
  Atom net_ping = XInternAtom(d, "_NET_WM_PING", False);
  XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
  size_t cap = (size_t)seconds * 200 + 16, n = 0, unanswered = 0;
  double* delays = malloc(cap * sizeof *delays);
  double end = now_ms(CLOCK_MONOTONIC) + seconds * 1000.0;
  long stamp = 1;
  while (now_ms(CLOCK_MONOTONIC) < end && n < cap) {
    double sent = now_ms(CLOCK_MONOTONIC);
    send_protocol(d, w, net_ping, ++stamp);
    XEvent ev;
    int answered = 0;
    while (!answered && next_event(d, &ev, sent + 5000)) {
      answered = ev.type == ClientMessage && ev.xclient.message_type == protocols &&
                 (Atom)ev.xclient.data.l[0] == net_ping && ev.xclient.data.l[1] == stamp;
    }
    if (!answered) ++unanswered;
    delays[n++] = now_ms(CLOCK_MONOTONIC) - sent;
    struct timespec pause = {0, 10 * 1000 * 1000};
    nanosleep(&pause, NULL);
  }
  qsort(delays, n, sizeof *delays, by_value);
  printf("pings %zu p50 %.1f p99 %.1f max %.1f unanswered %zu\n", n, delays[n / 2],
         delays[n * 99 / 100], delays[n - 1], unanswered);
  free(delays);
  return 0;
}

int main(int argc, char** argv) {
  Display* d = XOpenDisplay(NULL);
  if (!d || argc < 3) {
    fprintf(stderr, "usage: x_probe notice PREFIX | x_probe ping PREFIX SECONDS\n");
    return 2;
  }
  if (strcmp(argv[1], "notice") == 0) return watch_notice(d, argv[2]);
  if (strcmp(argv[1], "ping") == 0 && argc > 3) return ping(d, argv[2], atoi(argv[3]));
  return 2;
}
