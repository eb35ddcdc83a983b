// The end of an X session takes the display away before anything else can
// tell the client: the toolkit would then end the process with an error.
#pragma once

namespace quorvel::gtk {

// From now on, losing the connection to an X display ends the process with
// code 0, as the end of a session does elsewhere; nothing can be shown or
// removed any more, and every setting was written when it changed. Does
// nothing on other displays.
void exit_when_display_is_lost();

}  // namespace quorvel::gtk
