#pragma once

#include <QObject>
#include <QPointer>
#include <deque>
#include <functional>

// Closes are raised in the order the peers left, each once its connection's data has been raised:
// a chat's departures are told in the order they happened, after what each one said last.
class CloseOrder {
public:
    // An element whose peer has left. Its callbacks are called only while the element exists.
    struct Closing {
        QPointer<QObject> element;
        std::function<bool()> due;   // its Close is still to be raised
        std::function<bool()> ready; // all its data has been raised
        std::function<void()> raise; // queues the delivery of its Close
    };

    void queue(Closing closing);
    // Drops from the front whatever is no longer due; the first that is due raises its Close once it
    // is ready. Called whenever that may have changed.
    void schedule();
    // True, and the element leaves the order, when its Close is the next to be raised.
    bool takeIfNext(const QObject* element);

private:
    std::deque<Closing> m_order;
};
