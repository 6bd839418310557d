#include "datacoretoolsession.h"

#include "clientdatacore.h"
#include "clientdatacoreregistry.h"
#include "dummyclient.h"
#include "vqclientdatacoremanager.h"

#include <QDateTime>
#include <QTcpSocket>

DatacoreToolSession::DatacoreToolSession(QObject* parent)
    : QObject(parent)
    , m_distributor(this)
    , m_connection(this)
{
    connect(&m_connection, &NetworkConnection::disconnectedFromHost, this,
            &DatacoreToolSession::onDisconnectedFromHost);
    m_datacoreManager = std::make_unique<VqClientDatacoreManager>(&m_connection, &m_distributor);
    m_distributor.registerPacketAcceptor(this, DummyClient::SYNC_COMPLETE_CLASS_NAME);
    connect(m_datacoreManager->registry(), &ClientDatacoreRegistry::registryHasBeenPopulated, this,
            &DatacoreToolSession::mirrorPopulated);
}

DatacoreToolSession::~DatacoreToolSession()
{
    // Neither a closing reported by the connection while it is destroyed, nor
    // a mirror outliving the connection and distributor it is wired to.
    m_connection.disconnect(this);
    m_datacoreManager.reset();
}

void DatacoreToolSession::connectToServer(const QString& host, quint16 port)
{
    m_pendingSocket = new QTcpSocket(this);
    connect(m_pendingSocket, &QTcpSocket::connected, this, &DatacoreToolSession::onSocketConnected);
#if QT_VERSION >= QT_VERSION_CHECK(5, 15, 0)
    connect(m_pendingSocket, &QAbstractSocket::errorOccurred, this, &DatacoreToolSession::onSocketError);
#else
    connect(m_pendingSocket,
            static_cast<void (QAbstractSocket::*)(QAbstractSocket::SocketError)>(&QAbstractSocket::error), this,
            &DatacoreToolSession::onSocketError);
#endif
    m_pendingSocket->connectToHost(host, port);
}

void DatacoreToolSession::onSocketConnected()
{
    QTcpSocket* socket = m_pendingSocket;
    m_pendingSocket = nullptr;
    socket->disconnect(this);
    // The connection takes the socket over; what comes back is the one it had.
    m_connection.setSocket(socket);
    delete socket;
}

void DatacoreToolSession::onSocketError()
{
    if (!m_pendingSocket)
        return;
    const QString reason = m_pendingSocket->errorString();
    m_pendingSocket->deleteLater();
    m_pendingSocket = nullptr;
    emit connectionFailed(reason);
}

void DatacoreToolSession::disconnectFromServer()
{
    if (m_pendingSocket) {
        m_pendingSocket->disconnect(this);
        m_pendingSocket->deleteLater();
        m_pendingSocket = nullptr;
    }
    m_connection.closeConnection();
}

void DatacoreToolSession::onDisconnectedFromHost()
{
    if (m_connectionLost.exchange(true))
        return;
    emit connectionLost();
}

ClientDatacoreRegistry* DatacoreToolSession::registry()
{
    return m_datacoreManager->registry();
}

bool DatacoreToolSession::canAcceptPacket(QString className)
{
    return className == DummyClient::SYNC_COMPLETE_CLASS_NAME;
}

void DatacoreToolSession::acceptPacket(const SerialisableDataPacket& packet)
{
    // Only the first one ends the initial synchronisation.
    if (packet.className() != DummyClient::SYNC_COMPLETE_CLASS_NAME || m_synchronised)
        return;
    m_synchronised = true;
    emit synchronised();
}

void DatacoreToolSession::watch(QStringList paths)
{
    int watched = 0;
    for (const QString& path : paths) {
        ClientDatacore* datacore = registry()->lookupDatacore(path);
        if (!datacore)
            continue;
        ++watched;
        connect(datacore, &ClientDatacore::datacoreUpdated, this,
                [this, path](QStringList data, QStringList validationMessages, bool isActive) {
                    emit datacoreChanged(path, data, validationMessages, isActive,
                                         QDateTime::currentMSecsSinceEpoch());
                });
    }
    emit watching(watched);
}
