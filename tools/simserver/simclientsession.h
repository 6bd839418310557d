#pragma once

#include "networkconnection.h"

#include <QObject>
#include <QPointer>
#include <QTcpSocket>

#include <memory>

struct SimServerOptions;
class RawDataPacket;
class SerialisableDataPacket;
class ServerDatacoreTree;
class StreamRecorder;

// One client of the stand-in server: its connection (taken over with
// setSocket), the initial synchronisation (path tree, every datacore, the
// sync-complete packet) and the faults a test asks for. Periodic traffic is
// only sent once the synchronisation is done. Everything it sends goes through
// one write, so that a recording holds exactly what the client was sent.
class SimClientSession : public QObject
{
    Q_OBJECT

public:
    SimClientSession(QTcpSocket* socket, const ServerDatacoreTree& tree, const SimServerOptions& options,
                     QObject* parent = nullptr);
    ~SimClientSession() override;

    // The client's identifier as the client itself reports it in "ClientID".
    QString identifier() const { return m_connection.peerIdentifier(); }
    bool isSynchronised() const { return m_synchronised; }

    // Records everything this client is sent from now on; call before start().
    bool recordTo(const QString& fileName, QString* error);
    void start();
    void send(const SerialisableDataPacket& packet);
    // A periodic frame, followed by garbage bytes when asked for.
    void sendPeriodic(const RawDataPacket& packet);

signals:
    void finished(SimClientSession* session);

private:
    void synchronise();
    void writeFrame(const RawDataPacket& packet);
    // The frame, or nothing (with an error line) when it is larger than a client takes.
    QByteArray frameBytes(const RawDataPacket& packet) const;
    void writeRaw(const QByteArray& bytes);

    const ServerDatacoreTree& m_tree;
    const SimServerOptions& m_options;
    NetworkConnection m_connection;
    // Only for the bytes that are not frames; owned by the connection.
    QPointer<QTcpSocket> m_socket;
    std::unique_ptr<StreamRecorder> m_recorder;
    bool m_synchronised = false;
    quint32 m_garbageCounter = 0;
};
