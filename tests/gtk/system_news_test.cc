// The system's news against a private message bus standing in for the
// system bus, where the test plays logind (and an impostor).
#include "gtk/system_news.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace quorvel::gtk {
namespace {

// Runs the main context until `done` or 5 s have passed.
template <typename Done>
bool spin_until(Done done) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done() && std::chrono::steady_clock::now() < until) {
    g_main_context_iteration(nullptr, FALSE);
    g_usleep(1000);
  }
  return done();
}

void spin_for(int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    g_main_context_iteration(nullptr, FALSE);
    g_usleep(1000);
  }
}

// A bus daemon of the test's own, made the process's system bus.
class PrivateSystemBus : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* argv[] = {"dbus-daemon", "--session", "--nofork", "--print-address", nullptr};
    gint out = -1;
    GError* error = nullptr;
    ASSERT_TRUE(g_spawn_async_with_pipes(nullptr, const_cast<char**>(argv), nullptr,
                                         G_SPAWN_SEARCH_PATH, nullptr, nullptr, &daemon_,
                                         nullptr, &out, nullptr, &error))
        << (error != nullptr ? error->message : "") << " (is dbus-daemon installed?)";
    std::string line;
    char c = 0;
    while (read(out, &c, 1) == 1 && c != '\n') line += c;
    close(out);
    ASSERT_FALSE(line.empty());
    address_ = line;
    g_setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.c_str(), TRUE);
  }
  static void TearDownTestSuite() {
    if (daemon_ != 0) kill(daemon_, SIGTERM);
  }

  // A connection of its own, owning `name` when given.
  static GObjectPtr<GDBusConnection> connect(const char* name) {
    auto bus = GObjectPtr<GDBusConnection>::adopt(g_dbus_connection_new_for_address_sync(
        address_.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr));
    if (bus && name != nullptr) {
      GVariant* answer = g_dbus_connection_call_sync(
          bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
          "RequestName", g_variant_new("(su)", name, 0u), nullptr, G_DBUS_CALL_FLAGS_NONE, -1,
          nullptr, nullptr);
      if (answer != nullptr) g_variant_unref(answer);
    }
    return bus;
  }

  static void prepare_for_sleep(GDBusConnection* bus, bool sleeping) {
    g_dbus_connection_emit_signal(bus, nullptr, "/org/freedesktop/login1",
                                  "org.freedesktop.login1.Manager", "PrepareForSleep",
                                  g_variant_new("(b)", sleeping ? TRUE : FALSE), nullptr);
    g_dbus_connection_flush_sync(bus, nullptr, nullptr);
  }

  static inline GPid daemon_ = 0;
  static inline std::string address_;
};

TEST_F(PrivateSystemBus, OnlyLogindsWakingCounts) {
  int resumed = 0;
  const SystemNews news({nullptr, [&] { ++resumed; }});
  ASSERT_TRUE(spin_until([&] { return news.watching_sleep(); }));

  const GObjectPtr<GDBusConnection> impostor = connect(nullptr);
  const GObjectPtr<GDBusConnection> logind = connect("org.freedesktop.login1");
  ASSERT_TRUE(impostor && logind);
  prepare_for_sleep(impostor.get(), false);  // anyone may send; only logind counts
  prepare_for_sleep(logind.get(), true);     // going to sleep
  prepare_for_sleep(logind.get(), false);    // awake
  ASSERT_TRUE(spin_until([&] { return resumed > 0; }));
  spin_for(200);
  EXPECT_EQ(resumed, 1);
}

TEST_F(PrivateSystemBus, GoneBeforeTheBusAnswersIsHarmless) {
  int resumed = 0;
  { const SystemNews news({nullptr, [&] { ++resumed; }}); }
  // The pending request completes (cancelled) against nothing.
  spin_for(200);
  const GObjectPtr<GDBusConnection> logind = connect("org.freedesktop.login1");
  prepare_for_sleep(logind.get(), false);
  spin_for(200);
  EXPECT_EQ(resumed, 0);
}

TEST(SystemNews, OnlyANetworkThatIsThereCounts) {
  int changed = 0;
  const SystemNews news({[&] { ++changed; }, nullptr});
  GNetworkMonitor* monitor = g_network_monitor_get_default();
  ASSERT_NE(monitor, nullptr);
  g_signal_emit_by_name(monitor, "network-changed", FALSE);
  EXPECT_EQ(changed, 0);
  g_signal_emit_by_name(monitor, "network-changed", TRUE);
  EXPECT_EQ(changed, 1);
}

}  // namespace
}  // namespace quorvel::gtk
