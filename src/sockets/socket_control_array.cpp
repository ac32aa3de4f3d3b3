#include "socket_control_array.h"

#include "platform/err_object.h"

SocketControlArray::SocketControlArray(QObject* parent) : QObject(parent) { Load(0); }

SocketControlArray::~SocketControlArray() {
    for (auto& [index, element] : m_elements) delete element;
    m_elements.clear();
}

SocketControl* SocketControlArray::find(int index) const {
    const auto it = m_elements.find(index);
    return it == m_elements.end() ? nullptr : it->second;
}

bool SocketControlArray::isLoaded(int index) const { return find(index) != nullptr; }

SocketControl& SocketControlArray::operator()(int index) {
    if (SocketControl* element = find(index)) return *element;
    throw RuntimeError(RunTimeErrors::ElementDoesNotExist,
                       QStringLiteral("Control array element '%1' doesn't exist").arg(index));
}

void SocketControlArray::Load(int index) {
    if (index < 0)
        throw RuntimeError(RunTimeErrors::ElementDoesNotExist,
                           QStringLiteral("Control array element '%1' doesn't exist").arg(index));
    if (isLoaded(index))
        throw RuntimeError(RunTimeErrors::ElementAlreadyLoaded, QStringLiteral("Object already loaded"));
    m_elements[index] = new SocketControl(*this, m_shared, index);
}

void SocketControlArray::Unload(int index) {
    if (index == 0)
        throw RuntimeError(RunTimeErrors::CannotUnloadElementZero,
                           QStringLiteral("Can't unload controls created at design time"));
    SocketControl& element = (*this)(index);
    m_elements.erase(index);
    element.Close();
    // The handler that unloads the element may be one of its own.
    element.deleteLater();
}

ConnectionRef SocketControlArray::refOf(int index) const {
    SocketControl* element = find(index);
    return element ? ConnectionRef{element, element->connectionSerial()} : ConnectionRef{};
}

bool SocketControlArray::stillCarries(int index, const ConnectionRef& ref) const {
    SocketControl* element = find(index);
    return element && element == ref.element && element->connectionSerial() == ref.serial &&
           element->State() != SocketState::Closed;
}

QString SocketControlArray::pendingPeerAddress(qint32 requestID) const {
    return m_shared.pending.peerAddress(requestID);
}

void SocketControlArray::deferRequest(qint32 requestID) { m_shared.pending.defer(requestID); }
