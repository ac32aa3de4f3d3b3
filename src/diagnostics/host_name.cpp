#include "host_name.h"

#include "platform/err_object.h"
#include "platform/error_trap.h"
#include "sockets/ipv4_address.h"

#include <QHostInfo>
#include <arpa/inet.h>
#include <netdb.h>

namespace {

const QString lookupContext = QStringLiteral("Error while getting Host-Name");

ReverseLookupResult systemReverseLookup(quint32 networkOrderAddress) {
    in_addr address{};
    address.s_addr = networkOrderAddress;
    if (address.s_addr == htonl(INADDR_ANY)) {
        // The unspecified address stands for this host, as on the platform the program came from.
        static QByteArray localName;
        localName = QHostInfo::localHostName().toLocal8Bit();
        return {localName.constData(), 0};
    }
    if (const hostent* entry = gethostbyaddr(&address, sizeof address, AF_INET)) return {entry->h_name, 0};
    // The resolver's h_errno codes line up with the Windows Sockets ones, 11000 higher.
    switch (h_errno) {
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

QString getHostName(ErrorReporter& reporter, const QString& ip) {
    QString result = QStringLiteral("(unknown)");
    withErrorTrap(reporter, [] { return lookupContext; }, [&] {
        // Every part is a decimal number, as the connect dialog means it. Text that is no address
        // converts to 255.255.255.255, as the system's conversion has it, and is looked up too.
        const quint32 address = htonl(parseDottedDecimal(ip).value_or(INADDR_NONE));
        const ReverseLookupResult found = activeLookup()(address);
        if (found.name) {
            result = pointerToString(reporter, found.name);
            return;
        }
        Err().lastDllError = found.error;
        throw RuntimeError(found.error, QStringLiteral("Cannot resolve IP-Address to Host-Name."));
    });
    return result;
}
