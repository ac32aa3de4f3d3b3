#pragma once

namespace platform {

// How deeply yields may nest before a yield returns without processing anything.
inline constexpr int MaxYieldDepth = 100;

// Processes every pending window, timer and socket event once, then returns.
void doEvents();

// Like doEvents(), but when nothing is pending it sleeps until the next event or for at most
// maxWaitMs, so that a polling loop does not burn a core.
void doEventsWaiting(int maxWaitMs);

// False while yields are nested MaxYieldDepth deep.
bool mayYield();

} // namespace platform
