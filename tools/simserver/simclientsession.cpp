#include "simclientsession.h"

#include "datacorepacket.h"
#include "datacorepathradixtreepacket.h"
#include "incomingframebuffer.h"
#include "rawdatapacket.h"
#include "serverdatacoretree.h"
#include "simserveroptions.h"
#include "streamrecorder.h"
#include "vqlog.h"

#include <QTimer>

namespace {

const QString SYNC_COMPLETE_CLASS_NAME = QStringLiteral("ClientServerDatacoreSyncCompletePacket");

constexpr int SYNC_WRITE_BYTES = 256 * 1024;

// A header of a valid type that claims far more payload than any frame has.
const QByteArray CORRUPT_HEADER = QByteArray::fromHex("101300007ffffff0");

} // namespace

SimClientSession::SimClientSession(QTcpSocket* socket, const ServerDatacoreTree& tree,
                                   const SimServerOptions& options, QObject* parent)
    : QObject(parent)
    , m_tree(tree)
    , m_options(options)
    , m_connection(this)
    , m_socket(socket)
{
    QTcpSocket* taken = socket;
    m_connection.setSocket(taken);
    delete taken; // the connection's own unconnected socket, if it had one
    connect(&m_connection, &NetworkConnection::disconnectedFromHost, this, [this] { emit finished(this); });
}

SimClientSession::~SimClientSession()
{
    // The server is going away with the client still connected.
    if (m_recorder && m_socket && m_socket->state() == QAbstractSocket::ConnectedState)
        m_recorder->recordClose();
}

bool SimClientSession::recordTo(const QString& fileName, QString* error)
{
    auto recorder = std::make_unique<StreamRecorder>(fileName);
    if (!recorder->open(error))
        return false;
    m_recorder = std::move(recorder);
    return true;
}

void SimClientSession::start()
{
    if (m_options.dropAfterSeconds > 0) {
        QTimer::singleShot(m_options.dropAfterSeconds * 1000, this, [this] {
            if (m_recorder)
                m_recorder->recordClose();
            m_connection.closeConnection();
        });
    }
    if (m_options.pauseBeforeTreeMs > 0)
        QTimer::singleShot(m_options.pauseBeforeTreeMs, this, &SimClientSession::synchronise);
    else
        synchronise();
}

void SimClientSession::synchronise()
{
    DatacorePathRadixTreePacket treePacket;
    treePacket.jsonObject() = m_tree.pathTreeJson();
    treePacket.setClientId(identifier());
    writeFrame(treePacket);

    // Written in pieces of many frames: a system call per datacore would cost
    // more than the datacore, and a large tree written all at once would keep
    // the client waiting until the last datacore was ready.
    QByteArray datacores;
    for (const QString& path : m_tree.paths()) {
        datacores += frameBytes(DatacorePacket(m_tree.datacoreJson(path), path));
        if (datacores.size() >= SYNC_WRITE_BYTES) {
            writeRaw(datacores);
            datacores.clear();
            // A client that left mid-way (a listing needs only the tree) would
            // otherwise hold up every other client until its last datacore.
            if (!m_socket || !m_socket->isWritable())
                return;
        }
    }
    writeRaw(datacores);
    writeFrame(SerialisableDataPacket(SYNC_COMPLETE_CLASS_NAME));
    m_synchronised = true;

    if (m_options.corruptLength)
        writeRaw(CORRUPT_HEADER);
}

void SimClientSession::send(const SerialisableDataPacket& packet)
{
    if (m_synchronised)
        writeFrame(packet);
}

void SimClientSession::sendPeriodic(const RawDataPacket& packet)
{
    if (!m_synchronised)
        return;
    writeFrame(packet);
    if (m_options.garbage) {
        // Never 0x10, so the garbage cannot pass for the start of a frame header.
        QByteArray garbage(int(1 + m_garbageCounter++ % 13), '\0');
        for (int i = 0; i < garbage.size(); ++i)
            garbage[i] = char(0x20 + (m_garbageCounter * 7 + quint32(i) * 31) % 0x5f);
        writeRaw(garbage);
    }
}

void SimClientSession::writeFrame(const RawDataPacket& packet)
{
    writeRaw(frameBytes(packet));
}

QByteArray SimClientSession::frameBytes(const RawDataPacket& packet) const
{
    const QByteArray payload = packet.payloadBytes();
    // A client skips such a frame as corrupt and loses it without knowing what it was.
    if (quint32(payload.size()) > IncomingFrameBuffer::MaxPayloadLength) {
        VqLog::error("Not sending client {} a frame of type 0x{:x} with {} bytes of payload, more than a client "
                     "takes ({})",
                     identifier(), packet.packetType(), payload.size(), IncomingFrameBuffer::MaxPayloadLength);
        return QByteArray();
    }
    return headerBytes(packet, payload) + payload;
}

void SimClientSession::writeRaw(const QByteArray& bytes)
{
    if (bytes.isEmpty() || !m_socket || !m_socket->isWritable())
        return;
    if (m_recorder)
        m_recorder->record(bytes);
    m_socket->write(bytes);
    m_socket->flush();
}
