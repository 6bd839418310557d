#pragma once

#include "datacoresnapshot.h"
#include "networkconnection.h"
#include "serialisabledatapacketacceptorinterface.h"
#include "serialisabledatapacketdistributor.h"

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

class ClientDatacoreRegistry;
class QTcpSocket;
class VqClientDatacoreManager;

// The event-loop side of vq_datacore: one connection to the server (made
// once, never retried), the client mirror of its datacores, the end of the
// initial synchronisation, the server's answers to this client's own
// changes, and the changes of watched datacores passed on as signals. It runs
// no command and decides no exit status.
//
// The methods marked "from any thread" are for the command's worker thread.
class DatacoreToolSession : public QObject, public SerialisableDataPacketAcceptorInterface
{
    Q_OBJECT

public:
    enum class Mode {
        Mirror,
        // Only the paths of the server's tree, taken straight from its path
        // tree packet: a listing of a large server needs no mirror built.
        PathsOnly,
    };

    explicit DatacoreToolSession(Mode mode = Mode::Mirror, QObject* parent = nullptr);
    ~DatacoreToolSession() override;

    void connectToServer(const QString& host, quint16 port);
    // Closes the connection: every wait on the mirror ends.
    void disconnectFromServer();

    // Null in Mode::PathsOnly.
    ClientDatacoreRegistry* registry();
    // The sorted paths of the datacores at or under prefix (all for an empty one).
    QStringList paths(const QString& prefix) const;
    // Frames the client skipped because they claimed more than it takes.
    int oversizedFrames() const { return m_connection.oversizedFrames(); }
    // From any thread; set before the registry deletes its datacores.
    bool isConnectionLost() const { return m_connectionLost; }

    // From any thread: the values of every datacore at or under prefix, read
    // in one go on the event-loop thread. False when the session could not
    // make it within timeoutMs or the mirror is gone.
    bool takeSnapshot(const QString& prefix, DatacoreSnapshot* snapshot, int timeoutMs);

    // From any thread. The server answers each change of this client with the
    // datacore's resulting JSON; they are counted per path, so that a command
    // can tell the answer to its own change from an earlier one.
    quint64 answerCount(const QString& path) const;
    // Waits until more than after answers for path have come (false when the
    // time is up or the connection is lost) and gives the latest.
    bool waitForAnswer(const QString& path, quint64 after, int timeoutMs, QJsonObject* datacoreJson);
    // Sends data for path as a change of this client even though the mirror
    // already holds it, so that the server judges it again and answers.
    void resendChange(const QString& path, const QStringList& data);

    bool canAcceptPacket(QString className) override;
    void acceptPacket(const SerialisableDataPacket& packet) override;

signals:
    void connectionFailed(QString reason);
    void connectionLost();
    void mirrorPopulated();
    void synchronised();
    // initial: the value the datacore held when the watch began.
    void datacoreChanged(QString path, QStringList data, QStringList validationMessages, bool isActive,
                         qint64 msecsSinceEpoch, bool initial);
    void watching(int datacores);

public slots:
    // Passes every change of these datacores on through datacoreChanged(),
    // after their current values when withInitial is set.
    void watch(QStringList paths, bool withInitial);

private slots:
    void onSocketConnected();
    void onSocketError();
    void onDisconnectedFromHost();
    // The event-loop halves of takeSnapshot() and resendChange().
    void makeSnapshot();
    void sendResentChanges();

private:
    void noteAnswer(const QString& path, const QJsonObject& datacoreJson);
    void takePathTree(const SerialisableDataPacket& packet);

    SerialisableDataPacketDistributor m_distributor;
    NetworkConnection m_connection;
    // Made after the loss handler is connected: handlers run in the order they
    // were connected, and the loss must be noted before the registry deletes
    // the datacore a command is waiting for.
    std::unique_ptr<VqClientDatacoreManager> m_datacoreManager;
    // Mode::PathsOnly: the tree's paths, sorted, each once.
    QStringList m_treePaths;
    bool m_treeTaken = false;
    QTcpSocket* m_pendingSocket = nullptr;
    std::atomic<bool> m_connectionLost{false};
    bool m_synchronised = false;
    int m_resentPacketId = 0;

    struct Answer
    {
        quint64 count = 0;
        QJsonObject datacoreJson;
    };
    mutable std::mutex m_answersMutex;
    std::condition_variable m_answerArrived;
    QHash<QString, Answer> m_answers;

    // What the worker asks of the event-loop thread. It goes over in these
    // members under a mutex, the call itself without arguments: Qt hands
    // arguments between threads with locks that ThreadSanitizer cannot see.
    std::mutex m_requestsMutex;
    std::condition_variable m_snapshotMade;
    QString m_snapshotPrefix;
    bool m_snapshotWanted = false;
    DatacoreSnapshot m_snapshot;
    QList<QPair<QString, QStringList>> m_resends;
};
