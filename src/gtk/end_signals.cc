#include "gtk/end_signals.h"

#include <glib-unix.h>
#include <semaphore.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <thread>

namespace quorvel::gtk {
namespace {

// Set up once: the deadline's thread waits on the semaphore, the main loop
// on the pipe; a signal handler may touch only these.
sem_t deadline;
int wake[2] = {-1, -1};
volatile sig_atomic_t armed = 0;
std::function<void()>* the_route = nullptr;

void end_after_deadline() {
  while (sem_wait(&deadline) != 0) {
  }
  timespec left{kEndDeadlineMs / 1000, (kEndDeadlineMs % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
  _exit(0);
}

void on_end_signal(int) {
  const int saved = errno;
  arm_end_deadline();
  const char byte = 1;
  static_cast<void>(write(wake[1], &byte, 1));
  errno = saved;
}

gboolean on_wake(gint fd, GIOCondition, gpointer) {
  char bytes[16];
  static_cast<void>(read(fd, bytes, sizeof bytes));
  if (the_route != nullptr && *the_route) (*the_route)();
  return G_SOURCE_CONTINUE;
}

}  // namespace

void arm_end_deadline() {
  if (armed != 0) return;
  armed = 1;
  sem_post(&deadline);
}

void watch_end_signals(std::function<void()> route) {
  static bool started = false;
  if (!started) {
    started = true;
    sem_init(&deadline, 0, 0);
    if (!g_unix_open_pipe(wake, FD_CLOEXEC, nullptr)) return;
    g_unix_set_fd_nonblocking(wake[0], TRUE, nullptr);
    g_unix_set_fd_nonblocking(wake[1], TRUE, nullptr);
    std::thread(end_after_deadline).detach();
    g_unix_fd_add(wake[0], G_IO_IN, on_wake, nullptr);
  }
  static std::function<void()> kept;
  kept = std::move(route);
  the_route = &kept;
  struct sigaction action {};
  action.sa_handler = on_end_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGTERM, SIGHUP, SIGINT}) sigaction(signal, &action, nullptr);
}

}  // namespace quorvel::gtk
