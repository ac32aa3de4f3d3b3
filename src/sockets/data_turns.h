#pragma once

#include <QObject>
#include <QPointer>
#include <deque>
#include <functional>

// The messages of different connections are handled one after the other, in the order they came.
// A DataArrival handler that yields lets sockets, timers, closes and the window run, but not
// another connection's message: that one waits its turn. Otherwise handlers nest in their yields
// and finish innermost first, so that the earliest message goes out last, and a burst from a few
// connections makes everyone else's lines wait behind it.
class DataTurns : public QObject {
public:
    // True when the element may handle its message now; it then holds the turn until leave().
    // Otherwise it waits in line, and retry is called from the event loop when its turn comes.
    bool enter(QObject* element, std::function<void()> retry);
    void leave();

private:
    void grantNext();

    struct Waiting {
        QPointer<QObject> element;
        std::function<void()> retry;
    };
    std::deque<Waiting> m_waiting;
    QPointer<QObject> m_granted; // the element whose turn has come, until it takes it
    bool m_busy = false;
};
