// A signal to end ends the process with code 0 within the deadline, also
// when the main loop never gets to the client's route; the route runs
// first when it can.
#include "gtk/end_signals.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <csignal>

#include <glib.h>

namespace quorvel::gtk {
namespace {

using Clock = std::chrono::steady_clock;

TEST(EndSignals, AMainLoopThatNeverAnswersIsNotWaitedFor) {
  const Clock::time_point start = Clock::now();
  EXPECT_EXIT(
      {
        watch_end_signals([] { _exit(3); });
        std::raise(SIGTERM);
        // Stuck: the loop that would run the route never runs.
        for (;;) pause();
      },
      ::testing::ExitedWithCode(0), "");
  const auto took = Clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(kEndDeadlineMs - 100));
  EXPECT_LT(took, std::chrono::seconds(3));
}

TEST(EndSignals, TheClientsRouteRunsOnTheMainLoop) {
  for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
    EXPECT_EXIT(
        {
          watch_end_signals([] { _exit(5); });
          static int sent;
          sent = signal;
          g_timeout_add(
              10,
              [](gpointer) {
                std::raise(sent);
                return G_SOURCE_REMOVE;
              },
              nullptr);
          GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
          g_main_loop_run(loop);
        },
        ::testing::ExitedWithCode(5), "")
        << signal;
  }
}

}  // namespace
}  // namespace quorvel::gtk
