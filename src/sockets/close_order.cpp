#include "close_order.h"

void CloseOrder::queue(Closing closing) {
    m_order.push_back(std::move(closing));
    schedule();
}

void CloseOrder::schedule() {
    while (!m_order.empty()) {
        Closing& head = m_order.front();
        if (!head.element || !head.due()) {
            m_order.pop_front();
            continue;
        }
        if (head.ready()) head.raise();
        return;
    }
}

bool CloseOrder::takeIfNext(const QObject* element) {
    if (m_order.empty() || m_order.front().element.data() != element) return false;
    m_order.pop_front();
    return true;
}
