#include "host_name.h"

#include "platform/err_object.h"
#include "platform/error_trap.h"
#include "sockets/ipv4_address.h"

#include "platform/yield.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostInfo>
#include <QPointer>
#include <QTimer>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <arpa/inet.h>
#include <netdb.h>

namespace {

const QString lookupContext = QStringLiteral("Error while getting Host-Name");

// How long a handler waits for a reverse lookup before it takes the name as unknown.
constexpr qint64 LookupBoundMs = 3000;

ReverseLookupResult systemReverseLookup(quint32 networkOrderAddress) {
    in_addr address{};
    address.s_addr = networkOrderAddress;
    if (address.s_addr == htonl(INADDR_ANY)) {
        // The unspecified address stands for this host, as on the platform the program came from.
        static thread_local QByteArray localName;
        localName = QHostInfo::localHostName().toLocal8Bit();
        return {localName.constData(), 0};
    }
    // Runs on a worker thread: the reentrant form, with the entry in storage of this thread.
    static thread_local hostent entry;
    static thread_local char buffer[8192];
    hostent* found = nullptr;
    int error = 0;
    if (gethostbyaddr_r(&address, sizeof address, AF_INET, &entry, buffer, sizeof buffer, &found, &error) == 0 && found)
        return {found->h_name, 0};
    // The resolver's h_errno codes line up with the Windows Sockets ones, 11000 higher.
    switch (error) {
    case TRY_AGAIN: return {nullptr, 11002};
    case NO_RECOVERY: return {nullptr, 11003};
    case NO_DATA: return {nullptr, 11004};
    default: return {nullptr, 11001};
    }
}

ReverseLookup& activeLookup() {
    static ReverseLookup lookup = systemReverseLookup;
    return lookup;
}

// A lookup handed to a worker. The caller may give up waiting; the worker then finishes alone.
struct PendingLookup {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool abandoned = false;
    HostNameAnswer answer;
};

// A few plain threads, without an event loop of their own (which would need descriptors the
// program may be short of): a resolver that answers slowly ties up these, not the program, and a
// burst of lookups queues here instead of starting a thread each. They are never joined: a lookup
// still stuck in the resolver must not hold up the program's exit.
class LookupWorkers {
public:
    // False when there is no thread to run the task and none can be started.
    bool start(std::function<void()> task) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_tasks.push_back(std::move(task));
        if (m_idle > 0 || m_threads >= MaxThreads) {
            m_ready.notify_one();
            return true;
        }
        try {
            std::thread([this] { work(); }).detach();
            ++m_threads;
        } catch (const std::system_error&) {
            if (m_threads > 0) return true;
            m_tasks.pop_back();
            return false;
        }
        return true;
    }

private:
    static constexpr int MaxThreads = 4;

    void work() {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            ++m_idle;
            m_ready.wait(lock, [this] { return !m_tasks.empty(); });
            --m_idle;
            std::function<void()> task = std::move(m_tasks.front());
            m_tasks.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<std::function<void()>> m_tasks;
    int m_threads = 0;
    int m_idle = 0;
};

LookupWorkers& lookupWorkers() {
    static auto* workers = new LookupWorkers;
    return *workers;
}

} // namespace

void setReverseLookupForTests(ReverseLookup lookup) {
    activeLookup() = lookup ? std::move(lookup) : ReverseLookup(systemReverseLookup);
}

QString pointerToString(ErrorReporter& reporter, const char* address) {
    QString result;
    const bool copied = withErrorTrap(reporter, [] { return lookupContext; }, [&] {
        result = address ? QString::fromLocal8Bit(address) : QString();
    });
    return copied ? result : QStringLiteral("PointerToStringError");
}

namespace {
// Starts the lookup on a worker; finished runs there with the answer. Null when no worker could
// be started.
std::shared_ptr<PendingLookup> startLookup(const QString& ip, std::function<void(const HostNameAnswer&)> finished) {
    // Every part is a decimal number, as the connect dialog means it. Text that is no address
    // converts to 255.255.255.255, as the system's conversion has it, and is looked up too.
    const quint32 address = htonl(parseDottedDecimal(ip).value_or(INADDR_NONE));
    auto job = std::make_shared<PendingLookup>();
    ReverseLookup lookup = activeLookup();
    const bool started = lookupWorkers().start([job, lookup, address, finished = std::move(finished)] {
        {
            const std::lock_guard<std::mutex> lock(job->mutex);
            if (job->abandoned) return;
        }
        const ReverseLookupResult found = lookup(address);
        HostNameAnswer answer{found.name != nullptr, found.name ? QByteArray(found.name) : QByteArray(), found.error};
        {
            const std::lock_guard<std::mutex> lock(job->mutex);
            job->answer = answer;
            job->done = true;
            job->finished.notify_all();
        }
        finished(answer);
    });
    return started ? job : nullptr;
}

// The resolver did not answer in time, or no worker could be started: as when it asks to try again.
const HostNameAnswer NoAnswer{false, {}, 11002};
} // namespace

void lookUpHostNameLater(const QString& ip, QObject* context, std::function<void(const HostNameAnswer&)> done) {
    // The answer and the bound both come to the program's thread; the first one counts.
    struct Delivery {
        bool delivered = false;
        std::function<void(const HostNameAnswer&)> done;
    };
    auto delivery = std::make_shared<Delivery>(Delivery{false, std::move(done)});
    const auto deliver = [delivery](const HostNameAnswer& answer) {
        if (delivery->delivered) return;
        delivery->delivered = true;
        delivery->done(answer);
    };
    const QPointer<QObject> target(context);
    std::shared_ptr<PendingLookup> job = startLookup(ip, [target, deliver](const HostNameAnswer& answer) {
        // Posted to the application, which outlives the context; the context is looked at there.
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, [target, deliver, answer] { if (target) deliver(answer); }, Qt::QueuedConnection);
    });
    if (!job) {
        QMetaObject::invokeMethod(context, [deliver] { deliver(NoAnswer); }, Qt::QueuedConnection);
        return;
    }
    QTimer::singleShot(LookupBoundMs, context, [job, deliver] {
        {
            const std::lock_guard<std::mutex> lock(job->mutex);
            job->abandoned = true;
        }
        deliver(NoAnswer);
    });
}

HostNameAnswer lookUpHostName(const QString& ip) {
    std::shared_ptr<PendingLookup> job = startLookup(ip, [](const HostNameAnswer&) {
        // Wakes the program's event loop, which waits below.
        if (QCoreApplication* app = QCoreApplication::instance()) QMetaObject::invokeMethod(app, [] {}, Qt::QueuedConnection);
    });
    if (!job) return NoAnswer;
    const QDeadlineTimer deadline(LookupBoundMs);
    const platform::UserInputDeferred userInputWaits;
    std::unique_lock<std::mutex> lock(job->mutex);
    while (!job->done && !deadline.hasExpired()) {
        lock.unlock();
        if (platform::mayYield()) platform::doEventsWaiting(int(qMin<qint64>(deadline.remainingTime(), 50)));
        lock.lock();
        // Too deeply nested to yield: wait for the worker itself.
        if (!job->done && !platform::mayYield())
            job->finished.wait_for(lock, std::chrono::milliseconds(qMax<qint64>(deadline.remainingTime(), 0)));
    }
    if (job->done) return job->answer;
    job->abandoned = true;
    return NoAnswer;
}

QString hostNameOf(ErrorReporter& reporter, const HostNameAnswer& answer) {
    QString result = QStringLiteral("(unknown)");
    withErrorTrap(reporter, [] { return lookupContext; }, [&] {
        if (answer.found) {
            result = pointerToString(reporter, answer.name.constData());
            return;
        }
        Err().lastDllError = answer.error;
        throw RuntimeError(answer.error, QStringLiteral("Cannot resolve IP-Address to Host-Name."));
    });
    return result;
}

QString getHostName(ErrorReporter& reporter, const QString& ip) { return hostNameOf(reporter, lookUpHostName(ip)); }
