#include "data_turns.h"

#include <algorithm>

bool DataTurns::enter(QObject* element, std::function<void()> retry) {
    if (!m_busy && (m_granted == element || (!m_granted && m_waiting.empty()))) {
        m_busy = true;
        m_granted = nullptr;
        return true;
    }
    if (m_granted != element &&
        std::ranges::none_of(m_waiting, [element](const Waiting& waiting) { return waiting.element == element; }))
        m_waiting.push_back({element, std::move(retry)});
    if (!m_busy && !m_granted) grantNext();
    return false;
}

void DataTurns::leave() {
    m_busy = false;
    if (!m_granted) grantNext();
}

void DataTurns::grantNext() {
    while (!m_waiting.empty() && !m_waiting.front().element) m_waiting.pop_front();
    if (m_waiting.empty()) return;
    Waiting next = std::move(m_waiting.front());
    m_waiting.pop_front();
    m_granted = next.element;
    QMetaObject::invokeMethod(this, [this, next = std::move(next)] {
        if (next.element) next.retry();
        // A turn the element did not take (it has gone, or has nothing to raise) passes on.
        if (m_granted == next.element || !m_granted) {
            m_granted = nullptr;
            if (!m_busy) grantNext();
        }
    }, Qt::QueuedConnection);
}
