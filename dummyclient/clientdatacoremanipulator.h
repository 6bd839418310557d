#pragma once

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>

class ClientDatacore;
class ClientDatacoreRegistry;

// The result of a read: what the datacore's datacoreUpdated() carries.
struct DatacoreValue
{
    QStringList data;
    QStringList validationMessages;
    bool isActive = false;
};

// Blocking, by-path access to the client's datacores for code that runs on a
// thread of its own: look a datacore up, read it, set it, and set it and wait
// until the server has confirmed the change. It reaches the registry and the
// datacores only through signals and slots. The lookup and the read wait by
// processing the calling thread's events (sleeping until the next one comes),
// so the manipulator must live in the thread that calls it; the sync waits
// only sleep, in 50 ms steps, for at most 1000 ms (out of sync) and then
// 5000 ms (in sync).
//
// No wait outlives what it waits for. When the registry is destroyed a lookup
// ends with null; when the datacore is destroyed (the registry is cleared
// because the connection was lost) a read ends with ok false and a sync wait
// with false ("Datacore deleted while waiting for sync", then "No sync, bad"
// as for any set the server did not confirm). The datacore pointer
// a lookup returns belongs to the event-loop thread: it may be dead by the time
// the caller looks at it, so use it only for queued connections or comparisons.
//
// It owns neither the registry nor the datacores, keeps no connection to a
// datacore beyond one operation. Every manipulator of a registry receives every
// lookup answer; a lookup skips answers for other paths, but cannot tell
// another manipulator's null answer (unknown path) from its own.
class ClientDatacoreManipulator : public QObject
{
    Q_OBJECT

public:
    ClientDatacoreManipulator(ClientDatacoreRegistry* registry, QObject* parent = nullptr);
    ~ClientDatacoreManipulator() override;

    ClientDatacore* requestDatacoreBlocking(const QString& path);
    bool setDatacoreString(const QString& path, const QString& value);
    DatacoreValue getDatacoreValue(const QString& path, bool* ok);
    bool setDatacoreStringListAndWaitForSync(const QString& path, const QStringList& value);

signals:
    void requestDatacore(QString datacorePath);
    void requestDatacoreUpdate();
    void setDatacoreStringValue(QString value);
    void setDatacoreStringListValue(QStringList value);

public slots:
    void receiveRequestedDatacore(ClientDatacore* datacore);
    // Values from any datacore but the one being read are stale deliveries of
    // an earlier read and are ignored.
    void receiveDatacoreValue(QStringList data, QStringList validationMessages, bool isActive);
    void receiveDatacoreOutOfSync();
    void receiveDatacoreInSync();

private:
    enum class SyncWait { Received, TimedOut, DatacoreDeleted };
    SyncWait waitForSyncFlag(const std::atomic<bool>& flag, qint64 limitMs) const;
    bool canAnswerPendingLookup(const ClientDatacore* datacore) const;
    bool isCurrentDatacoreAlive() const;
    bool isCurrentDatacoreAliveLocked() const;
    bool isRegistryAlive() const;
    bool isRegistryAliveLocked() const;
    static void waitForEvents();
    static void stopWaitingForEvents();

    QStringList m_data;
    QStringList m_validationMessages;
    bool m_isActive = false;
    bool m_valueReceived = false;
    ClientDatacore* m_requestedDatacore = nullptr;
    bool m_datacoreReceived = false;
    ClientDatacoreRegistry* m_registry = nullptr;
    // Written by the event-loop thread through direct connections.
    std::atomic<bool> m_outOfSyncReceived{false};
    std::atomic<bool> m_inSyncReceived{false};

    quint64 m_registrySerial = 0;
    bool m_lookupPending = false;
    QString m_pendingPath;
    // The datacore of the operation under way, kept apart from the registry's
    // answers, which any lookup of the same registry delivers here.
    ClientDatacore* m_currentDatacore = nullptr;
    quint64 m_currentSerial = 0;
};
