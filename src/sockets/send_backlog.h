#pragma once

#include <QtGlobal>
#include <functional>

// A reader with more than this of one sender's messages waiting is behind that sender; one with
// less than the lower mark has caught up with it.
inline constexpr qint64 BehindAboveBytes = 256 * 1024;
inline constexpr qint64 CaughtUpBelowBytes = 64 * 1024;

// Most a connection may have queued for a peer that has taken nothing for a while, and most a
// reader may have of one sender's messages waiting while most of that sender's readers keep up:
// such a peer (one that stopped reading, or one that fell far behind the rest) loses its
// connection instead of growing the program's memory without end. A peer that keeps up takes any
// amount, a message larger than this too.
inline constexpr qint64 MaxQueuedBytesPerConnection = 4 * 1024 * 1024;

// What one sender's messages have queued at the other connections and not yet handed to the
// system. The relay reads from a sender only while most of its readers keep up, so a flood slows
// its own source through TCP instead of filling the server's memory, and one slow reader does not
// set everyone's pace.
struct SendBacklog {
    qint64 queued = 0;
    qint64 lastDrainMs = 0;             // when some of these bytes last left, or were first queued
    int readers = 1;                    // the other connections its last message went to
    int readersBehind = 0;              // readers with more than BehindAboveBytes of these waiting
    int readersNotCaughtUp = 0;         // readers with CaughtUpBelowBytes or more of these waiting
    int readersAtTheCap = 0;            // readers with more than MaxQueuedBytesPerConnection of these
    std::function<void()> onChanged;    // the sender looks again at whether it may read

    bool mostReadersBehind() const { return 2 * readersBehind > readers; }
    bool mostReadersCaughtUp() const { return 2 * readersNotCaughtUp <= readers; }
    // Its message being passed on has gone to one more of the others.
    void passedOnTo() { readers = qMax(readers, ++m_passedOn); }
    // Its message has been passed on: those it went to are its readers from now on.
    void passedOn() {
        if (m_passedOn > 0) readers = m_passedOn;
        m_passedOn = 0;
    }

private:
    int m_passedOn = 0;
};
