#include "networkconnection.h"

#include "rawdatapacket.h"
#include "serialisabledatapacket.h"
#include "vqlog.h"

#include <QHostAddress>
#include <QMetaType>
#include <QTcpSocket>

#include <utility>

namespace {

const char* const SOCKET_ERROR_NAMES[] = {
    "QAbstractSocket::UnknownSocketError",
    "QAbstractSocket::ConnectionRefusedError",
    "QAbstractSocket::RemoteHostClosedError",
    "QAbstractSocket::HostNotFoundError",
    "QAbstractSocket::SocketAccessError",
    "QAbstractSocket::SocketResourceError",
    "QAbstractSocket::SocketTimeoutError",
    "QAbstractSocket::DatagramTooLargeError",
    "QAbstractSocket::NetworkError",
    "QAbstractSocket::AddressInUseError",
    "QAbstractSocket::SocketAddressNotAvailableError",
    "QAbstractSocket::UnsupportedSocketOperationError",
    "QAbstractSocket::UnfinishedSocketOperationError",
    "QAbstractSocket::ProxyAuthenticationRequiredError",
    nullptr, // 13 is not an enumerator
    "QAbstractSocket::ProxyConnectionRefusedError",
    "QAbstractSocket::ProxyConnectionClosedError",
    "QAbstractSocket::ProxyConnectionTimeoutError",
    "QAbstractSocket::ProxyNotFoundError",
    "QAbstractSocket::ProxyProtocolError",
};
// The table starts at UnknownSocketError, -1.
constexpr int FIRST_SOCKET_ERROR = -1;

} // namespace

QString socketErrorText(int socketError)
{
    const int count = int(sizeof(SOCKET_ERROR_NAMES) / sizeof(SOCKET_ERROR_NAMES[0]));
    // Range first: the index alone would overflow for values near INT_MAX.
    if (socketError >= FIRST_SOCKET_ERROR && socketError < FIRST_SOCKET_ERROR + count
        && SOCKET_ERROR_NAMES[socketError - FIRST_SOCKET_ERROR])
        return QLatin1String(SOCKET_ERROR_NAMES[socketError - FIRST_SOCKET_ERROR]);
    return QStringLiteral("illegal value for QAbstractSocket::SocketError: %1").arg(socketError);
}

QString endpointIdentifier(const QHostAddress& address, quint16 port)
{
    // An IPv4-mapped IPv6 address (a dual-stack listener's view of an IPv4
    // peer) counts as the IPv4 address it holds.
    return QStringLiteral("%1%2").arg(address.toIPv4Address()).arg(port);
}

NetworkConnection::NetworkConnection(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<QAbstractSocket::SocketError>("QAbstractSocket::SocketError");
}

NetworkConnection::~NetworkConnection() = default;

bool NetworkConnection::connectToHost(const QString& host, quint16 port)
{
    discardSocket(std::exchange(m_socket, new QTcpSocket(this)));
    setUpSocket();
    m_socket->connectToHost(host, port, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    if (!m_socket->waitForConnected(CONNECT_TIMEOUT_MS))
        return false;
    updateIdentifiers();
    return true;
}

bool NetworkConnection::connectToHost(const QHostAddress& address, quint16 port)
{
    return connectToHost(address.toString(), port);
}

bool NetworkConnection::setSocket(QTcpSocket*& socket)
{
    std::swap(socket, m_socket);
    if (socket) {
        // Handed back: it no longer talks to this connection.
        disconnect(socket, nullptr, this, nullptr);
        socket->setParent(nullptr);
    }
    if (!m_socket) {
        m_socket = new QTcpSocket(this);
        setUpSocket();
        return false;
    }
    m_socket->setParent(this);
    setUpSocket();
    updateIdentifiers();
    return m_socket->isOpen();
}

void NetworkConnection::closeConnection()
{
    // Cleared first: a disconnection reported while the socket is destroyed
    // finds the connection already without one.
    discardSocket(std::exchange(m_socket, nullptr));
}

void NetworkConnection::discardSocket(QTcpSocket* socket)
{
    if (!socket)
        return;
    if (m_socketCallDepth == 0) {
        delete socket;
        return;
    }
    // A call on it is still on the stack: closed now (it reports nothing
    // more after that), deleted when that call has returned.
    socket->abort();
    socket->deleteLater();
}

bool NetworkConnection::isConnected() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

bool NetworkConnection::canAcceptPacket(QString)
{
    return true;
}

void NetworkConnection::acceptPacket(const SerialisableDataPacket& packet)
{
    send(packet);
}

void NetworkConnection::sendPacket(std::shared_ptr<RawDataPacket> packet)
{
    if (packet)
        send(*packet);
}

namespace {

// Counts a call that uses the socket for as long as it runs.
class SocketCall
{
public:
    explicit SocketCall(int& depth)
        : m_depth(depth)
    {
        ++m_depth;
    }
    ~SocketCall() { --m_depth; }
    SocketCall(const SocketCall&) = delete;
    SocketCall& operator=(const SocketCall&) = delete;

private:
    int& m_depth;
};

} // namespace

void NetworkConnection::send(const RawDataPacket& packet)
{
    if (!m_socket || !m_socket->isWritable())
        return;
    const qint64 unsent = m_socket->bytesToWrite();
    if (unsent > MaxUnsentBytes) {
        // Once per backlog, not once per packet.
        if (!std::exchange(m_droppingSends, true))
            VqLog::warn("Outgoing buffer holds {} bytes the server has not taken; dropping packets until it drains",
                        unsent);
        return;
    }
    m_droppingSends = false;
    // Writing only buffers; the flush meets a failed connection and reports
    // it, and whoever hears of that may close or replace the socket.
    const SocketCall call(m_socketCallDepth);
    writePacket(packet, m_socket);
    m_socket->flush();
}

void NetworkConnection::onReadyRead()
{
    if (!m_socket)
        return;
    const SocketCall call(m_socketCallDepth);
    m_incomingBuffer.readFrom(*m_socket);
}

void NetworkConnection::onSocketError(QAbstractSocket::SocketError socketError)
{
    VqLog::info("{}", socketErrorText(socketError));
}

void NetworkConnection::setUpSocket()
{
    connect(m_socket, &QIODevice::readyRead, this, &NetworkConnection::onReadyRead, Qt::DirectConnection);
    // Before the loss is passed on: whatever the listeners do, the frames of
    // a lost connection that are still being delivered stay undelivered.
    connect(m_socket, &QAbstractSocket::disconnected, this, [this] { m_incomingBuffer.stopDelivery(); },
            Qt::DirectConnection);
    connect(m_socket, &QAbstractSocket::disconnected, this, &NetworkConnection::disconnectedFromHost,
            Qt::DirectConnection);
#if QT_VERSION >= QT_VERSION_CHECK(5, 15, 0)
    connect(m_socket, &QAbstractSocket::errorOccurred, this, &NetworkConnection::onSocketError);
#else
    connect(m_socket, static_cast<void (QAbstractSocket::*)(QAbstractSocket::SocketError)>(&QAbstractSocket::error),
            this, &NetworkConnection::onSocketError);
#endif
    m_incomingBuffer.clear();
}

void NetworkConnection::updateIdentifiers()
{
    m_peerIdentifier = endpointIdentifier(m_socket->peerAddress(), m_socket->peerPort());
    m_clientIdentifier = endpointIdentifier(m_socket->localAddress(), m_socket->localPort());
}
