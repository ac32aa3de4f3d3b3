#pragma once

#include <QString>
#include <QObject>
#include <functional>

class ErrorReporter;

// Reverse lookup of a dotted IPv4 address to its registered host name. It runs on a worker while
// the caller yields, for at most a few seconds. A failure is reported (context "Error while
// getting Host-Name") and gives "(unknown)".
QString getHostName(ErrorReporter& reporter, const QString& ip);

// The same in two steps, for a caller that yields for the lookup before it may report.
struct HostNameAnswer {
    bool found = false;
    QByteArray name;
    qint32 error = 0;
};
HostNameAnswer lookUpHostName(const QString& ip); // yields meanwhile, the user's input waiting
// Without waiting: done runs later on the context's thread with the answer, or with error 11002
// once the bound has passed; never once the context is gone.
void lookUpHostNameLater(const QString& ip, QObject* context, std::function<void(const HostNameAnswer&)> done);
QString hostNameOf(ErrorReporter& reporter, const HostNameAnswer& answer);

// Copies a zero-terminated 8-bit string from memory the resolver owns.
QString pointerToString(ErrorReporter& reporter, const char* address);

// The outcome of one reverse lookup: the name, or a Windows Sockets error number.
struct ReverseLookupResult {
    const char* name = nullptr;
    qint32 error = 0;
};
using ReverseLookup = std::function<ReverseLookupResult(quint32 networkOrderAddress)>;

// Replaces the system resolver; only tests use it, so that no lookup leaves the machine. The
// lookup runs on a worker thread.
void setReverseLookupForTests(ReverseLookup lookup);
