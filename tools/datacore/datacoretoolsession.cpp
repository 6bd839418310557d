#include "datacoretoolsession.h"

#include "clientdatacore.h"
#include "clientdatacoreregistry.h"
#include "datacorepacket.h"
#include "datacorepathradixtreepacket.h"
#include "datacoretooloptions.h"
#include "dummyclient.h"
#include "vqclientdatacoremanager.h"

#include <QDateTime>
#include <QTcpSocket>

#include <algorithm>
#include <chrono>
#include <utility>

namespace {

// Far above the identifiers a datacore hands out (0 upwards, again from 0
// once all are answered), so that the mirror takes the answer to a resent
// change for no answer of its own.
constexpr int FIRST_RESENT_PACKET_ID = 1 << 30;

} // namespace

DatacoreToolSession::DatacoreToolSession(Mode mode, QObject* parent)
    : QObject(parent)
    , m_distributor(this)
    , m_connection(this)
{
    connect(&m_connection, &NetworkConnection::disconnectedFromHost, this,
            &DatacoreToolSession::onDisconnectedFromHost);
    // Before the mirror's populator: an answer is noted here by the time the
    // datacore reports itself in sync.
    m_distributor.registerPacketAcceptor(this, DatacorePacket::CLASS_NAME);
    if (mode == Mode::Mirror) {
        m_datacoreManager = std::make_unique<VqClientDatacoreManager>(&m_connection, &m_distributor);
        connect(m_datacoreManager->registry(), &ClientDatacoreRegistry::registryHasBeenPopulated, this,
                &DatacoreToolSession::mirrorPopulated);
    } else {
        m_distributor.registerPacketAcceptor(this, DatacorePathRadixTreePacket::CLASS_NAME);
    }
    m_distributor.registerPacketAcceptor(this, DummyClient::SYNC_COMPLETE_CLASS_NAME);
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
    {
        // Under the lock, so that a waiter cannot miss the wake-up.
        std::lock_guard<std::mutex> lock(m_answersMutex);
        m_answerArrived.notify_all();
    }
    emit connectionLost();
}

ClientDatacoreRegistry* DatacoreToolSession::registry()
{
    return m_datacoreManager ? m_datacoreManager->registry() : nullptr;
}

QStringList DatacoreToolSession::paths(const QString& prefix) const
{
    if (m_datacoreManager)
        return m_datacoreManager->registry()->paths(prefix);
    if (prefix.isEmpty())
        return m_treePaths;
    // The paths under prefix follow it directly in sorted order, except that
    // "prefixX..." sorts between them and "prefix/...": skip those, stop past.
    QStringList selected;
    for (auto it = std::lower_bound(m_treePaths.cbegin(), m_treePaths.cend(), prefix); it != m_treePaths.cend(); ++it) {
        if (!it->startsWith(prefix))
            break;
        if (ClientDatacoreRegistry::isAtOrUnder(*it, prefix))
            selected.append(*it);
    }
    return selected;
}

bool DatacoreToolSession::takeSnapshot(const QString& prefix, DatacoreSnapshot* snapshot, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_requestsMutex);
    m_snapshotPrefix = prefix;
    m_snapshotWanted = true;
    QMetaObject::invokeMethod(this, "makeSnapshot", Qt::QueuedConnection);
    if (!m_snapshotMade.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !m_snapshotWanted; })) {
        m_snapshotWanted = false;
        return false;
    }
    *snapshot = std::move(m_snapshot);
    m_snapshot = DatacoreSnapshot();
    return !m_connectionLost;
}

void DatacoreToolSession::makeSnapshot()
{
    std::lock_guard<std::mutex> lock(m_requestsMutex);
    if (!m_snapshotWanted)
        return;
    ClientDatacoreRegistry* mirror = registry();
    for (const QString& path : mirror->paths(m_snapshotPrefix)) {
        const ClientDatacore* datacore = mirror->lookupDatacore(path);
        m_snapshot.insert(path, DatacoreValue{datacore->data(), datacore->validationMessages(), datacore->isActive()});
    }
    m_snapshotWanted = false;
    m_snapshotMade.notify_all();
}

quint64 DatacoreToolSession::answerCount(const QString& path) const
{
    std::lock_guard<std::mutex> lock(m_answersMutex);
    return m_answers.value(path).count;
}

bool DatacoreToolSession::waitForAnswer(const QString& path, quint64 after, int timeoutMs, QJsonObject* datacoreJson)
{
    std::unique_lock<std::mutex> lock(m_answersMutex);
    const bool arrived = m_answerArrived.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return m_answers.value(path).count > after || m_connectionLost;
    });
    if (!arrived || m_answers.value(path).count <= after)
        return false;
    *datacoreJson = m_answers.value(path).datacoreJson;
    return true;
}

void DatacoreToolSession::resendChange(const QString& path, const QStringList& data)
{
    std::lock_guard<std::mutex> lock(m_requestsMutex);
    m_resends.append({path, data});
    QMetaObject::invokeMethod(this, "sendResentChanges", Qt::QueuedConnection);
}

void DatacoreToolSession::sendResentChanges()
{
    std::lock_guard<std::mutex> lock(m_requestsMutex);
    for (const auto& resend : std::as_const(m_resends)) {
        const QString& path = resend.first;
        // The data-only form a datacore of that name writes.
        DatacoreBase scratch(path.section(QLatin1Char('/'), -1), nullptr, resend.second);
        QJsonObject datacoreJson;
        std::list<DatacoreJsonMessage> messages;
        scratch.serialise(QString(), datacoreJson, true, false, messages);
        m_connection.acceptPacket(DatacorePacket(m_connection.clientIdentifier(),
                                                 FIRST_RESENT_PACKET_ID + m_resentPacketId++, datacoreJson, path));
    }
    m_resends.clear();
}

bool DatacoreToolSession::canAcceptPacket(QString className)
{
    return className == DummyClient::SYNC_COMPLETE_CLASS_NAME || className == DatacorePacket::CLASS_NAME
        || (!m_datacoreManager && className == DatacorePathRadixTreePacket::CLASS_NAME);
}

void DatacoreToolSession::acceptPacket(const SerialisableDataPacket& packet)
{
    if (packet.className() == DatacorePathRadixTreePacket::CLASS_NAME) {
        takePathTree(packet);
        return;
    }
    if (packet.className() == DatacorePacket::CLASS_NAME) {
        const DatacorePacket answer(packet);
        if (answer.hasPacketId() && answer.hasClientId() && answer.clientId() == m_connection.clientIdentifier())
            noteAnswer(answer.path(), answer.datacore());
        return;
    }
    // Only the first one ends the initial synchronisation.
    if (packet.className() != DummyClient::SYNC_COMPLETE_CLASS_NAME || m_synchronised)
        return;
    m_synchronised = true;
    emit synchronised();
}

void DatacoreToolSession::takePathTree(const SerialisableDataPacket& packet)
{
    // As the mirror would: the first tree only, no incomplete paths, each path once.
    if (m_treeTaken)
        return;
    m_treeTaken = true;
    DatacorePathRadixTreePacket tree(DatacorePathRadixTreePacket::CLASS_NAME);
    tree.jsonObject() = packet.jsonObject();
    for (const QString& path : tree.paths()) {
        if (!path.endsWith(QLatin1Char('/')))
            m_treePaths.append(path);
    }
    std::sort(m_treePaths.begin(), m_treePaths.end());
    m_treePaths.erase(std::unique(m_treePaths.begin(), m_treePaths.end()), m_treePaths.end());
    emit mirrorPopulated();
}

void DatacoreToolSession::noteAnswer(const QString& path, const QJsonObject& datacoreJson)
{
    std::lock_guard<std::mutex> lock(m_answersMutex);
    Answer& answer = m_answers[path];
    ++answer.count;
    answer.datacoreJson = datacoreJson;
    m_answerArrived.notify_all();
}

void DatacoreToolSession::watch(QStringList paths, bool withInitial)
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
                                         QDateTime::currentMSecsSinceEpoch(), false);
                });
        // In the same turn of the loop as the connection: no change can come between.
        if (withInitial)
            emit datacoreChanged(path, datacore->data(), datacore->validationMessages(), datacore->isActive(),
                                 QDateTime::currentMSecsSinceEpoch(), true);
    }
    emit watching(watched);
}
