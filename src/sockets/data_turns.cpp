#include "data_turns.h"

#include <utility>

bool DataTurns::enter(QObject* element, std::function<void()> retry) {
    const bool granted = std::exchange(m_granting, false);
    if (!m_busy && (granted || (!m_grantPosted && m_waiting.empty()))) {
        m_busy = true;
        return true;
    }
    m_waiting.push_back({element, std::move(retry)});
    if (!m_busy && !m_grantPosted) grantNext();
    return false;
}

void DataTurns::leave() {
    m_busy = false;
    if (!m_grantPosted) grantNext();
}

void DataTurns::grantNext() {
    while (!m_waiting.empty() && !m_waiting.front().element) m_waiting.pop_front();
    if (m_waiting.empty()) return;
    m_grantPosted = true;
    QMetaObject::invokeMethod(this, [this, next = std::move(m_waiting.front())] {
        m_grantPosted = false;
        if (next.element) {
            m_granting = true;
            next.retry();
            m_granting = false;
        }
        // A turn that was not taken (its element has gone, or had nothing to raise) passes on.
        if (!m_busy && !m_grantPosted) grantNext();
    }, Qt::QueuedConnection);
    m_waiting.pop_front();
}
