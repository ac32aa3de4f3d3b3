#include "console.h"

#include <QStringList>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

// Standard output is written by a thread of its own from a bounded buffer, so that a reader that
// stops reading (a paused terminal, a pager) never holds up the program: past the bound, lines
// are left out, and their number is told once the output flows again.
class OutputWriter {
public:
    static constexpr qsizetype Capacity = 1 << 20;
    static constexpr std::chrono::milliseconds BatchInterval{10};

    OutputWriter() {
        // A reader that has gone must not end the program: writes then fail with EPIPE instead.
        std::signal(SIGPIPE, SIG_IGN);
        std::thread([this] { run(); }).detach();
    }

    void write(const QByteArray& text) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_gone) return;
        // Once lines are left out, more are until half the buffer has gone out: one gap, told
        // once, rather than a line here and there.
        const qsizetype held = m_writing + m_pending.size();
        if (held + text.size() > Capacity || (m_leftOut > 0 && held > Capacity / 2)) {
            m_leftOut += qMax<qsizetype>(1, text.count('\n'));
            return;
        }
        tellLeftOut();
        m_pending += text;
        m_ready.notify_one();
    }

    // Waits a moment for what is pending to be written; a stalled reader does not hold up the end.
    void drain(std::chrono::milliseconds most) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_drained.wait_for(lock, most, [this] { return m_gone || (m_pending.isEmpty() && m_writing == 0 && m_leftOut == 0); });
    }

private:
    void run() {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_ready.wait(lock, [this] { return !m_pending.isEmpty(); });
            QByteArray chunk;
            chunk.swap(m_pending);
            m_writing = chunk.size();
            lock.unlock();
            const bool written = writeAll(chunk);
            lock.lock();
            m_writing = 0;
            if (!written) {
                m_gone = true;
                m_pending.clear();
                std::fputs("parleon: standard output is gone; the server goes on without it.\n", stderr);
                std::fflush(stderr);
            }
            // Once all has gone out, lines left out meanwhile are told even if nothing follows.
            if (m_pending.isEmpty()) tellLeftOut();
            m_drained.notify_all();
            if (m_gone) return;
            // Lines that come meanwhile go out together: one write for many, and no wake-up for each.
            lock.unlock();
            std::this_thread::sleep_for(BatchInterval);
            lock.lock();
        }
    }

    void tellLeftOut() {
        if (m_leftOut == 0) return;
        m_pending += "[" + QByteArray::number(m_leftOut) + (m_leftOut == 1 ? " line" : " lines") +
                     " left out: standard output was not read]\n";
        m_leftOut = 0;
    }

    static bool writeAll(const QByteArray& bytes) {
        for (qsizetype at = 0; at < bytes.size();) {
            const ssize_t n = ::write(STDOUT_FILENO, bytes.constData() + at, size_t(bytes.size() - at));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            at += n;
        }
        return true;
    }

    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::condition_variable m_drained;
    QByteArray m_pending;
    qint64 m_leftOut = 0;
    qsizetype m_writing = 0; // the bytes being written now
    bool m_gone = false;
};

OutputWriter& writer() {
    // Never destroyed: its thread may be blocked in a write to a reader that has stopped.
    static auto* instance = new OutputWriter;
    return *instance;
}

} // namespace

void writeOutput(const QString& text) { writer().write(text.toUtf8()); }

void keepStandardDescriptors() {
    // A program started with standard input, output or error closed would otherwise hand those
    // numbers to the first files and sockets it opens, and write its log into them.
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd)
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            const int null = ::open("/dev/null", O_RDWR);
            if (null >= 0 && null != fd) ::close(null);
        }
}

void flushOutput() { writer().drain(std::chrono::milliseconds(1000)); }

void writeMessage(const QString& text) {
    for (const QString& line : QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split(QLatin1Char('\n')))
        std::fprintf(stderr, "parleon: %s\n", line.toUtf8().constData());
    std::fflush(stderr);
}

} // namespace platform
