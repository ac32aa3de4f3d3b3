// The server's handling of incoming data: each input is a sequence of events from up to six raw
// TCP peers (connect, send arbitrary bytes or more than one read takes, half-close, reset, read
// or not) and console lines, against a server with three slots.
// After every event the slot table must be consistent; at the end, with every peer gone, no slot
// may be taken. Nothing may crash, and no error box may appear.
#include "harness.h"

#include <QCoreApplication>
#include <QSet>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

struct Server {
    testing::Chat chat;
    quint16 port = testing::freeTcpPort();
};

Server* server = nullptr;

void fail(const char* what) {
    std::fprintf(stderr, "fuzz_server: %s\n", what);
    std::abort();
}

void settle() {
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
}

void checkSlotTable(bool settled) {
    ChatSession& form = server->chat.session;
    if (form.socketCount > form.maxClients) fail("more slots than allowed");
    QSet<QString> names;
    for (int i = 1; i <= form.socketCount; ++i) {
        SocketControl* slot = form.Winsock1.find(i);
        if (!slot) fail("a slot below the top is missing");
        const QString tag = slot->Tag;
        if (tag == QStringLiteral("__FREE__")) continue;
        if (settled && slot->State() == SocketState::Closed) fail("a closed slot is not marked free");
        if (tag.isEmpty()) continue;
        if (names.contains(tag)) fail("two slots hold the same nick name");
        names.insert(tag);
    }
    if (settled && form.Winsock1.loadedCount() != form.socketCount + 1) fail("elements above the top slot");
    if (!testing::script().boxes.empty()) fail(qPrintable(testing::script().boxes.front().text));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Never destroyed: the process ends with the fuzzer, and Qt must not be torn down under it.
    new QCoreApplication(*argc, *argv);
    server = new Server;
    if (!testing::startServer(server->chat, server->port, 3))
        fail("the server did not start");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::unique_ptr<testing::Peer>> peers;
    size_t at = 0;
    const auto next = [&]() -> uint8_t { return at < size ? data[at++] : 0; };
    while (at < size) {
        const uint8_t op = next() % 7;
        if (op == 0 && peers.size() < 6) {
            peers.push_back(std::make_unique<testing::Peer>(server->port));
        } else if (op == 6) {
            // The server writes first: a console line to every client.
            const size_t length = std::min<size_t>(next(), size - at);
            server->chat.type(QString::fromLatin1(reinterpret_cast<const char*>(data + at), qsizetype(length)));
            at += length;
        } else if (!peers.empty()) {
            testing::Peer& peer = *peers[next() % peers.size()];
            if (op == 1) {
                const size_t length = std::min<size_t>(next(), size - at);
                peer.sendSome(QByteArray(reinterpret_cast<const char*>(data + at), qsizetype(length)));
                at += length;
            } else if (op == 2) {
                peer.shutdownWrite(); // half-closed: it still reads
            } else if (op == 3) {
                if (peer.end == testing::Peer::End::Open) peer.resetConnection();
            } else if (op == 4) {
                peer.take(); // peers read only now: the others fill the server's queues
            } else {
                // More than one read takes: the server reads at most 64 KiB at a time.
                peer.sendSome(QByteArray(64 * 1024 * (1 + next() % 4), char(next())));
            }
        }
        settle();
        checkSlotTable(false);
    }
    peers.clear();
    // Closes wait for the newcomers' lookups, which run on worker threads: wait by the clock.
    testing::waitUntil([] { return server->chat.server.clientSlots.countClients() == 0; }, 5000);
    settle();
    if (server->chat.server.clientSlots.countClients() != 0) fail("a slot stays taken after every peer left");
    checkSlotTable(true);
    return 0;
}
