// A signal to end (SIGTERM from the session or systemd, SIGHUP, SIGINT)
// must end the client, whatever its main loop is busy with: a nested loop
// of a confirmation or the join window, a call on the bus, a flood of page
// messages.
#pragma once

#include <functional>

namespace quorvel::gtk {

// The longest a signal to end, or the session's end, waits for the
// client's own route before the process ends with code 0 regardless.
// Every setting was written when it changed, and a write cut short leaves
// the file as it was.
inline constexpr int kEndDeadlineMs = 2000;

// From now on the three signals run `route` on the main loop (the tray icon
// goes, the process ends) and arm the deadline at once, from the signal
// itself, so that a main loop that never gets to the route is not waited
// for.
void watch_end_signals(std::function<void()> route);

// Arms the deadline (the session manager's end takes the route without a
// signal). Safe in a signal handler; arming again changes nothing.
void arm_end_deadline();

}  // namespace quorvel::gtk
