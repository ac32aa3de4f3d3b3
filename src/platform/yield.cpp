#include "yield.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace platform {

void doEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void doEventsWaiting(int maxWaitMs) {
    // The timer guarantees a wake-up; any socket or window event ends the wait sooner.
    QTimer wakeUp;
    wakeUp.setSingleShot(true);
    wakeUp.setTimerType(Qt::PreciseTimer);
    wakeUp.start(maxWaitMs);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace platform
