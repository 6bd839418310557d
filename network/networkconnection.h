#pragma once

#include "incomingframebuffer.h"
#include "serialisabledatapacketacceptorinterface.h"

#include <QAbstractSocket>
#include <QObject>
#include <QString>

#include <memory>

class QHostAddress;
class QTcpSocket;
class RawDataPacket;

// One TCP connection to the server: owns the socket, opens it with a short
// blocking wait, feeds what arrives to the framing loop and writes outgoing
// packets. It gives the client its identity towards the server (local address
// and port). It does not decide when to connect or reconnect (the manager
// does), and it neither queues nor retries what it sends.
//
// The connection can be lost inside any call that uses the socket: a write
// that fails reports the loss (disconnectedFromHost) before send() returns.
// Frames still buffered from a lost connection are not delivered. A socket
// closed or replaced while one of its own notifications or a send is under
// way is aborted at once and deleted from the event loop.
class NetworkConnection : public QObject, public SerialisableDataPacketAcceptorInterface
{
    Q_OBJECT

public:
    static constexpr int CONNECT_TIMEOUT_MS = 500;
    // A backlog this large means the server has stopped reading; further
    // packets are dropped until it shrinks, so memory stays bounded.
    static constexpr qint64 MaxUnsentBytes = 16 * 1024 * 1024;

    explicit NetworkConnection(QObject* parent = nullptr);
    ~NetworkConnection() override;

    bool connectToHost(const QString& host, quint16 port);
    bool connectToHost(const QHostAddress& address, quint16 port);
    // Exchanges socket with the current one; the caller gets the previous
    // socket (or null) and owns it. Returns whether the new socket is open.
    bool setSocket(QTcpSocket*& socket);
    void closeConnection();
    bool isConnected() const;

    // Both keep the values of the last successful connection.
    QString clientIdentifier() const { return m_clientIdentifier; }
    QString peerIdentifier() const { return m_peerIdentifier; }

    // Read notifications that met a frame header claiming more than
    // IncomingFrameBuffer::MaxPayloadLength: data the server sent was lost.
    int oversizedFrames() const { return m_incomingBuffer.oversizedFrames(); }

    bool canAcceptPacket(QString className) override;
    void acceptPacket(const SerialisableDataPacket& packet) override;
    virtual void sendPacket(std::shared_ptr<RawDataPacket> packet);

signals:
    void disconnectedFromHost();

private slots:
    void onReadyRead();
    void onSocketError(QAbstractSocket::SocketError socketError);

private:
    void setUpSocket();
    void updateIdentifiers();
    void send(const RawDataPacket& packet);
    void discardSocket(QTcpSocket* socket);

    QString m_peerIdentifier;
    QString m_clientIdentifier;
    QTcpSocket* m_socket = nullptr;
    IncomingFrameBuffer m_incomingBuffer;
    // Calls under way that use the socket (its notifications, sends).
    int m_socketCallDepth = 0;
    bool m_droppingSends = false;
};

// The enumerator's name for a socket error, or a text naming the value as
// illegal; an int so that any value read from anywhere can be named.
QString socketErrorText(int socketError);

// An endpoint as the server knows it: the IPv4 address as one unsigned number
// (0 when it has no IPv4 form) followed by the port, both in decimal, no separator.
QString endpointIdentifier(const QHostAddress& address, quint16 port);
