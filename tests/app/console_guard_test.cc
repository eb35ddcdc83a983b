// The console's recovery against a fake engine and a clock the test turns:
// crashes, hangs, an unreachable site and an untrusted certificate.
#include "app/console_guard.h"

#include <gtest/gtest.h>

#include "app/console_pages.h"
#include "app/fake_platform.h"

namespace quorvel::app {
namespace {

using fake::World;
using Shows = ConsoleGuard::Shows;

const Text kConsole = "https://chat.test:8443/service/login";

// A started client bound to a site whose view opened.
struct Bound : World {
  Bound() {
    settings.values["hostdata"] = "{\"code\":\"200\",\"data\":\"https://chat.test:8443\"}";
    client.start();
    EXPECT_EQ(view.opened.back(), kConsole);
    view.commit(kConsole);
  }
  PageEvents& page() { return *view.events; }
  const ConsoleGuard& guard() { return client.guard(); }
  // A second of the main window's timer.
  void seconds(int n) {
    for (int i = 0; i < n; ++i) {
      clock.now += 1000;
      client.on_timer(Form::Main, names().main_timer);
    }
  }
  // The client's page shown last takes the view, and its button is pressed:
  // what the click logs.
  Text press(std::string_view action) {
    view.commit("", true);
    return click(action);
  }
  // What that page's button logs, wherever it is logged.
  Text click(std::string_view action) {
    const Text& html = view.loaded_pages.back();
    const std::size_t at = html.find(kActionMarker);
    return Text(kActionMarker) + html.substr(at + kActionMarker.size(), 16) + ":" + Text(action);
  }
  std::int64_t next_retry() { return guard().next_retry_at(); }
  LoadFailure refused() {
    return {LoadFailure::Kind::Refused, kConsole, "Could not connect: Connection refused", 0};
  }
};

TEST(ConsoleGuard, AWebProcessThatEndsIsReloadedThreeTimesInFiveMinutes) {
  Bound w;
  for (int i = 0; i < 3; ++i) {
    w.page().process_event(ProcessEvent::Crashed, {});
    EXPECT_EQ(w.view.reloads, i + 1);
    EXPECT_EQ(w.guard().shows(), Shows::Console);
    w.seconds(10);
  }
  // The fourth within five minutes: the client's page, retried every 60 s.
  w.page().process_event(ProcessEvent::Killed, {});
  EXPECT_EQ(w.view.reloads, 3);
  EXPECT_EQ(w.guard().shows(), Shows::Crashed);
  ASSERT_EQ(w.view.loaded_pages.size(), 1u);
  EXPECT_NE(w.view.loaded_pages[0].find(from_utf8("控制台意外退出")), Text::npos);
  // Console messages of nothing: the bridge sees nothing while it shows.
  w.page().console_message("newmsgnum=>5");
  EXPECT_EQ(w.client.unread_count(), 0);
  w.seconds(59);
  EXPECT_TRUE(w.view.loaded_urls.empty());
  w.seconds(1);
  EXPECT_EQ(w.view.loaded_urls, std::vector<Text>{kConsole});
  // The 重新加载 button, with the page's own nonce only.
  w.page().console_message(Text(kActionMarker) + "0000000000000000:reload");
  EXPECT_EQ(w.view.loaded_urls.size(), 1u);
  w.page().console_message(w.press("reload"));
  EXPECT_EQ(w.view.loaded_urls.size(), 2u);
  // Back: the flag script runs and messages reach the bridge again.
  w.view.load(kConsole);
  EXPECT_EQ(w.guard().shows(), Shows::Console);
  EXPECT_EQ(w.view.scripts.back(), "window.isWindow=true;vueapp.screenshot=true;");
  w.page().console_message("newmsgnum=>5");
  EXPECT_EQ(w.client.unread_count(), 5);
  // Five minutes after the first, quick reloads are allowed again.
  w.clock.now += 5 * 60 * 1000;
  w.page().process_event(ProcessEvent::MemoryLimit, {});
  EXPECT_EQ(w.view.reloads, 4);
  EXPECT_GE(w.log.lines.size(), 5u);
}

TEST(ConsoleGuard, AHungPageHasItsProcessEndedAfterFifteenSeconds) {
  Bound w;
  w.page().process_event(ProcessEvent::Unresponsive, {});
  w.seconds(10);
  w.page().process_event(ProcessEvent::Responsive, {});
  w.seconds(10);
  EXPECT_EQ(w.view.terminations, 0);
  w.page().process_event(ProcessEvent::Unresponsive, {});
  w.seconds(14);
  EXPECT_EQ(w.view.terminations, 0);
  w.seconds(1);
  EXPECT_EQ(w.view.terminations, 1);
  // Its end is recovered as any other.
  w.page().process_event(ProcessEvent::Terminated, {});
  EXPECT_EQ(w.view.reloads, 1);
}

TEST(ConsoleGuard, AnUnreachableSiteIsRetriedWithAGrowingPause) {
  Bound w;
  w.page().load_failed(w.refused());
  EXPECT_EQ(w.guard().shows(), Shows::Unreachable);
  const Text& page = w.view.loaded_pages.back();
  EXPECT_NE(page.find(from_utf8("服务器拒绝连接")), Text::npos);
  EXPECT_NE(page.find("https://chat.test:8443/service/login"), Text::npos);
  EXPECT_EQ(page.find("<a "), Text::npos);  // the address is no link
  const int pauses[] = {5, 10, 20, 40, 80, 160, 300, 300};
  for (const int pause : pauses) {
    const std::size_t retries = w.view.loaded_urls.size();
    w.seconds(pause - 1);
    EXPECT_EQ(w.view.loaded_urls.size(), retries) << pause;
    w.seconds(1);
    ASSERT_EQ(w.view.loaded_urls.size(), retries + 1) << pause;
    w.page().load_failed(w.refused());
  }
  // The network comes back: at once, and the pause starts over once it loads.
  const std::size_t retries = w.view.loaded_urls.size();
  w.client.on_network_changed();
  w.client.on_network_changed();  // a burst of changes: one retry
  EXPECT_EQ(w.view.loaded_urls.size(), retries + 1);
  w.view.load(kConsole);
  EXPECT_EQ(w.guard().shows(), Shows::Console);
  w.page().load_failed(w.refused());
  w.seconds(5);
  EXPECT_EQ(w.view.loaded_urls.size(), retries + 2);
  // The machine wakes: at once too; the agent's 重试 too.
  w.page().load_failed(w.refused());
  w.client.on_resumed();
  EXPECT_EQ(w.view.loaded_urls.size(), retries + 3);
  w.page().console_message(w.press("retry"));
  EXPECT_EQ(w.view.loaded_urls.size(), retries + 4);
  // A wake while the console shows reloads it.
  w.view.load(kConsole);
  const int reloads = w.view.reloads;
  w.client.on_resumed();
  EXPECT_EQ(w.view.reloads, reloads + 1);
}

// The unreachable page asks the site whether it answers and reloads the
// console as soon as it does, long before the next pause ends.
TEST(ConsoleGuard, TheSiteAnsweringAgainBringsTheConsoleBackAtOnce) {
  Bound w;
  w.page().load_failed(w.refused());
  w.page().load_failed(w.refused());  // the next pause is 10 s
  EXPECT_NE(w.view.loaded_pages.back().find("fetch("), Text::npos);
  const std::size_t retries = w.view.loaded_urls.size();
  w.page().console_message(w.press("reachable"));
  EXPECT_EQ(w.view.loaded_urls.size(), retries + 1);
  w.page().console_message(w.press("reachable"));  // still loading: once
  EXPECT_EQ(w.view.loaded_urls.size(), retries + 1);
  // The console's own page cannot ask for it.
  w.view.load(kConsole);
  w.page().console_message(w.click("reachable"));
  EXPECT_EQ(w.view.loaded_urls.size(), retries + 1);
}

// WebKit ends a load that failed with a finished load naming the document
// it failed to replace: that is no console coming back.
TEST(ConsoleGuard, TheEndOfAFailedLoadIsNoConsole) {
  Bound w;
  w.view.load(kConsole);
  w.page().load_failed(w.refused());
  w.page().page_loaded(kConsole);
  EXPECT_EQ(w.guard().shows(), Shows::Unreachable);
  for (const Text& line : w.log.lines) EXPECT_EQ(line.find("the console is back"), Text::npos);
  // The page's buttons work, the retry comes, and the console comes back.
  w.page().console_message(w.press("retry"));
  EXPECT_EQ(w.view.loaded_urls, std::vector<Text>{kConsole});
  w.page().load_failed(w.refused());
  w.page().page_loaded(kConsole);
  w.seconds(10);
  EXPECT_EQ(w.view.loaded_urls.size(), 2u);
  w.page().console_message(w.press("reachable"));
  EXPECT_EQ(w.view.loaded_urls.size(), 2u);  // that retry is still loading
  w.page().load_failed(w.refused());
  w.page().console_message(w.press("reachable"));
  EXPECT_EQ(w.view.loaded_urls.size(), 3u);
  w.view.load(kConsole);
  EXPECT_EQ(w.guard().shows(), Shows::Console);
  EXPECT_EQ(w.next_retry(), 0);
  int back = 0;
  for (const Text& line : w.log.lines) back += line.find("the console is back") != Text::npos;
  EXPECT_EQ(back, 1);
}

// The console's scripts run before its load ends: what they log then is
// the console's.
TEST(ConsoleGuard, WhatTheConsoleLogsWhileItLoadsIsDelivered) {
  Bound w;
  w.page().load_failed(w.refused());
  w.page().console_message(w.press("retry"));
  w.view.commit(kConsole);
  w.page().console_message("settitle=>" + from_utf8("客服一号"));
  w.page().console_message("newmsgnum=>2");
  EXPECT_EQ(w.client.unread_count(), 2);
  EXPECT_EQ(w.ui.get_text(Form::Main, {}, TextProperty::Caption).find(from_utf8("客服一号")), 0u);
  w.page().page_loaded(kConsole);
  EXPECT_EQ(w.guard().shows(), Shows::Console);
  // Before any document, and from the client's own pages, nothing is.
  World fresh;
  fresh.settings.values["hostdata"] = "{\"code\":\"200\",\"data\":\"http://s\"}";
  fresh.client.start();
  fresh.view.events->console_message("newmsgnum=>4");
  fresh.view.commit("", true);
  fresh.view.events->console_message("newmsgnum=>4");
  EXPECT_EQ(fresh.client.unread_count(), 0);
}

// A page that takes the main frame to about:blank leaves nothing to see
// and nothing that comes back by itself.
TEST(ConsoleGuard, ABlankDocumentIsAFailedConsole) {
  Bound w;
  w.view.load(kConsole);
  w.view.commit("about:blank");
  EXPECT_EQ(w.guard().shows(), Shows::Unreachable);
  const Text& page = w.view.loaded_pages.back();
  EXPECT_NE(page.find(from_utf8("空白页")), Text::npos);
  // The probe and the retry ask for the console, not the blank page.
  const std::size_t probe = page.find("var u=");
  ASSERT_NE(probe, Text::npos);
  EXPECT_EQ(page.find("about:blank", probe), Text::npos);
  EXPECT_NE(page.find("chat.test:8443", probe), Text::npos);
  w.page().console_message("newmsgnum=>3");
  w.page().page_loaded("about:blank");
  EXPECT_EQ(w.client.unread_count(), 0);
  w.seconds(5);
  EXPECT_EQ(w.view.loaded_urls, std::vector<Text>{kConsole});
  w.view.load(kConsole);
  EXPECT_EQ(w.guard().shows(), Shows::Console);
}

// What the page asks for goes where the policy says; anything but the view
// is one line of the log, and the desktop gets its addresses.
TEST(ConsoleGuard, NavigationsGoWhereThePolicySays) {
  Bound w;
  const auto ask = [&](const char* address, NavigationCause cause, bool new_window = false) {
    return w.page().navigation_requested({address, cause, true, new_window});
  };
  EXPECT_EQ(ask("https://chat.test:8443/service/other", NavigationCause::Link), NavigationAnswer::Load);
  const std::size_t lines = w.log.lines.size();
  EXPECT_EQ(ask("mailto:visitor@example.com", NavigationCause::Link), NavigationAnswer::Desktop);
  EXPECT_EQ(ask("https://example.com/x", NavigationCause::Link, true), NavigationAnswer::Desktop);
  EXPECT_EQ(ask("file:///etc/passwd", NavigationCause::Script), NavigationAnswer::Refuse);
  EXPECT_EQ(ask("https://chat.test:8443/transcript", NavigationCause::Link, true),
            NavigationAnswer::OwnWindow);
  EXPECT_EQ(w.desktop.opened,
            (std::vector<Text>{"mailto:visitor@example.com", "https://example.com/x"}));
  EXPECT_EQ(w.log.lines.size(), lines + 4);
  // A desktop without a program for it: said so.
  w.desktop.opens = false;
  EXPECT_EQ(ask("tel:123", NavigationCause::Link), NavigationAnswer::Desktop);
  EXPECT_NE(w.log.lines.back().find("no program"), Text::npos);
  // The administrator's hosts stay in the view.
  World listed;
  listed.settings.values = {{"hostdata", "{\"code\":\"200\",\"data\":\"https://chat.test:8443\"}"},
                            {"inview", "sso.example.com"}};
  listed.client.start();
  EXPECT_EQ(listed.view.events->navigation_requested(
                {"https://sso.example.com/login", NavigationCause::Link, true, false}),
            NavigationAnswer::Load);
}

// Only the site's own documents drive the client: another site's page in
// the view (an identity provider's sign-in) logs nothing the bridge reads,
// does not fail the console, and its certificate is not the agent's to
// trust. One a script put there against the policy goes to the desktop.
TEST(ConsoleGuard, OnlyTheSitesDocumentsDriveTheClient) {
  Bound w;
  w.view.load(kConsole);
  const std::size_t scripts = w.view.scripts.size();
  w.view.commit("https://sso.example.com/login", false, NavigationCause::Form);
  w.page().console_message("newmsgnum=>7");
  w.page().console_message("settitle=>" + from_utf8("伪造"));
  w.page().page_loaded("https://sso.example.com/login");
  EXPECT_EQ(w.client.unread_count(), 0);
  EXPECT_EQ(w.ui.get_text(Form::Main, {}, TextProperty::Caption).find(from_utf8("伪造")), Text::npos);
  EXPECT_EQ(w.view.scripts.size(), scripts);  // no flag script in it
  w.page().load_failed({LoadFailure::Kind::Dns, "https://sso.example.com/next", "no such host", 0});
  w.page().certificate_failed({"sso.example.com", "https://sso.example.com/", Text(64, 'b'), "CN=x",
                               "CN=x", "", "", "unknown authority"});
  EXPECT_EQ(w.guard().shows(), Shows::Console);
  EXPECT_TRUE(w.view.loaded_pages.empty());
  EXPECT_TRUE(w.view.loaded_urls.empty());
  // A script's navigation to another site: the desktop, and the console.
  w.view.commit("https://example.com/promo", false, NavigationCause::Script);
  EXPECT_EQ(w.desktop.opened, std::vector<Text>{"https://example.com/promo"});
  EXPECT_EQ(w.view.loaded_urls, std::vector<Text>{kConsole});
  // The site's own failed page is retried where it failed; the probe asks
  // there too.
  w.view.load(kConsole);
  const Text chat = "https://chat.test:8443/service/chat?id=7";
  w.page().load_failed({LoadFailure::Kind::Refused, chat, "refused", 0});
  EXPECT_NE(w.view.loaded_pages.back().find("id=7"), Text::npos);
  w.seconds(5);
  EXPECT_EQ(w.view.loaded_urls.back(), chat);
}

TEST(ConsoleGuard, ACertificateIsTrustedOnlyByTheAgentsClick) {
  Bound w;
  CertificateFailure c{"chat.test:8443", kConsole, Text(64, 'a'), "CN=chat.test",
                       "CN=chat.test", "2026-01-01", "2027-01-01", "unknown authority"};
  w.page().certificate_failed(c);
  EXPECT_EQ(w.guard().shows(), Shows::Trust);
  const Text& page = w.view.loaded_pages.back();
  EXPECT_NE(page.find("aa:aa:aa"), Text::npos);
  EXPECT_NE(page.find(from_utf8("信任此证书")), Text::npos);
  // The details scroll in a box bounded by the window; the button follows
  // it, in view whatever the names' length.
  const std::size_t box = page.find("<div class=\"details\">");
  ASSERT_NE(box, Text::npos);
  EXPECT_NE(page.find(".details{max-height:calc(100vh"), Text::npos);
  EXPECT_GT(page.find("<button"), page.find("</div>", box));
  // Nothing is trusted by a page that does not know the nonce.
  w.page().console_message(Text(kActionMarker) + "ffffffffffffffff:trust");
  EXPECT_TRUE(w.view.allowed.empty());
  w.page().console_message(w.press("trust"));
  ASSERT_EQ(w.view.allowed.size(), 1u);
  EXPECT_EQ(w.view.allowed[0], std::make_pair(Text("chat.test:8443"), Text(64, 'a')));
  EXPECT_EQ(w.view.loaded_urls.back(), kConsole);
  EXPECT_EQ((w.settings.other_sections[{"trust", "chat.test:8443"}]), Text(64, 'a'));
  // A later start allows it again for that site.
  Bound later;
  EXPECT_TRUE(later.view.allowed.empty());
  World again;
  again.settings.values["hostdata"] = "{\"code\":\"200\",\"data\":\"https://chat.test:8443\"}";
  again.settings.other_sections[{"trust", "chat.test:8443"}] = Text(64, 'a');
  again.client.start();
  ASSERT_EQ(again.view.allowed.size(), 1u);
  EXPECT_EQ(again.view.allowed[0].second, Text(64, 'a'));
}

TEST(ConsoleGuard, ACertificateWithoutAFingerprintCannotBeTrusted) {
  // Nothing could match it later: the page offers no button, and a forged
  // click trusts nothing (it would only show the same page again).
  Bound w;
  w.page().certificate_failed({"chat.test:8443", "https://chat.test:8443/", "", "CN=chat.test",
                               "CN=chat.test", "", "", "not valid"});
  EXPECT_EQ(w.view.loaded_pages.back().find(kActionMarker), Text::npos);
  w.page().console_message(Text(kActionMarker) + "0000000000000000:trust");
  EXPECT_TRUE(w.view.allowed.empty());
  EXPECT_TRUE(w.view.loaded_urls.empty());
  EXPECT_TRUE(w.settings.other_sections.empty());
}

TEST(ConsoleGuard, TheEngineIsConfiguredBeforeTheViewOpens) {
  Bound w;
  EXPECT_EQ(w.view.options["memory_limit_mb"], "1024");
  EXPECT_FALSE(w.view.options["data_directory"].empty());
  World limited;
  limited.settings.values = {{"hostdata", "{\"code\":\"200\",\"data\":\"http://s\"}"},
                             {"memlimit", "512"}};
  limited.client.start();
  EXPECT_EQ(limited.view.options["memory_limit_mb"], "512");
}

TEST(ConsolePages, WhatTheSiteSaysIsText) {
  EXPECT_EQ(html_text("<a href='x'>&\"</a>"), "&lt;a href=&#39;x&#39;&gt;&amp;&quot;&lt;/a&gt;");
  LoadFailure f{LoadFailure::Kind::Http, "http://s/<script>", "<b>bad</b>", 502};
  const Text page = unreachable_page(f, 5, "0123456789abcdef");
  EXPECT_EQ(page.find("<script>"), Text::npos);
  EXPECT_EQ(page.find("<b>"), Text::npos);
  EXPECT_NE(page.find("502"), Text::npos);
  // A site that cannot be reached is asked again from a script, its
  // address a string that cannot end the script.
  LoadFailure refused{LoadFailure::Kind::Refused, "http://s/</script><script>alert(1)//'", "", 0};
  const Text probing = unreachable_page(refused, 5, "0123456789abcdef");
  EXPECT_NE(probing.find("fetch("), Text::npos);
  EXPECT_EQ(probing.find("</script><script>alert"), Text::npos);
  EXPECT_EQ(probing.find("alert(1)//'"), Text::npos);
}

}  // namespace
}  // namespace quorvel::app
