#pragma once

#include <memory>
#include <vector>

struct SendBacklog;

// The senders whose messages the running DataArrival handlers pass on, innermost last. What a
// handler sends counts against the sender it passes on, so that a flood slows its own source.
class SenderStack {
public:
    void push(std::shared_ptr<SendBacklog> sender);
    void pop();
    // The sender of the innermost running handler, or nullptr outside of any.
    std::shared_ptr<SendBacklog> current() const;

private:
    std::vector<std::shared_ptr<SendBacklog>> m_senders;
};
