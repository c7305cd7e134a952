// Console events (interrupt, close, log-off, shutdown) are logged and
// swallowed: the service host and the child end only through their own
// protocol, never because a console went away.
#pragma once

namespace runvo {

void registerConsoleEventLogger();

}  // namespace runvo
