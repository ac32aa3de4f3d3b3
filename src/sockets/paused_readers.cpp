#include "paused_readers.h"

namespace {
// How often readers held back for their senders' sake are looked at again.
constexpr int PausedReadersCheckMs = 100;
} // namespace

PausedReaders::PausedReaders() {
    m_timer.setInterval(PausedReadersCheckMs);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { lookAgainAtAll(); });
}

void PausedReaders::watch(int index, QObject& reader, LookAgain lookAgain) {
    Reader& watched = m_readers[{index, &reader}];
    // A reader deleted since may have left its entry to a new one at the same address.
    if (!watched.element) watched = {&reader, std::move(lookAgain)};
    if (!m_timer.isActive()) m_timer.start();
}

void PausedReaders::lookAgainAtAll() {
    for (auto it = m_readers.begin(); it != m_readers.end();) {
        Reader& reader = it->second;
        if (reader.element && reader.lookAgain())
            ++it;
        else
            it = m_readers.erase(it);
    }
    if (m_readers.empty()) m_timer.stop();
}
