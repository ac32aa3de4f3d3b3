#pragma once

#include <QtGlobal>
#include <vector>

// The socket states the title bar last recorded, for indices 0 to maxClients. Sizing checks the
// bound as a fixed array would, but storage grows only with the indices actually used, so a huge
// limit from the settings file costs nothing until clients arrive.
class LastStateTable {
public:
    // Fails like sizing an array: a negative bound is out of range, one no 32-bit program could
    // hold is out of memory. All elements read 0 afterwards.
    void resize(qint32 upperBound);
    qint32 upperBound() const { return m_upperBound; }
    bool contains(qint32 index) const { return index >= 0 && index <= m_upperBound; }
    qint32 value(qint32 index) const;
    void set(qint32 index, qint32 state);

private:
    qint32 m_upperBound = -1;
    std::vector<qint32> m_states;
};
