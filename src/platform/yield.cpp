#include "yield.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace platform {

namespace {
// Handlers yield, and a yield may run other handlers that yield in turn. Under a storm of
// connections that nesting would grow without end until the stack ran out; past this depth a
// yield returns at once and the events wait for the handlers above to finish.
int yieldDepth = 0;

class YieldScope {
public:
    YieldScope() { ++yieldDepth; }
    ~YieldScope() { --yieldDepth; }
};
} // namespace

bool mayYield() { return yieldDepth < MaxYieldDepth; }

void doEvents() {
    if (!mayYield()) return;
    YieldScope scope;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void doEventsWaiting(int maxWaitMs) {
    if (!mayYield()) return;
    YieldScope scope;
    // The timer guarantees a wake-up; any socket or window event ends the wait sooner.
    QTimer wakeUp;
    wakeUp.setSingleShot(true);
    wakeUp.setTimerType(Qt::PreciseTimer);
    wakeUp.start(maxWaitMs);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace platform
