#include "reader_pace.h"

#include <algorithm>

namespace {
// How long a reader far behind has to show its pace: long enough for the first bursts that the
// system's buffers took for others, and for a reader that takes in bursts a few times a second,
// to say little.
constexpr qint64 FirstJudgedAfterMs = 2000;
constexpr qint64 GraceMs = 500;
// Its pace from then on is what it took over the last period or two of this length.
constexpr qint64 PeriodMs = 2000;
} // namespace

void ReaderPace::roll(qint64 nowMs) {
    if (m_startMs < 0) {
        m_startMs = nowMs;
        m_last = m_now = Period{nowMs};
    } else if (nowMs - m_now.startMs >= PeriodMs) {
        m_last = m_now;
        m_now = Period{nowMs};
    }
}

void ReaderPace::came(qint64 bytes, qint64 nowMs) {
    roll(nowMs);
    m_now.came += bytes;
    m_came += bytes;
}

void ReaderPace::taken(qint64 bytes, qint64 nowMs) {
    roll(nowMs);
    m_now.taken += bytes;
    m_taken += bytes;
}

bool ReaderPace::keepsUp(qint64 nowMs) {
    roll(nowMs);
    if (m_paceShown == 0) {
        // The share asked of it grows from nothing to half over that time, after a grace for a
        // reader that takes in bursts: one that takes next to nothing is cut soon, one that takes
        // a fair share has time to show it.
        const qint64 age = nowMs - m_startMs;
        if (age < FirstJudgedAfterMs)
            return 2 * m_taken * (FirstJudgedAfterMs - GraceMs) >= m_came * std::max<qint64>(age - GraceMs, 0);
        if (2 * m_taken < m_came) return false;
        m_paceShown = double(m_taken) / double(age);
        return true;
    }
    const bool onePeriod = m_last.startMs == m_now.startMs;
    const qint64 taken = m_now.taken + (onePeriod ? 0 : m_last.taken);
    return 2 * double(taken) >= m_paceShown * double(nowMs - m_last.startMs);
}
