#pragma once

#include <QObject>
#include <QPointer>
#include <deque>
#include <functional>

// Messages, departures and the server user's lines are handled one after the other, in the order
// they came. A handler that yields lets sockets, timers, acceptances and the window run, but not
// another connection's message or close: that one waits its turn. Otherwise handlers nest in their
// yields and finish innermost first, so that the earliest goes out last, a burst from a few
// connections makes everyone else's lines wait behind it, and a line typed meanwhile overtakes
// messages that came before it.
class DataTurns : public QObject {
public:
    // The turn while it lives; false when the caller has to wait in line: retry is then called
    // from the event loop when its turn comes (while its element still exists).
    class Turn {
    public:
        explicit Turn(DataTurns* turns) : m_turns(turns) {}
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;
        ~Turn() {
            if (m_turns) m_turns->leave();
        }
        explicit operator bool() const { return m_turns != nullptr; }

    private:
        DataTurns* m_turns;
    };
    [[nodiscard]] Turn take(QObject* element, std::function<void()> retry) {
        return Turn(enter(element, std::move(retry)) ? this : nullptr);
    }

    // The same without the scope: leave() ends a turn that enter() granted.
    bool enter(QObject* element, std::function<void()> retry);
    void leave();

private:
    void grantNext();

    struct Waiting {
        QPointer<QObject> element;
        std::function<void()> retry;
    };
    std::deque<Waiting> m_waiting;
    bool m_busy = false;
    bool m_grantPosted = false; // the next in line has been called and is yet to come
    bool m_granting = false;    // its retry is running: its first enter() is its turn
};
