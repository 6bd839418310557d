#include "fakeserver.h"

#include "datacorepacket.h"
#include "testframes.h"

#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

#include <sys/socket.h>

namespace {

const char* const ROUTERS[][2] = {
    {"configCoreRouter", "ConfigTreeObject"},
    {"statusCoreRouter", "StatusTreeObject"},
    {"commandCoreRouter", "CommandTreeObject"},
    {"persistentConfigCoreRouter", "PersistentConfigTreeObject"},
};

constexpr int SETTLE_MS = 200;
constexpr int IN_SET_DELAY_MS = 1000;

// A node of the path tree: its name and its kids' nodes, from the paths below it.
QJsonObject treeNode(const QString& name, const QStringList& paths)
{
    QMap<QString, QStringList> kids;
    for (const QString& path : paths) {
        const int slash = path.indexOf(QLatin1Char('/'));
        QStringList& below = kids[path.left(slash)];
        if (slash >= 0)
            below.append(path.mid(slash + 1));
    }
    QJsonObject node{{"Core", name}};
    QJsonArray array;
    for (auto it = kids.constBegin(); it != kids.constEnd(); ++it)
        array.append(treeNode(it.key(), it.value()));
    if (!array.isEmpty())
        node.insert("Kids", array);
    return node;
}

} // namespace

struct FakeServer::Session
{
    std::unique_ptr<QTcpSocket> socket;
    QByteArray incoming;
    PlannedFault fault;
    bool reading = true;
};

FakeServer::FakeServer(QObject* parent)
    : QObject(parent)
{
    connect(&m_listener, &QTcpServer::newConnection, this, &FakeServer::onNewConnection);
}

FakeServer::~FakeServer()
{
    for (const auto& session : m_sessions)
        session->socket->disconnect(this);
}

void FakeServer::setDatacore(const QString& path, const QJsonValue& data, const QJsonArray& reasonsForBeingInvalid,
                             const QJsonArray& reasonsForBeingInactive)
{
    m_datacores.insert(path, QJsonObject{{"data", data},
                                         {"class", "DatacoreString"},
                                         {"reasonsForBeingInvalid", reasonsForBeingInvalid},
                                         {"reasonsForBeingInactive", reasonsForBeingInactive}});
}

void FakeServer::sendToAll(const SerialisableDataPacket& packet)
{
    for (const auto& session : m_sessions)
        write(*session, frameOf(packet));
}

void FakeServer::closeAll()
{
    // Taken out first: each close reports its disconnection synchronously.
    const auto sessions = std::exchange(m_sessions, {});
    for (const auto& session : sessions) {
        session->socket->disconnect(this);
        session->socket->abort();
    }
}

void FakeServer::onNewConnection()
{
    while (QTcpSocket* socket = m_listener.nextPendingConnection()) {
        m_sessions.emplace_back(new Session{std::unique_ptr<QTcpSocket>(socket), QByteArray(),
                                            std::exchange(m_nextFault, {false, Fault::Close, Step::BeforeTree})});
        Session* session = m_sessions.back().get();
        ++m_connectionCount;
        connect(socket, &QIODevice::readyRead, this, [this, session] { onReadyRead(*session); });
        connect(socket, &QAbstractSocket::disconnected, this, [this, session] { forget(session); },
                Qt::QueuedConnection);
        if (!session->fault.armed) {
            synchronise(*session);
            continue;
        }
        // A connection reset before the client has seen it established is
        // one that the client's socket silently tries again: a connection
        // meant to fail waits until the client is surely connected.
        // The socket as context: the timer goes with a connection that goes first.
        QTimer::singleShot(SETTLE_MS, socket, [this, session] { synchronise(*session); });
    }
}

void FakeServer::synchronise(Session& session)
{
    if (reachedFaultStep(session, Step::BeforeTree))
        return;
    const QByteArray tree = frameOf(SerialisableDataPacket(treePacket()));
    if (session.fault.armed && session.fault.step == Step::MidTree) {
        write(session, tree.left(tree.size() / 2));
        fail(session);
        return;
    }
    write(session, tree);
    QByteArray datacores;
    for (auto it = m_datacores.constBegin(); it != m_datacores.constEnd(); ++it)
        datacores += frameOf(DatacorePacket(datacoreJson(it.key()), it.key()));
    write(session, datacores);
    if (reachedFaultStep(session, Step::AfterTree))
        return;
    write(session, frameOf(SerialisableDataPacket(QStringLiteral("ClientServerDatacoreSyncCompletePacket"))));
    reachedFaultStep(session, Step::AfterSync);
}

bool FakeServer::reachedFaultStep(Session& session, Step step)
{
    if (!session.fault.armed || session.fault.step != step)
        return false;
    fail(session);
    return true;
}

void FakeServer::fail(Session& session)
{
    session.fault.armed = false;
    ++m_faultCount;
    QTcpSocket* socket = session.socket.get();
    switch (session.fault.kind) {
    case Fault::Close:
        socket->disconnectFromHost();
        break;
    case Fault::Reset: {
        socket->flush();
        // A zero linger time makes the close send RST instead of FIN.
        const linger immediately{1, 0};
        ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &immediately, sizeof immediately);
        socket->abort();
        break;
    }
    case Fault::StopReading:
        // Qt stops taking bytes from the system once its own buffer is full,
        // so the client's writes pile up in the socket buffers.
        session.reading = false;
        socket->setReadBufferSize(1);
        break;
    }
    emit faulted();
}

void FakeServer::onReadyRead(Session& session)
{
    if (!session.reading)
        return;
    session.incoming += session.socket->readAll();
    int offset = 0;
    for (;;) {
        const RawDataPacketHeader header =
            readHeader(session.incoming.constData() + offset, session.incoming.size() - offset);
        if (header.packetType == RawDataPacketHeader::INCOMPLETE)
            break;
        // Past a byte at a time until a header makes sense again.
        const int size = header.packetType == RawDataPacketHeader::INVALID
            ? 1 : RawDataPacketHeader::SIZE + int(header.payloadLength);
        if (header.packetType == SerialisableDataPacket::PACKET_TYPE) {
            const QJsonObject packet = SerialisableDataPacket(session.incoming.mid(offset, size), header).jsonObject();
            m_received.append(packet);
            if (packet.value("Class") == DatacorePacket::CLASS_NAME)
                onChange(session, packet);
        }
        offset += size;
        if (!session.reading || !session.socket->isOpen())
            break;
    }
    session.incoming.remove(0, offset);
}

void FakeServer::onChange(Session& session, const QJsonObject& packet)
{
    if (reachedFaultStep(session, Step::OnChange))
        return;
    if (session.fault.armed && session.fault.step == Step::InSet) {
        session.reading = false;
        QTimer::singleShot(IN_SET_DELAY_MS, session.socket.get(), [this, &session] { fail(session); });
        return;
    }
    const DatacorePacket change{SerialisableDataPacket(packet)};
    const QString path = change.path();
    if (!answersChanges || !m_datacores.contains(path))
        return;
    m_datacores[path].insert("data", change.datacore().constBegin().value().toObject().value("data"));
    const QJsonObject result = datacoreJson(path);
    for (const auto& other : m_sessions) {
        if (other.get() == &session)
            write(session, frameOf(DatacorePacket(change.clientId(), change.packetId(), result, path)));
        else
            write(*other, frameOf(DatacorePacket(result, path)));
    }
}

void FakeServer::write(Session& session, const QByteArray& bytes)
{
    if (!session.socket->isWritable())
        return;
    session.socket->write(bytes);
    session.socket->flush();
}

void FakeServer::forget(Session* session)
{
    m_sessions.erase(std::remove_if(m_sessions.begin(), m_sessions.end(),
                                    [session](const auto& held) { return held.get() == session; }),
                     m_sessions.end());
}

QJsonObject FakeServer::datacoreJson(const QString& path) const
{
    return {{path.section(QLatin1Char('/'), -1), m_datacores.value(path)}};
}

QJsonObject FakeServer::treePacket() const
{
    QJsonObject packet{{"Class", "DatacorePathRadixTreePacket"}, {"ClientId", "fake"}};
    for (const auto& router : ROUTERS) {
        const QString name = QLatin1String(router[0]);
        QStringList below;
        for (const QString& path : m_datacores.keys()) {
            if (path.startsWith(name + QLatin1Char('/')))
                below.append(path.mid(name.size() + 1));
        }
        packet.insert(QLatin1String(router[1]), treeNode(name, below));
    }
    return packet;
}
