#include "sender_stack.h"

#include "send_backlog.h"

void SenderStack::push(std::shared_ptr<SendBacklog> sender) {
    m_senders.push_back(std::move(sender));
}

void SenderStack::pop() {
    if (m_senders.back()) m_senders.back()->passedOn();
    m_senders.pop_back();
}

std::shared_ptr<SendBacklog> SenderStack::current() const {
    return m_senders.empty() ? nullptr : m_senders.back();
}
