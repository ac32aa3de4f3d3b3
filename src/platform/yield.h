#pragma once

namespace platform {

// Processes every pending window, timer and socket event once, then returns.
void doEvents();

// Like doEvents(), but when nothing is pending it sleeps until the next event or for at most
// maxWaitMs, so that a polling loop does not burn a core.
void doEventsWaiting(int maxWaitMs);

} // namespace platform
