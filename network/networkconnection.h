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
class NetworkConnection : public QObject, public SerialisableDataPacketAcceptorInterface
{
    Q_OBJECT

public:
    static constexpr int CONNECT_TIMEOUT_MS = 500;

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

    QString m_peerIdentifier;
    QString m_clientIdentifier;
    QTcpSocket* m_socket = nullptr;
    IncomingFrameBuffer m_incomingBuffer;
};

// The enumerator's name for a socket error, or a text naming the value as
// illegal; an int so that any value read from anywhere can be named.
QString socketErrorText(int socketError);

// An endpoint as the server knows it: the IPv4 address as one unsigned number
// (0 when not IPv4) followed by the port, both in decimal, no separator.
QString endpointIdentifier(const QHostAddress& address, quint16 port);
