#pragma once

#include <QtGlobal>

// How one reader keeps up with one sender's messages queued for it: what came for it and what it
// took over the last few seconds. Readers take in bursts, as TCP windows open and the system's
// buffers fill and empty, so a shorter span would misjudge a reader that keeps up on average.
class ReaderPace {
public:
    void came(qint64 bytes, qint64 nowMs);
    void taken(qint64 bytes, qint64 nowMs);

    // Whether the reader takes at least half of what comes. While a reader is far behind its
    // sender waits for it, and then what comes is only what it takes; so the first answer is given
    // once the reader has had time to show its pace, and from then on the reader must keep at least
    // half of the pace it showed: it cannot slow its senders down to a trickle.
    bool keepsUp(qint64 nowMs);

private:
    struct Period {
        qint64 startMs;
        qint64 came = 0;
        qint64 taken = 0;
    };
    void roll(qint64 nowMs);

    qint64 m_startMs = -1; // when its first byte came
    qint64 m_came = 0;
    qint64 m_taken = 0;
    Period m_last{0}; // the period before this one
    Period m_now{0};
    double m_paceShown = 0; // bytes a millisecond it took until the first answer
};
