#include "clock.h"

#include <QElapsedTimer>

namespace platform {

float timer() {
    static QElapsedTimer sinceStart = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return static_cast<float>(static_cast<double>(sinceStart.nsecsElapsed()) / 1e9);
}

} // namespace platform
