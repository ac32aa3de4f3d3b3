#pragma once

#include "main_window/form1.h"
#include "test_support.h"

#include <QLineEdit>
#include <QTest>
#include <memory>

namespace testing {

// A running server in a form of its own, with its port and a helper to answer boxes.
struct ServerFixture {
    ProgramFolder folder;
    ModalAnswerer answerer;
    std::unique_ptr<Form1> form;
    quint16 port = 0;

    explicit ServerFixture(const QString& maxClients = QStringLiteral("10")) {
        form = std::make_unique<Form1>();
        port = freeTcpPort();
        started = startServer(*form, answerer, port, maxClients);
    }

    // Output added from now on.
    qsizetype mark() const { return form->outputText().size(); }
    QString since(qsizetype mark) const { return outputSince(*form, mark); }
    bool waitForOutput(qsizetype mark, const QString& text, int timeoutMs = 5000) const {
        return waitUntil([&] { return since(mark).contains(text); }, timeoutMs);
    }
    std::unique_ptr<RawPeer> join(const QString& nick) { return joinAs(*form, port, nick); }
    // alice and bob joined; alice's copy of bob's joined notice is taken from the wire.
    std::pair<std::unique_ptr<RawPeer>, std::unique_ptr<RawPeer>> joinAliceAndBob() {
        auto alice = join(QStringLiteral("alice"));
        auto bob = join(QStringLiteral("bob"));
        if (!alice || !bob || !alice->expect(QByteArray(">>> bob has joined <<<"))) return {};
        return {std::move(alice), std::move(bob)};
    }
    // A peer that is connected and accepted but has sent nothing.
    std::unique_ptr<RawPeer> connectUnnamed() {
        auto peer = std::make_unique<RawPeer>();
        const qsizetype before = mark();
        if (!peer->connectTo(port) || !waitForOutput(before, QStringLiteral(" Port="))) return nullptr;
        return peer;
    }
    // The person at the server types a line and presses Return.
    void type(const QString& line) {
        form->Text3->setFocus();
        form->Text3->setText(line);
        QTest::keyClick(form->Text3, Qt::Key_Return);
    }

    bool started = false;
};

// The four lines the server shows for an accepted connection from this peer.
inline QString acceptanceLines(const RawPeer& peer) {
    auto& socket = const_cast<RawPeer&>(peer).socket();
    return QStringLiteral("Connection accepted with:\r\n IP=127.0.0.1\r\n Name=localhost\r\n Port=") +
           QString::number(socket.localPort()) + QStringLiteral("\r\n");
}

} // namespace testing
