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

// True while a handler has yielded with doEvents() and not yet returned, unless a waiting loop
// runs inside that yield: the handler is in the middle of its work.
bool handlerIsYielding();

// While one lives, yields leave the user's clicks and keys for later: a handler waiting for a
// worker lets the sockets and timers run, but the user cannot start something new under it,
// as a handler that blocked would not have let him.
class UserInputDeferred {
public:
    UserInputDeferred();
    ~UserInputDeferred();
    UserInputDeferred(const UserInputDeferred&) = delete;
    UserInputDeferred& operator=(const UserInputDeferred&) = delete;
};

} // namespace platform
