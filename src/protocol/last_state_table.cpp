#include "last_state_table.h"

#include "platform/err_object.h"

namespace {
// Four bytes an element: more than this would not fit the address space of a 32-bit program.
constexpr qint64 MaxElements = qint64(1) << 29;
} // namespace

void LastStateTable::resize(qint32 upperBound) {
    if (upperBound < 0)
        throw RuntimeError(RunTimeErrors::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
    if (qint64(upperBound) + 1 > MaxElements)
        throw RuntimeError(RunTimeErrors::OutOfMemory, QStringLiteral("Out of memory"));
    m_upperBound = upperBound;
    m_states.clear();
}

qint32 LastStateTable::value(qint32 index) const {
    if (!contains(index))
        throw RuntimeError(RunTimeErrors::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
    return static_cast<size_t>(index) < m_states.size() ? m_states[static_cast<size_t>(index)] : 0;
}

void LastStateTable::set(qint32 index, qint32 state) {
    if (!contains(index))
        throw RuntimeError(RunTimeErrors::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
    if (static_cast<size_t>(index) >= m_states.size()) m_states.resize(static_cast<size_t>(index) + 1, 0);
    m_states[static_cast<size_t>(index)] = state;
}
