#include "yield.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <utility>

namespace platform {

namespace {
// Handlers yield, and a yield may run other handlers that yield in turn. Under a storm of
// connections that nesting would grow without end until the stack ran out; past this depth a
// yield returns at once and the events wait for the handlers above to finish.
int yieldDepth = 0;
// Yields of handlers since the innermost waiting loop.
int handlerYields = 0;
int userInputDeferrals = 0;

QEventLoop::ProcessEventsFlags eventsNow() {
    return userInputDeferrals > 0 ? QEventLoop::ExcludeUserInputEvents : QEventLoop::AllEvents;
}

class YieldScope {
public:
    explicit YieldScope(bool waiting) : m_savedHandlerYields(waiting ? std::exchange(handlerYields, 0) : handlerYields++) {
        ++yieldDepth;
    }
    ~YieldScope() {
        --yieldDepth;
        handlerYields = m_savedHandlerYields;
    }

private:
    int m_savedHandlerYields;
};

// A server yields after every send, thousands of times a second under load. Every yield hands out
// the events the program has queued for itself; the system is asked for new socket, timer and
// window events only when this much time has passed since it was last asked, so that a
// broadcast costs one system call per recipient, not two.
constexpr qint64 SystemPollIntervalNs = 250'000;

QElapsedTimer& sinceSystemPoll() {
    static QElapsedTimer timer;
    static const bool watched = [] {
        // The event loop's own passes ask the system too.
        if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
            QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, [] { timer.start(); });
        return true;
    }();
    Q_UNUSED(watched);
    return timer;
}


} // namespace

bool mayYield() { return yieldDepth < MaxYieldDepth; }

bool handlerIsYielding() { return handlerYields > 0; }

UserInputDeferred::UserInputDeferred() { ++userInputDeferrals; }
UserInputDeferred::~UserInputDeferred() { --userInputDeferrals; }

void doEvents() {
    if (!mayYield()) return;
    YieldScope scope(false);
    if (!sinceSystemPoll().isValid() || sinceSystemPoll().nsecsElapsed() >= SystemPollIntervalNs)
        QCoreApplication::processEvents(eventsNow()); // which restarts the timer
    else
        QCoreApplication::sendPostedEvents();
}

void doEventsWaiting(int maxWaitMs) {
    if (!mayYield()) return;
    YieldScope scope(true);
    // The timer guarantees a wake-up; any socket or window event ends the wait sooner.
    QTimer wakeUp;
    wakeUp.setSingleShot(true);
    wakeUp.setTimerType(Qt::PreciseTimer);
    wakeUp.start(maxWaitMs);
    QCoreApplication::processEvents(eventsNow() | QEventLoop::WaitForMoreEvents);
}

} // namespace platform
